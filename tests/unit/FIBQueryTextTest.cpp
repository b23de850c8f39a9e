// The statement's text handling that needs no server: parameter lists, macros, the text sent,
// and the checks made before any client call.
#include "FIBQuery.h"
#include "Raised.h"
#include "fib.h"
#include "pFIBQuery.h"
#include "ScriptCatalogue.h"

#include <QObject>
#include <gtest/gtest.h>

namespace {

struct Form {
    QObject form;
    TpFIBQuery* q;
    Form()
    {
        form.setObjectName(QStringLiteral("MainForm"));
        q = new TpFIBQuery(&form);
        q->setObjectName(QStringLiteral("Q1"));
    }
};

QString clientErrorOf(const std::function<void()>& f) { return testsupport::messageOf<EFIBClientError>(f); }

}  // namespace

TEST(FIBQueryTextTest, TextBecomesLinesJoinedByCrLfAndDataDefinitionIsLeftAlone)
{
    Form f;
    const QString ddl = QStringLiteral(
        "CREATE OR ALTER procedure P (V$PERIOD_ID integer)\r\nas\r\nbegin\r\n"
        "  update T set A = 'x?:y -- z' where ID = :V$PERIOD_ID;\r\nend;\r\n");
    f.q->setSQLText(ddl);
    EXPECT_EQ(f.q->SQL().size(), 5);
    EXPECT_EQ(f.q->SQLText(), ddl);
    EXPECT_EQ(f.q->SQLKind(), skDDL);
    EXPECT_EQ(f.q->ParamCount(), 0);
    EXPECT_EQ(f.q->ProcessedSQL(), ddl);
    EXPECT_EQ(f.q->PreparedSQL(), ddl.toUtf8());
    EXPECT_EQ(f.q->SQLTextChangeCount(), 1);

    f.q->setSQL({QStringLiteral("EXECUTE PROCEDURE FIX_PERIOD_FIELDS;")});
    EXPECT_EQ(f.q->ProcessedSQL(), QStringLiteral("EXECUTE PROCEDURE FIX_PERIOD_FIELDS;\r\n"));
    EXPECT_TRUE(f.q->IsProc());
    f.q->setSQLText(QStringLiteral("  execute block as begin end"));
    EXPECT_TRUE(f.q->IsProc());
    f.q->setSQLText(QStringLiteral("EXECUTEPROCEDURE X"));
    EXPECT_FALSE(f.q->IsProc());
}

TEST(FIBQueryTextTest, ParametersAreNamedInUpperCaseUnlessQuotedAndKeepTheirValues)
{
    Form f;
    f.q->setSQLText(QStringLiteral("select * from T where A = :id and B = ?\"Mixed\" or C = :ID"));
    ASSERT_EQ(f.q->ParamCount(), 3);
    EXPECT_EQ(f.q->ParamName(0), "ID");
    EXPECT_EQ(f.q->ParamName(1), "Mixed");
    EXPECT_EQ(f.q->ParamName(2), "ID");
    EXPECT_TRUE(f.q->ProcessedSQL().isEmpty());  // built at prepare
    f.q->ParamByName(QStringLiteral("id"))->setAsInteger(7);
    // One name, one value: the second ID follows the first.
    EXPECT_EQ(f.q->Params()[2]->AsVariant(), QVariant(7));
    EXPECT_EQ(f.q->ParamByName(QStringLiteral("\"Mixed\""))->Index(), 1);
    try {
        f.q->ParamByName(QStringLiteral("mixed"));
        ADD_FAILURE() << "found a quoted name in another case";
    } catch (const EFIBError&) {
        ADD_FAILURE() << "the missing parameter is not a database error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Parameter \"mixed\" does not exist in MainForm.Q1");
    }

    // A new text keeps the value of a parameter whose name stays.
    f.q->setSQLText(QStringLiteral("update T set X = :X where ID = :ID"));
    EXPECT_EQ(f.q->ParamByName(QStringLiteral("ID"))->Index(), 1);
    EXPECT_EQ(f.q->ParamValue(QStringLiteral("ID")), QVariant(7));
    EXPECT_TRUE(f.q->ParamByName(QStringLiteral("X"))->IsNull());

    f.q->setParamCheck(false);
    EXPECT_EQ(f.q->ParamCount(), 0);
    EXPECT_EQ(f.q->ProcessedSQL(), QStringLiteral("update T set X = :X where ID = :ID\r\n"));
    f.q->setParamCheck(true);
    EXPECT_EQ(f.q->ParamCount(), 2);
}

TEST(FIBQueryTextTest, ParseErrorsNameTheStatementAndNothingOfTheOldTextIsSent)
{
    Form f;
    f.q->setSQLText(QStringLiteral("select 1 from RDB$DATABASE where 1 = :A"));
    EXPECT_EQ(clientErrorOf([&] { f.q->setSQLText(QStringLiteral("select * from T where B = :B and C = 'abc")); }),
              QStringLiteral("SQL Parse Error in :MainForm.Q1 \r\n\r\nEOF in string detected"));
    EXPECT_EQ(f.q->ParamCount(), 1);  // the previous parameters stay
    EXPECT_TRUE(f.q->ProcessedSQL().isEmpty());
    EXPECT_TRUE(f.q->PreparedSQL().isEmpty());
    EXPECT_EQ(clientErrorOf([&] { f.q->setSQLText(QStringLiteral("select * from T where A = : B")); }),
              QStringLiteral("SQL Parse Error in :MainForm.Q1 \r\n\r\nParameter name expected"));
    EXPECT_EQ(clientErrorOf([&] { f.q->setSQLText(QStringLiteral("select :A /* from T")); }),
              QStringLiteral("SQL Parse Error in :MainForm.Q1 \r\n\r\nEOF in comment detected"));
}

