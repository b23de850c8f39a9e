// The update script's period statements on the stand-in product database: PERIOD_VERIFY's two
// checks and the mark kind it writes, FIX_PERIOD_FIELDS over the school's schedules, the
// parameter 1171 upsert, the movement stamp and the grant, and the hotfix transaction undoing
// everything when the period repair fails.
#include "SchoolBuilder.h"
#include "ScriptTestSupport.h"

#include "ScriptCatalogue.h"

#include <QDate>
#include <QDateTime>
#include <map>

using testsupport::ScriptDatabaseTest;
using testsupport::serverErrorOf;

namespace {

const QString kRepeated = QStringLiteral("Учебный период не должен повторяться в списке");
const QString kMixed = QStringLiteral(
    "Не допускается использование разнородных периодов в одной сетке. Создайте раздельные "
    "расписания периодов для четверей, полугодий и т.д.");

// Builds object trees (OBJECTS and LINKS rows) and study periods with their kinds.
class PeriodTreeTest : public ScriptDatabaseTest, protected testsupport::SchoolBuilder {
protected:
    testsupport::TestSession& db() override { return session; }

    qlonglong place(const QVariant& parent, int type, const QVariant& parentType)
    {
        node(++FLastId, parent, type, parentType);
        return FLastId;
    }

    qlonglong school()
    {
        if (!FSchool)
            FSchool = place(QVariant(), 2, QVariant());
        return FSchool;
    }

    // A period schedule in a new container under the school.
    qlonglong schedule()
    {
        const qlonglong container = place(school(), 150, 2);
        return place(container, 151, 150);
    }

    // A study period of the schedule with a live kind, or none when kind is invalid.
    qlonglong period(qlonglong schedule, const QVariant& kind = {})
    {
        const qlonglong id = place(schedule, 154, 151);
        if (kind.isValid())
            setKind(id, kind);
        return id;
    }

    void setKind(qlonglong period, const QVariant& kind, int isDel = 0)
    {
        value("VALL", period, 1170, kind, {}, isDel);
    }

    void deleteLink(qlonglong obj)
    {
        session.execute("UPDATE LINKS SET DATE_DEL = CURRENT_TIMESTAMP WHERE OBJ_ID = :obj_id", {obj});
    }

    void verify(qlonglong period, const QVariant& kind)
    {
        session.execute("EXECUTE PROCEDURE PERIOD_VERIFY(:period, :kind)", {period, kind});
    }

    // The period's live mark kind; invalid when it has none or it is null.
    QVariant markKind(qlonglong period)
    {
        return session.scalar("SELECT LISTVAL_ID FROM VALL WHERE PARAM_ID = 1171 AND OBJ_ID = :obj_id AND IS_DEL = 0",
                              {period});
    }

    qlonglong markKindCount()
    {
        return session.scalar("SELECT COUNT(*) FROM VALL WHERE PARAM_ID = 1171 AND LISTVAL_ID IS NOT NULL")
            .toLongLong();
    }

private:
    qlonglong FLastId = 100;
    qlonglong FSchool = 0;
};

// The same with parameter 1171 catalogued and both procedures installed.
class PeriodTest : public PeriodTreeTest {
protected:
    void SetUp() override { run({"Q4", "Q5", "Q8"}); }
};

}  // namespace

TEST_F(PeriodTest, VerifyWritesTheMarkKindOfEveryKind)
{
    const std::map<int, int> marks = {{12, 3002}, {13, 3003}, {14, 3004}, {15, 3005}, {10, 3009}, {11, 3010},
                                      {16, 3006}, {17, 3007}, {18, 3008}, {19, 12973}, {20, 12974}};
    const qlonglong p = period(schedule());
    for (const auto& [kind, mark] : marks) {
        verify(p, kind);
        EXPECT_EQ(markKind(p), QVariant(qlonglong(mark))) << kind;
    }
    // A kind outside the table, or none, passes on a null mark kind.
    verify(p, 21);
    EXPECT_FALSE(markKind(p).isValid());
    verify(p, 12);
    verify(p, QVariant());
    EXPECT_FALSE(markKind(p).isValid());
}

TEST_F(PeriodTest, VerifyRefusesAKindThatRepeatsInItsSchedule)
{
    const qlonglong s = schedule();
    period(s, 13);
    const qlonglong p = period(s);
    EXPECT_TRUE(serverErrorOf([&] { verify(p, 13); }).contains(kRepeated));
    EXPECT_FALSE(markKind(p).isValid());

    // The rest of the quarters, and the same kind in another schedule, are fine.
    const qlonglong s2 = schedule();
    period(s2, 12);
    period(s2, 14);
    period(s2, 15);
    const qlonglong q = period(s2);
    verify(q, 13);
    EXPECT_EQ(markKind(q), QVariant(qlonglong(3003)));

    // A repeated kind is reported before a mixed group.
    const qlonglong s3 = schedule();
    period(s3, 10);
    period(s3, 13);
    EXPECT_TRUE(serverErrorOf([&] { verify(period(s3), 13); }).contains(kRepeated));
}

