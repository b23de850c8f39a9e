// Statements against the real server: prepare, execute, cursors, data definition sent as written,
// parameters of every type, row counts, errors and the retry hook.
#include "ConnectionTestDatabase.h"
#include "FIBQuery.h"
#include "Raised.h"
#include "ScratchDatabase.h"
#include "TestEnv.h"
#include "fib.h"
#include "pFIBDatabase.h"
#include "pFIBQuery.h"

#include <QObject>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <functional>

using namespace testsupport;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// A statement text as the statement builds it from its lines: each line followed by CR LF.
QString lines(const QStringList& list) { return list.join(kCrLf) + kCrLf; }

// The main window's stand-in: DB1 and Tr1 on MainForm, with statements made on demand.
class FIBQueryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        form.setObjectName(QStringLiteral("MainForm"));
        db = new TpFIBDatabase(&form);
        db->setObjectName(QStringLiteral("DB1"));
        setUpConnection(*db, file.serverName(), testPassword());
        tr = new TpFIBTransaction(&form);
        tr->setObjectName(QStringLiteral("Tr1"));
        tr->setDefaultDatabase(db);
        db->Open();
        tr->StartTransaction();
    }

    void TearDown() override
    {
        if (tr->Active())
            tr->Rollback();
        db->Close();
    }

    TpFIBQuery* query(const char* name, const QString& text)
    {
        auto* q = new TpFIBQuery(&form);
        q->setObjectName(QString::fromUtf8(name));
        q->setDatabase(db);
        q->setTransaction(tr);
        q->setSQLText(text);
        return q;
    }

    // Runs a statement and commits it, so later statements see its effect.
    void run(const QString& text)
    {
        TpFIBQuery* q = query("Run", text);
        q->ExecQuery();
        tr->Commit();
        tr->StartTransaction();
        delete q;
    }

    ScratchDatabase file{QStringLiteral("query")};
    QObject form;
    TpFIBDatabase* db = nullptr;
    TpFIBTransaction* tr = nullptr;
};

}  // namespace

TEST_F(FIBQueryTest, VersionSelectLeavesTheFirstRowAndReReadsWithoutPreparing)
{
    TpFIBQuery* ver = query("VerQuery", lines({"select VER_MAJOR, VER_MINOR, VER_RELEASE, VER_BUILD", "from VER"}));
    ver->ExecQuery();
    EXPECT_EQ(ver->SQLType(), SQLSelect);
    EXPECT_TRUE(ver->Open());
    EXPECT_FALSE(ver->Eof());
    ASSERT_EQ(ver->FieldCount(), 4);
    EXPECT_EQ(ver->GetFields(0)->AsInteger(), 3);
    EXPECT_EQ(ver->GetFields(1)->AsInteger(), 23);
    EXPECT_EQ(ver->GetFields(2)->AsInteger(), 11);
    EXPECT_EQ(ver->GetFields(3)->AsInteger(), 28);
    EXPECT_EQ(ver->FieldByName(QStringLiteral("ver_major"))->Name(), "VER_MAJOR");
    EXPECT_EQ(ver->RecordCount(), 1);
    EXPECT_EQ(messageOf<EFIBClientError>([&] { ver->GetFields(4); }), QStringLiteral("Field \"Field No: 4\" not found."));
    EXPECT_EQ(ver->Next(), nullptr);
    EXPECT_TRUE(ver->Eof());

    // Executing again does not prepare again; after the commit the cursor is closed, the handle kept.
    const isc_stmt_handle handle = ver->Handle();
    ver->ExecQuery();
    EXPECT_EQ(ver->Handle(), handle);
    tr->Commit();
    EXPECT_FALSE(ver->Open());
    EXPECT_TRUE(ver->Prepared());
    tr->StartTransaction();
    ver->ExecQuery();
    EXPECT_EQ(ver->GetFields(0)->AsInteger(), 3);

    // A text change while the cursor is open is refused; after Close it prepares anew.
    EXPECT_EQ(messageOf<EFIBClientError>([&] { ver->setSQLText(QStringLiteral("select 1 from RDB$DATABASE")); }),
              QStringLiteral("Can't change sql text because MainForm.VerQuery dataset open."));
    ver->Close();
    ver->setSQLText(QStringLiteral("delete from VER"));
    EXPECT_FALSE(ver->Prepared());
    ver->ExecQuery();
    EXPECT_EQ(ver->SQLType(), SQLDelete);
    EXPECT_EQ(ver->RowsAffected(), 1);

    // The empty table: Eof at once and every column reads as null and 0.
    ver->setSQLText(lines({"select VER_MAJOR, VER_MINOR, VER_RELEASE, VER_BUILD", "from VER"}));
    ver->ExecQuery();
    EXPECT_TRUE(ver->Eof());
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(ver->GetFields(i)->IsNull());
        EXPECT_EQ(ver->GetFields(i)->AsInteger(), 0);
    }
}

