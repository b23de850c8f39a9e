// The value post-processing procedure's text: the product calls it by this exact signature
// and reads one row, on servers as old as Firebird 2.5.
#include "ScriptCatalogue.h"

#include <QRegularExpression>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

QStringList lines() { return script::statementLines(script::statement("Q6")); }
QString text() { return script::statementText(script::statement("Q6")); }

TEST(ValAddAfterTextTest, DeclaresTheSignatureAndOneReturnedRow)
{
    const QStringList l = lines();
    const QStringList head = {
        "CREATE OR ALTER PROCEDURE VAL_ADD_AFTER (",
        "  I$PARAM_ID BIGINT,", "  I$OBJ_ID BIGINT,", "  I$VAL VARCHAR(4000),", "  I$USER_ID BIGINT,",
        "  I$IS_DEL SMALLINT,", "  I$PROCESS_TAG SMALLINT,", "  TAG VARCHAR(100),",
        "  LANG_CODE VARCHAR(2),", "  TYPE_ID BIGINT)",
        "RETURNS (", "  BLOB_ID BIGINT,", "  REFRESH_FLAG VARCHAR(100))", "AS"};
    ASSERT_GT(l.size(), head.size());
    EXPECT_EQ(l.mid(0, head.size()), head);
    EXPECT_EQ(l.last(), "END");
    // One row whatever the rules did: a single SUSPEND, right before the end
    EXPECT_EQ(text().count(QRegularExpression("\\bSUSPEND\\b")), 1);
    EXPECT_EQ(l[l.size() - 2].trimmed(), "SUSPEND;");
}

TEST(ValAddAfterTextTest, AvoidsSyntaxThatOlderServersRefuse)
{
    const QString t = text();
    for (const char* word : {"BOOLEAN", "CONTINUE", "OVER", "DECLARE FUNCTION", "DECLARE PROCEDURE",
                             "OFFSET", "FETCH", "TRUE", "FALSE"}) {
        const QRegularExpression re(QStringLiteral("\\b%1\\b").arg(word));
        EXPECT_FALSE(re.match(t).hasMatch()) << word;
    }
}

}  // namespace
