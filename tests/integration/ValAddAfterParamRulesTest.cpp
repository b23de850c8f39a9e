// Parameter rules: the two exclusive chains, the independent rules between them, the refusals
// and the called procedures' own refusals, none of which leaves anything written.
#include "ValAddAfterFixture.h"

namespace valadd {
namespace {

using ParamRulesTest = ValAddAfterTest;

const QString o = QString::number(kObj);

TEST_F(ParamRulesTest, PreinstalledSubjectAreasAreRefusedBeforeAnythingIsWritten)
{
    const QString refusal = "Вы не можете изменять предметные области предустановленных предметов";
    // The tag rule would clear list 1655 first: the refusal undoes it
    value("VALL", 999999999, 1655, 5);
    expectRefused([&] { call(2462, 999999999, "3", "DOU_GROUP_TYPE"); }, refusal);
    EXPECT_TRUE(callsOf("SUBJECT_ENUM_MASTER").isEmpty());

    // A user subject, or a database whose GEN is 0, is renumbered when set
    EXPECT_EQ(call(2462, 1000000000, "3", {}).refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(calls(), QStringList{"SUBJECT_ENUM_MASTER(1000000000, 3)"});
    clearCalls();
    setGen(0);
    EXPECT_EQ(call(2462, 999999999, "3", {}).refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(calls(), QStringList{"SUBJECT_ENUM_MASTER(999999999, 3)"});
    clearCalls();
    EXPECT_FALSE(call(2462, 999999999, "3", {}, 1).refreshFlag.isValid());
    EXPECT_TRUE(calls().isEmpty());
}

TEST_F(ParamRulesTest, FirstChainRowsRunTheirChecksInOrder)
{
    // 2478: the status check of the first chain, then the profile validation
    value("VALL", kObj, 3013, 4401);
    call(2478, kObj, "12", {});
    EXPECT_EQ(calls(), QStringList({"CHECK_PLAN_STATUS_CANCHANGE(" + o + ", 4401, 2478)",
                                    "PLAN_PROFILE_VALIDATE(" + o + ", 12)"}));
    clearCalls();
    // A status parameter checks the new status, or none when it is deleted
    call(3373, kObj, "4402", {});
    call(3373, kObj, "4402", {}, 1);
    EXPECT_EQ(calls(), QStringList({"CHECK_PLAN_STATUS_CANCHANGE(" + o + ", 4402, 3373)",
                                    "CHECK_PLAN_STATUS_CANCHANGE(" + o + ", null, 3373)"}));
    clearCalls();

    // 381: stage check, then the study week without a value; 2837 passes the week
    EXPECT_EQ(call(381, kObj, "9", {}).refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(call(2837, kObj, "9", {}).refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(calls(), QStringList({"CHECK_PLAN_STAGE(" + o + ")", "SCHOOL_WEEK_ADD(" + o + ", null)",
                                    "SCHOOL_WEEK_ADD(" + o + ", 9)"}));
    clearCalls();

    // 108: only a temporary registration keeps its end date; the tab refreshes either way
    EXPECT_EQ(call(108, kObj, "1218", {}).refreshFlag, "REFRESH_TAB");
    EXPECT_TRUE(calls().isEmpty());
    EXPECT_EQ(call(108, kObj, "1217", {}).refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(call(108, kObj, "1218", {}, 1).refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(calls(), QStringList({"RESET_REGISTRATION_DATE(" + o + ")", "RESET_REGISTRATION_DATE(" + o + ")"}));
    clearCalls();

    // 1832: deleting checks attached curricula, setting applies the adapted status
    call(1832, kObj, "5", {}, 1);
    EXPECT_EQ(call(1832, kObj, "5", {}).refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(calls(), QStringList({"CHECK_OP_PLAN_EXISTS(" + o + ")", "APPLY_AOOP_TYPE(" + o + ", 1832, 5)"}));
}

TEST_F(ParamRulesTest, DirectRulesOfTheFirstChain)
{
    // 2330: the authority's kind by its link type, kept, written as user 1
    param(2330, 1);
    param(2086, 4);
    node(kObj, 1000000001, 112, 2);
    const Result r = call(2330, kObj, "x", {});
    EXPECT_EQ(live("VALS", kObj, 2330), "КО");
    EXPECT_EQ(db().scalar("SELECT USER_ID FROM VALS WHERE PARAM_ID = 2330 AND OBJ_ID = :obj_id", {kObj}), 1);
    EXPECT_TRUE(r.blobId.isValid());

    // 2725 with 3 clears the four texts, live or not
    for (qlonglong p : {2723, 2724, 2726, 2727})
        value("VALS", kObj, p, "t");
    EXPECT_EQ(call(2725, kObj, "2", {}).refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(live("VALS", kObj, 2724), "t");
    EXPECT_EQ(call(2722, kObj, "3", {}).refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(
        db().scalar("SELECT COUNT(*) FROM VALS WHERE OBJ_ID = :obj_id AND IS_DEL = 0 AND PARAM_ID <> 2330", {kObj}), 0);
}

TEST_F(ParamRulesTest, IndependentRulesAndTheSecondChain)
{
    const QList<std::tuple<qlonglong, const char*, int, QStringList>> cases = {
        {73, "1", 1, {"VACANCY_UPDATE_CAT(" + o + ")"}},
        {2705, "8", 0, {"CHECK_UNIQUE_DIVS(" + o + ", 8)"}},
        {2705, "8", 1, {}},
        {1236, "2024", 0, {"VALIDATE_CURRENT_YEAR(2024)"}},
        {2934, "2", 0, {"VALIDATE_DEFAULT_JOB(" + o + ")"}},
        {2934, "1", 0, {}},
        {2126, "15", 0, {"UPDATE_PROFESSION_CODE(" + o + ", 15)"}},
        {2935, {}, 1, {"UT_SYNC_EXPERT(" + o + ", 3)"}},
        {2935, "1", 0, {"UT_SYNC_EXPERT(" + o + ", 1)"}},
        {241, "1", 0, {"UT_SYNC_EXPERT(" + o + ", null)"}},
        {614, "1", 0, {"CHECK_ACTIVE_DOCUMENTS(" + o + ")"}},
        {554, "3", 0, {"APPLY_OVZ_TYPE(" + o + ", 3)"}},
    };
    for (const auto& [paramId, val, isDel, expected] : cases) {
        call(paramId, kObj, val ? QVariant(val) : QVariant(), {}, isDel);
        EXPECT_EQ(calls(), expected) << paramId << " " << (val ? val : "null");
        clearCalls();
    }

    // 1609: the journal access of the chosen person's account
    db().execute("INSERT INTO USERS (USER_ID, OBJ_ID) VALUES (55, 1000000200)");
    call(1609, kObj, "1000000200", {});
    call(1609, kObj, "1000000201", {});
    call(1609, kObj, "", {});
    EXPECT_EQ(calls(), QStringList{"CJ2_JOURNAL_ACCESS_UPD(null, 55)"});
}

TEST_F(ParamRulesTest, SecondChainStopsAtTheFirstRowThatApplies)
{
    constexpr qlonglong kGroup = 1000000300;
    param(554, 6);
    db().execute("INSERT INTO PERSON_MOVEMENTS (PERSON_ID, GROUP_ID, TYPE_IN) VALUES (1, :group_id, 0)", {kGroup});
    db().execute(
        "INSERT INTO PERSON_MOVEMENTS (PERSON_ID, GROUP_ID, TYPE_IN, DATE_OUT) VALUES (2, :group_id, 0, '2024-01-01')",
        {kGroup});
    // An object of type 458 with parameter 592 set runs the movement rule, not the type rule
    const Result r = call(592, kGroup, "13275", {}, 0, 1, 458);
    EXPECT_EQ(r.refreshFlag, "REFRESH_TAB");
    EXPECT_TRUE(callsOf("ATT_VAL_AFTER").isEmpty());
    EXPECT_EQ(live("VALL", kGroup, 554), 1355);
    EXPECT_EQ(db().scalar("SELECT LIST(TYPE_IN, ',') FROM (SELECT TYPE_IN FROM PERSON_MOVEMENTS "
                          "WHERE GROUP_ID = :group_id ORDER BY PERSON_ID)",
                          {kGroup}),
              "13275,0");

    // Any other parameter of that type reaches the type rule
    const Result other = call(5, kGroup, "1", {}, 0, 1, 458);
    EXPECT_EQ(other.refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(callsOf("ATT_VAL_AFTER"), QStringList{"ATT_VAL_AFTER(1000000300, 5, 1, 0, 7)"});
}

TEST_F(ParamRulesTest, StudentRecordDatesSetTheAttestationFlags)
{
    constexpr qlonglong kStudent = 1000000400, kRecord = 1000000401, kClassId = 1000000402;
    for (qlonglong p = 3280; p <= 3285; ++p)
        param(p, 2);
    node(kStudent, kClassId, 10, 9);
    node(kRecord, kStudent, 80, 10);

    // Before 1 September 2022: refused, and the tag rule's write is undone with it
    value("VALL", kRecord, 1655, 5);
    expectRefused([&] { call(3278, kRecord, "31.08.2022", "DOU_GROUP_TYPE"); }, "Недопустимое значение даты");

    call(3278, kRecord, "01.09.2022", {});
    EXPECT_EQ(live("VALI", kStudent, 3280), 2);
    EXPECT_EQ(live("VALI", kStudent, 3281), 2);
    EXPECT_FALSE(live("VALI", kStudent, 3282).isValid());

    setOrganisationKind("D");
    call(3278, kRecord, "01.09.2022", {});
    EXPECT_EQ(live("VALI", kStudent, 3282), 2);

    // Deleting the date writes 3 into all six
    call(3278, kRecord, "01.09.2022", {}, 1);
    for (qlonglong p = 3280; p <= 3285; ++p)
        EXPECT_EQ(live("VALI", kStudent, p), 3) << p;
}

TEST_F(ParamRulesTest, ARefusingCalledProcedureUndoesTheWholeCall)
{
    // The tag rule clears list 1655, the status check passes, then the profile check refuses
    db().execute("INSERT INTO STUB_RESULTS (PROC_NAME, RAISE_MESSAGE) VALUES ('PLAN_PROFILE_VALIDATE', 'Профиль недопустим')");
    value("VALL", kObj, 1655, 5);
    expectRefused([&] { call(3014, kObj, "12", "DOU_GROUP_TYPE"); }, "Профиль недопустим");
    EXPECT_TRUE(calls().isEmpty()) << "the log rows are undone with the call";
}

TEST_F(ParamRulesTest, PeriodKindsAreVerifiedAndRefusalsLeaveNothingWritten)
{
    constexpr qlonglong kSchedule = 1000000500, kPeriod = 1000000501, kSibling = 1000000502;
    param(1171, 6);
    node(kPeriod, kSchedule, 154, 151);
    node(kSibling, kSchedule, 154, 151);
    value("VALL", kSibling, 1170, 13);

    // The period's mark kind is derived through the period verification
    call(1170, kPeriod, "12", {});
    EXPECT_EQ(live("VALL", kPeriod, 1171), 3002);

    // A repeated kind is refused by the verification: the tag rule's write goes with it
    value("VALL", kPeriod, 1655, 5);
    expectRefused([&] { call(1170, kPeriod, "13", "DOU_GROUP_TYPE"); },
                  "Учебный период не должен повторяться в списке");

    // A deleted kind is not verified
    call(1170, kPeriod, "13", {}, 1);
    EXPECT_EQ(live("VALL", kPeriod, 1171), 3002);
}

}  // namespace
}  // namespace valadd