TEST_F(PeriodTest, VerifyRefusesKindsOfAnotherGroupInItsSchedule)
{
    const qlonglong s = schedule();
    period(s, 12);
    const qlonglong p = period(s);
    EXPECT_TRUE(serverErrorOf([&] { verify(p, 10); }).contains(kMixed));
    EXPECT_FALSE(markKind(p).isValid());
    // A kind outside the groups among the siblings is mixed too.
    const qlonglong s2 = schedule();
    period(s2, 21);
    EXPECT_TRUE(serverErrorOf([&] { verify(period(s2), 19); }).contains(kMixed));

    const qlonglong s3 = schedule();
    period(s3, 17);
    period(s3, 18);
    const qlonglong q = period(s3);
    verify(q, 16);
    EXPECT_EQ(markKind(q), QVariant(qlonglong(3006)));
    // A kind outside the groups lets every sibling pass.
    verify(q, 21);
    EXPECT_FALSE(markKind(q).isValid());
}

TEST_F(PeriodTest, VerifyCountsOnlyLiveSiblingsWithLiveKinds)
{
    const qlonglong s = schedule();
    setKind(period(s), 13, 1);         // deleted kind row
    deleteLink(period(s, 13));         // deleted placement
    deleteLink(period(s, 10));
    setKind(period(s), QVariant());    // null kind
    const qlonglong other = place(s, 155, 151);  // not a study period
    setKind(other, 10);
    const qlonglong p = period(s);
    verify(p, 13);
    EXPECT_EQ(markKind(p), QVariant(qlonglong(3003)));

    // A period placed under a parent that is no schedule has no siblings.
    const qlonglong container = place(school(), 150, 2);
    const qlonglong loose = place(container, 154, 150);
    setKind(place(container, 154, 150), 13);
    verify(loose, 13);
    EXPECT_EQ(markKind(loose), QVariant(qlonglong(3003)));

    // Nor does a period whose own placement is deleted.
    const qlonglong s2 = schedule();
    period(s2, 12);
    const qlonglong gone = period(s2);
    deleteLink(gone);
    verify(gone, 12);
    EXPECT_EQ(markKind(gone), QVariant(qlonglong(3002)));
}

TEST_F(PeriodTest, AFailedCheckLeavesTheMarkKindAsItWas)
{
    const qlonglong s = schedule();
    const qlonglong p = period(s);
    verify(p, 12);
    period(s, 13);
    EXPECT_TRUE(serverErrorOf([&] { verify(p, 13); }).contains(kRepeated));
    EXPECT_TRUE(serverErrorOf([&] { verify(p, 11); }).contains(kMixed));
    EXPECT_EQ(markKind(p), QVariant(qlonglong(3002)));
    EXPECT_EQ(markKindCount(), 1);
}

TEST_F(PeriodTest, FixPeriodFieldsMarksEveryPeriodOfTheSchoolThatHasAKind)
{
    const qlonglong quarters = schedule();
    const qlonglong q1 = period(quarters, 12);
    const qlonglong q2 = period(quarters, 13);
    const qlonglong noKind = period(quarters);
    const qlonglong deletedKind = period(quarters);
    setKind(deletedKind, 12, 1);
    const qlonglong halves = schedule();
    const qlonglong h1 = period(halves, 10);
    const qlonglong h2 = period(halves, 11);
    const qlonglong odd = period(schedule(), 21);  // passes, with a null mark kind

    // Periods outside the school's live tree are left alone.
    const qlonglong deletedSchedule = schedule();
    const qlonglong outside1 = period(deletedSchedule, 16);
    deleteLink(deletedSchedule);
    const qlonglong otherRoot = place(QVariant(), 3, QVariant());
    const qlonglong strayContainer = place(otherRoot, 150, 3);
    const qlonglong outside2 = period(place(strayContainer, 151, 150), 16);
    const qlonglong outside3 = period(schedule(), 17);
    deleteLink(outside3);
    const qlonglong formerSchool = place(QVariant(), 2, QVariant());
    const qlonglong outside4 = period(place(place(formerSchool, 150, 2), 151, 150), 18);
    deleteLink(formerSchool);

    for (int pass = 0; pass < 2; ++pass) {
        run({"Q9"});
        EXPECT_EQ(markKind(q1), QVariant(qlonglong(3002)));
        EXPECT_EQ(markKind(q2), QVariant(qlonglong(3003)));
        EXPECT_EQ(markKind(h1), QVariant(qlonglong(3009)));
        EXPECT_EQ(markKind(h2), QVariant(qlonglong(3010)));
        for (qlonglong untouched : {noKind, deletedKind, odd, outside1, outside2, outside3, outside4})
            EXPECT_FALSE(markKind(untouched).isValid()) << untouched;
        EXPECT_EQ(markKindCount(), 4);
    }
}