TEST_F(FIBQueryTest, ScaledIntegerAndTextColumnsReadAsIntegers)
{
    run(QStringLiteral("create table QT_NUM (ID integer, N numeric(9,2), S smallint, B bigint, C char(2), V varchar(10))"));
    run(QStringLiteral("insert into QT_NUM values (1, 3.99, 3, 4294967301, '23', 'abc')"));
    run(QStringLiteral("insert into QT_NUM values (2, -3.99, null, 2147483648, null, null)"));
    TpFIBQuery* q = query("Q1", QStringLiteral("select N, S, B, C, V, N + 0 as ID, N + 1 from QT_NUM order by QT_NUM.ID"));
    q->ExecQuery();
    EXPECT_EQ(q->GetFields(0)->AsInteger(), 3);
    EXPECT_EQ(q->GetFields(0)->AsString(), "3.99");
    EXPECT_EQ(q->GetFields(1)->AsInteger(), 3);
    EXPECT_EQ(q->GetFields(2)->AsInteger(), 5);  // the low 32 bits
    EXPECT_EQ(q->GetFields(2)->AsInt64(), 4294967301LL);
    EXPECT_EQ(q->GetFields(3)->AsString(), "23");
    EXPECT_EQ(q->GetFields(3)->AsInteger(), 23);
    EXPECT_EQ(messageOf<EFIBClientError>([&] { q->GetFields(4)->AsInteger(); }), QStringLiteral("Invalid data conversion."));
    EXPECT_EQ(q->FieldName(5), "ID");
    EXPECT_EQ(q->FieldName(6), "ADD");  // the server's name for an unnamed sum
    ASSERT_NE(q->Next(), nullptr);
    EXPECT_EQ(q->GetFields(0)->AsInteger(), -3);
    EXPECT_TRUE(q->GetFields(1)->IsNull());
    EXPECT_EQ(q->GetFields(1)->AsInteger(), 0);
    EXPECT_EQ(q->GetFields(2)->AsInteger(), -2147483647 - 1);

    TpFIBQuery* names = query("Q2", QStringLiteral("select ID, ID, 1 + 1, 'x' from QT_NUM"));
    names->ExecQuery();
    EXPECT_EQ(names->Current().Names(), "ID\r\nID1\r\nADD\r\nCONSTANT\r\n");
}

TEST_F(FIBQueryTest, DataDefinitionGoesToTheServerByteForByteWithoutPrepare)
{
    const QString body = lines({
        "begin",
        "  /* marks ? and :colons stay as written */",
        "  for select ID, N from QT_P where ID >= :V$FROM into :ID, :N do",
        "  begin",
        "    NOTE = 'a?b:c -- d; Урок';",
        "    suspend;",
        "  end",
        "end",
    });
    const QString text = lines({"CREATE OR ALTER procedure QT_LIST (V$FROM integer)",
                                "returns (ID integer, N varchar(20), NOTE varchar(40))", "as"}) +
                         body.left(body.size() - 2) + QStringLiteral(";") + kCrLf;
    run(QStringLiteral("create table QT_P (ID integer, N varchar(20))"));
    run(QStringLiteral("insert into QT_P values (1, 'one')"));
    run(QStringLiteral("insert into QT_P values (2, 'two')"));

    TpFIBQuery* ddl = query("Q3", text);
    EXPECT_EQ(ddl->SQLKind(), skDDL);
    EXPECT_EQ(ddl->ParamCount(), 0);
    ddl->ExecQuery();
    EXPECT_FALSE(ddl->Prepared());
    EXPECT_EQ(ddl->SQLType(), SQLUnknown);
    EXPECT_EQ(ddl->PreparedSQL(), text.toUtf8());
    tr->Commit();
    tr->StartTransaction();

    TpFIBQuery* source = query("Q4", QStringLiteral("select RDB$PROCEDURE_SOURCE from RDB$PROCEDURES "
                                                    "where RDB$PROCEDURE_NAME = 'QT_LIST'"));
    source->ExecQuery();
    ASSERT_FALSE(source->Eof());
    // The stored source is the text after AS, line breaks and literals untouched.
    const QString stored = source->GetFields(0)->AsString();
    EXPECT_TRUE(text.contains(stored.trimmed())) << stored.toStdString();
    EXPECT_TRUE(stored.contains(QStringLiteral("'a?b:c -- d; Урок'")));
    EXPECT_TRUE(stored.contains(QStringLiteral("where ID >= :V$FROM into :ID, :N do\r\n")));

    // The selectable procedure with a parameter.
    TpFIBQuery* rows = query("Q5", QStringLiteral("select ID, N, NOTE from QT_LIST(:FROM_ID)"));
    rows->ParamByName(QStringLiteral("from_id"))->setAsInteger(2);
    rows->ExecQuery();
    ASSERT_FALSE(rows->Eof());
    EXPECT_EQ(rows->FieldByName(QStringLiteral("N"))->AsString(), "two");
    EXPECT_EQ(rows->FieldByName(QStringLiteral("NOTE"))->AsString(), QStringLiteral("a?b:c -- d; Урок"));
    EXPECT_EQ(rows->Next(), nullptr);
    rows->ParamByName(QStringLiteral("FROM_ID"))->setAsInteger(1);
    rows->ExecQuery();
    EXPECT_EQ(rows->GetFields(0)->AsInteger(), 1);
}

