// The period marks export on small schools: the mark value table and the forecast mark, period
// keys by mark kind, which journals count, the class at the period's end and the change filter.
#include "ExportFixture.h"

using namespace exporttest;

namespace {

class ExportPeriodMarksTest : public ExportTest {
protected:
    // School of study year 2023 with classes 500 (grade 5), 501 (grade 6, type 187), the
    // subgroup 5000 whose journals hold the period columns, and period schedule 151.
    void SetUp() override
    {
        ExportTest::SetUp();
        school(2023);
        object(500, 9);
        object(501, 187);
        stage(5);
        stage(6);
        schedule(151);
    }

    // A student in class 500 and subgroup 5000 since 1 September 2023.
    void pupil(qlonglong id, const QVariant& subgroupModified = at(2020, 1, 1))
    {
        student(id, 500, QStringLiteral("s%1").arg(id));
        movement({.person = id, .group = 500, .in = QDate(2023, 9, 1), .stage = stageValue(5)});
        movement({.person = id, .group = 5000, .in = QDate(2023, 9, 1), .groupType = 179,
                  .modified = subgroupModified});
    }
    void markPeriod(qlonglong id, qlonglong kind, const QDate& end, const QVariant& deleted = null)
    {
        link(id, 151, 154, 151, at(2020, 1, 1), deleted);
        value("VALL", id, 1171, kind);
        value("VALD", id, 1174, end);
    }
    void column(qlonglong id, qlonglong journal, qlonglong kind, const QVariant& modified = at(2020, 1, 1),
                const QVariant& deleted = null)
    {
        db().execute(
            "insert into CJ2_JOURNAL_FINALS (OBJ_ID, CJ_ID, FINAL_TYPE, DATE_MODIFY, DATE_DEL) "
            "values (:obj_id, :cj_id, :final_type, :date_modify, :date_del)",
            {id, journal, kind, modified, deleted});
    }
    void mark(qlonglong student, qlonglong column, qlonglong value, const QVariant& modified = at(2020, 1, 1),
              const QVariant& deleted = null)
    {
        db().execute(
            "insert into CJ2_MARK (STUDENT_ID, FINAL_ID, MARK_TYPE_ID, DATE_MODIFY, DATE_DEL) "
            "values (:student_id, :final_id, :mark_type_id, :date_modify, :date_del)",
            {student, column, value, modified, deleted});
    }
    void rating(qlonglong student, qlonglong subject, const QDate& day, double value,
                const QVariant& modified = at(2020, 1, 1), const QVariant& deleted = null)
    {
        db().execute(
            "insert into CJ2_STUDENT_RATING (STUDENT_ID, SUBJECT_ID, RATE_DATE, RATE_VALUE, "
            "DATE_MODIFY, DATE_DEL) values (:student_id, :subject_id, :rate_date, :rate_value, :date_modify, "
            ":date_del)",
            {student, subject, day, value, modified, deleted});
    }
    // Journal `id` of subject `subject` on the subgroup with its column of mark kind 3002 (id + 10000).
    void subjectWithColumn(qlonglong id, qlonglong subject)
    {
        journal(id, subject, 5000, 2023, 151);
        column(id + 10000, id, 3002);
    }