TEST_F(PeriodTest, FixPeriodFieldsFailsOnAnInconsistentScheduleAndKeepsNothing)
{
    const qlonglong good = schedule();
    period(good, 12);
    period(good, 13);
    const qlonglong repeated = schedule();
    period(repeated, 14);
    const qlonglong twice = period(repeated, 14);
    EXPECT_TRUE(serverErrorOf([&] { run({"Q9"}); }).contains(kRepeated));
    EXPECT_EQ(markKindCount(), 0) << "the failed statement is undone as a whole";

    session.execute("UPDATE VALL SET LISTVAL_ID = 10 WHERE PARAM_ID = 1170 AND OBJ_ID = :obj_id", {twice});
    EXPECT_TRUE(serverErrorOf([&] { run({"Q9"}); }).contains(kMixed));
    EXPECT_EQ(markKindCount(), 0);
}

TEST_F(ScriptDatabaseTest, Param1171IsInsertedOrOverwrittenWithTheCataloguedValues)
{
    const QString row = "SELECT * FROM PARAMS WHERE PARAM_ID = 1171";
    ASSERT_TRUE(session.query(row).isEmpty());
    run({"Q4"});
    const QList<QVariantList> inserted = session.query(row);
    ASSERT_EQ(inserted.size(), 1);
    const QVariantList values = session.query(
        "SELECT TYPE_ID, PARAM_TYPE, LIST_ID, TAB_ID, DO_FUNC, RES_ID, AUTO_RES_ID, FOR_REPL_UP, IS_DEL"
        " FROM PARAMS WHERE PARAM_ID = 1171")[0];
    EXPECT_EQ(values, QVariantList({qlonglong(154), 6, qlonglong(220), QVariant(), "0", qlonglong(6742),
                                    qlonglong(6745), 1, 0}));

    // Every column of an existing row is overwritten.
    session.execute(
        "UPDATE PARAMS SET TYPE_ID = 1, PARAM_TYPE = 1, LIST_ID = 2, TAB_ID = 3, GRID_ORDER = 5,"
        " IS_TREESORT = 1, IS_TREEVIEW = 1, IS_REQUIRED = 1, IS_HISTORY = 1, RES_ID = 6, SIZE_RES_ID = 7,"
        " HINT_RES_ID = 8, DO_FUNC = '1', EDIT_MASK = 'x', RUN_SQL = 'y', IS_AUTO_CREATE = 1, AUTO_RES_ID = 9,"
        " AUTO_LISTVAL_ID = 10, FOR_REPL_UP = 0, FOR_REPL_DOWN = 1, TAG = 'z', IS_LINK_REFERENSE = 1,"
        " LINK_REFERENSE_TYPE_ID = 11, IS_REPL = 1, IS_DEL = 1, DO_CHECK = 1, DO_CHECK_EVENT = 1, BEGIN_GROUP = 1"
        " WHERE PARAM_ID = 1171");
    session.commit();
    ASSERT_NE(session.query(row), inserted);
    run({"Q4"});
    EXPECT_EQ(session.query(row), inserted);
}

TEST_F(ScriptDatabaseTest, StampMarksOnlyLiveClassMovementsAfterTheBoundary)
{
    const QDateTime old(QDate(2020, 1, 1), QTime(8, 0));
    struct Movement { QDate in; int groupType; bool deleted; bool stamped; };
    const QList<Movement> movements = {
        {QDate(2023, 8, 26), 9, false, true},   {QDate(2024, 3, 1), 9, false, true},
        {QDate(2023, 8, 25), 9, false, false},  {QDate(2022, 9, 1), 9, false, false},
        {QDate(2023, 9, 1), 9, true, false},    {QDate(2023, 9, 1), 8, false, false},
    };
    for (int i = 0; i < movements.size(); ++i)
        session.execute(
            "INSERT INTO PERSON_MOVEMENTS (MOVEMENT_ID, PERSON_ID, GROUP_TYPE_ID, DATE_IN, DATE_MODIFY,"
            " DATE_DEL) VALUES (:movement_id, :person_id, :group_type_id, :date_in, :date_modify, :date_del)",
            {i + 1, 500 + i, movements[i].groupType, movements[i].in, old,
             movements[i].deleted ? QVariant(old) : QVariant()});
    session.commit();
    run({"Q2"});
    for (int i = 0; i < movements.size(); ++i) {
        const QDateTime stamp =
            session.scalar("SELECT DATE_MODIFY FROM PERSON_MOVEMENTS WHERE MOVEMENT_ID = :movement_id", {i + 1})
                .toDateTime();
        if (movements[i].stamped)
            EXPECT_GT(stamp, QDateTime::currentDateTime().addSecs(-600)) << i;
        else
            EXPECT_EQ(stamp, old) << i;
    }
}

