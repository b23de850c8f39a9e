// The stand-in product database (a test double of the school product's database) and the
// test session over the layer's components.

#include "ScratchDatabase.h"
#include "TestEnv.h"
#include "TestSession.h"
#include "fib.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QTime>
#include <gtest/gtest.h>

using testsupport::ScratchDatabase;
using testsupport::TestSession;

TEST(StandInDatabaseTest, EveryMappedTypeGoesInAndComesBack)
{
    ScratchDatabase db(QStringLiteral("types"));
    TestSession s(db.serverName());
    s.execute(QStringLiteral(
        "CREATE TABLE T (K INTEGER NOT NULL PRIMARY KEY, SI SMALLINT, I INTEGER, BI BIGINT, N NUMERIC(15, 2), "
        "F FLOAT, DP DOUBLE PRECISION, C CHAR(3), V VARCHAR(50), B BLOB SUB_TYPE TEXT, "
        "D DATE, TM TIME, TS TIMESTAMP)"));
    s.commit();

    const QString longText = QString(40000, QChar(u'ж'));
    const QVariantList values{1,
                              -7,
                              2000000000,
                              qlonglong(9000000000000000000LL),
                              12.35,
                              1.5,
                              2.25,
                              QStringLiteral("Бв"),
                              QStringLiteral("Учебный период"),
                              longText,
                              QDate(2023, 12, 30),
                              QTime(13, 45, 7, 250),
                              QDateTime(QDate(2024, 1, 9), QTime(8, 30, 0, 125))};
    s.execute(QStringLiteral("INSERT INTO T VALUES (:k, :si, :i, :bi, :n, :f, :dp, :c, :v, :b, :d, :tm, :ts)"), values);
    s.execute(QStringLiteral("INSERT INTO T (K) VALUES (:k)"), {2});
    s.commit();

    const auto rows = s.query(QStringLiteral("SELECT * FROM T ORDER BY K"));
    ASSERT_EQ(rows.size(), 2);
    const QVariantList& r = rows[0];
    EXPECT_EQ(r[0].typeId(), QMetaType::Int);
    EXPECT_EQ(r[1], QVariant(-7));
    EXPECT_EQ(r[1].typeId(), QMetaType::Int);
    EXPECT_EQ(r[2], QVariant(2000000000));
    EXPECT_EQ(r[3].typeId(), QMetaType::LongLong);
    EXPECT_EQ(r[3].toLongLong(), 9000000000000000000LL);
    EXPECT_EQ(r[4].typeId(), QMetaType::Double);
    EXPECT_DOUBLE_EQ(r[4].toDouble(), 12.35);
    EXPECT_DOUBLE_EQ(r[5].toDouble(), 1.5);
    EXPECT_DOUBLE_EQ(r[6].toDouble(), 2.25);
    EXPECT_EQ(r[7], QVariant(QStringLiteral("Бв ")));  // CHAR(3) keeps its padding, no more
    EXPECT_EQ(r[8], QVariant(QStringLiteral("Учебный период")));
    EXPECT_EQ(r[9].toString(), longText);
    EXPECT_EQ(r[10], QVariant(QDate(2023, 12, 30)));
    EXPECT_EQ(r[11], QVariant(QTime(13, 45, 7, 250)));
    EXPECT_EQ(r[12], QVariant(QDateTime(QDate(2024, 1, 9), QTime(8, 30, 0, 125))));
    for (int i = 1; i < rows[1].size(); ++i)
        EXPECT_FALSE(rows[1][i].isValid()) << "column " << i << " of the row without values";

    // A text compares with a date column by the server's conversion; null parameters compare as nulls.
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT COUNT(*) FROM T WHERE D = CAST(:d AS VARCHAR(10)) AND V = :v"),
                       {QStringLiteral("30.12.2023"), QStringLiteral("Учебный период")}),
              QVariant(1));
    EXPECT_FALSE(s.scalar(QStringLiteral("SELECT K FROM T WHERE K = 3")).isValid());
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT CAST(:v AS VARCHAR(10)) FROM RDB$DATABASE"), {QVariant()}), QVariant());
}

TEST(StandInDatabaseTest, DataErrorMessageReachesTheTestInFull)
{
    ScratchDatabase db(QStringLiteral("dataerror"));
    TestSession s(db.serverName());
    const QString message = QStringLiteral("Учебный период не должен повторяться в списке");
    try {
        s.execute(QStringLiteral("EXECUTE BLOCK AS BEGIN EXCEPTION DATA_ERROR '") + message +
                  QStringLiteral("'; END"));
        FAIL() << "the exception was not raised";
    } catch (const EFIBInterBaseError& e) {
        EXPECT_EQ(e.SQLCode(), -836);
        EXPECT_TRUE(e.Message().contains(message)) << e.what();
    }
    // The session stays usable after the failure.
    s.rollback();
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT VER_BUILD FROM VER")), QVariant(28));
}