    static QString call(const QString& columns, const QString& args = QStringLiteral("null")) { return select("DC_MS_PMARKS", columns, args); }
};

TEST_F(ExportPeriodMarksTest, MarkValuesAndForecastsGiveFactsScalesAndPlans)
{
    pupil(1000);
    db().execute("update VALS set SVAL = '{ABC-12}:7' where OBJ_ID = 1000 and PARAM_ID = 2912");
    markPeriod(1541, 3002, QDate(2023, 10, 27));
    const qlonglong marks[][2] = {{7001, 404}, {7002, 101}, {7003, 102}, {7004, 625},
                                  {7005, 700}, {7006, 999}, {7007, 999}};
    for (const auto& m : marks) {
        subjectWithColumn(m[0] + 2000, m[0]);
        mark(1000, m[0] + 12000, m[1]);
    }
    rating(1000, 7007, QDate(2023, 10, 1), 3.5);  // a forecast lets the mark outside the table through
    subjectWithColumn(9008, 7008);               // no mark: the forecast alone
    rating(1000, 7008, QDate(2023, 10, 20), 4.37);
    rating(1000, 7008, QDate(2023, 10, 25), 5.0, at(2020, 1, 1), at(2023, 10, 26));  // deleted
    rating(1000, 7008, QDate(2023, 11, 1), 2.0);                                     // after the end
    value("VALS", 7001, 2, QStringLiteral("Математика"));
    subjectWithColumn(9009, 7009);  // neither mark nor forecast: no row
    journal(9010, 7010, 5000, 2023, 151);  // no column at all, but a forecast
    rating(1000, 7010, QDate(2023, 9, 30), 4.0);

    EXPECT_EQ(rows(call("SUBJECT_ID, FACT, FIVEPOINT_FACT, RECENT_PLAN, FIVEPOINT_RECENT_PLAN, "
                        "MARK_SCALE_CODE, MARK_SCALE_VALUE, MARK_SCALE_DESCRIPTION")),
              QStringList({
                  "7001|4|4|null|null|5-points|1|Пятибалльная",
                  "7002|Зачет|5|null|null|pass/fail|5|Зачет-Незачет",
                  "7003|Незачет|1|null|null|pass/fail|5|Зачет-Незачет",
                  "7004|25|2|null|null|100-points|3|Стобалльная",
                  "7005|100|5|null|null|100-points|3|Стобалльная",
                  "7007|null|null|3.50|3.5|Nomarks|6|Безотметочная",
                  "7008|null|null|4.37|4.4|5-points|1|Пятибалльная",
                  "7010|null|null|4.00|4.0|5-points|1|Пятибалльная",
              }));

    const QStringList all = rows(call("*", "null, :since"), {at(2024, 1, 15, 8, 30)});
    ASSERT_EQ(all.size(), 8);
    EXPECT_EQ(all.first(), QStringLiteral("abc-12S7001Y2023P3002|2023-Q1|7001|abc-12|500Y2023|%1|4|4|"
                                          "null|null|EXT-1|5|2023|5-points|1|Пятибалльная|"
                                          "2023-10-27 00:00:00|2024-01-15 08:30:00")
                               .arg("Математика"));
    // Without I$DT2 the sending moment is now.
    const QVariant sent = db().scalar(call("first 1 SEND_DATETIME"));
    EXPECT_LT(qAbs(sent.toDateTime().secsTo(QDateTime::currentDateTime())), 24 * 3600);
}

TEST_F(ExportPeriodMarksTest, MarkKindsGivePeriodKeysAndSemestersNone)
{
    pupil(1000);
    markPeriod(1541, 3003, QDate(2023, 12, 29));
    markPeriod(1542, 3007, QDate(2024, 3, 1));
    markPeriod(1543, 3010, QDate(2024, 5, 24));
    markPeriod(1544, 12973, QDate(2023, 12, 29));
    journal(9001, 7001, 5000, 2023, 151);
    qlonglong id = 19001;
    for (qlonglong kind : {3003, 3007, 3010, 12973}) {
        column(id, 9001, kind);
        mark(1000, id++, 405);
    }
    // A past year's subgroup with marks is never produced.
    movement({.person = 1000, .group = 5001, .in = QDate(2022, 9, 1), .out = QDate(2023, 5, 31),
              .groupType = 179});
    journal(9002, 7002, 5001, 2022, 151);
    column(19100, 9002, 3003);
    mark(1000, 19100, 405);

    EXPECT_EQ(rows(call("ID, PERIOD_ID, CLASS_YEAR_FROM, CREATE_DATETIME")),
              QStringList({
                  "s1000S7001Y2023P3003|2023-Q2|2023|2023-12-29 00:00:00",
                  "s1000S7001Y2023P3007|2023-T2|2023|2024-03-01 00:00:00",
                  "s1000S7001Y2023P3010|2023-H2|2023|2024-05-24 00:00:00",
                  "s1000S7001Y2023P12973|null|2023|2023-12-29 00:00:00",
              }));
}

TEST_F(ExportPeriodMarksTest, OnlyLiveSubgroupJournalsOfTheYearCount)
{
    pupil(1000);
    markPeriod(1541, 3002, QDate(2023, 10, 27));
    markPeriod(1542, 3003, QDate(2023, 12, 29), at(2023, 9, 2));  // a deleted period
    // The class's own journal: its movement's group type is not 179.
    journal(9001, 7001, 500, 2023, 151);
    column(19001, 9001, 3002);
    mark(1000, 19001, 405);
    // A deleted subgroup movement and one that ended before the three years.
    movement({.person = 1000, .group = 5002, .in = QDate(2023, 9, 1), .groupType = 179,
              .deleted = at(2023, 9, 2)});
    movement({.person = 1000, .group = 5003, .in = QDate(2019, 9, 1), .out = QDate(2020, 6, 1),
              .groupType = 179});
    for (qlonglong group : {5002, 5003}) {
        journal(group, 7000 + group, group, 2023, 151);
        column(group + 10000, group, 3002);
        mark(1000, group + 10000, 405);
    }
    journal(9004, 7004, 5000, 2023, 151, 0, at(2023, 9, 2));  // deleted journal
    journal(9005, 7005, 5000, 2023, 151, 1);                   // another journal type
    for (qlonglong j : {9004, 9005}) {
        column(j + 10000, j, 3002);
        mark(1000, j + 10000, 405);
    }
    journal(9006, 7006, 5000, 2023, 151);
    column(19006, 9006, 3002, at(2020, 1, 1), at(2023, 9, 2));  // deleted column
    mark(1000, 19006, 405);
    subjectWithColumn(9007, 7007);
    mark(1000, 19007, 405, at(2020, 1, 1), at(2023, 9, 2));  // deleted mark
    mark(1001, 19007, 405);                                  // another student's mark
    subjectWithColumn(9008, 7008);
    mark(1000, 19008, 403);
    journal(9009, 7009, 5000, 2023, 151);
    column(19009, 9009, 3003);  // a column of another kind than the period's
    mark(1000, 19009, 405);

    EXPECT_EQ(rows(call("SUBJECT_ID, FACT, PERIOD_ID")), QStringList({"7008|3|2023-Q1"}));
}

TEST_F(ExportPeriodMarksTest, ClassIsTheOneAtThePeriodEndOrElseTheFirst)
{
    student(1000, 500, QStringLiteral("s1000"));
    movement({.person = 1000, .group = 500, .in = QDate(2023, 9, 1), .out = QDate(2024, 1, 10),
              .stage = stageValue(5)});
    movement({.person = 1000, .group = 501, .in = QDate(2024, 1, 10), .stage = stageValue(6)});
    movement({.person = 1000, .group = 5000, .in = QDate(2023, 9, 1), .groupType = 179});
    // Class movements without a stage leave the class columns empty.
    student(1001, 500, QStringLiteral("s1001"));
    movement({.person = 1001, .group = 500, .in = QDate(2023, 9, 1)});
    movement({.person = 1001, .group = 5000, .in = QDate(2023, 9, 1), .groupType = 179});
    // Entered the class before the three years: not selected.
    student(1002, 500, QStringLiteral("s1002"));
    movement({.person = 1002, .group = 500, .in = QDate(2020, 8, 1), .stage = stageValue(5)});
    movement({.person = 1002, .group = 5000, .in = QDate(2023, 9, 1), .groupType = 179});

    markPeriod(1541, 3002, QDate(2023, 10, 27));
    markPeriod(1543, 3004, QDate(2024, 3, 22));
    markPeriod(1544, 3005, QDate(2023, 6, 1));  // ends before every class movement
    journal(9001, 7001, 5000, 2023, 151);
    qlonglong id = 19001;
    for (qlonglong kind : {3002, 3004, 3005}) {
        column(id, 9001, kind);
        for (qlonglong student : {1000, 1001, 1002})
            mark(student, id, 405);
        ++id;
    }

    EXPECT_EQ(rows(call("STUDENT_ID, PERIOD_ID, CLASS_ID, CLASS_NUM")),
              QStringList({
                  "s1000|2023-Q1|500Y2023|5",
                  "s1000|2023-Q3|501Y2023|6",
                  "s1000|2023-Q4|500Y2023|5",
                  "s1001|2023-Q1|null|null",
                  "s1001|2023-Q3|null|null",
                  "s1001|2023-Q4|null|null",
              }));
}

TEST_F(ExportPeriodMarksTest, ChangeFilterTakesTheMarksStampBeforeItsColumns)
{
    const QDateTime fresh = at(2024, 2, 1);
    pupil(1000);
    markPeriod(1541, 3002, QDate(2023, 10, 27));
    subjectWithColumn(9001, 7001);
    mark(1000, 19001, 405, fresh);  // the mark changed
    subjectWithColumn(9002, 7002);
    mark(1000, 19002, 405);  // nothing changed
    journal(9003, 7003, 5000, 2023, 151);
    column(19003, 9003, 3002, fresh);
    mark(1000, 19003, 405);  // the column changed, but the mark's own stamp counts
    journal(9004, 7004, 5000, 2023, 151);
    column(19004, 9004, 3002, fresh);  // no mark: the column's stamp counts
    rating(1000, 7004, QDate(2023, 10, 1), 4.2);
    subjectWithColumn(9005, 7005);
    mark(1000, 19005, 405);
    rating(1000, 7005, QDate(2023, 10, 1), 4.2, fresh);  // the forecast changed
    journal(9006, 7006, 5000, 2023, 151);  // no column: the movement's stamp counts
    rating(1000, 7006, QDate(2023, 10, 1), 4.2);

    pupil(1001, fresh);  // a changed subgroup movement counts where no column does
    rating(1001, 7006, QDate(2023, 10, 1), 4.2);

    // A changed class movement, registry id or parent record lets all of a student's rows through.
    pupil(1002);
    db().execute("update PERSON_MOVEMENTS set DATE_MODIFY = :date_modify where PERSON_ID = 1002 and GROUP_ID = 500",
                 {fresh});
    pupil(1003);
    db().execute("update VALS set DATE_MODIFY = :date_modify where OBJ_ID = 1003 and PARAM_ID = 2912", {fresh});
    pupil(1004);
    link(2004, 1004, 20, 10, fresh, null, 2005);
    value("VALS", 2004, 155, QStringLiteral("мать"));
    value("VALS", 2005, 1570, QStringLiteral("P-4"));
    for (qlonglong id : {1002, 1003, 1004})
        mark(id, 19002, 404);

    const QString select = call("STUDENT_ID, SUBJECT_ID", ":since");
    EXPECT_EQ(rows(select, {at(2024, 1, 1)}),
              QStringList({"s1000|7001", "s1000|7004", "s1000|7005", "s1001|7006", "s1002|7002",
                           "s1003|7002", "s1004|7002"}));
    EXPECT_EQ(rows(select, {null}).size(), 6 + 1 + 3);
}

}  // namespace
