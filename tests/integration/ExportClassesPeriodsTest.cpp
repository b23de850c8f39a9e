// The class periods export on small schools: the current year's study periods and the study
// stretches between holidays, archive years from marks, membership windows, class columns,
// the student selections, the change filter and the error that names the student.
#include "ExportFixture.h"

using namespace exporttest;

namespace {

const QString kPeriodColumns = QStringLiteral(
    "PERIOD_ID, PERIOD_NUM, PERIOD_START_DATE, PERIOD_END_DATE, PERIOD_TYPE_CODE, PERIOD_TYPE_VALUE, "
    "PERIOD_TYPE_DESCRIOPTION, PERIOD_IS_STUDY, EDU_PROGRAM_NAME, PERIOD_ID_CTL");

class ExportClassesPeriodsTest : public ExportTest {
protected:
    // School with study year 2023; parallels of grades 5, 9 and 11 with classes 500, 900 and
    // 1100, and one of grade 12 without classes.
    void schoolWithParallels()
    {
        school(2023);
        link(70, 1, 7, 2);
        const int grades[] = {5, 9, 11, 12};
        for (int grade : grades) {
            stage(grade);
            link(80 + grade, 70, 8, 7);
            value("VALL", 80 + grade, 49, stageValue(grade));
            if (grade != 12) {
                link(grade * 100, 80 + grade, 9, 8);
                object(grade * 100, 9);
            }
        }
    }

    // The current year's quarter schedule 151 with its holidays.
    void quarterSchedule()
    {
        schedule(151);
        period(1541, 151, 1170, 12, QDate(2023, 9, 1), QDate(2023, 10, 27));
        period(1542, 151, 1170, 13, QDate(2023, 11, 6), QDate(2023, 12, 29));
        period(1543, 151, 1170, 14, QDate(2024, 1, 9), QDate(2024, 3, 22));
        period(1544, 151, 1170, 15, QDate(2024, 4, 1), QDate(2024, 5, 24));
        holiday(4501, 151, QDate(2023, 10, 28), QDate(2023, 11, 5), QStringLiteral("Осенние"));
        holiday(4502, 151, QDate(2023, 12, 30), QDate(2024, 1, 8));
        holiday(4503, 151, QDate(2024, 3, 23), QDate(2024, 3, 31));
        holiday(4504, 151, QDate(2024, 5, 25), QDate(2024, 8, 31), QStringLiteral("Летние"));
        // First-graders' extra holidays, named in capitals, split nothing.
        holiday(4505, 151, QDate(2024, 2, 12), QDate(2024, 2, 18), QStringLiteral("ДОПОЛНИТЕЛЬНЫЕ"));
        holiday(4506, 151, QDate(2023, 11, 20), QDate(2023, 11, 24),
                QStringLiteral("Для ПЕРВОКЛАССНИКОВ"));
    }

