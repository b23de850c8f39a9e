// The product procedures of the stand-in database (a test double of the school product's
// database): the ones that work, the ones that only record their calls, and the script's
// procedures installed over them.

#include "Raised.h"
#include "ScratchDatabase.h"
#include "ScriptTestSupport.h"
#include "TestSession.h"
#include "fib.h"

#include <QDate>
#include <gtest/gtest.h>

using testsupport::ScratchDatabase;
using testsupport::TestSession;

namespace {

QString failureOf(TestSession& s, const QString& sql, const QVariantList& params = {})
{
    return testsupport::messageOf<EFIBInterBaseError>([&] { s.execute(sql, params); });
}

QStringList calls(TestSession& s) { return testsupport::callLog(s); }

}  // namespace

TEST(ProductStandInsTest, ValAddWritesEveryValueTypeIntoItsTable)
{
    ScratchDatabase db(QStringLiteral("valadd"));
    TestSession s(db.serverName());
    const QList<std::pair<int, int>> params{{2, 1}, {2819, 2}, {1191, 3}, {2181, 4}, {69, 5}, {1170, 6}};
    for (const auto& [param, type] : params)
        s.execute(QStringLiteral("INSERT INTO PARAMS (PARAM_ID, PARAM_TYPE) VALUES (:param_id, :param_type)"),
                  {param, type});

    const auto add = [&](const QVariantList& args) {
        QStringList marks;
        for (int i = 0; i < args.size(); ++i)
            marks << QStringLiteral(":a%1").arg(i);
        return s.scalar(QStringLiteral("SELECT BLOB_ID FROM VAL_ADD(") + marks.join(", ") + ")", args);
    };
    const QVariant first = add({2, 100, QStringLiteral("Школа № 1"), 7});
    EXPECT_EQ(first.typeId(), QMetaType::LongLong);
    EXPECT_NE(add({2819, 100, QStringLiteral("7")}), first);
    add({1191, 100, QStringLiteral("111.1")});
    add({2181, 100, QStringLiteral("01.01.2025")});
    add({69, 100, QStringLiteral("1000000005")});
    add({1170, 100, 13});

    EXPECT_EQ(s.query(QStringLiteral("SELECT VAL, SVAL, USER_ID, IS_DEL FROM VALS WHERE PARAM_ID = 2 AND OBJ_ID = 100")),
              (QList<QVariantList>{{QStringLiteral("Школа № 1"), QStringLiteral("Школа № 1"), qlonglong(7), 0}}));
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT VAL FROM VALI WHERE PARAM_ID = 2819 AND OBJ_ID = 100")), QVariant(7));
    EXPECT_DOUBLE_EQ(s.scalar(QStringLiteral("SELECT VAL FROM VALF WHERE PARAM_ID = 1191")).toDouble(), 111.1);
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT VAL FROM VALD WHERE PARAM_ID = 2181")), QVariant(QDate(2025, 1, 1)));
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT VAL FROM VALR WHERE PARAM_ID = 69")), QVariant(qlonglong(1000000005)));
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT LISTVAL_ID FROM VALL WHERE PARAM_ID = 1170")), QVariant(qlonglong(13)));

    // Deleting marks the row; writing again revives it; a null or empty value is a live null.
    add({1170, 100, QVariant(), 7, 1});
    EXPECT_EQ(s.query(QStringLiteral("SELECT LISTVAL_ID, IS_DEL FROM VALL WHERE PARAM_ID = 1170")),
              (QList<QVariantList>{{qlonglong(13), 1}}));
    add({1170, 100, 14, 7, 0, 1});
    EXPECT_EQ(s.query(QStringLiteral("SELECT LISTVAL_ID, IS_DEL FROM VALL WHERE PARAM_ID = 1170")),
              (QList<QVariantList>{{qlonglong(14), 0}}));
    add({2819, 100, QString()});
    add({2181, 100, QStringLiteral("")});
    EXPECT_EQ(s.query(QStringLiteral("SELECT VAL, IS_DEL FROM VALI WHERE PARAM_ID = 2819")),
              (QList<QVariantList>{{QVariant(), 0}}));
    EXPECT_EQ(s.query(QStringLiteral("SELECT VAL, IS_DEL FROM VALD WHERE PARAM_ID = 2181")),
              (QList<QVariantList>{{QVariant(), 0}}));
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT COUNT(*) FROM CALL_LOG")), QVariant(qlonglong(0)));

    // Refusals: an uncatalogued parameter, a missing object, a value that does not convert.
    EXPECT_TRUE(failureOf(s, QStringLiteral("SELECT * FROM VAL_ADD(1171, 100, '3003')"))
                    .contains(QStringLiteral("параметр 1171 не описан в PARAMS")));
    EXPECT_TRUE(failureOf(s, QStringLiteral("SELECT * FROM VAL_ADD(2819, NULL, '1')"))
                    .contains(QStringLiteral("не задан объект")));
    EXPECT_TRUE(failureOf(s, QStringLiteral("SELECT * FROM VAL_ADD(2819, 100, 'семь')"))
                    .contains(QStringLiteral("Conversion error from string")))
        << failureOf(s, QStringLiteral("SELECT * FROM VAL_ADD(2819, 100, 'семь')")).toStdString();
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT VAL FROM VALI WHERE PARAM_ID = 2819")), QVariant());
}