TEST_F(ScriptDatabaseTest, GrantLetsTheProductRoleExecutePeriodVerify)
{
    run({"Q4", "Q5", "Q10"});
    session.commit();
    EXPECT_EQ(session.scalar("SELECT COUNT(*) FROM RDB$USER_PRIVILEGES WHERE RDB$USER = 'KORVAN_ROLE'"
                             " AND RDB$USER_TYPE = 13 AND RDB$RELATION_NAME = 'PERIOD_VERIFY'"
                             " AND RDB$OBJECT_TYPE = 5 AND RDB$PRIVILEGE = 'X'")
                  .toLongLong(),
              1);
}

TEST_F(PeriodTreeTest, AFailingRepairUndoesTheWholeScriptTransaction)
{
    const qlonglong s = schedule();
    period(s, 12);
    period(s, 12);
    session.execute("INSERT INTO PERSON_MOVEMENTS (MOVEMENT_ID, PERSON_ID, GROUP_TYPE_ID, DATE_IN, DATE_MODIFY)"
                    " VALUES (1, 1, 9, '2023-09-01', '2020-01-01 00:00')");
    session.commit();
    const QList<QVariantList> movements = session.query("SELECT * FROM PERSON_MOVEMENTS");

    EXPECT_TRUE(serverErrorOf([&] { run({"Q1", "Q2", "Q3", "Q4", "Q5", "Q6", "Q7", "Q8", "Q9"}); }).contains(kRepeated));
    session.rollback();
    EXPECT_EQ(session.scalar("SELECT COUNT(*) FROM PARAMS WHERE PARAM_ID = 1171").toLongLong(), 0);
    EXPECT_EQ(session.query("SELECT * FROM PERSON_MOVEMENTS"), movements);
    EXPECT_EQ(session.scalar("SELECT COUNT(*) FROM RDB$PROCEDURES WHERE RDB$PROCEDURE_NAME IN"
                             " ('DC_MS_CLASSES_PERIODS', 'DC_MS_YMARKS', 'DC_MS_PMARKS', 'FIX_PERIOD_FIELDS',"
                             " 'VAL_ADD_AFTER')")
                  .toLongLong(),
              0);
    EXPECT_EQ(markKindCount(), 0);
}

TEST_F(PeriodTreeTest, TheWholeScriptRunsInOneTransactionInTheRunsOrder)
{
    const qlonglong s = schedule();
    const qlonglong p1 = period(s, 19);
    const qlonglong p2 = period(s, 20);
    session.commit();
    for (const script::ScriptStatement& statement : script::runOrder())
        if (statement.transaction == "Tr1")
            session.executeScript(statement.component);
    session.commit();
    EXPECT_EQ(markKind(p1), QVariant(qlonglong(12973)));
    EXPECT_EQ(markKind(p2), QVariant(qlonglong(12974)));
    EXPECT_EQ(session.scalar("SELECT COUNT(*) FROM RDB$PROCEDURES WHERE RDB$PROCEDURE_NAME IN"
                             " ('PERIOD_VERIFY', 'FIX_PERIOD_FIELDS', 'CJ2022_DO2_LINKS')")
                  .toLongLong(),
              3);
}

TEST(PeriodDemoTest, TheWholeScriptRunsOnTheDemoDatabase)
{
    const testsupport::ScratchDatabase db("period-demo", true);
    testsupport::TestSession session(db.serverName());
    for (const script::ScriptStatement& statement : script::runOrder())
        if (statement.transaction == "Tr1")
            session.executeScript(statement.component);
    session.commit();
    // The demo's schedules are consistent, so the repair goes through and marks its periods.
    EXPECT_GT(session.scalar("SELECT COUNT(*) FROM VALL WHERE PARAM_ID = 1171 AND LISTVAL_ID IS NOT NULL")
                  .toLongLong(),
              0);
}
