#include "ScanText.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString lines(std::initializer_list<const char*> list)
{
    QString text;
    for (const char* line : list)
        text += QString::fromUtf8(line) + kCrLf;
    return text;
}

TSQLKind kindOf(const QString& text) { return TSQLParser(text).SQLKind(); }

QStringList namesOf(const TSQLScanResult& r)
{
    QStringList names;
    for (const TSQLReference& ref : r.references)
        names << ref.name;
    return names;
}

const QString kProcedureText = lines({
    "CREATE OR ALTER procedure PERIOD_VERIFY (V$PERIOD_ID integer)",
    "as",
    "declare variable V$NAME varchar(80) = 'a:b -- c ? d';",
    "begin",
    "  /* checks : the period */",
    "  select NAME from PERIODS where ID = :V$PERIOD_ID into :V$NAME; -- :note",
    "  if (V$NAME is null) then exception DATA_ERROR 'period?';",
    "end;",
});

}  // namespace

TEST(SqlTxtRtnsTest, ClassifiesTheHotfixStatementKinds)
{
    EXPECT_EQ(kindOf(lines({"delete from MON$ATTACHMENTS"})), skDelete);
    EXPECT_EQ(kindOf(lines({"select VER_MAJOR, VER_MINOR, VER_RELEASE, VER_BUILD", "from VER"})), skSelect);
    EXPECT_EQ(kindOf(lines({"update PERSON_MOVEMENTS set STAMP = 1 where STAMP is null;"})), skUpdate);
    EXPECT_EQ(kindOf(lines({"UPDATE OR INSERT INTO PARAMS (ID, NAME) VALUES (1171, 'x') MATCHING (ID);"})),
              skUpdateOrInsert);
    EXPECT_EQ(kindOf(lines({"EXECUTE PROCEDURE FIX_PERIOD_FIELDS;"})), skExecuteProc);
    EXPECT_EQ(kindOf(kProcedureText), skDDL);
    EXPECT_EQ(kindOf(lines({"create or alter procedure X as begin end"})), skDDL);
    EXPECT_EQ(kindOf(lines({"GRANT EXECUTE ON PROCEDURE PERIOD_VERIFY TO KORVAN_ROLE;"})), skDDL);
    EXPECT_EQ(kindOf(lines({"insert into T values (1)"})), skInsert);
    EXPECT_EQ(kindOf(lines({"merge into T using S on 1=1 when matched then delete"})), skSelect);
    EXPECT_EQ(kindOf(lines({"execute block as begin end"})), skExecuteBlock);
}

TEST(SqlTxtRtnsTest, AppliesTheDataDefinitionRuleByFirstLetter)
{
    for (const char* ddl : {"ALTER TABLE T ADD X INT", "comment on table T is 'x'", "DROP TABLE T",
                            "declare external function F", "RECREATE TABLE T (X INT)", "revoke all on T from U",
                            "SET GENERATOR G TO 1", "set  generator G to 1", "SAVEPOINT S1", "SHOW"})
        EXPECT_EQ(kindOf(QString::fromLatin1(ddl)), skDDL) << ddl;
    for (const char* other : {"SET TRANSACTION", "SET STATISTICS INDEX I", "COMMIT", "ALTERX", "EXECUTE STATEMENT 'x'",
                              "", "   ", "with X as (select 1 from rdb$database) select * from X"})
        EXPECT_EQ(kindOf(QString::fromLatin1(other)), skUnknown) << other;
    EXPECT_FALSE(TSQLParser(QStringLiteral("GRANT ALL ON T TO U")).CanParamsCheck());
    EXPECT_TRUE(TSQLParser(QStringLiteral("select 1 from T")).CanParamsCheck());
}