TEST_F(FIBQueryTest, TextsEndingWithASemicolonAreSentWithIt)
{
    run(lines({"create or alter procedure QT_FIX", "as", "begin", "  update VER set VER_BUILD = VER_BUILD + 1;", "end;"}));
    TpFIBQuery* exec = query("Q9", lines({"EXECUTE PROCEDURE QT_FIX;"}));
    exec->ExecQuery();
    EXPECT_EQ(exec->SQLType(), SQLExecProcedure);
    EXPECT_EQ(exec->PreparedSQL(), QByteArray("EXECUTE PROCEDURE QT_FIX;\r\n"));
    TpFIBQuery* grant = query("Q11", lines({"GRANT EXECUTE ON PROCEDURE QT_FIX TO PUBLIC;"}));
    EXPECT_EQ(grant->SQLKind(), skDDL);
    grant->ExecQuery();
    TpFIBQuery* ver = query("VerQuery", QStringLiteral("select VER_BUILD from VER"));
    ver->ExecQuery();
    EXPECT_EQ(ver->GetFields(0)->AsInteger(), 29);
}

TEST_F(FIBQueryTest, ParametersOfEveryTypeRoundTrip)
{
    run(QStringLiteral("create table QT_ALL (I integer, S smallint, B bigint, N numeric(9,2), N18 numeric(18,4), "
                       "D double precision, F float, C char(5), V varchar(20), DT date, TM time, TS timestamp, BL blob sub_type text)"));
    TpFIBQuery* ins = query("Q1", QStringLiteral("insert into QT_ALL values (:I, :S, :B, :N, :N18, :D, :F, :C, :V, :DT, :TM, :TS, :BL)"));
    ins->ParamByName(QStringLiteral("I"))->setAsInteger(-7);
    ins->ParamByName(QStringLiteral("S"))->setAsInteger(300);
    ins->ParamByName(QStringLiteral("B"))->setAsInt64(9000000000LL);
    ins->ParamByName(QStringLiteral("N"))->setAsDouble(3.99);
    ins->ParamByName(QStringLiteral("N18"))->setAsString(QStringLiteral("12345678901234.5678"));
    ins->ParamByName(QStringLiteral("D"))->setAsDouble(0.1);
    ins->ParamByName(QStringLiteral("F"))->setAsDouble(2.5);
    ins->ParamByName(QStringLiteral("C"))->setAsString(QStringLiteral("Ёж"));
    ins->ParamByName(QStringLiteral("V"))->setAsString(QStringLiteral("текст"));
    ins->ParamByName(QStringLiteral("DT"))->setAsDate(QDate(2026, 12, 9));
    ins->ParamByName(QStringLiteral("TM"))->setAsTime(QTime(13, 5, 7, 120));
    ins->ParamByName(QStringLiteral("TS"))->setAsDateTime(QDateTime(QDate(2000, 2, 29), QTime(23, 59, 58)));
    const QString longText = QString(QStringLiteral("Длинный текст ")).repeated(5000);  // several segments
    ins->ParamByName(QStringLiteral("BL"))->setAsString(longText);
    ins->ExecQuery();
    EXPECT_EQ(ins->RowsAffected(), 1);
    // The same statement with other values (conversions from text) and with nulls.
    ins->SetParamValues({QStringLiteral("8"), 1, QVariant(), QStringLiteral("-0.05"), 1, 1, 1, 1, 1,
                         QStringLiteral("2026-01-31"), QStringLiteral("00:00:01"), QStringLiteral("2026-01-31T10:00:00"),
                         QStringLiteral("short")});
    ins->ExecQuery();
    ins->SetParamValues({9, QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(),
                         QVariant(), QVariant(), QVariant(), QVariant(), QVariant()});
    ins->ExecQuery();

    TpFIBQuery* sel = query("Q2", QStringLiteral("select * from QT_ALL where I = :I"));
    sel->ParamByName(QStringLiteral("I"))->setAsInteger(-7);
    sel->ExecQuery();
    ASSERT_FALSE(sel->Eof());
    EXPECT_EQ(sel->FieldValue(QStringLiteral("S")), QVariant(300));
    EXPECT_EQ(sel->FieldValue(QStringLiteral("B")), QVariant(9000000000LL));
    EXPECT_EQ(sel->FieldByName(QStringLiteral("N"))->AsString(), "3.99");
    EXPECT_EQ(sel->FieldByName(QStringLiteral("N18"))->AsString(), "12345678901234.5678");
    EXPECT_DOUBLE_EQ(sel->FieldByName(QStringLiteral("D"))->AsDouble(), 0.1);
    EXPECT_DOUBLE_EQ(sel->FieldByName(QStringLiteral("F"))->AsDouble(), 2.5);
    EXPECT_EQ(sel->FieldByName(QStringLiteral("C"))->AsString(), QStringLiteral("Ёж   "));
    EXPECT_EQ(sel->FieldByName(QStringLiteral("V"))->AsString(), QStringLiteral("текст"));
    EXPECT_EQ(sel->FieldByName(QStringLiteral("DT"))->AsDate(), QDate(2026, 12, 9));
    EXPECT_EQ(sel->FieldByName(QStringLiteral("TM"))->AsTime(), QTime(13, 5, 7, 120));
    EXPECT_EQ(sel->FieldByName(QStringLiteral("TS"))->AsDateTime(), QDateTime(QDate(2000, 2, 29), QTime(23, 59, 58), Qt::UTC));
    EXPECT_EQ(sel->FieldByName(QStringLiteral("BL"))->AsString(), longText);

    sel->ParamByName(QStringLiteral("I"))->setAsInteger(8);
    sel->ExecQuery();
    EXPECT_EQ(sel->FieldByName(QStringLiteral("N"))->AsString(), "-0.05");
    EXPECT_TRUE(sel->FieldByName(QStringLiteral("B"))->IsNull());
    EXPECT_EQ(sel->FieldByName(QStringLiteral("C"))->AsString(), QStringLiteral("1    "));
    EXPECT_EQ(sel->FieldByName(QStringLiteral("TS"))->AsString(), "2026-01-31 10:00:00");
    EXPECT_EQ(sel->FieldValue(QStringLiteral("BL")), QVariant(QStringLiteral("short")));

    sel->setQoTrimCharFields(true);
    EXPECT_EQ(sel->FieldByName(QStringLiteral("C"))->AsString(), QStringLiteral("1"));

    // A null parameter compared by "=" becomes a null test, unless the option forbids it.
    TpFIBQuery* count = query("Q3", QStringLiteral("select count(*) from QT_ALL where V = :V"));
    count->ExecQuery();
    EXPECT_TRUE(count->ProcessedSQL().contains(QStringLiteral(" IS NULL "))) << count->ProcessedSQL().toStdString();
    EXPECT_EQ(count->GetFields(0)->AsInteger(), 1);
    count->ParamByName(QStringLiteral("V"))->setAsString(QStringLiteral("текст"));
    count->ExecQuery();
    EXPECT_EQ(count->GetFields(0)->AsInteger(), 1);
    count->setQoNoForceIsNull(true);
    count->ParamByName(QStringLiteral("V"))->Clear();
    count->Close();
    count->setSQLText(count->SQLText());
    count->ExecQuery();
    EXPECT_EQ(count->GetFields(0)->AsInteger(), 0);
}