TEST(ProductStandInsTest, StandInsRecordTheirCallsInOrderAndAnswerAsTold)
{
    ScratchDatabase db(QStringLiteral("calllog"));
    TestSession s(db.serverName());
    s.execute(QStringLiteral("EXECUTE PROCEDURE UT_SYNC_EXPERT(5, NULL)"));
    s.execute(QStringLiteral("EXECUTE PROCEDURE SCHOOL_WEEK_ADD(5, 12)"));
    s.execute(QStringLiteral("EXECUTE PROCEDURE ATT_VAL_AFTER(5, 592, 'два, три', 0, 7)"));
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT X FROM TARVELL_EDUCATION_LEAVE_CHECK(5, DATE '2024-03-15', 7)")),
              QVariant(0));
    EXPECT_EQ(calls(s), (QStringList{"UT_SYNC_EXPERT(5, null)", "SCHOOL_WEEK_ADD(5, 12)",
                                     "ATT_VAL_AFTER(5, 592, два, три, 0, 7)",
                                     "TARVELL_EDUCATION_LEAVE_CHECK(5, 2024-03-15, 7)"}));

    // Answers: for the object first, else for any object; a raise message makes the call fail.
    s.execute(
        QStringLiteral(
            "INSERT INTO STUB_RESULTS (PROC_NAME, OBJ_ID, RESULT_VALUE) VALUES (:proc_name, :obj_id, :result_value)"),
        {QStringLiteral("GIA_CLASS_SINONIM_GET"), QVariant(), QStringLiteral("10 А (ГИА)")});
    s.execute(
        QStringLiteral(
            "INSERT INTO STUB_RESULTS (PROC_NAME, OBJ_ID, RESULT_VALUE) VALUES (:proc_name, :obj_id, :result_value)"),
        {QStringLiteral("GIA_CLASS_SINONIM_GET"), 6, QStringLiteral("11 Б")});
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT SINONIM FROM GIA_CLASS_SINONIM_GET(5)")),
              QVariant(QStringLiteral("10 А (ГИА)")));
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT SINONIM FROM GIA_CLASS_SINONIM_GET(6)")), QVariant(QStringLiteral("11 Б")));
    s.execute(
        QStringLiteral(
            "INSERT INTO STUB_RESULTS (PROC_NAME, OBJ_ID, RAISE_MESSAGE) VALUES (:proc_name, :obj_id, :raise_message)"),
        {QStringLiteral("CHECK_OP_PLAN_EXISTS"), 5, QStringLiteral("К программе привязаны учебные планы")});
    s.commit();
    EXPECT_TRUE(failureOf(s, QStringLiteral("EXECUTE PROCEDURE CHECK_OP_PLAN_EXISTS(5)"))
                    .contains(QStringLiteral("К программе привязаны учебные планы")));
    s.execute(QStringLiteral("EXECUTE PROCEDURE CHECK_OP_PLAN_EXISTS(6)"));
    EXPECT_EQ(calls(s).mid(4), (QStringList{"GIA_CLASS_SINONIM_GET(5)", "GIA_CLASS_SINONIM_GET(6)",
                                            "CHECK_OP_PLAN_EXISTS(6)"}))
        << "the refused call is undone with its statement";
}