TEST(SqlTxtRtnsTest, FindsTheFirstWordAfterBlanksAndComments)
{
    const TSQLParser lineComment(QStringLiteral("-- note\r\n  select 1 from T"));
    EXPECT_EQ(lineComment.SQLKind(), skSelect);
    EXPECT_EQ(lineComment.FirstPos(), 12);
    EXPECT_EQ(kindOf(QStringLiteral("/* c */ select 1 from T")), skSelect);
    EXPECT_EQ(kindOf(QStringLiteral("  select 1 from T")), skSelect);
    // '(' is skipped but is no word-start boundary.
    EXPECT_EQ(kindOf(QStringLiteral("(select 1 from T)")), skUnknown);
    // A block comment directly before the word: '/' is no word-start boundary.
    EXPECT_EQ(kindOf(QStringLiteral("/* c */select 1 from T")), skUnknown);
    // A '-' that opens no comment ends the skipping.
    EXPECT_EQ(kindOf(QStringLiteral("-select")), skUnknown);
    EXPECT_EQ(kindOf(QStringLiteral("update /* x */ or insert into T")), skUpdateOrInsert);
    EXPECT_EQ(kindOf(QStringLiteral("execute\r\n  procedure P")), skExecuteProc);
    // An unterminated block comment skips past the end; the word tests read nothing there.
    EXPECT_EQ(TSQLParser(QStringLiteral("/*")).FirstPos(), 5);
    EXPECT_EQ(kindOf(QStringLiteral("/*")), skUnknown);
    EXPECT_EQ(kindOf(QStringLiteral("/* select")), skUnknown);
    EXPECT_FALSE(IsWordAt("SELECT", QStringLiteral("s"), 40));
}

TEST(SqlTxtRtnsTest, WordMatchingNeedsBoundariesOnBothSides)
{
    const QString text = QStringLiteral("x)Select(");
    EXPECT_TRUE(IsWordAt("SELECT", text, 3));
    EXPECT_FALSE(IsWordAt("SELECT", QStringLiteral("xSelect"), 2));
    EXPECT_FALSE(IsWordAt("SELECT", QStringLiteral("selectx"), 1));
    EXPECT_FALSE(IsWordAt("SELECT", QStringLiteral("sel"), 1));
    EXPECT_TRUE(IsWordAt("SELECT", QStringLiteral("select"), 1));
    EXPECT_FALSE(IsWordAt("SELECT", QStringLiteral("s\u00c9lect"), 1));
}

TEST(SqlTxtRtnsTest, QuickCheckSkipsLiteralsAndComments)
{
    EXPECT_TRUE(QuickParamCheck(lines({"delete from MON$ATTACHMENTS"})));
    EXPECT_TRUE(QuickParamCheck(QStringLiteral("select ':x', \"a?b\" from T -- :c\r\n/* @m */")));
    EXPECT_TRUE(QuickParamCheck(QStringLiteral(":")));
    EXPECT_FALSE(QuickParamCheck(QStringLiteral("select * from T where ID = :ID")));
    EXPECT_FALSE(QuickParamCheck(QStringLiteral("select @FIELDS from T")));
    EXPECT_FALSE(QuickParamCheck(QStringLiteral("select 1 from T -- c\r\nwhere ID = ?ID")));
    EXPECT_FALSE(QuickParamCheck(QStringLiteral("select 1 from T -- c\nwhere ID = :ID")));
    // A NUL ends a line comment in the full scan, which then finds the parameter after it.
    const QString afterNul = QStringLiteral("select 1 from T -- c") + QChar(0) + QStringLiteral("where ID = :ID");
    EXPECT_FALSE(QuickParamCheck(afterNul));
    EXPECT_EQ(namesOf(scanAsParsed(afterNul)), QStringList{"ID"});
    EXPECT_TRUE(QuickParamCheck(QStringLiteral("/*/ :x */")));
    EXPECT_FALSE(QuickParamCheck(QStringLiteral("/**/ :x")));
    EXPECT_FALSE(QuickParamCheck(QStringLiteral("select 2 /* c */* :P from T")));
    EXPECT_FALSE(QuickParamCheck(kProcedureText));
}

TEST(SqlTxtRtnsTest, DataDefinitionBodiesYieldNoParameters)
{
    const TSQLScanResult r = scanAsParsed(kProcedureText, true);
    EXPECT_EQ(r.error, speNone);
    EXPECT_TRUE(r.references.empty());
    EXPECT_EQ(r.serverText, kProcedureText);
}

TEST(SqlTxtRtnsTest, HotfixTextsYieldNoReferences)
{
    for (const QString& text : {lines({"delete from MON$ATTACHMENTS"}),
                                lines({"select VER_MAJOR, VER_MINOR, VER_RELEASE, VER_BUILD", "from VER"}),
                                lines({"EXECUTE PROCEDURE FIX_PERIOD_FIELDS;"}),
                                lines({"GRANT EXECUTE ON PROCEDURE PERIOD_VERIFY TO KORVAN_ROLE;"})}) {
        const TSQLScanResult r = scanAsParsed(text);
        EXPECT_EQ(r.error, speNone);
        EXPECT_TRUE(r.references.empty()) << text.toStdString();
        EXPECT_FALSE(r.hasMacros);
    }
}

