// The export procedures' texts: their output columns are a data format read by another
// component, so names, order and types are pinned here; and every text must pass the
// statement layer's scan unchanged (DDL, no references, no macros).
#include "ScanText.h"
#include "ScriptCatalogue.h"

#include <QRegularExpression>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

struct ExportText {
    const char* component;
    const char* procedure;
    QStringList columns;  // "NAME TYPE" as declared
};

const QStringList kInputs = {"I$DT1 TIMESTAMP", "I$DT2 TIMESTAMP NOT NULL DEFAULT CURRENT_TIMESTAMP"};

const ExportText kClassesPeriods = {"Q1", "DC_MS_CLASSES_PERIODS", {
    "PERIOD_ID VARCHAR(40)", "CLASS_ID VARCHAR(40)", "SCHOOL_ID VARCHAR(40)",
    "SCHOOL_NAME VARCHAR(400)", "STUDENT_ID VARCHAR(60)", "CLASS_NUM VARCHAR(20)",
    "CLASS_LETTER VARCHAR(20)", "CLASS_YEAR_FROM INTEGER", "PERIOD_NUM INTEGER",
    "PERIOD_START_DATE DATE", "PERIOD_END_DATE DATE", "PERIOD_TYPE_CODE VARCHAR(20)",
    "PERIOD_TYPE_VALUE INTEGER", "PERIOD_TYPE_DESCRIOPTION VARCHAR(100)",
    "PERIOD_IS_STUDY VARCHAR(10)", "DIARY_ID VARCHAR(40)", "DIARY_URL VARCHAR(200)",
    "DIARY_LOGIN_PASS_AUTH SMALLINT", "CLASS_START_DATE DATE", "CLASS_END_DATE DATE",
    "SUBJECTS_COUNT INTEGER", "IS_LAST_CLASS VARCHAR(10)", "PART_OF_CLASS VARCHAR(40)",
    "CLASS_PLACES INTEGER", "CLASS_LOCATION VARCHAR(100)", "ATTENDANCE VARCHAR(100)",
    "EDU_PROGRAM_NAME VARCHAR(200)", "TIMEZONE VARCHAR(20)", "SCHEDULE_URL VARCHAR(200)",
    "CREATE_DATETIME VARCHAR(40)", "SEND_DATETIME VARCHAR(40)", "PERIOD_ID_CTL BIGINT"}};

const ExportText kYearMarks = {"Q3", "DC_MS_YMARKS", {
    "ID VARCHAR(100)", "SUBJECT_ID BIGINT", "STUDENT_ID VARCHAR(60)", "CLASS_ID VARCHAR(40)",
    "SUBJECT_NAME VARCHAR(400)", "FACT VARCHAR(20)", "FIVEPOINT_FACT VARCHAR(20)",
    "FINAL_FACT VARCHAR(20)", "FIVEPOINT_FINAL_FACT VARCHAR(20)", "RECENT_PLAN VARCHAR(20)",
    "FIVEPOINT_RECENT_PLAN VARCHAR(20)", "SCHOOL_ID VARCHAR(40)", "CLASS_NUM INTEGER",
    "CLASS_YEAR_FROM INTEGER", "MARK_SCALE_CODE VARCHAR(20)", "MARK_SCALE_VALUE INTEGER",
    "MARK_SCALE_DESCRIPTION VARCHAR(40)", "CREATE_DATETIME TIMESTAMP", "SEND_DATETIME TIMESTAMP"}};

const ExportText kPeriodMarks = {"Q7", "DC_MS_PMARKS", {
    "ID VARCHAR(100)", "PERIOD_ID VARCHAR(40)", "SUBJECT_ID BIGINT", "STUDENT_ID VARCHAR(60)",
    "CLASS_ID VARCHAR(40)", "SUBJECT_NAME VARCHAR(400)", "FACT VARCHAR(20)",
    "FIVEPOINT_FACT VARCHAR(20)", "RECENT_PLAN VARCHAR(20)", "FIVEPOINT_RECENT_PLAN VARCHAR(20)",
    "SCHOOL_ID VARCHAR(40)", "CLASS_NUM INTEGER", "CLASS_YEAR_FROM INTEGER",
    "MARK_SCALE_CODE VARCHAR(20)", "MARK_SCALE_VALUE INTEGER", "MARK_SCALE_DESCRIPTION VARCHAR(40)",
    "CREATE_DATETIME TIMESTAMP", "SEND_DATETIME TIMESTAMP"}};

// The declarations between the opening line (exclusive) and the first line ending in ")".
QStringList declarations(const QStringList& lines, int openingLine)
{
    QStringList result;
    for (int i = openingLine + 1; i < lines.size(); ++i) {
        QString line = lines[i].trimmed();
        const bool last = line.endsWith(')');
        line.chop(1);  // the separating comma or the closing parenthesis
        result << line;
        if (last)
            break;
    }
    return result;
}

class ExportScriptTextTest : public ::testing::TestWithParam<ExportText> {
protected:
    QStringList lines() const { return script::statementLines(script::statement(GetParam().component)); }
    QString text() const { return script::statementText(script::statement(GetParam().component)); }
};

TEST_P(ExportScriptTextTest, DeclaresTheProcedureWithItsInputsAndExactColumns)
{
    const QStringList l = lines();
    ASSERT_GE(l.size(), 3);
    EXPECT_EQ(l[0], QStringLiteral("CREATE OR ALTER PROCEDURE %1 (").arg(GetParam().procedure));
    EXPECT_EQ(declarations(l, 0), kInputs);
    const int returns = l.indexOf("RETURNS (");
    ASSERT_GT(returns, 0);
    EXPECT_EQ(declarations(l, returns), GetParam().columns);
    EXPECT_EQ(l[returns + GetParam().columns.size() + 1], "AS");
    EXPECT_EQ(l.last(), "END");
}

TEST_P(ExportScriptTextTest, ReachesTheServerUnchanged)
{
    const QString t = text();
    const TSQLParser parser(t);
    EXPECT_EQ(parser.SQLKind(), skDDL);
    const TSQLScanResult scan = scanAsParsed(t);
    EXPECT_EQ(scan.error, speNone);
    EXPECT_FALSE(scan.hasMacros);
    EXPECT_TRUE(scan.references.empty());
}

TEST_P(ExportScriptTextTest, UsesNoSyntaxThatOlderServersRefuse)
{
    const QString t = text();
    for (const char* word : {"BOOLEAN", "CONTINUE", "OVER", "SUBROUTINE", "DECLARE FUNCTION",
                             "DECLARE PROCEDURE", "OFFSET", "FETCH", "TRUE", "FALSE"}) {
        const QRegularExpression re(QStringLiteral("\\b%1\\b").arg(word));
        EXPECT_FALSE(re.match(t).hasMatch()) << word;
    }
    EXPECT_FALSE(t.contains("SET TERM"));
}

INSTANTIATE_TEST_SUITE_P(Exports, ExportScriptTextTest,
                         ::testing::Values(kClassesPeriods, kYearMarks, kPeriodMarks),
                         [](const auto& info) { return std::string(info.param.component); });

TEST(ExportScriptTextTest, DiaryAddressIsWrittenOnceAndServesBothColumns)
{
    const QString t = script::statementText(script::statement("Q1"));
    EXPECT_EQ(t.count("https://"), 1);
    EXPECT_TRUE(t.contains("SCHEDULE_URL = DIARY_URL;"));
}

}  // namespace