    QString call(const QString& columns, const QString& args = QStringLiteral("null")) { return select("DC_MS_CLASSES_PERIODS", columns, args); }
};

TEST_F(ExportClassesPeriodsTest, CurrentYearGivesItsPeriodsThenTheStudyStretchesBetweenHolidays)
{
    schoolWithParallels();
    quarterSchedule();
    student(1000, 500, QStringLiteral("{ABC-12}:7"));
    movement({.person = 1000, .group = 500, .in = QDate(2023, 9, 1), .stage = stageValue(5),
              .level = 26, .added = at(2023, 8, 30, 10, 0)});
    journal(9001, 7001, 500, 2023, 151);
    journal(9002, 7002, 500, 2023, 151);
    journal(9003, 7003, 500, 2023, 151, 0, at(2023, 9, 2));  // deleted
    journal(9004, 7004, 500, 2023, 151, 1);                  // another journal type
    journal(9005, 7005, 500, 2022, 151);                     // another year
    db().execute("insert into RESOURCES (RES_ID, LANG_CODE, VAL) values (5001, 'ru', 'очная')");
    db().execute("insert into LISTVALS (LISTVAL_ID, LIST_ID, COST, RES_ID) values (8001, 80, '1', 5001)");
    value("VALL", 1000, 80, 8001);

    EXPECT_EQ(rows(call(kPeriodColumns)),
              QStringList({
                  "2023-Q1|1|2023-09-01|2023-10-27|quarter|1|четверть|false|basic|151",
                  "2023-Q2|2|2023-11-06|2023-12-29|quarter|1|четверть|false|basic|151",
                  "2023-Q3|3|2024-01-09|2024-03-22|quarter|1|четверть|false|basic|151",
                  "2023-Q4|4|2024-04-01|2024-05-24|quarter|1|четверть|false|basic|151",
                  "2023-C1|1|2023-09-01|2023-10-28|quarter|1|четверть|true|basic|null",
                  "2023-C2|2|2023-11-06|2023-12-30|quarter|1|четверть|true|basic|null",
                  "2023-C3|3|2024-01-09|2024-03-23|quarter|1|четверть|true|basic|null",
                  "2023-C4|4|2024-04-01|2024-05-24|quarter|1|четверть|true|basic|null",
              }));

    // Every column of one row, in the data format's order.
    const QStringList all = rows(call("*", "null, :since"), {at(2024, 1, 15, 8, 30)});
    ASSERT_EQ(all.size(), 8);
    EXPECT_EQ(all[0],
              "2023-Q1|500Y2023|EXT-1|Школа №1|abc-12|5|А|2023|1|2023-09-01|2023-10-27|quarter|1|"
              "четверть|false|1|https://ediary.region.test|null|2023-09-01|null|2|false|null|null|"
              "null|очная|basic|+03:00|https://ediary.region.test|2023-08-30 10:00:00.0000|"
              "2024-01-15 08:30:00.0000|151");
}

TEST_F(ExportClassesPeriodsTest, PeriodKindsOutsideTheTableCarryNoPeriodIdentity)
{
    schoolWithParallels();
    schedule(151);
    period(1541, 151, 1170, 17, QDate(2023, 12, 1), QDate(2024, 2, 28));
    period(1542, 151, 1170, 19, QDate(2023, 9, 1), QDate(2023, 12, 29));  // a semester
    period(1543, 151, 1170, 10, QDate(2023, 9, 1), QDate(2023, 12, 29));
    student(1000, 500, QStringLiteral("s"));
    movement({.person = 1000, .group = 500, .in = QDate(2023, 9, 1), .stage = stageValue(5),
              .level = 99});
    journal(9001, 7001, 500, 2023, 151);

    EXPECT_EQ(rows(call(kPeriodColumns)),
              QStringList({
                  "2023-H1|1|2023-09-01|2023-12-29|halfyear|4|полугодие|false|null|151",
                  "2023-T2|2|2023-12-01|2024-02-28|trimester|3|триместр|false|null|151",
                  "null|null|2023-09-01|2023-12-29|null|null|null|false|null|151",
                  "2023-C1|1|2023-09-01|2023-12-29|quarter|1|четверть|true|null|null",
              }));
}

TEST_F(ExportClassesPeriodsTest, ArchiveYearsTakeTheirPeriodsFromMarksWithFixedDates)
{
    schoolWithParallels();
    student(1000, 500, QStringLiteral("s"));
    // Two memberships of 2022, each repeating the year's period rows under its own class key.
    movement({.person = 1000, .group = 500, .in = QDate(2022, 9, 1), .out = QDate(2023, 1, 10),
              .stage = stageValue(5), .level = 41});
    movement({.person = 1000, .group = 900, .in = QDate(2023, 1, 10), .out = QDate(2023, 5, 31),
              .stage = stageValue(9), .level = 46});
    valm(1, 1000, 2022, 7001, 3003, 3017);
    valm(2, 1000, 2022, 7002, 3003, 3017);
    valm(3, 1000, 2022, 7001, 3007, 3017);
    valm(4, 1000, 2022, 7001, 3010, 3017);
    valm(5, 1000, 2022, 7001, 12973, 3017);
    valm(6, 1000, 2022, 7001, 3001, 3017);
    valm(7, 1000, 2022, 7001, 3005, 3017, null, at(2020, 1, 1), 0, null);  // IS_NATIVE null counts
    valm(8, 1000, 2022, 7003, 3002, 3017, null, at(2020, 1, 1), 1);        // deleted
    valm(9, 1000, 2022, 7003, 3004, 3017, null, at(2020, 1, 1), 0, 0);     // not counting
    valm(10, 1000, 2022, 7003, 3011, 3017);                                // a year mark
    valm(11, 1000, 2021, 7003, 3006, 3017);                                // another year

    const QString columns = QStringLiteral("CLASS_ID, CLASS_YEAR_FROM, SUBJECTS_COUNT, ") + kPeriodColumns;
    const QStringList periods = {
        "null|null|null|null|null|null|null|false|%1|null",
        "2022-Q2|2|2022-11-01|2022-12-31|quarter|1|четверть|false|%1|null",
        "2022-Q4|4|2023-03-21|2023-05-31|quarter|1|четверть|false|%1|null",
        "2022-T2|2|2022-12-01|2023-03-01|trimester|3|триместр|false|%1|null",
        "2022-H2|2|2023-01-01|2023-05-31|halfyear|4|полугодие|false|%1|null",
        "null|null|null|null|null|null|null|false|%1|null",
    };
    const int counts[] = {1, 2, 1, 1, 1, 1};
    QStringList expected;
    for (const QString& classKey : {QStringLiteral("500Y2022|basic"), QStringLiteral("900Y2022|secondary")}) {
        const QStringList parts = classKey.split('|');
        for (int i = 0; i < periods.size(); ++i)
            expected << QStringLiteral("%1|2022|%2|").arg(parts[0]).arg(counts[i]) + periods[i].arg(parts[1]);
    }
    EXPECT_EQ(rows(call(columns)), expected);
}

TEST_F(ExportClassesPeriodsTest, StudyYearsAndMembershipWindowsFollowTheEntryDates)
{
    schoolWithParallels();
    struct Entry {
        qlonglong id;
        QDate in;
        QVariant out;
    };
    const Entry entries[] = {
        {1001, QDate(2021, 5, 15), QDate(2021, 5, 31)},  // study year 2020
        {1002, QDate(2021, 8, 28), null},                // study year 2021
        {1003, QDate(2021, 8, 22), null},                // 22 to 24 August: no study year
        {1004, QDate(2021, 8, 23), null},
        {1005, QDate(2021, 8, 24), null},
        {1006, QDate(2021, 8, 25), QDate(2022, 9, 10)},  // first day of entries, last day of leaving
        {1007, QDate(2021, 9, 1), QDate(2022, 9, 11)},   // left after the leaving limit
        {1008, QDate(2021, 10, 1), QDate(2021, 10, 1)},  // in and out on one day
        {1009, QDate(2021, 8, 26), QDate(2021, 9, 1)},   // left on the year's first day
    };
    for (const Entry& e : entries) {
        student(e.id, 500, QStringLiteral("s%1").arg(e.id));
        movement({.person = e.id, .group = 500, .in = e.in, .out = e.out, .stage = stageValue(5)});
        for (int year = 2020; year <= 2022; ++year)
            valm(e.id * 10 + year - 2020, e.id, year, 7001, 3002, 3017);
    }
    // A movement without a stage is no membership.
    student(1010, 500, QStringLiteral("s1010"));
    movement({.person = 1010, .group = 500, .in = QDate(2021, 9, 1)});
    valm(10100, 1010, 2021, 7001, 3002, 3017);

    EXPECT_EQ(rows(call("STUDENT_ID, CLASS_YEAR_FROM, CLASS_START_DATE, CLASS_END_DATE, PERIOD_ID")),
              QStringList({
                  "s1001|2020|2021-05-15|2021-05-31|2020-Q1",
                  "s1002|2021|2021-08-28|null|2021-Q1",
                  "s1006|2021|2021-08-25|2022-09-10|2021-Q1",
              }));
}

TEST_F(ExportClassesPeriodsTest, ClassColumnsCompareGradesAsNumbers)
{
    schoolWithParallels();
    quarterSchedule();
    const struct {
        qlonglong id;
        qlonglong group;
        int grade;
        const char* name;
    } members[] = {
        {1001, 1100, 11, "11 Б"},
        {1002, 900, 9, "ПОДГ"},
        {1003, 500, 5, "5 А класс"},
    };
    for (const auto& m : members) {
        student(m.id, m.group, QStringLiteral("s%1").arg(m.id));
        movement({.person = m.id, .group = m.group, .in = QDate(2023, 9, 1), .stage = stageValue(m.grade),
                  .name = QString::fromUtf8(m.name)});
        journal(m.id, 7001, m.group, 2023, 151);
    }

    EXPECT_EQ(rows("select distinct STUDENT_ID, CLASS_ID, CLASS_NUM, CLASS_LETTER, IS_LAST_CLASS "
                   "from DC_MS_CLASSES_PERIODS(null) order by 1"),
              QStringList({
                  "s1001|1100Y2023|11|Б|true",
                  "s1002|900Y2023|9|ПОДГ|false",
                  "s1003|500Y2023|5|А класс|false",
              }));
}

TEST_F(ExportClassesPeriodsTest, SelectsClassStudentsAndTheIntakeListsOfThisAndNextYear)
{
    schoolWithParallels();
    const int fy = QDate::currentDate().year();
    link(780, 1, 78, 2);
    const int intakeYears[] = {fy, fy + 1, fy - 1};
    for (int i = 0; i < 3; ++i) {
        link(830 + i, 780, 83, 78);
        value("VALI", 830 + i, 451, intakeYears[i]);
    }
    auto enrol = [this](qlonglong id, qlonglong parent, int parentType, const QString& registry) {
        student(id, parent, registry, parentType);
        movement({.person = id, .group = 500, .in = QDate(2022, 9, 1), .stage = stageValue(5)});
        valm(id, id, 2022, 7001, 3002, 3017);
    };
    enrol(1001, 500, 9, "s1001");
    enrol(1002, 125, 125, "s1002");
    enrol(1003, 830, 83, "s1003");
    enrol(1004, 831, 83, "s1004");
    enrol(1005, 832, 83, "s1005");   // last year's intake list
    enrol(1006, 500, 9, "");         // no registry id
    enrol(1007, 77, 77, "s1007");    // under another kind of parent
    // Only deleted or long-closed class movements.
    student(1008, 500, "s1008");
    movement({.person = 1008, .group = 500, .in = QDate(2022, 9, 1), .stage = stageValue(5),
              .deleted = at(2022, 9, 2)});
    student(1009, 500, "s1009");
    movement({.person = 1009, .group = 500, .in = QDate(2019, 9, 1), .out = QDate(2020, 8, 30),
              .stage = stageValue(5)});
    valm(1008, 1008, 2022, 7001, 3002, 3017);
    valm(1009, 1009, 2019, 7001, 3002, 3017);

    EXPECT_EQ(rows("select distinct STUDENT_ID from DC_MS_CLASSES_PERIODS(null) order by 1"),
              QStringList({"s1001", "s1002", "s1003", "s1004"}));
}

TEST_F(ExportClassesPeriodsTest, ChangeFilterLetsAStudentThroughOnAnyOneStamp)
{
    schoolWithParallels();
    schedule(151);
    period(1541, 151, 1170, 12, QDate(2023, 9, 1), QDate(2023, 10, 27));
    journal(9001, 7001, 500, 2023, 151);
    listValue(8001, 80, {}, 1, {}, QStringLiteral("очная"));
    const QDateTime fresh = at(2024, 2, 1);
    for (qlonglong id = 1001; id <= 1008; ++id) {
        student(id, 500, QStringLiteral("s%1").arg(id));
        movement({.person = id, .group = 500, .in = QDate(2023, 9, 1), .stage = stageValue(5),
                  .modified = id == 1001 ? QVariant(fresh) : QVariant(at(2020, 1, 1))});
    }
    db().execute("update VALS set DATE_MODIFY = :date_modify where OBJ_ID = 1002 and PARAM_ID = 2912", {fresh});
    value("VALL", 1003, 80, 8001, fresh);
    value("VALL", 1007, 80, 8001, fresh, 1);  // a deleted attendance value is no stamp
    // Parent records: fresh link with both values; fresh link without the portal id.
    auto parentRecord = [this](qlonglong student, qlonglong record, const QVariant& inserted,
                               bool withPortalId) {
        link(record, student, 20, 10, inserted, null, record + 1);
        value("VALS", record, 155, QStringLiteral("мать"));
        if (withPortalId)
            value("VALS", record + 1, 1570, QStringLiteral("P-1"));
    };
    parentRecord(1004, 2004, fresh, true);
    parentRecord(1005, 2005, fresh, false);
    parentRecord(1006, 2006, null, true);
    db().execute("update VALS set DATE_MODIFY = :date_modify where OBJ_ID = 2006", {fresh});

    const QString students = QStringLiteral(
        "select distinct STUDENT_ID from DC_MS_CLASSES_PERIODS(:since) order by 1");
    EXPECT_EQ(rows(students, {at(2024, 1, 1)}), QStringList({"s1001", "s1002", "s1003", "s1004"}));
    EXPECT_EQ(rows(students, {at(2024, 2, 1)}), QStringList({"s1001", "s1002", "s1003", "s1004"}));
    EXPECT_TRUE(rows(students, {at(2024, 2, 1, 0, 1)}).isEmpty());
    EXPECT_EQ(rows(students, {null}).size(), 8);

    // A period with a null stamp is no change; one with all four stamps lets everyone through.
    period(1542, 151, 1170, 13, QDate(2023, 11, 6), QDate(2023, 12, 29), null);
    db().execute("update LINKS set DATE_INS = :date_ins where OBJ_ID = 1542", {fresh});
    EXPECT_EQ(rows(students, {at(2024, 1, 1)}).size(), 4);
    db().execute("update VALL set DATE_MODIFY = :date_modify where OBJ_ID = 1542", {at(2020, 1, 1)});
    EXPECT_EQ(rows(students, {at(2024, 1, 1)}).size(), 8);
}

TEST_F(ExportClassesPeriodsTest, AnErrorOnAStudentNamesTheStudent)
{
    schoolWithParallels();
    student(1000, 500, QStringLiteral("s"));
    movement({.person = 1000, .group = 500, .in = QDate(2022, 9, 1), .stage = 4999});
    listValue(4999, 49, {}, QStringLiteral("пятый"));  // a grade that does not convert

    const QString message = failure(call("*"));
    EXPECT_TRUE(message.contains(QStringLiteral("Ошибка на персоне 1000"))) << message.toStdString();

    // A school-wide value that does not convert is no student's error: it comes as raised.
    db().execute("update LISTVALS set COST = 'одиннадцать' where LISTVAL_ID = :listval_id", {stageValue(11)});
    const QString schoolWide = failure(call("*"));
    EXPECT_TRUE(schoolWide.contains(QStringLiteral("conversion error"), Qt::CaseInsensitive)) << schoolWide.toStdString();
    EXPECT_FALSE(schoolWide.contains(QStringLiteral("Ошибка на персоне")));
}

}  // namespace
