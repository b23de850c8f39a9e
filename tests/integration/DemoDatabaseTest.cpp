// The demo data set of the stand-in product database (a test double of the school product's
// database): testdb/create --demo builds it, and every procedure of the update script finds
// something to do in it.

#include "ScratchDatabase.h"
#include "TestSession.h"
#include "fib.h"

#include <QDate>
#include <gtest/gtest.h>

using testsupport::ScratchDatabase;
using testsupport::TestSession;

TEST(DemoDatabaseTest, CreateDemoBuildsOneSchoolWithItsYear)
{
    ScratchDatabase db(QStringLiteral("demo"), true);
    TestSession s(db.serverName());
    EXPECT_EQ(s.query(QStringLiteral("SELECT VER_MAJOR, VER_MINOR, VER_RELEASE, VER_BUILD FROM VER")),
              (QList<QVariantList>{{3, 23, 11, 28}}));
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT COUNT(*) FROM LINKS WHERE PARENT_ID IS NULL AND OBJ_TYPE_ID = 2 "
                                      "AND DATE_DEL IS NULL")),
              QVariant(qlonglong(1)));
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT LV.COST FROM VALL V JOIN LISTVALS LV ON LV.LISTVAL_ID = V.LISTVAL_ID "
                                      "WHERE V.PARAM_ID = 1236 AND V.IS_DEL = 0")),
              QVariant(QStringLiteral("2023")));
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT COUNT(*) FROM VALS WHERE PARAM_ID = 2912 AND IS_DEL = 0")),
              QVariant(qlonglong(7)));
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT COUNT(*) FROM LINKS WHERE OBJ_TYPE_ID = 154 AND DATE_DEL IS NULL")),
              QVariant(qlonglong(10)));
    EXPECT_GT(s.scalar(QStringLiteral("SELECT COUNT(*) FROM CJ2_JOURNAL_LESSONS")).toInt(), 5);
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT COUNT(*) FROM PARAMS WHERE PARAM_ID = 1171")), QVariant(qlonglong(0)))
        << "the hotfix catalogues parameter 1171 itself";
}

TEST(DemoDatabaseTest, EveryScriptProcedureHasSomethingToDo)
{
    ScratchDatabase db(QStringLiteral("demo-script"), true);
    TestSession s(db.serverName());
    for (const char* component : {"Q1", "Q2", "Q3", "Q4", "Q5", "Q6", "Q7", "Q8", "Q9", "Q10", "Q11"})
        s.executeScript(QString::fromLatin1(component));
    s.commit();

    // The stamp reached the live class movements of this year only.
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT COUNT(*) FROM PERSON_MOVEMENTS WHERE DATE_MODIFY > '2024-01-01'")),
              QVariant(qlonglong(7)));
    // Every study period got its mark kind.
    EXPECT_EQ(s.query(QStringLiteral("SELECT V.OBJ_ID, V.LISTVAL_ID FROM VALL V WHERE V.PARAM_ID = 1171 "
                                     "AND V.IS_DEL = 0 AND V.OBJ_ID IN (1000000412, 1000000416)  ORDER BY 1")),
              (QList<QVariantList>{{qlonglong(1000000412), qlonglong(3003)}, {qlonglong(1000000416), qlonglong(3010)}}));
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT COUNT(*) FROM VALL WHERE PARAM_ID = 1171 AND IS_DEL = 0")),
              QVariant(qlonglong(10)));

    const auto periods = s.query(QStringLiteral("SELECT STUDENT_ID, PERIOD_ID FROM DC_MS_CLASSES_PERIODS(NULL)"));
    const auto yearMarks = s.query(QStringLiteral("SELECT STUDENT_ID, SUBJECT_ID, FACT FROM DC_MS_YMARKS(NULL)"));
    const auto periodMarks = s.query(QStringLiteral("SELECT STUDENT_ID, PERIOD_ID, FACT FROM DC_MS_PMARKS(NULL)"));
    EXPECT_GT(periods.size(), 10);
    EXPECT_GT(yearMarks.size(), 5);
    EXPECT_GT(periodMarks.size(), 2);
    EXPECT_TRUE(periods.contains(QVariantList{QStringLiteral("b7e90f11-0003"), QStringLiteral("2023-Q2")}));
    EXPECT_TRUE(periodMarks.contains(
        QVariantList{QStringLiteral("b7e90f11-0003"), QStringLiteral("2023-Q1"), QStringLiteral("4")}));

    // A first-grader's year splits at the holidays but not at the first-graders' February one.
    QStringList stretches;
    for (const QVariantList& row : periods)
        if (row[0] == QVariant(QStringLiteral("a1f3c2d4-0001")) && row[1].toString().startsWith("2023-C"))
            stretches << row[1].toString();
    EXPECT_EQ(stretches, (QStringList{"2023-C1", "2023-C2", "2023-C3", "2023-C4"}));

    // The product's write of a period kind goes through the post-processing, which checks it.
    try {
        s.query(QStringLiteral("SELECT * FROM VAL_ADD_AFTER(1170, 1000000411, '13', 1, 0, 1, NULL, 'ru', 154)"));
        ADD_FAILURE() << "a repeated period kind was accepted";
    } catch (const EFIBInterBaseError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("Учебный период не должен повторяться в списке"))) << e.what();
    }
    s.rollback();

    // The lesson links wait for their date window (30 December 2023 to 9 January 2024).
    s.execute(QStringLiteral("EXECUTE PROCEDURE CJ2022_DO2_LINKS"));
    EXPECT_EQ(s.scalar(QStringLiteral("SELECT COUNT(*) FROM INFO")), QVariant(qlonglong(0)))
        << "outside its date window the procedure does nothing";
}