TEST(SqlTxtRtnsTest, ScansParametersAndTheServerTextOfEqualLength)
{
    const QString text = QStringLiteral("select ':a', \"B:\" from T where X = :X and \"Y\" = ?\"lower\" -- :c\r\n");
    const TSQLScanResult r = scanAsParsed(text, true);
    ASSERT_EQ(r.error, speNone);
    EXPECT_EQ(namesOf(r), QStringList({"X", "lower"}));
    EXPECT_FALSE(r.references[0].quoted);
    EXPECT_TRUE(r.references[1].quoted);
    EXPECT_EQ(r.references[0].beginPos, text.indexOf(":X"));
    EXPECT_EQ(r.references[0].endPos, text.indexOf(":X") + 1);
    EXPECT_EQ(r.serverText.size(), text.size());
    EXPECT_EQ(r.serverText.toStdString(),
              std::string("select ':a', \"B:\" from T where X = ?  and \"Y\" = ?        -- :c\r\n"));
}

TEST(SqlTxtRtnsTest, ParameterNamesTakeTheLongestRunOfNameCharacters)
{
    const TSQLScanResult r = scanAsParsed(QStringLiteral("select * from T where A = :V$P.ID_1#%x||'z' and B=:b)"));
    ASSERT_EQ(r.error, speNone);
    EXPECT_EQ(namesOf(r), QStringList({"V$P.ID_1#%x", "b"}));
}

TEST(SqlTxtRtnsTest, TracksTheWhereClauseAndIsNullCandidates)
{
    const TSQLScanResult r = scanAsParsed(QStringLiteral(
        "select :F from T where (A = :A) and B = :B + 1 and C = :C -- x\r\n"
        " and D in (select E from U where E = :E) group by G having H = :H"));
    ASSERT_EQ(r.error, speNone);
    ASSERT_EQ(r.references.size(), 6u);
    EXPECT_FALSE(r.references[0].inWhereClause);  // F: before WHERE
    EXPECT_TRUE(r.references[1].inWhereClause);
    EXPECT_TRUE(r.references[1].canForceIsNull);  // followed by ')'
    EXPECT_TRUE(r.references[2].inWhereClause);
    EXPECT_FALSE(r.references[2].canForceIsNull);  // followed by '+'
    EXPECT_TRUE(r.references[3].canForceIsNull);   // followed by a line comment
    EXPECT_TRUE(r.references[4].inWhereClause);
    EXPECT_FALSE(r.references[5].inWhereClause);  // after GROUP BY
}

TEST(SqlTxtRtnsTest, ExecuteBlockParametersStandBeforeAs)
{
    const QString text = QStringLiteral(
        "execute block (X integer = :X, ALIAS integer = :ALIAS) returns (Y integer)\r\nas\r\n"
        "begin Y = :X; suspend; end");
    const TSQLScanResult r = scanAsParsed(text);
    ASSERT_EQ(r.error, speNone);
    EXPECT_EQ(namesOf(r), QStringList({"X", "ALIAS"}));
    EXPECT_FALSE(r.references[0].inWhereClause);
}

TEST(SqlTxtRtnsTest, ReportsParseErrors)
{
    EXPECT_EQ(scanAsParsed(QStringLiteral("select 'abc from T where X = :X")).error, speEOFInString);
    EXPECT_EQ(scanAsParsed(QStringLiteral("select 'it''s' from T where X = :X ''")).error, speNone);
    EXPECT_EQ(scanAsParsed(QStringLiteral("select 'it''")).error, speEOFInString);
    EXPECT_EQ(scanAsParsed(QStringLiteral("select 1 /* where X = :X")).error, speEOFInComment);
    EXPECT_EQ(scanAsParsed(QStringLiteral("select * from T where X = : and Y = 1")).error, speNameExpected);
    EXPECT_EQ(scanAsParsed(QStringLiteral("select * from T where X = ?")).error, speNameExpected);
    EXPECT_EQ(scanAsParsed(QStringLiteral("select * from T where X = :\"open")).error, speEOFInString);
    EXPECT_EQ(SQLParseErrorText(speEOFInComment), "EOF in comment detected");
    EXPECT_EQ(SQLParseErrorText(speEOFInString), "EOF in string detected");
    EXPECT_EQ(SQLParseErrorText(speNameExpected), "Parameter name expected");
}