TEST(ProductStandInsTest, ReadingProceduresFollowTheTreeValuesAndTexts)
{
    ScratchDatabase db(QStringLiteral("readers"));
    TestSession s(db.serverName());
    // school 1 (type 2) > container 10 (type 7) > parallel 20 (type 8) > class 30 (type 9) > pupil 40
    const QList<QVariantList> links{{1, QVariant(), 2, QVariant()}, {10, 1, 7, 2}, {20, 10, 8, 7},
                                    {30, 20, 9, 8},                 {40, 30, 10, 9}};
    for (const QVariantList& l : links)
        s.execute(QStringLiteral("INSERT INTO LINKS (OBJ_ID, PARENT_ID, OBJ_TYPE_ID, PARENT_TYPE_ID) VALUES (:obj_id, "
                                 ":parent_id, :obj_type_id, :parent_type_id)"),
                  l);
    s.execute(QStringLiteral("INSERT INTO LINKS (OBJ_ID, PARENT_ID, OBJ_TYPE_ID, PARENT_TYPE_ID, DATE_DEL) "
                             "VALUES (40, 2, 10, 2, CURRENT_TIMESTAMP)"));
    EXPECT_EQ(s.query(QStringLiteral("SELECT OBJ_ID FROM OBJECT_PARENTS_GET(40, 2)")),
              (QList<QVariantList>{{qlonglong(1)}}));
    EXPECT_EQ(s.query(QStringLiteral("SELECT OBJ_ID FROM OBJECT_PARENTS_GET(40, NULL) ORDER BY 1")).size(), 4);

    s.execute(
        QStringLiteral("INSERT INTO RESOURCES (RES_ID, LANG_CODE, VAL, VAL_LONG) VALUES (500, 'ru', :val, :val_long)"),
        {QStringLiteral("Учитель"), QStringLiteral("Учитель начальных классов")});
    s.execute(QStringLiteral("INSERT INTO RESOURCES (RES_ID, LANG_CODE, VAL) VALUES (500, 'en', 'Teacher')"));
    s.execute(QStringLiteral("INSERT INTO LISTVALS (LISTVAL_ID, LIST_ID, RES_ID) VALUES (900, 58, 500)"));
    s.execute(QStringLiteral("INSERT INTO PARAMS (PARAM_ID, PARAM_TYPE, LIST_ID) VALUES (58, 6, 58)"));
    s.execute(QStringLiteral("INSERT INTO PARAMS (PARAM_ID, PARAM_TYPE) VALUES (327, 4)"));
    s.execute(QStringLiteral("INSERT INTO VALL (PARAM_ID, OBJ_ID, LISTVAL_ID) VALUES (58, 40, 900)"));
    s.execute(QStringLiteral("INSERT INTO VALD (PARAM_ID, OBJ_ID, VAL) VALUES (327, 40, DATE '2024-07-01')"));
    s.execute(QStringLiteral("INSERT INTO VALS (PARAM_ID, OBJ_ID, VAL) VALUES (2, 1, 'Школа № 1')"));

    EXPECT_EQ(s.query(QStringLiteral("SELECT VAL, VAL_LONG FROM RES_GET(500, 'en')")),
              (QList<QVariantList>{{QStringLiteral("Teacher"), QVariant()}}));
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT VAL FROM RES_GET(500, 'de')")), QVariant(QStringLiteral("Учитель")));
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT VAL FROM LISTVAL_TEXT(900)")), QVariant(QStringLiteral("Учитель")));
    EXPECT_EQ(s.query(QStringLiteral("SELECT V, V_LONG, D FROM VAL_GET(40, 58)")),
              (QList<QVariantList>{{QStringLiteral("Учитель"), QStringLiteral("Учитель начальных классов"), QVariant()}}));
    EXPECT_EQ(s.query(QStringLiteral("SELECT V, D FROM VAL_GET(40, 327)")),
              (QList<QVariantList>{{QStringLiteral("2024-07-01"), QDate(2024, 7, 1)}}));
    EXPECT_EQ(s.query(QStringLiteral("SELECT V FROM VAL_GET(40, 2)")), (QList<QVariantList>{{QVariant()}}));
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT CAPTION FROM OBJECT_CAPTION_GET(1)")),
              QVariant(QStringLiteral("Школа № 1")));

    // A new link takes the parent's type from its own link; an existing live link is reused.
    const QVariant link = s.scalar(QStringLiteral("SELECT LINK_ID FROM OBJECT_ADD_LINK(20, 40, 10, NULL, NULL, 7)"));
    EXPECT_EQ(s.query(QStringLiteral("SELECT PARENT_TYPE_ID, USER_ID FROM LINKS WHERE LINK_ID = :link_id"), {link}),
              (QList<QVariantList>{{qlonglong(8), qlonglong(7)}}));
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT LINK_ID FROM OBJECT_ADD_LINK(20, 40, 10, NULL, NULL, 7)")), link);
}

TEST(ProductStandInsTest, TheWholeUpdateScriptInstallsAndRunsOnTheStandIn)
{
    ScratchDatabase db(QStringLiteral("script"));
    TestSession s(db.serverName());
    for (const char* component : {"Q1", "Q2", "Q3", "Q4", "Q5", "Q6", "Q7", "Q8", "Q9", "Q10", "Q11"})
        EXPECT_NO_THROW(s.executeScript(QString::fromLatin1(component))) << component;
    s.commit();
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT PARAM_TYPE FROM PARAMS WHERE PARAM_ID = 1171")), QVariant(6));
    // Without a school the exports refuse with the product's exception.
    EXPECT_TRUE(failureOf(s, QStringLiteral("SELECT * FROM DC_MS_PMARKS(NULL)"))
                    .contains(QStringLiteral("Объект школы не найден")));
}
