// Tag rules with logic of their own for pupils, organisations, staff and equipment.
#include "ValAddAfterFixture.h"

#include "fib.h"

namespace valadd {
namespace {

using TagRulesTest = ValAddAfterTest;


TEST_F(TagRulesTest, PupilDistrictComparesWithTheSchoolsDistrict)
{
    object(kSchool, 2);
    db().execute("INSERT INTO LINKS (OBJ_ID, OBJ_TYPE_ID) VALUES (:obj_id, 2)", {kSchool});
    node(kClass, kSchool, 9, 2);
    node(kPupil, kClass, 10, 9);
    resource(1681, "Центральный");
    resource(1682, "Северный");
    listValue(16801, 168, {}, "7", 1682);
    listValue(16802, 168, {}, "12", 1681);
    // The school's district name is a LIKE pattern against the list's texts
    value("VALS", kSchool, 7, "Центр%");

    EXPECT_EQ(call(99, kPupil, "12", "PUPIL_DISTRICT").refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(live("VALL", kPupil, 100), 200);
    call(99, kPupil, "7", "PUPIL_DISTRICT");
    EXPECT_EQ(live("VALL", kPupil, 100), 201);
    EXPECT_FALSE(db().scalar("SELECT USER_ID FROM VALL WHERE PARAM_ID = 100 AND OBJ_ID = :obj_id", {kPupil}).isValid())
        << "written without the user";

    // A deleted value deletes list 100 and writes nothing
    EXPECT_EQ(call(99, kPupil, "7", "PUPIL_DISTRICT", 1).refreshFlag, "REFRESH_TAB");
    EXPECT_FALSE(live("VALL", kPupil, 100).isValid());

    // A school whose district matches no entry gives 200
    value("VALS", kSchool, 7, "Южный");
    call(99, kPupil, "7", "PUPIL_DISTRICT");
    EXPECT_EQ(live("VALL", kPupil, 100), 200);
}

TEST_F(TagRulesTest, GroupSpecialityRunsInCollegesOnly)
{
    const QString g = QString::number(kClass);
    param(2164, 6);
    node(kPupil, kClass, 10, 9);
    const QStringList before = snapshot();
    const Result school = call(2165, kClass, "77", "GROUP_SPECIALITY");
    EXPECT_FALSE(school.refreshFlag.isValid());
    EXPECT_TRUE(calls().isEmpty());
    EXPECT_EQ(snapshot(), before);

    setOrganisationKind("C");
    EXPECT_EQ(call(2165, kClass, "77", "GROUP_SPECIALITY").refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(live("VALL", kPupil, 2164), 77);
    EXPECT_EQ(callsOf("UPDATE_SPECIALITY_CODE"), QStringList{"UPDATE_SPECIALITY_CODE(" + g + ", 2165, 2822, 77, 7, 0)"});
    clearCalls();
    call(3000, kClass, "77", "GROUP_SPECIALITY");
    EXPECT_EQ(callsOf("UPDATE_SPECIALITY_CODE"), QStringList{"UPDATE_SPECIALITY_CODE(" + g + ", 3000, 3384, 77, 7, 0)"});
}

TEST_F(TagRulesTest, OuPostNumbersThePositionAmongTheSchoolsPositions)
{
    for (qlonglong p : {58, 66, 589})
        param(p, 1);
    for (qlonglong p : {63, 64})
        param(p, 6);
    constexpr qlonglong kPosition = 1000000400;
    node(kPosition, kSchool, 13, 2);
    listValue(6300, 630);
    listValue(6301, 630, 6300);
    listValue(6302, 630, 6301);

    const auto nameFor = [&](const QString& post, const QStringList& existing) {
        db().execute("DELETE FROM VALS WHERE PARAM_ID = 66");
        db().execute("DELETE FROM LINKS WHERE OBJ_ID >= 1000000500");
        qlonglong id = 1000000500;  // positions (type 13) under the school, named in text 66
        for (const QString& name : existing) {
            node(id, kSchool, 13, 2);
            value("VALS", id++, 66, name);
        }
        value("VALS", kPosition, 58, post);
        EXPECT_EQ(call(1, kPosition, "6302", "OU_POST").refreshFlag, "REFRESH_TAB_AND_CAPTION");
        return live("VALS", kPosition, 66).toString();
    };
    EXPECT_EQ(nameFor("Teacher", {"Teacher", "teacher1", " TEACHER2 "}), "Teacher3");
    EXPECT_EQ(nameFor("Teacher", {"Teacher5"}), "Teacher6");
    EXPECT_EQ(nameFor("Teacher", {"Teacher A", "Teachers"}), "Teacher");
    // The name is matched as written, in any letter case of any alphabet
    EXPECT_EQ(nameFor("Учитель (100%)", {"УЧИТЕЛЬ (100%)2", "Учитель (1000)", "Учитель (100x)"}),
              "Учитель (100%)3");
    EXPECT_EQ(nameFor("a_b", {"axb", "A_B"}), "a_b1");

    // Post and its group: parent to 64, grandparent to 63
    EXPECT_EQ(live("VALL", kPosition, 64), 6301);
    EXPECT_EQ(live("VALL", kPosition, 63), 6300);
}

TEST_F(TagRulesTest, VacationLengthNeedsBothDatesSet)
{
    param(329, 2);
    param(327, 4);
    param(328, 4);
    value("VALD", kPupil, 327, QDate(2024, 7, 1));
    value("VALD", kPupil, 328, QDate(2024, 7, 14));
    const Result r = call(327, kPupil, "01.07.2024", "VACATION_BEGIN");
    EXPECT_EQ(r.refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(live("VALI", kPupil, 329), 14);
    EXPECT_TRUE(r.blobId.isValid()) << "kept";

    // 1 January 2000 stands for an unset date
    value("VALD", kPupil, 328, QDate(2000, 1, 1));
    value("VALI", kPupil, 329, 0);
    const Result unset = call(328, kPupil, "01.01.2000", "VACATION_END");
    EXPECT_FALSE(unset.refreshFlag.isValid());
    EXPECT_EQ(live("VALI", kPupil, 329), 0);
}

TEST_F(TagRulesTest, LicensedPupilCountsAreSummedAndWeighted)
{
    value("VALI", kSchool, 1186, 100);
    value("VALI", kSchool, 1187, 40);
    value("VALI", kSchool, 1188, 10);
    value("VALI", kSchool, 1189, 4);
    EXPECT_EQ(call(1186, kSchool, "100", "LIC_SCHOOLAR_COUNT").refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(live("VALI", kSchool, 1190), 154);
    EXPECT_EQ(
        db().scalar("SELECT CAST(VAL AS VARCHAR(20)) FROM VALF WHERE PARAM_ID = 1191 AND OBJ_ID = :obj_id", {kSchool}),
        "111.100");

    // An absent count is 0, a count row without a value makes both results null
    db().execute("UPDATE VALI SET IS_DEL = 1 WHERE PARAM_ID = 1189 AND OBJ_ID = :obj_id", {kSchool});
    call(1186, kSchool, "100", "LIC_SCHOOLAR_COUNT");
    EXPECT_EQ(live("VALI", kSchool, 1190), 150);
    value("VALI", kSchool, 1188, QVariant());
    call(1186, kSchool, "100", "LIC_SCHOOLAR_COUNT");
    EXPECT_FALSE(live("VALI", kSchool, 1190).isValid());
    EXPECT_FALSE(live("VALF", kSchool, 1191).isValid());
    EXPECT_TRUE(db().scalar("SELECT 1 FROM VALF WHERE PARAM_ID = 1191 AND OBJ_ID = :obj_id AND IS_DEL = 0", {kSchool})
                    .isValid());
}

TEST_F(TagRulesTest, EmployeeStaysPlacedUnderTheOrganisationsOfCurrentPosts)
{
    constexpr qlonglong kEmployee = 1000000010, kRecord = 1000000011;
    constexpr qlonglong kPost = 1000000012, kOldPost = 1000000013;
    constexpr qlonglong kOrg = 1000000020, kOldOrg = 1000000021, kPosition = 1000000022, kOldPosition = 1000000023;
    object(kOrg, 211);
    object(kOldOrg, 2);
    node(kRecord, kEmployee, 15, 14);
    node(kPost, kEmployee, 15, 14);
    node(kOldPost, kEmployee, 15, 14);
    node(kPosition, kOrg, 13, 211);
    node(kOldPosition, kOldOrg, 13, 2);
    value("VALR", kPost, 69, kPosition);
    value("VALD", kPost, 74, QDate::currentDate().addDays(1));  // dismissed tomorrow: still current
    value("VALR", kOldPost, 69, kOldPosition);
    value("VALD", kOldPost, 74, QDate::currentDate());  // dismissed today
    node(kEmployee, kOldOrg, 14, 2);

    EXPECT_EQ(call(1, kRecord, "1", "EMPLOYEE_POST").refreshFlag, "REFRESH_TREE");
    EXPECT_TRUE(
        db().scalar("SELECT 1 FROM LINKS WHERE OBJ_ID = :obj_id AND PARENT_ID = :parent_id AND DATE_DEL IS NULL",
                    {kEmployee, kOrg})
            .isValid());
    EXPECT_FALSE(
        db().scalar("SELECT 1 FROM LINKS WHERE OBJ_ID = :obj_id AND PARENT_ID = :parent_id AND DATE_DEL IS NULL",
                    {kEmployee, kOldOrg})
            .isValid());

    // In place already: nothing to do, no flag
    EXPECT_FALSE(call(1, kRecord, "1", "EMPLOYEE_POST").refreshFlag.isValid());
}

TEST_F(TagRulesTest, OutlessonValueTwoClearsTheLessonsMark)
{
    constexpr qlonglong kLesson = 1000000030, kOther = 1000000031;
    node(kLesson, kClass, 49, 9);
    node(kOther, kClass, 49, 9);
    value("VALL", kLesson, 372, 780);
    value("VALL", kOther, 372, 781);
    EXPECT_FALSE(call(1, kClass, "3", "OUTLESSON").refreshFlag.isValid());
    EXPECT_EQ(live("VALL", kLesson, 372), 780);
    EXPECT_EQ(call(1, kClass, "2", "OUTLESSON").refreshFlag, "REFRESH_BRANCH");
    EXPECT_FALSE(live("VALL", kLesson, 372).isValid());
    EXPECT_EQ(live("VALL", kOther, 372), 781);
}

TEST_F(TagRulesTest, MovementRulesChangeLinks)
{
    // PUPIL_MOVEMENT_TYPE: the reason of the placements under students
    node(kPupil, kClass, 60, 10);
    node(kPupil, kSchool, 60, 2);
    call(1, kPupil, "321", "PUPIL_MOVEMENT_TYPE");
    EXPECT_EQ(db().scalar("SELECT REASON_ID FROM LINKS WHERE OBJ_ID = :obj_id AND PARENT_TYPE_ID = 10", {kPupil}), 321);
    EXPECT_FALSE(
        db().scalar("SELECT REASON_ID FROM LINKS WHERE OBJ_ID = :obj_id AND PARENT_TYPE_ID = 2", {kPupil}).isValid());
    call(1, kPupil, "321", "PUPIL_MOVEMENT_TYPE", 1);
    EXPECT_FALSE(
        db().scalar("SELECT REASON_ID FROM LINKS WHERE OBJ_ID = :obj_id AND PARENT_TYPE_ID = 10", {kPupil}).isValid());

    // DIVISION_SUBJECT: the subjects of the object's divisions are unlinked everywhere
    constexpr qlonglong kDivision = 1000000040, kSubject = 1000000041;
    node(kDivision, kClass, 48, 9);
    node(kSubject, kDivision, 58, 48);
    node(kSubject, kSchool, 58, 2);
    EXPECT_FALSE(call(1, kClass, "1", "DIVISION_SUBJECT").refreshFlag.isValid());
    EXPECT_EQ(db().scalar("SELECT COUNT(*) FROM LINKS WHERE OBJ_ID = :obj_id AND DATE_DEL IS NULL", {kSubject}), 0);
    EXPECT_EQ(db().scalar("SELECT COUNT(*) FROM LINKS WHERE OBJ_ID = :obj_id AND DATE_DEL IS NULL", {kDivision}), 1);
}

TEST_F(TagRulesTest, ListValueParentsGoToTheirTargets)
{
    for (qlonglong p : {11, 22, 525, 637})
        param(p, p == 22 ? 1 : 6);
    listValue(7000, 700);
    listValue(7001, 700, 7000, "15");
    listValue(7002, 700, 7001, "16");
    value("VALS", kSchool, 937, "old");

    // OU_VID: the parent to 11, text 937 cleared
    EXPECT_EQ(call(1, kSchool, "7002", "OU_VID").refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(live("VALL", kSchool, 11), 7001);
    EXPECT_FALSE(live("VALS", kSchool, 937).isValid());
    // OU_OPF: the code to 22, no flag
    EXPECT_FALSE(call(1, kSchool, "7002", "OU_OPF").refreshFlag.isValid());
    EXPECT_EQ(live("VALS", kSchool, 22), "16");
    // ROOM_PURPOSE: the grandparent when there is one, else the parent
    EXPECT_EQ(call(1, kSchool, "7002", "ROOM_PURPOSE").refreshFlag, "REFRESH_TAB");
    EXPECT_EQ(live("VALL", kSchool, 525), 7000);
    call(1, kSchool, "7001", "ROOM_PURPOSE");
    EXPECT_EQ(live("VALL", kSchool, 525), 7000);
    EXPECT_FALSE(call(1, kSchool, "7000", "ROOM_PURPOSE").refreshFlag.isValid());
    // IR_ELECTRO_GR keeps its write
    const Result r = call(1, kSchool, "7002", "IR_ELECTRO_GR");
    EXPECT_EQ(r.refreshFlag, "REFRESH_TAB_AND_CAPTION");
    EXPECT_TRUE(r.blobId.isValid());
    EXPECT_EQ(live("VALL", kSchool, 637), 7001);
}

TEST_F(TagRulesTest, ProgrammeTypeFillsLevelAndKindOfItsObjectType)
{
    param(3000, 6, 500);
    param(3001, 6, 500, "EDU_PROG_VID");
    param(3002, 6, 500, "EDU_PROG_LEVEL");
    param(3003, 6, 501, "EDU_PROG_LEVEL");  // another object type's level
    listValue(9000, 900);
    listValue(9001, 900, 9000);
    listValue(9002, 900, 9001);

    EXPECT_EQ(call(3000, kObj, "9002", "EDU_PROG_TYPE").refreshFlag, "REFRESH_TAB_AND_CAPTION");
    EXPECT_EQ(live("VALL", kObj, 3002), 9001);
    EXPECT_EQ(live("VALL", kObj, 3001), 9000);
    EXPECT_FALSE(live("VALL", kObj, 3003).isValid());
    // Only a parent: it is the kind
    db().execute("DELETE FROM VALL WHERE OBJ_ID = :obj_id", {kObj});
    EXPECT_EQ(call(3000, kObj, "9001", "EDU_PROG_TYPE").refreshFlag, "REFRESH_TAB_AND_CAPTION");
    EXPECT_EQ(live("VALL", kObj, 3001), 9000);
    EXPECT_FALSE(live("VALL", kObj, 3002).isValid());
    EXPECT_FALSE(call(3000, kObj, "9000", "EDU_PROG_TYPE").refreshFlag.isValid());

    // A type without a level parameter gets its kind; the level is not written anywhere
    db().execute("UPDATE PARAMS SET IS_DEL = 1 WHERE PARAM_ID = 3002");
    db().execute("DELETE FROM VALL WHERE OBJ_ID = :obj_id", {kObj});
    EXPECT_EQ(call(3000, kObj, "9002", "EDU_PROG_TYPE").refreshFlag, "REFRESH_TAB_AND_CAPTION");
    EXPECT_EQ(db().scalar("SELECT LIST(PARAM_ID || '=' || LISTVAL_ID) FROM VALL WHERE OBJ_ID = :obj_id", {kObj}),
              "3001=9000");
}

TEST_F(TagRulesTest, ShortNameBringsTheLongNameOfTheOnlyMatchingEntry)
{
    param(4000, 1, 600, "OOOD_FULL");
    resource(2811, "МБОУ СОШ №1", "Муниципальное бюджетное общеобразовательное учреждение школа №1");
    resource(2812, "МБОУ СОШ №2", "Муниципальное бюджетное общеобразовательное учреждение школа №2");
    listValue(28101, 281, {}, {}, 2811);
    listValue(28102, 281, {}, {}, 2812);

    EXPECT_EQ(call(1, kObj, "МБОУ СОШ №1", "OOOD_SHORT", 0, 1, 600).refreshFlag, "REFRESH_TAB_AND_CAPTION");
    EXPECT_EQ(live("VALS", kObj, 4000), "Муниципальное бюджетное общеобразовательное учреждение школа №1");
    EXPECT_FALSE(call(1, kObj, "МАОУ%", "OOOD_SHORT", 0, 1, 600).refreshFlag.isValid());
    // The short name is a LIKE pattern; two matches fail the call
    EXPECT_THROW(call(1, kObj, "МБОУ СОШ №_", "OOOD_SHORT", 0, 1, 600), EFIBInterBaseError);

    // A type without a long-name parameter keeps the long name nowhere
    const QStringList before = snapshot();
    EXPECT_EQ(call(1, kObj, "МБОУ СОШ №2", "OOOD_SHORT", 0, 1, 601).refreshFlag, "REFRESH_TAB_AND_CAPTION");
    EXPECT_EQ(snapshot(), before);
}

}  // namespace
}  // namespace valadd
