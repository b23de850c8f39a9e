// Dispatch of the value post-processing procedure: one tag rule at most, the right one per tag,
// process-tag rows, the parameter rules after any tag, the final refresh rule and the kept
// BLOB_ID.
#include "ValAddAfterFixture.h"

#include "ScriptCatalogue.h"

namespace valadd {
namespace {

using DispatchTest = ValAddAfterTest;


TEST_F(DispatchTest, EachTagRunsItsOwnRuleAndNoOther)
{
    struct Case {
        const char* tag;
        QStringList calls;
        QVariant flag;
    };
    const QString o = QString::number(kObj);
    const QList<Case> cases = {
        {"OU_OWNER_ORGANIZATION", {"FIXER_SCHOOL_DISTRICT(" + o + ", 7)"}, {}},
        {"REFRESH_TAB", {}, "REFRESH_TAB"},
        {"GIA_VIRTUAL_OU_DISTR", {}, "REFRESH_TAB"},
        {"FGOS_SPECIALITY", {"FGOS_SPECIALITY_SET(" + o + ", 1, 42, 7, 0)"}, "REFRESH_TAB"},
        {"COLLEGE_STUDY_PLAN_STAGE_COUNT", {"COLLEGE_SP_STAGE_CHANGED(" + o + ")"}, "REFRESH_TAB_BRANCH"},
        {"COLLEGE_SEMESTR_COUNT", {"COLLEGE_SEMESTR_COUNT_CHANGED(" + o + ")"}, "REFRESH_TAB"},
        {"FPU_BOOK_CODE", {"LIB_BOOK_UPDATE_PRG(" + o + ", 42, 7)"}, "REFRESH_TAB_AND_CAPTION"},
        // A tag without a rule, and no tag at all, run nothing
        {"NO_SUCH_TAG", {}, {}},
        {nullptr, {}, {}},
    };
    for (const Case& c : cases) {
        const QStringList before = snapshot();
        const Result r = call(1, kObj, "42", c.tag ? QString(c.tag) : QString());
        EXPECT_EQ(calls(), c.calls) << c.tag;
        EXPECT_EQ(r.refreshFlag, c.flag) << c.tag;
        EXPECT_EQ(snapshot(), before) << c.tag;
        clearCalls();
    }
}

TEST_F(DispatchTest, ProcessTagRowsRunOnlyWithProcessTagOne)
{
    listValue(5001, 500);
    listValue(5002, 500, 5001);
    value("VALL", kObj, 1655, 1);
    for (const char* tag : {"FGOS_SPECIALITY", "FGOS_SPECIALITY_CODE", "STUDY_FORM", "OOOD_TYPE", "OP_STATE_ORG"}) {
        const QStringList before = snapshot();
        const Result r = call(1, kObj, "5002", tag, 0, 0);
        EXPECT_FALSE(r.refreshFlag.isValid()) << tag;
        EXPECT_TRUE(calls().isEmpty()) << tag;
        EXPECT_EQ(snapshot(), before) << tag;
    }
    // With process tag 1 the list rules write the chosen value's parent, or clear the list
    param(1888, 6);
    EXPECT_EQ(call(1, kObj, "5002", "STUDY_FORM").refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(live("VALL", kObj, 1888), 5001);
    EXPECT_EQ(call(1, kObj, "5002", "STUDY_FORM", 1).refreshFlag, "REFRESH_TAB");
    EXPECT_FALSE(live("VALL", kObj, 1888).isValid());
}

TEST_F(DispatchTest, ParameterRulesAndFinalRefreshRunAfterAnyTag)
{
    const QString o = QString::number(kObj);
    // No tag rule: the independent rule and the final refresh still run
    EXPECT_EQ(call(72, kObj, "1", "NO_SUCH_TAG").refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(calls(), QStringList{"VACANCY_UPDATE_CAT(" + o + ")"});
    clearCalls();

    // A tag rule first, then the first chain's row for the parameter
    EXPECT_EQ(call(526, kObj, "1", "OU_OWNER_ORGANIZATION").refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(calls(), QStringList({"FIXER_SCHOOL_DISTRICT(" + o + ", 7)", "AREA_SL_ROOMS_CALC(" + o + ")",
                                    "COUNT_SL_ROOMS_CALC(" + o + ")"}));
}

TEST_F(DispatchTest, ReplacedTypeIdIsTheOneTheObjectTypeRulesSee)
{
    const QString o = QString::number(kObj);
    object(kObj, 458);
    // The caller's type 441 would choose GZ_VAL_AFTER; the object's own type 458 chooses ATT_VAL_AFTER
    EXPECT_EQ(call(5, kObj, "11217", "GIA_TYPE_CLASS", 0, 1, 441).refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(calls(), QStringList({"GIA_CHECK_CLASS_CHANGE(" + o + ")",
                                    "ATT_VAL_AFTER(" + o + ", 5, 11217, 0, 7)"}));
    clearCalls();

    object(kObj, 444);
    call(5, kObj, "x", "CLASS_NAME", 0, 1, 459);
    EXPECT_EQ(calls(), QStringList{"GZ_VAL_AFTER(" + o + ", 5, x, 0)"});
    clearCalls();

    // Other tags leave the caller's type as it is
    call(5, kObj, "x", "REFRESH_TAB", 0, 1, 459);
    EXPECT_EQ(calls(), QStringList{"ATT_VAL_AFTER(" + o + ", 5, x, 0, 7)"});
}

TEST_F(DispatchTest, FinalRefreshOverridesAndTheLastKeptBlobIdWins)
{
    for (qlonglong p : {626, 627, 554})
        param(p, p == 627 ? 1 : 6);
    resource(900, "Проектор");
    listValue(13000, 600);
    listValue(13274, 600, 13000, {}, 900);
    object(kObj, 9);

    // The tag rule keeps two writes and asks for the caption; parameter 592 then keeps the
    // write of 554, and the final refresh rule makes it a tab refresh
    const Result r = call(592, kObj, "13274", "MTR_TCO_GR");
    EXPECT_EQ(r.refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(live("VALL", kObj, 626), 13000);
    EXPECT_EQ(live("VALS", kObj, 627), "Проектор");
    EXPECT_EQ(live("VALL", kObj, 554), 1355);
    EXPECT_EQ(r.blobId, db().scalar("SELECT GEN_ID(G_BLOB_ID, 0) FROM RDB$DATABASE"));

    // A write whose result is not kept leaves BLOB_ID null
    param(1626, 6);
    const Result notKept = call(1, kObj, "13274", "GIA_PROGRAM_LANG2");
    EXPECT_EQ(live("VALL", kObj, 1626), 13000);
    EXPECT_FALSE(notKept.blobId.isValid());
    EXPECT_EQ(notKept.refreshFlag, "REFRESH_TAB");
}

// The procedure comes with the rest of the update script: every statement, in the run's order,
// on a fresh stand-in database.
TEST(WholeScriptTest, EveryStatementInstallsInRunOrder)
{
    testsupport::ScratchDatabase database("wholescript");
    testsupport::TestSession session(database.serverName());
    for (const script::ScriptStatement& s : script::runOrder())
        EXPECT_NO_THROW(session.executeScript(s.component)) << s.component.toStdString();
    session.commit();
    EXPECT_EQ(session.scalar("SELECT COUNT(*) FROM RDB$PROCEDURES WHERE RDB$PROCEDURE_NAME = 'VAL_ADD_AFTER'"), 1);
}

}  // namespace
}  // namespace valadd
