// Tag rules for classes, attestation settings, specialties, dates paired with years and
// textbooks.
#include "ValAddAfterFixture.h"

#include "fib.h"

namespace valadd {
namespace {

using ClassRulesTest = ValAddAfterTest;

constexpr qlonglong kPupil2 = 1000000004;
constexpr qlonglong kPupil3 = 1000000005;

TEST_F(ClassRulesTest, FamilyRulesCopyTheParentAndTheValueToChildren)
{
    for (qlonglong p : {1633, 1628, 527})
        param(p, 6);
    listValue(8000, 800);
    listValue(8001, 800, 8000);
    constexpr qlonglong kChild = 1000000060, kOtherType = 1000000061, kGone = 1000000062;
    node(kChild, kClass, 126, 9);
    node(kOtherType, kClass, 10, 9);
    node(kGone, kClass, 126, 9);
    db().execute("UPDATE LINKS SET DATE_DEL = CURRENT_TIMESTAMP WHERE OBJ_ID = :obj_id", {kGone});

    // Both parts, the parent first; results not kept
    const Result r = call(1, kClass, "8001", "GIA_PRO_LANG_CLASS2");
    EXPECT_EQ(r.refreshFlag, "REFRESH_TAB");
    EXPECT_FALSE(r.blobId.isValid());
    EXPECT_EQ(live("VALL", kClass, 1633), 8000);
    EXPECT_EQ(live("VALL", kChild, 1628), 8001);
    EXPECT_FALSE(live("VALL", kOtherType, 1628).isValid());
    EXPECT_FALSE(live("VALL", kGone, 1628).isValid());

    // Without a parent the copy to the children still runs, without a flag
    const Result noParent = call(1, kClass, "8000", "GIA_PRO_LANG_CLASS2");
    EXPECT_FALSE(noParent.refreshFlag.isValid());
    EXPECT_EQ(live("VALL", kChild, 1628), 8000);

    // Buildings keep each copy's result
    constexpr qlonglong kBuilding = 1000000063;
    node(kBuilding, kClass, 61, 9);
    const Result kept = call(1, kClass, "8001", "BUILDING_OWNERSHIP");
    EXPECT_FALSE(kept.refreshFlag.isValid());
    EXPECT_EQ(live("VALL", kBuilding, 527), 8001);
    EXPECT_EQ(kept.blobId, db().scalar("SELECT GEN_ID(G_BLOB_ID, 0) FROM RDB$DATABASE"));
}

TEST_F(ClassRulesTest, AttestationTypeWritesTheSynonymAndTheStudentsCategory)
{
    const QString c = QString::number(kClass);
    object(kClass, 9);
    node(kPupil, kClass, 10, 9);
    node(kPupil2, kClass, 10, 9);
    node(kPupil3, kClass, 10, 9);
    value("VALL", kPupil2, 1340, 10874);
    value("VALL", kPupil3, 1340, 5000);

    // 11217, or a deleted value: the check only
    for (const auto& [val, isDel] : {std::pair<const char*, int>{"11217", 0}, {"42", 1}}) {
        const QStringList before = snapshot();
        EXPECT_FALSE(call(1, kClass, val, "GIA_TYPE_CLASS", isDel).refreshFlag.isValid());
        EXPECT_EQ(calls(), QStringList{"GIA_CHECK_CLASS_CHANGE(" + c + ")"});
        EXPECT_EQ(snapshot(), before);
        clearCalls();
    }

    db().execute("INSERT INTO STUB_RESULTS (PROC_NAME, RESULT_VALUE) VALUES ('GIA_CLASS_SINONIM_GET', '9Б')");
    EXPECT_EQ(call(1, kClass, "42", "GIA_TYPE_CLASS").refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(live("VALS", kClass, 1363), "9Б");
    EXPECT_EQ(live("VALL", kPupil, 1340), 2993);
    EXPECT_EQ(live("VALL", kPupil2, 1340), 2993);
    EXPECT_EQ(live("VALL", kPupil3, 1340), 5000);

    // A college keeps the students' category
    setOrganisationKind("C");
    value("VALL", kPupil, 1340, 2992);
    call(1, kClass, "42", "GIA_TYPE_CLASS");
    EXPECT_EQ(live("VALL", kPupil, 1340), 2992);

    // An object of another type has no synonym parameter: nothing is written for it
    setOrganisationKind("O");
    object(kClass, 300);
    db().execute("DELETE FROM VALS WHERE OBJ_ID = :obj_id", {kClass});
    EXPECT_EQ(call(1, kClass, "42", "GIA_TYPE_CLASS").refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(db().scalar("SELECT COUNT(*) FROM VALS WHERE OBJ_ID = :obj_id", {kClass}), 0);
    EXPECT_EQ(live("VALL", kPupil, 1340), 2993);
}

TEST_F(ClassRulesTest, ClassNamesTakeTheSynonymOnlyWhenUnnamed)
{
    object(kClass, 9);
    value("VALS", kClass, 1363, "5А");
    const QStringList before = snapshot();
    EXPECT_EQ(call(1, kClass, "1", "CLASS_NAME").refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(call(1, kClass, "1", "GIA_VIRTUAL_CLASS_NAME", 1).refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(snapshot(), before);
    // An attestation class without a name gets its synonym, even a null one
    call(1, kClass, "1", "GIA_VIRTUAL_CLASS_NAME");
    EXPECT_TRUE(db().scalar("SELECT 1 FROM VALS WHERE PARAM_ID = 821 AND OBJ_ID = :obj_id AND IS_DEL = 0", {kClass})
                    .isValid());
}

TEST_F(ClassRulesTest, SpecialtyCodeFollowsTheListValueWithThatTag)
{
    for (qlonglong p : {1753, 2460, 3378})
        param(p, 6);
    listValue(29801, 298, {}, {}, {}, "09.02.07");
    listValue(24401, 244, {}, {}, {}, "43.01.09");
    db().execute("UPDATE LISTVALS SET IS_DEL = 1 WHERE LISTVAL_ID = 24401");

    EXPECT_EQ(call(1, kClass, "09.02.07", "FGOS_SPECIALITY_CODE").refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(live("VALL", kClass, 2460), 29801);
    call(1, kClass, "43.01.09", "FGOS_SPECIALITY_CODE");  // deleted list values count
    EXPECT_EQ(live("VALL", kClass, 1753), 24401);
    call(1, kClass, "no.such.code", "FGOS_SPECIALITY_CODE");
    EXPECT_TRUE(db().scalar("SELECT 1 FROM VALL WHERE PARAM_ID = 3378 AND OBJ_ID = :obj_id AND IS_DEL = 0", {kClass})
                    .isValid());
    EXPECT_FALSE(live("VALL", kClass, 3378).isValid());

    // Deleting the code deletes the profession or specialty itself
    EXPECT_EQ(call(1, kClass, {}, "FGOS_SPECIALITY_CODE", 1).refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(db().scalar("SELECT COUNT(*) FROM VALL WHERE OBJ_ID = :obj_id AND IS_DEL = 0", {kClass}), 0);

    // Two list values with the tag fail the call
    listValue(35201, 352, {}, {}, {}, "09.02.07");
    EXPECT_THROW(call(1, kClass, "09.02.07", "FGOS_SPECIALITY_CODE"), EFIBInterBaseError);
}

TEST_F(ClassRulesTest, DatesAndYearsAreKeptInStep)
{
    param(2181, 4);
    param(2182, 2);
    // A new date writes its year unless the year is there already
    Result r = call(2181, kClass, "15.03.2024", "YEARASDATEASYEAR");
    EXPECT_EQ(r.refreshFlag, "REFRESH_TAB");
    EXPECT_TRUE(r.blobId.isValid());
    EXPECT_EQ(live("VALI", kClass, 2182), 2024);
    r = call(2181, kClass, "20.05.2024", "YEARASDATEASYEAR");
    EXPECT_FALSE(r.blobId.isValid());

    // A new year moves the stored date into it, or makes 1 January of it
    value("VALD", kClass, 2181, QDate(2024, 3, 15));
    call(2182, kClass, "2025", "YEARASDATEASYEAR");
    EXPECT_EQ(live("VALD", kClass, 2181), QDate(2025, 3, 15));
    db().execute("DELETE FROM VALD WHERE OBJ_ID = :obj_id", {kClass});
    call(2182, kClass, "2025", "YEARASDATEASYEAR");
    EXPECT_EQ(live("VALD", kClass, 2181), QDate(2025, 1, 1));

    // 29 February has no counterpart in 2025
    value("VALD", kClass, 2181, QDate(2024, 2, 29));
    expectRefused([&] { call(2182, kClass, "2025", "YEARASDATEASYEAR"); }, "Conversion error from string");
    const QStringList before = snapshot();

    // Other parameters: only the flag
    EXPECT_EQ(call(2200, kClass, "2025", "YEARASDATEASYEAR").refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(snapshot(), before);
}

TEST_F(ClassRulesTest, TextbookGradesAreCheckedBeforeTheyAreWritten)
{
    param(2819, 2);
    param(2820, 2);
    const auto grades = [&](const QVariant& val) {
        EXPECT_EQ(call(1, kClass, val, "FPU_BOOK_PAR").refreshFlag, "REFRESH_TAB");
        return std::pair(live("VALI", kClass, 2819), live("VALI", kClass, 2820));
    };
    EXPECT_EQ(grades("7"), std::pair(QVariant(7), QVariant(7)));
    EXPECT_EQ(grades("5-9"), std::pair(QVariant(5), QVariant(9)));
    EXPECT_EQ(grades("0-12"), std::pair(QVariant(0), QVariant(12)));
    EXPECT_EQ(grades(QVariant()), std::pair(QVariant(), QVariant()));

    value("VALI", kClass, 2819, 3);
    const auto refused = [&](const char* val, const QString& message) {
        SCOPED_TRACE(val);
        expectRefused([&] { call(1, kClass, val, "FPU_BOOK_PAR"); }, message);
    };
    const QString range = "Номер параллели должен быть в пределах 0..12";
    const QString order = "Начальный номер параллели должен быть меньше конечного";
    refused("9-5", order);
    refused("5-5", order);
    refused("13", range);
    refused("3-14", range);
    refused("13-1", range);  // the start is tested first
    refused("x", "Conversion error from string");
}

TEST_F(ClassRulesTest, MovementDateAsksToGoToTheObjectAfterALeave)
{
    const QString c = QString::number(kClass);
    EXPECT_FALSE(call(1, kClass, "01.09.2024", "PUPIL_MOVEMENT_DATE").refreshFlag.isValid());
    db().execute("INSERT INTO STUB_RESULTS (PROC_NAME, RESULT_VALUE) VALUES ('TARVELL_EDUCATION_LEAVE_CHECK', '2')");
    EXPECT_EQ(call(1, kClass, "01.09.2024", "PUPIL_MOVEMENT_DATE").refreshFlag, "REFRESH_TREE_GO_OBJECT");
    EXPECT_FALSE(call(1, kClass, "01.09.2024", "PUPIL_MOVEMENT_DATE", 1).refreshFlag.isValid());
    EXPECT_EQ(calls(), QStringList(2, "TARVELL_EDUCATION_LEAVE_CHECK(" + c + ", 2024-09-01, 7)"));
}

}  // namespace
}  // namespace valadd