TEST_F(FIBQueryTest, Firebird4TypesKeepEveryDigitAndTheirZone)
{
    if (db->ServerMajorVersion() < 4)
        GTEST_SKIP() << "INT128, DECFLOAT and time zones need a Firebird 4 server and client";
    const QString invalid = QStringLiteral("Invalid data conversion.");
    TpFIBQuery* lit = query("Q1", QStringLiteral("select cast(-5 as int128) SMALL, cast(9223372036854775808 as int128) BIG, "
                                                 "cast(-3.99 as numeric(38,2)) N, cast(2147483648 as decfloat(16)) DF, "
                                                 "cast(-7.9 as decfloat(34)) DN from rdb$database"));
    lit->ExecQuery();
    EXPECT_EQ(lit->FieldByName(QStringLiteral("SMALL"))->AsInteger(), -5);
    EXPECT_EQ(messageOf<EFIBClientError>([&] { lit->FieldByName(QStringLiteral("BIG"))->AsInt64(); }), invalid);
    EXPECT_EQ(lit->FieldByName(QStringLiteral("N"))->AsInteger(), -3);
    EXPECT_EQ(lit->FieldByName(QStringLiteral("DF"))->AsInt64(), 2147483648LL);
    EXPECT_EQ(messageOf<EFIBClientError>([&] { lit->FieldByName(QStringLiteral("DF"))->AsInteger(); }), invalid);
    EXPECT_EQ(lit->FieldByName(QStringLiteral("DN"))->AsInteger(), -7);

    run(QStringLiteral("create table QT_FB4 (ID integer, I128 int128, N38 numeric(38,6), D16 decfloat(16), "
                       "D34 decfloat(34), TTZ time with time zone, TSTZ timestamp with time zone, TSO timestamp with time zone)"));
    const QStringList columns = {"I128", "N38", "D16", "D34", "TTZ", "TSTZ", "TSO"};
    const QStringList texts = {"-170141183460469231731687303715884105728", "12345678901234567890123456789012.345678",
                               "1234567890.123456", "1.234567890123456789012345678901234E+100",
                               "10:00:00.125 Europe/Moscow", "2024-03-01 10:00:00 America/New_York",
                               "2024-03-01 10:00:00 +03:00"};
    TpFIBQuery* ins = query("Q2", QStringLiteral("insert into QT_FB4 values (:ID, :I128, :N38, :D16, :D34, :TTZ, :TSTZ, :TSO)"));
    ins->ParamByName(QStringLiteral("ID"))->setAsInteger(1);
    for (int i = 0; i < 6; ++i)
        ins->ParamByName(columns[i])->setAsString(texts[i]);
    ins->ParamByName(QStringLiteral("TSO"))->setAsDateTime(QDateTime(QDate(2024, 3, 1), QTime(10, 0), QTimeZone(3 * 3600)));
    ins->ExecQuery();

    TpFIBQuery* sel = query("Q3", QStringLiteral("select * from QT_FB4 where ID = :ID"));
    sel->ParamByName(QStringLiteral("ID"))->setAsInteger(1);
    sel->ExecQuery();
    for (int i = 0; i < columns.size(); ++i)
        EXPECT_EQ(sel->FieldByName(columns[i])->AsString(), texts[i]);
    const QDateTime offsetStamp = sel->FieldByName(QStringLiteral("TSO"))->AsDateTime();
    EXPECT_EQ(offsetStamp, QDateTime(QDate(2024, 3, 1), QTime(7, 0), QTimeZone::utc()));
    EXPECT_EQ(offsetStamp.offsetFromUtc(), 3 * 3600);

    // Each value back through AsVariant, and integers into the numeric types. Without the system's
    // zone data Qt knows no regions: then a region comes back as the offset it had.
    ins->ParamByName(QStringLiteral("ID"))->setAsInteger(2);
    for (const QString& column : columns)
        ins->ParamByName(column)->setAsVariant(sel->FieldValue(column));
    ins->ExecQuery();
    sel->ParamByName(QStringLiteral("ID"))->setAsInteger(2);
    sel->ExecQuery();
    QStringList again = texts;
    if (!QTimeZone(QByteArrayLiteral("America/New_York")).isValid()) {
        again[4] = QStringLiteral("10:00:00.125 +03:00");
        again[5] = QStringLiteral("2024-03-01 10:00:00 -05:00");
    }
    for (int i = 0; i < columns.size(); ++i)
        EXPECT_EQ(sel->FieldByName(columns[i])->AsString(), again[i]) << columns[i].toStdString();
    ins->ParamByName(QStringLiteral("ID"))->setAsInteger(3);
    ins->ParamByName(QStringLiteral("N38"))->setAsInt64(-9000000000LL);
    ins->ParamByName(QStringLiteral("D34"))->setAsInteger(7);
    EXPECT_EQ(messageOf<EFIBClientError>([&] { ins->ParamByName(QStringLiteral("D16"))->setAsString("1,5"); }), invalid);
    ins->ExecQuery();
    sel->ParamByName(QStringLiteral("ID"))->setAsInteger(3);
    sel->ExecQuery();
    EXPECT_EQ(sel->FieldByName(QStringLiteral("N38"))->AsString(), "-9000000000.000000");
    EXPECT_EQ(sel->FieldByName(QStringLiteral("D34"))->AsString(), "7");

    // The extended zoned forms carry the offset as well: written and read the same.
    query("Q4", QStringLiteral("set bind of time zone to extended"))->ExecQuery();
    TpFIBQuery* ext = query("Q5", QStringLiteral("insert into QT_FB4 (ID, TTZ, TSTZ) values (4, :TTZ, :TSTZ)"));
    ext->ParamByName(QStringLiteral("TTZ"))->setAsString(texts[4]);
    ext->ParamByName(QStringLiteral("TSTZ"))->setAsString(texts[5]);
    ext->ExecQuery();
    EXPECT_EQ(ext->ParamByName(QStringLiteral("TSTZ"))->SQLType(), SQL_TIMESTAMP_TZ_EX);
    sel->Close();
    sel->setSQLText(sel->SQLText());
    sel->ParamByName(QStringLiteral("ID"))->setAsInteger(4);
    sel->ExecQuery();
    EXPECT_EQ(sel->FieldByName(QStringLiteral("TTZ"))->SQLType(), SQL_TIME_TZ_EX);
    EXPECT_EQ(sel->FieldByName(QStringLiteral("TTZ"))->AsString(), texts[4]);
    EXPECT_EQ(sel->FieldByName(QStringLiteral("TSTZ"))->AsString(), texts[5]);
}

