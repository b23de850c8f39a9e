// The script catalogue: where each statement runs and in which order, and that every text is
// stored the way the statement layer sends it (lines ending in CR LF, first keyword first, no
// macro character, no parameter references) and is classified as the kind the run expects.
#include "ScanText.h"
#include "ScriptCatalogue.h"

#include <QFile>
#include <QStringList>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

QStringList componentsOf(const QList<script::ScriptStatement>& statements)
{
    QStringList names;
    for (const script::ScriptStatement& s : statements)
        names << s.component;
    return names;
}

// The short texts, line by line as the run sends them.
QString param1171Upsert()
{
    const QList<std::pair<const char*, const char*>> row = {
        {"PARAM_ID", "1171"}, {"TYPE_ID", "154"}, {"PARAM_TYPE", "6"}, {"LIST_ID", "220"},
        {"TAB_ID", "NULL"}, {"GRID_ORDER", "4"}, {"IS_TREESORT", "0"}, {"IS_TREEVIEW", "0"},
        {"IS_REQUIRED", "0"}, {"IS_HISTORY", "0"}, {"RES_ID", "6742"}, {"SIZE_RES_ID", "6743"},
        {"HINT_RES_ID", "6744"}, {"DO_FUNC", "'0'"}, {"EDIT_MASK", "NULL"}, {"RUN_SQL", "NULL"},
        {"IS_AUTO_CREATE", "0"}, {"AUTO_RES_ID", "6745"}, {"AUTO_LISTVAL_ID", "NULL"},
        {"FOR_REPL_UP", "1"}, {"FOR_REPL_DOWN", "0"}, {"TAG", "NULL"}, {"IS_LINK_REFERENSE", "0"},
        {"LINK_REFERENSE_TYPE_ID", "NULL"}, {"IS_REPL", "0"}, {"IS_DEL", "0"}, {"DO_CHECK", "0"},
        {"DO_CHECK_EVENT", "0"}, {"BEGIN_GROUP", "0"}};
    QStringList columns, values;
    for (const auto& [column, value] : row) {
        columns << QStringLiteral("\"%1\"").arg(column);
        values << value;
    }
    return "UPDATE OR INSERT INTO PARAMS(" + columns.join(", ") + ") VALUES(" + values.join(", ") + ");";
}

struct ExpectedText {
    const char* component;
    TSQLKind kind;
    const char* procedure;  // the procedure a DDL text creates, or nullptr
    QStringList lines;      // the exact lines of a short text, or empty
};

const QList<ExpectedText> kTexts = {
    {"QQ", skDelete, nullptr, {"delete from MON$ATTACHMENTS"}},
    {"VerQuery", skSelect, nullptr, {"select VER_MAJOR, VER_MINOR, VER_RELEASE, VER_BUILD", "from VER"}},
    {"Q1", skDDL, "DC_MS_CLASSES_PERIODS", {}},
    {"Q2", skUpdate, nullptr,
     {"UPDATE PERSON_MOVEMENTS", "SET DATE_MODIFY = CURRENT_TIMESTAMP",
      "WHERE DATE_IN > '25.08.2023' AND DATE_DEL IS NULL AND GROUP_TYPE_ID = 9"}},
    {"Q3", skDDL, "DC_MS_YMARKS", {}},
    {"Q4", skUpdateOrInsert, nullptr, {param1171Upsert()}},
    {"Q5", skDDL, "PERIOD_VERIFY", {}},
    {"Q6", skDDL, "VAL_ADD_AFTER", {}},
    {"Q7", skDDL, "DC_MS_PMARKS", {}},
    {"Q8", skDDL, "FIX_PERIOD_FIELDS", {}},
    {"Q9", skExecuteProc, nullptr, {"EXECUTE PROCEDURE FIX_PERIOD_FIELDS;"}},
    {"Q10", skDDL, nullptr, {"GRANT EXECUTE ON PROCEDURE PERIOD_VERIFY TO KORVAN_ROLE;"}},
    {"Q11", skDDL, "CJ2022_DO2_LINKS", {}},
};

}  // namespace

TEST(ScriptCatalogueTest, ListsThirteenStatementsInDefinitionAndRunOrder)
{
    ASSERT_EQ(kTexts.size(), 13) << "every statement's text is checked below";
    EXPECT_EQ(componentsOf(script::definitionOrder()),
              QStringList({"Q1", "VerQuery", "Q2", "Q3", "Q7", "Q6", "Q4", "Q5", "Q8", "Q9", "Q10", "QQ", "Q11"}));
    const QList<script::ScriptStatement> run = script::runOrder();
    EXPECT_EQ(componentsOf(run),
              QStringList({"QQ", "VerQuery", "Q1", "Q2", "Q3", "Q4", "Q5", "Q6", "Q7", "Q8", "Q9", "Q10", "Q11"}));
    for (int i = 0; i < run.size(); ++i)
        EXPECT_EQ(run[i].runOrder, i + 1) << run[i].component.toStdString();
}

TEST(ScriptCatalogueTest, OnlyTheAttachmentPurgeRunsOnTheSecondConnection)
{
    for (const script::ScriptStatement& s : script::definitionOrder()) {
        const bool purge = s.component == "QQ";
        EXPECT_EQ(s.database, purge ? "DB2" : "DB1") << s.component.toStdString();
        EXPECT_EQ(s.transaction, purge ? "Tr2" : "Tr1") << s.component.toStdString();
        EXPECT_TRUE(s.resource.startsWith(":/script/" + s.component + "_")) << s.resource.toStdString();
    }
    EXPECT_EQ(script::statement("Q9").resource, ":/script/Q9_run_fix_period_fields.sql");
    EXPECT_THROW(script::statement("Q12"), std::out_of_range);
}

class ScriptTextTest : public ::testing::TestWithParam<ExpectedText> {};

TEST_P(ScriptTextTest, IsStoredAsSentAndScansAsItsKind)
{
    const ExpectedText& expected = GetParam();
    const QString component = QString::fromUtf8(expected.component);  // a named text: no temporary for the reference
    const script::ScriptStatement& s = script::statement(component);

    QFile file(s.resource);
    script::statementLines(s);  // registers the resources
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << s.resource.toStdString();
    const QByteArray raw = file.readAll();
    EXPECT_TRUE(raw.endsWith("\n") && !raw.endsWith("\n\n")) << "one final newline";
    EXPECT_FALSE(raw.contains('\r'));

    const QStringList lines = script::statementLines(s);
    if (!expected.lines.isEmpty()) {
        EXPECT_EQ(lines, expected.lines);
    }
    const QString text = script::statementText(s);
    EXPECT_EQ(text, lines.join("\r\n") + "\r\n");
    EXPECT_FALSE(text.contains("SET TERM", Qt::CaseInsensitive));

    const TSQLParser parser(text);
    EXPECT_EQ(parser.FirstPos(), 1) << "the first keyword comes first";
    EXPECT_EQ(parser.SQLKind(), expected.kind);
    if (expected.procedure) {
        EXPECT_EQ(lines.first().section(' ', 0, 4).trimmed(),
                  QStringLiteral("CREATE OR ALTER PROCEDURE %1").arg(expected.procedure));
    }

    const TSQLScanResult scan = scanAsParsed(text);
    EXPECT_EQ(scan.error, speNone);
    EXPECT_FALSE(scan.hasMacros);
    EXPECT_TRUE(scan.references.empty()) << "no statement of the script has parameters";
}

INSTANTIATE_TEST_SUITE_P(Script, ScriptTextTest, ::testing::ValuesIn(kTexts),
                         [](const auto& info) { return std::string(info.param.component); });