TEST(FIBQueryTextTest, MacrosAndNullParametersRewriteTheText)
{
    Form f;
    f.q->setSQLText(QStringLiteral("select @@FIELDS%ID, NAME@ from T where A = :A and @@COND%#x@ = B and C <> :C"));
    ASSERT_EQ(f.q->ParamCount(), 4);
    EXPECT_TRUE(f.q->Params()[0]->IsMacro());
    EXPECT_EQ(f.q->Params()[0]->Name(), "FIELDS");
    EXPECT_EQ(f.q->DefMacroValue(QStringLiteral("FIELDS")), "ID, NAME");
    EXPECT_TRUE(f.q->Params()[0]->IsDefMacroValue());
    EXPECT_TRUE(f.q->Params()[2]->Quoted());
    EXPECT_FALSE(f.q->Params()[0]->IsNull());

    // A and C are null: outside preparing, their comparisons become null tests.
    EXPECT_EQ(f.q->ReadySQLText(true),
              QStringLiteral("select ID, NAME from T where A  IS NULL  and 'x' = B and C  IS NOT NULL \r\n"));
    f.q->ParamByName(QStringLiteral("A"))->setAsInteger(1);
    f.q->ParamByName(QStringLiteral("FIELDS"))->setAsString(QStringLiteral("count(*)"));
    EXPECT_TRUE(f.q->MacroChanged());
    EXPECT_FALSE(f.q->Params()[0]->IsDefMacroValue());
    EXPECT_EQ(f.q->ReadySQLText(false),
              QStringLiteral("select count(*) from T where A = :A and 'x' = B and C  IS NOT NULL \r\n"));
    f.q->setOptions(qoNoForceIsNull);
    EXPECT_EQ(f.q->ReadySQLText(false), QStringLiteral("select count(*) from T where A = :A and 'x' = B and C <> :C\r\n"));
    f.q->RestoreMacroDefaultValues();
    EXPECT_EQ(f.q->ParamValue(QStringLiteral("FIELDS")), QVariant(QStringLiteral("ID, NAME")));
}

TEST(FIBQueryTextTest, ChecksBeforeAnyClientCall)
{
    Form f;
    f.q->setSQLText(QStringLiteral("select 1 from RDB$DATABASE"));
    EXPECT_EQ(clientErrorOf([&] { f.q->ExecQuery(); }), QStringLiteral("Transaction not assigned for MainForm.Q1."));
    EXPECT_EQ(clientErrorOf([&] { f.q->Prepare(); }), QStringLiteral("Database not assigned for MainForm.Q1."));
    EXPECT_EQ(f.q->Next(), nullptr);  // no cursor yet: at its end
    f.q->Close();
    EXPECT_EQ(clientErrorOf([&] { f.q->Next(); }),
              QStringLiteral("Can't fetch next record because MainForm.Q1 dataset closed."));
    EXPECT_EQ(clientErrorOf([&] { f.q->GetFields(0); }), QStringLiteral("Field \"Field No: 0\" not found."));
    EXPECT_EQ(clientErrorOf([&] { f.q->FieldByName(QStringLiteral("X")); }), QStringLiteral("Field \"X\" not found."));
    EXPECT_TRUE(f.q->Eof());
    EXPECT_FALSE(f.q->Prepared());
    f.q->setQoAutoCommit(true);
    f.q->setQoFreeHandleAfterExecute(true);
    EXPECT_EQ(f.q->Options(), qoAutoCommit | qoFreeHandleAfterExecute);
    EXPECT_EQ(f.q->property("qoAutoCommit"), QVariant(true));
    EXPECT_EQ(f.q->property("qoTrimCharFields"), QVariant(false));
}

TEST(FIBQueryTextTest, EveryScriptStatementIsSentExactlyAsWritten)
{
    for (const script::ScriptStatement& s : script::definitionOrder()) {
        SCOPED_TRACE(s.component.toStdString());
        Form f;
        f.q->setSQL(script::statementLines(s));
        const QString text = script::statementText(s);
        EXPECT_EQ(f.q->SQLText(), text);
        EXPECT_EQ(f.q->ParamCount(), 0);
        EXPECT_EQ(f.q->ProcessedSQL(), text);
        EXPECT_EQ(f.q->PreparedSQL(), text.toUtf8());
        if (text.startsWith(QStringLiteral("CREATE"), Qt::CaseInsensitive) || text.startsWith(QStringLiteral("GRANT")))
            EXPECT_EQ(f.q->SQLKind(), skDDL);
        else
            EXPECT_NE(f.q->SQLKind(), skDDL);
    }
}