TEST_F(FIBQueryTest, AnExplicitPrepareIsKeptUnlessANullParameterNeedsTheRewrite)
{
    // Each prepare takes a new statement handle, so an unchanged handle means no second prepare.
    TpFIBQuery* q = query("Q1", QStringLiteral("select count(*) from RDB$RELATIONS where RDB$RELATION_NAME = :N"));
    q->Prepare();
    const isc_stmt_handle prepared = q->Handle();
    q->ParamByName(QStringLiteral("N"))->setAsString(QStringLiteral("RDB$DATABASE"));
    q->ExecQuery();
    EXPECT_EQ(q->Handle(), prepared);
    EXPECT_EQ(q->GetFields(0)->AsInteger(), 1);
    EXPECT_FALSE(q->ProcessedSQL().contains(QStringLiteral(" IS NULL ")));

    // A null compared by "=" changes the text the server needs: prepared again, with the null test.
    q->Close();
    q->Prepare();
    q->ParamByName(QStringLiteral("N"))->Clear();
    q->ExecQuery();
    EXPECT_NE(q->Handle(), prepared);
    EXPECT_TRUE(q->ProcessedSQL().contains(QStringLiteral(" IS NULL ")));
    EXPECT_EQ(q->GetFields(0)->AsInteger(), 0);
}