TEST(SqlTxtRtnsTest, ScansMacrosInEveryForm)
{
    const QString text = QStringLiteral("select @FIELDS%ID,NAME from @@TABLE%#T 1@ where @\"COND%1=1\" and X=:X");
    const TSQLScanResult r = scanAsParsed(text, true);
    ASSERT_EQ(r.error, speNone);
    EXPECT_TRUE(r.hasMacros);
    EXPECT_EQ(namesOf(r), QStringList({"FIELDS%ID,NAME", "TABLE%#T 1", "COND%1=1", "X"}));
    EXPECT_TRUE(r.references[0].isMacro);
    EXPECT_EQ(r.references[1].endPos, text.indexOf("1@") + 1);
    EXPECT_FALSE(r.references[3].isMacro);
    // Macros open even in data definition texts.
    EXPECT_TRUE(scanAsParsed(QStringLiteral("create table @T (X int)")).hasMacros);

    const TMacroParts quoted = SplitMacroText(r.references[1].name);
    EXPECT_EQ(quoted.name, "TABLE");
    EXPECT_EQ(quoted.defaultValue, "T 1");
    EXPECT_TRUE(quoted.defaultQuoted);
    const TMacroParts plain = SplitMacroText(QStringLiteral("@M"));
    EXPECT_EQ(plain.name, "M");
    EXPECT_TRUE(plain.defaultValue.isEmpty());
    EXPECT_FALSE(plain.defaultQuoted);
    EXPECT_EQ(SplitMacroText(QString(300, QLatin1Char('N'))).name.size(), 255);
}

namespace {

TReadyReference param(const QString& text, const char* marker, bool isNull)
{
    const TSQLScanResult r = scanAsParsed(text);
    const int begin = static_cast<int>(text.indexOf(QLatin1String(marker)));
    for (const TSQLReference& ref : r.references)
        if (ref.beginPos == begin)
            return {false, {}, false, isNull, ref.inWhereClause, ref.canForceIsNull, ref.beginPos, ref.endPos};
    ADD_FAILURE() << "no reference at " << marker;
    return {};
}

}  // namespace

TEST(SqlTxtRtnsTest, RewritesNullComparisonsIntoIsNullTests)
{
    const QString text = QStringLiteral("select * from T where A = :A and B <> :B and C != :C and D >= :D order by A");
    const std::vector<TReadyReference> refs = {param(text, ":A", true), param(text, ":B", true),
                                               param(text, ":C", true), param(text, ":D", true)};
    const TReadySQLResult forced = ReadySQLText(text, refs, true);
    EXPECT_EQ(forced.text, QStringLiteral(
                               "select * from T where A  IS NULL  and B  IS NOT NULL  and C  IS NOT NULL  and D >= :D order by A"));
    EXPECT_EQ(forced.rewritten, std::vector<bool>({true, true, true, false}));
    EXPECT_EQ(ReadySQLText(text, refs, false).text, text);

    std::vector<TReadyReference> notNull = refs;
    notNull[0].isNull = false;
    EXPECT_TRUE(ReadySQLText(text, notNull, true).text.startsWith("select * from T where A = :A and B  IS NOT NULL "));
}

TEST(SqlTxtRtnsTest, LeavesNullParametersOutsideSimpleComparisonsAlone)
{
    for (const char* sql : {"select :A from T where B = 1", "select * from T where B = :A + 1",
                            "select * from T where B = (:A)", "select * from T where B in (:A)"}) {
        const QString text = QString::fromLatin1(sql);
        const TReadySQLResult r = ReadySQLText(text, {param(text, ":A", true)}, true);
        EXPECT_EQ(r.text, text) << sql;
    }
}

TEST(SqlTxtRtnsTest, SubstitutesMacroValues)
{
    const QString text = QStringLiteral("select @F from @T where N = :N");
    TReadyReference f{true, QStringLiteral("ID, NAME"), false, false, false, false, 7, 8};
    TReadyReference t{true, QStringLiteral("PEOPLE"), true, false, false, false, 15, 16};
    TReadyReference n = param(text, ":N", true);
    const TReadySQLResult r = ReadySQLText(text, {f, t, n}, true);
    EXPECT_EQ(r.text, QStringLiteral("select ID, NAME from 'PEOPLE' where N  IS NULL "));
    t.macroValue = QStringLiteral("'X'");
    EXPECT_EQ(ReadySQLText(text, {f, t, n}, false).text, QStringLiteral("select ID, NAME from 'X' where N = :N"));
}