TEST(StandInDatabaseTest, SchemaHoldsTheProductsObjectsAndSessionsSeeEachOthersCommits)
{
    ScratchDatabase db(QStringLiteral("schema"));
    EXPECT_TRUE(QFile::exists(db.path()));
    EXPECT_EQ(db.serverName(), QStringLiteral("127.0.0.1:") + db.path());
    TestSession s(db.serverName());
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT COUNT(*) FROM RDB$ROLES WHERE RDB$ROLE_NAME = 'KORVAN_ROLE'")),
              QVariant(1));
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT COUNT(*) FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME = 'PARAMS'")),
              QVariant(29));
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT RDB$CHARACTER_SET_NAME FROM RDB$DATABASE")).toString().trimmed(),
              QStringLiteral("UTF8"));
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT STATUS FROM OU_LICENCE_TYPE")), QVariant(QStringLiteral("O")));

    // A statement with more columns than the first description area holds.
    s.executeScript(QStringLiteral("Q4"));
    const auto params = s.query(QStringLiteral("SELECT * FROM PARAMS"));
    ASSERT_EQ(params.size(), 1);
    ASSERT_EQ(params[0].size(), 29);
    EXPECT_EQ(params[0][0], QVariant(qlonglong(1171)));
    EXPECT_EQ(params[0][13], QVariant(QStringLiteral("0")));
    EXPECT_EQ(params[0][28], QVariant(0));

    // Row ids come from generators; the text value's search copy follows the value.
    const QVariant link = s.scalar(
        QStringLiteral("INSERT INTO LINKS (OBJ_ID, OBJ_TYPE_ID) VALUES (1000000001, 2) RETURNING LINK_ID"));
    EXPECT_EQ(link.typeId(), QMetaType::LongLong);
    s.execute(QStringLiteral("INSERT INTO VALS (PARAM_ID, OBJ_ID, VAL) VALUES (2912, 1, '{ABC-12}:7')"));
    s.commit();

    TestSession other(db.serverName());
    EXPECT_EQ(other.scalar(QStringLiteral("SELECT SVAL FROM VALS WHERE PARAM_ID = 2912 AND OBJ_ID = 1")),
              QVariant(QStringLiteral("{ABC-12}:7")));
    ScratchDatabase second(QStringLiteral("schema"));
    EXPECT_NE(second.path(), db.path());
    EXPECT_EQ(TestSession(second.serverName()).scalar(QStringLiteral("SELECT COUNT(*) FROM LINKS")), QVariant(0));
}

TEST(StandInDatabaseTest, ScratchFileIsRemovedOnDestruction)
{
    QString path;
    {
        ScratchDatabase db(QStringLiteral("removed"));
        path = db.path();
        EXPECT_TRUE(QFile::exists(path));
    }
    EXPECT_FALSE(QFile::exists(path));
}

TEST(StandInDatabaseTest, CreateCommandBuildsWithoutAServerForEmbeddedUse)
{
    const QString path = testsupport::uniqueDatabasePath(QStringLiteral("embedded"));
    QString output;
    ASSERT_EQ(testsupport::runCreateCommand({path}, &output), 0) << output.toStdString();
    {
        TestSession s(path);
        EXPECT_EQ(s.scalar(QStringLiteral("SELECT COUNT(*) FROM RDB$PROCEDURES WHERE RDB$PROCEDURE_NAME = 'VAL_ADD'")),
                  QVariant(qlonglong(1)));
        EXPECT_EQ(s.scalar(QStringLiteral("SELECT COUNT(*) FROM LINKS")), QVariant(qlonglong(0)));
    }
    QFile::remove(path);
}

TEST(StandInDatabaseTest, CreateCommandRefusesToOverwriteAndExplainsBadArguments)
{
    const QString path = testsupport::uniqueDatabasePath(QStringLiteral("existing"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a database");
    }
    QString output;
    EXPECT_NE(testsupport::runCreateCommand({path}, &output), 0);
    EXPECT_TRUE(output.contains(QStringLiteral("already exists"))) << output.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("not a database"));
    file.close();
    QFile::remove(path);

    EXPECT_NE(testsupport::runCreateCommand({QStringLiteral("--bogus"), path}, &output), 0);
    EXPECT_TRUE(output.contains(QStringLiteral("unknown option --bogus"))) << output.toStdString();
    EXPECT_NE(testsupport::runCreateCommand({QStringLiteral("/no/such/folder/x.fdb")}, &output), 0);
    EXPECT_TRUE(output.contains(QStringLiteral("does not exist"))) << output.toStdString();
    EXPECT_FALSE(QFile::exists(path));
}