TEST_F(FIBQueryTest, RowCountsFollowTheStatementType)
{
    run(QStringLiteral("create table QT_R (ID integer)"));
    TpFIBQuery* ins = query("Q1", QStringLiteral("insert into QT_R select RDB$RELATION_ID from RDB$RELATIONS rows 3"));
    ins->ExecQuery();
    EXPECT_EQ(ins->RowsAffected(), 3);
    EXPECT_EQ(ins->AllRowsAffected().Inserts, 3);
    TpFIBQuery* upd = query("Q2", QStringLiteral("update QT_R set ID = ID + 1 where ID < :LIMIT"));
    upd->ParamByName(QStringLiteral("LIMIT"))->setAsInteger(1000);
    upd->ExecQuery();
    EXPECT_EQ(upd->SQLType(), SQLUpdate);
    EXPECT_EQ(upd->RowsAffected(), 3);
    TpFIBQuery* del = query("QQ", QStringLiteral("delete from QT_R"));
    del->ExecQuery();
    EXPECT_EQ(del->RowsAffected(), 3);
}

TEST_F(FIBQueryTest, ServerErrorsNameTheStatementAndKeepItPrepared)
{
    TpFIBQuery* bad = query("Q7", QStringLiteral("select * from QT_MISSING"));
    const QString message = messageOf<EFIBInterBaseError>([&] { bad->ExecQuery(); });
    EXPECT_TRUE(message.startsWith(QStringLiteral("MainForm.Q7:\r\n"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("QT_MISSING"))) << message.toStdString();
    EXPECT_FALSE(bad->Prepared());
    EXPECT_EQ(bad->Handle(), 0u);

    run(QStringLiteral("create table QT_U (ID integer not null primary key)"));
    TpFIBQuery* ins = query("Q8", QStringLiteral("insert into QT_U values (1)"));
    ins->ExecQuery();
    EXPECT_TRUE(messageOf<EFIBInterBaseError>([&] { ins->ExecQuery(); }).contains(QStringLiteral("PRIMARY")));
    EXPECT_TRUE(ins->Prepared());
    EXPECT_TRUE(tr->Active());

    TpFIBQuery* blank = query("Q9", QStringLiteral("   "));
    EXPECT_EQ(messageOf<EFIBClientError>([&] { blank->ExecQuery(); }), QStringLiteral("Can't Prepare , because  query is empty"));
    bad->setSQLText(QStringLiteral("select * from QT_MISSING"));
    EXPECT_EQ(messageOf<EFIBClientError>([&] { bad->CheckValidStatement(); }), QStringLiteral("MainForm.Q7:Invalid statement handle."));
    TpFIBQuery* ok = query("Q10", QStringLiteral("select * from QT_U"));
    EXPECT_NO_THROW(ok->CheckValidStatement());
}

TEST_F(FIBQueryTest, CommitStatementEndsTheComponentsTransaction)
{
    run(QStringLiteral("create table QT_C (ID integer)"));
    query("Q1", QStringLiteral("insert into QT_C values (5)"))->ExecQuery();
    TpFIBQuery* commit = query("Q2", QStringLiteral("COMMIT"));
    commit->ExecQuery();
    EXPECT_EQ(commit->SQLType(), SQLCommit);
    EXPECT_FALSE(tr->Active());
    tr->StartTransaction();
    TpFIBQuery* sel = query("Q3", QStringLiteral("select ID from QT_C"));
    sel->ExecQuery();
    EXPECT_EQ(sel->GetFields(0)->AsInteger(), 5);
}

TEST_F(FIBQueryTest, ExecuteErrorHookRetriesOrAbortsSilently)
{
    run(QStringLiteral("create table QT_U (ID integer not null primary key)"));
    run(QStringLiteral("insert into QT_U values (1)"));
    TpFIBQuery* ins = query("Q1", QStringLiteral("insert into QT_U values (1)"));
    int calls = 0;
    ins->OnExecuteError = [&](TpFIBQuery* q, const EFIBError& e, TpFIBQuery::TDataAction& action) {
        ++calls;
        EXPECT_EQ(q, ins);
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("MainForm.Q1:")));
        EXPECT_EQ(action, TpFIBQuery::daFail);
        query("Fix", QStringLiteral("delete from QT_U"))->ExecQuery();
        action = TpFIBQuery::daRetry;
    };
    ins->ExecQuery();
    EXPECT_EQ(calls, 1);
    ins->OnExecuteError = [&](TpFIBQuery*, const EFIBError&, TpFIBQuery::TDataAction& action) {
        ++calls;
        action = TpFIBQuery::daAbort;
    };
    EXPECT_THROW(ins->ExecQuery(), EAbort);
    ins->OnExecuteError = [&](TpFIBQuery*, const EFIBError&, TpFIBQuery::TDataAction&) { ++calls; };
    EXPECT_THROW(ins->ExecQuery(), EFIBInterBaseError);
    EXPECT_EQ(calls, 3);
}

