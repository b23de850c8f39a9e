// The three exports select their students differently: the class periods export also takes
// the intake lists of this and next year, the period marks export only students who entered
// a class within the last three years.
#include "ExportFixture.h"

using namespace exporttest;

namespace {

class ExportStudentSelectionTest : public ExportTest {};

TEST_F(ExportStudentSelectionTest, EachExportSelectsItsOwnStudents)
{
    school(2023);
    object(500, 9);
    stage(5);
    schedule(151);
    period(1541, 151, 1170, 12, QDate(2023, 9, 1), QDate(2023, 10, 27));
    value("VALL", 1541, 1171, 3002);
    journal(9001, 7001, 500, 2023, 151);   // the class's journal
    journal(9002, 7002, 5000, 2023, 151);  // the subgroup's journal with its period column
    db().execute("insert into CJ2_JOURNAL_FINALS (OBJ_ID, CJ_ID, FINAL_TYPE) values (19002, 9002, 3002)");

    link(780, 1, 78, 2);
    link(830, 780, 83, 78);
    value("VALI", 830, 451, QDate::currentDate().year());

    // In the class since this year; on this year's intake list; in the class since 2020.
    const struct {
        qlonglong id;
        qlonglong parent;
        int parentType;
        QDate in;
    } students[] = {
        {1001, 500, 9, QDate(2023, 9, 1)},
        {1002, 830, 83, QDate(2023, 9, 1)},
        {1003, 500, 9, QDate(2020, 6, 1)},
    };
    for (const auto& s : students) {
        student(s.id, s.parent, QStringLiteral("s%1").arg(s.id), s.parentType);
        movement({.person = s.id, .group = 500, .in = s.in, .stage = stageValue(5)});
        movement({.person = s.id, .group = 5000, .in = QDate(2023, 9, 1), .groupType = 179});
        db().execute("insert into CJ2_MARK (STUDENT_ID, FINAL_ID, MARK_TYPE_ID) values (:student_id, 19002, 405)",
                     {s.id});
    }
    valm(1, 1003, 2019, 7001, 3002, 3017);  // the 2019 archive year of the long-standing student

    const auto students_of = [this](const char* procedure) {
        return rows(select(procedure, "distinct STUDENT_ID") + " order by 1");
    };
    EXPECT_EQ(students_of("DC_MS_CLASSES_PERIODS"), QStringList({"s1001", "s1002", "s1003"}));
    EXPECT_EQ(students_of("DC_MS_YMARKS"), QStringList({"s1001", "s1003"}));
    EXPECT_EQ(students_of("DC_MS_PMARKS"), QStringList({"s1001"}));
}

}  // namespace