TEST_F(FIBQueryTest, ExecProcedureFillsParametersAndReturnsOutputs)
{
    run(lines({"create or alter procedure QT_ADD (A integer, B integer)", "returns (S integer)", "as",
               "begin", "  S = A + B;", "end"}));
    TpFIBQuery* q = query("Q1", QString());
    q->ExecProcedure(QStringLiteral("QT_ADD"), {2, 40});
    EXPECT_EQ(q->SQLText(), QStringLiteral("EXECUTE  PROCEDURE QT_ADD(?P0,?P1)\r\n"));
    EXPECT_TRUE(q->ProcExecuted());
    EXPECT_EQ(q->ParamByName(QStringLiteral("S"))->AsInteger(), 42);  // outputs found through ParamByName
    q->ExecProcedure(QStringLiteral("QT_ADD"), {1, 1});
    EXPECT_EQ(q->FieldByName(QStringLiteral("S"))->AsInteger(), 2);
}

TEST_F(FIBQueryTest, HandlesFollowOptionsTextBracketsAndTheConnection)
{
    // A leading comment makes the kind unknown; the server still runs it as a select.
    TpFIBQuery* q = query("Q1", QStringLiteral("/* first */select 1 from RDB$DATABASE"));
    EXPECT_EQ(q->SQLKind(), skUnknown);
    q->ExecQuery();
    EXPECT_EQ(q->SQLType(), SQLSelect);
    EXPECT_EQ(q->GetFields(0)->AsInteger(), 1);

    // Several changes inside the brackets count as one text change.
    const int changes = q->SQLTextChangeCount();
    q->Close();
    q->BeginModifySQLText();
    q->setSQLText(QStringLiteral("select 2 from RDB$DATABASE where 1 = :A"));
    q->setSQLText(QStringLiteral("select 3 from RDB$DATABASE where 1 = :B"));
    EXPECT_EQ(q->CountModifySQLText(), 1);
    q->EndModifySQLText();
    EXPECT_EQ(q->SQLTextChangeCount(), changes + 1);
    EXPECT_EQ(q->ParamName(0), "B");
    q->ParamByName(QStringLiteral("B"))->setAsInteger(1);

    // With qoFreeHandleAfterExecute the server statement goes once the rows are read.
    q->setQoFreeHandleAfterExecute(true);
    q->ExecQuery();
    EXPECT_EQ(q->GetFields(0)->AsInteger(), 3);
    EXPECT_TRUE(q->Prepared());
    EXPECT_EQ(q->Next(), nullptr);
    EXPECT_TRUE(q->Eof());
    EXPECT_FALSE(q->Prepared());
    EXPECT_EQ(q->Handle(), 0u);

    // Detaching closes the cursor and releases the statement.
    TpFIBQuery* open = query("Q2", QStringLiteral("select RDB$RELATION_NAME from RDB$RELATIONS"));
    open->ExecQuery();
    ASSERT_TRUE(open->Open());
    db->Close();
    EXPECT_FALSE(open->Open());
    EXPECT_FALSE(open->Prepared());
    EXPECT_EQ(open->Handle(), 0u);
    db->Open();
    tr->StartTransaction();
    open->ExecQuery();
    EXPECT_FALSE(open->Eof());

    // A close that fails still resets the cursor state and frees the handle as configured: the
    // attachment (embedded, where a close is not deferred) is ended by another one meanwhile.
    db->Close();
    db->setDBName(file.path());
    db->Open();
    tr->StartTransaction();
    open->setQoFreeHandleAfterExecute(true);
    open->ExecQuery();
    open->setProcExecuted(true);
    TpFIBDatabase* other = new TpFIBDatabase(&form);
    setUpConnection(*other, file.path(), testPassword());
    auto* otherTr = new TpFIBTransaction(&form);
    otherTr->setDefaultDatabase(other);
    other->Open();
    otherTr->StartTransaction();
    TpFIBQuery* end = query("End", QStringLiteral("delete from MON$ATTACHMENTS where MON$ATTACHMENT_ID = %1").arg(db->AttachmentID()));
    end->setDatabase(other);
    end->setTransaction(otherTr);
    end->ExecQuery();
    otherTr->Commit();
    EXPECT_TRUE(raised<EFIBInterBaseError>([&] { open->Close(); }).has_value());
    EXPECT_FALSE(open->Open());
    EXPECT_FALSE(open->Bof());
    EXPECT_FALSE(open->ProcExecuted());
    EXPECT_FALSE(open->Prepared());
    EXPECT_EQ(open->Handle(), 0u);
    db->ForceClose();
}

TEST_F(FIBQueryTest, SelectForUpdateGetsACursorNameAndValidationConnectsForItself)
{
    TpFIBQuery* q = query("Q1", QStringLiteral("select VER_BUILD from VER for update"));
    q->ExecQuery();
    EXPECT_EQ(q->SQLType(), SQLSelectForUpdate);
    EXPECT_EQ(q->CursorName().size(), 10);
    EXPECT_EQ(q->GetFields(0)->AsInteger(), 28);
    EXPECT_EQ(q->AllRowsAffected().Selects, 1);
    q->Close();

    // Not connected: the check connects and starts what it needs and ends both again.
    tr->Rollback();
    db->Close();
    TpFIBQuery* check = query("Q2", QStringLiteral("select VER_MAJOR from VER"));
    check->CheckValidStatement();
    EXPECT_FALSE(db->Connected());
    EXPECT_FALSE(tr->Active());
    db->Open();
    tr->StartTransaction();
}
