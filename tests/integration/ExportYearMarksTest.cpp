// The year marks export on small schools: the mark value table, the computed year mark,
// the current year's subjects without a year mark, archive years, the year-end class and the
// change filter row by row.
#include "ExportFixture.h"

using namespace exporttest;

namespace {

class ExportYearMarksTest : public ExportTest {
protected:
    // School of study year 2023, class 500 of grade 5 and 600 of grade 6, the five-point mark
    // values with their marks as text, and the pass and fail values.
    void SetUp() override
    {
        ExportTest::SetUp();
        school(2023);
        object(500, 9);
        object(600, 9);
        stage(5);
        stage(6);
        for (int v = 3014; v <= 3018; ++v)
            listValue(v, 300, {}, v - 3013, {}, QString::number(v - 3013));
        listValue(3019, 300, {}, 0, {}, QStringLiteral("зачёт"));
        listValue(3020, 300, {}, 0, {}, QStringLiteral("незачёт"));
    }

    // A student of class 500 since 1 September 2023.
    void pupil(qlonglong id, const QString& registry = {})
    {
        student(id, 500, registry.isEmpty() ? QStringLiteral("s%1").arg(id) : registry);
        movement({.person = id, .group = 500, .in = QDate(2023, 9, 1), .stage = stageValue(5)});
    }

    static QString call(const QString& columns, const QString& args = QStringLiteral("null")) { return select("DC_MS_YMARKS", columns, args); }
};

TEST_F(ExportYearMarksTest, MarkValuesGiveFactsAndScales)
{
    pupil(1000, QStringLiteral("{ABC-12}:7"));
    const qlonglong yearMarks[][2] = {{7001, 3016}, {7002, 3019},  {7003, 3020}, {7004, 13043},
                                      {7005, 13044}, {7006, 13119}, {7007, 3021}};
    qlonglong markId = 1;
    for (const auto& m : yearMarks)
        valm(markId++, 1000, 2023, m[0], 3011, m[1], QDate(2024, 5, 20));
    const qlonglong finalMarks[][2] = {{7001, 3018}, {7004, 13119}, {7007, 3020}, {7002, 3021}};
    for (const auto& m : finalMarks)
        valm(markId++, 1000, 2023, m[0], 3013, m[1]);
    journal(9001, 7001, 500, 2023, 151);  // has a year mark: no second row
    journal(9008, 7008, 500, 2023, 151);  // none yet
    value("VALS", 7001, 2, QStringLiteral("Математика"));
    value("VALS", 7008, 2, QStringLiteral("Физика"));

    EXPECT_EQ(rows(call("SUBJECT_ID, FACT, FIVEPOINT_FACT, FINAL_FACT, FIVEPOINT_FINAL_FACT, "
                        "MARK_SCALE_CODE, MARK_SCALE_VALUE, MARK_SCALE_DESCRIPTION")),
              QStringList({
                  "7001|3|3|5|5|5-points|1|Пятибалльная",
                  "7002|Зачет|5|null|null|pass/fail|5|Зачет-Незачет",
                  "7003|Незачет|1|null|null|pass/fail|5|Зачет-Незачет",
                  "7004|24|1|100|5|100-points|3|Стобалльная",
                  "7005|25|2|null|null|100-points|3|Стобалльная",
                  "7006|100|5|null|null|100-points|3|Стобалльная",
                  "7007|null|null|Незачет|1|Nomarks|6|Безотметочная",
                  "7008|null|null|null|null|5-points|1|Пятибалльная",
              }));

    // Every column of the first and the last row, in the data format's order.
    const QStringList all = rows(call("*", "null, :since"), {at(2024, 1, 15, 8, 30)});
    ASSERT_EQ(all.size(), 8);
    EXPECT_EQ(all.first(), QStringLiteral("abc-12S7001Y2023|7001|abc-12|500Y2023|%1|3|3|5|5|null|null|"
                                          "EXT-1|5|2023|5-points|1|Пятибалльная|2024-05-20 00:00:00|"
                                          "2024-01-15 08:30:00")
                               .arg("Математика"));
    EXPECT_EQ(all.last(), QStringLiteral("abc-12S7008Y2023|7008|abc-12|500Y2023|%1|null|null|null|null|"
                                         "null|null|EXT-1|5|2023|5-points|1|Пятибалльная|"
                                         "2024-05-31 00:00:00|2024-01-15 08:30:00")
                              .arg("Физика"));
}

TEST_F(ExportYearMarksTest, ComputedYearMarkAveragesFivePointPeriodMarksAsFractions)
{
    pupil(1000);
    valm(1, 1000, 2023, 7001, 3011, 3016);
    valm(2, 1000, 2023, 7002, 3011, 3016);
    valm(3, 1000, 2023, 7003, 3011, 3016);
    // 5, 4, 4 and a half-year 3 average 4.00; the pass mark, a deleted and a not counting
    // mark and the final mark stay out.
    valm(10, 1000, 2023, 7001, 3002, 3018);
    valm(11, 1000, 2023, 7001, 3003, 3017);
    valm(12, 1000, 2023, 7001, 3004, 3017);
    valm(13, 1000, 2023, 7001, 3009, 3016);
    valm(14, 1000, 2023, 7001, 3005, 3019);
    valm(15, 1000, 2023, 7001, 3006, 3014, null, at(2020, 1, 1), 1);
    valm(16, 1000, 2023, 7001, 3007, 3014, null, at(2020, 1, 1), 0, 0);
    valm(17, 1000, 2023, 7001, 3013, 3014);
    valm(18, 1000, 2022, 7001, 3002, 3014);  // another year
    // 5 and 4 average 4.50, not the 4 of an integer average.
    valm(20, 1000, 2023, 7002, 3002, 3018);
    valm(21, 1000, 2023, 7002, 3003, 3017);

    EXPECT_EQ(rows(call("SUBJECT_ID, RECENT_PLAN, FIVEPOINT_RECENT_PLAN")),
              QStringList({"7001|4.00|4.00", "7002|4.50|4.50", "7003|null|null"}));
}

TEST_F(ExportYearMarksTest, ArchiveYearsGiveMarkedSubjectsUnderTheYearEndClass)
{
    // 2022 in class 500, then class 600 from 2023 on: the open movement is the year-end class.
    student(1000, 500, QStringLiteral("s1000"));
    movement({.person = 1000, .group = 500, .in = QDate(2022, 9, 1), .out = QDate(2023, 5, 31),
              .stage = stageValue(5)});
    movement({.person = 1000, .group = 600, .in = QDate(2023, 9, 1), .stage = stageValue(6)});
    valm(1, 1000, 2022, 7001, 3011, 3017);                                // no date
    valm(2, 1000, 2022, 7003, 3011, 3017, null, at(2020, 1, 1), 1);       // deleted
    valm(3, 1000, 2022, 7004, 3011, 3017, null, at(2020, 1, 1), 0, 0);    // not counting
    valm(4, 1000, 2023, 7001, 3011, 3018, QDate(2024, 5, 25));
    journal(9002, 7002, 500, 2022, 151);  // an archive year's subject without a mark gives nothing

    // Movements without a stage leave the class columns empty.
    student(1001, 500, QStringLiteral("s1001"));
    movement({.person = 1001, .group = 500, .in = QDate(2023, 9, 1)});
    valm(5, 1001, 2023, 7001, 3011, 3016);

    // Entered long before the three years, but still in the class: selected.
    student(1002, 500, QStringLiteral("s1002"));
    movement({.person = 1002, .group = 500, .in = QDate(2020, 6, 1), .stage = stageValue(5)});
    valm(6, 1002, 2023, 7001, 3011, 3015);

    EXPECT_EQ(rows(call("STUDENT_ID, CLASS_YEAR_FROM, ID, CLASS_ID, CLASS_NUM, FACT, CREATE_DATETIME")),
              QStringList({
                  "s1000|2022|s1000S7001Y2022|500Y2022|5|4|2024-05-31 00:00:00",
                  "s1000|2023|s1000S7001Y2023|600Y2023|6|5|2024-05-25 00:00:00",
                  "s1001|2023|s1001S7001Y2023|null|null|3|2024-05-31 00:00:00",
                  "s1002|2023|s1002S7001Y2023|500Y2023|5|2|2024-05-31 00:00:00",
              }));
}

TEST_F(ExportYearMarksTest, ChangeFilterDecidesRowByRow)
{
    const QDateTime fresh = at(2024, 2, 1);
    pupil(1000);
    valm(1, 1000, 2023, 7001, 3011, 3016, null, fresh);  // the year mark changed
    valm(2, 1000, 2023, 7002, 3011, 3016);
    valm(3, 1000, 2023, 7003, 3011, 3016);
    valm(4, 1000, 2023, 7003, 3013, 3016, null, fresh);  // the final mark changed
    valm(5, 1000, 2023, 7004, 3011, 3016);
    valm(6, 1000, 2023, 7004, 3002, 3017, null, fresh);  // a period mark changed
    valm(7, 1000, 2023, 7006, 3011, 3016);
    valm(8, 1000, 2023, 7006, 3002, 3019, null, fresh);  // a pass mark is no five-point mark
    journal(9005, 7005, 500, 2023, 151);                 // no year mark, no stamp of its own

    pupil(1001);
    db().execute("update VALS set DATE_MODIFY = :date_modify where OBJ_ID = 1001 and PARAM_ID = 2912", {fresh});
    valm(9, 1001, 2023, 7001, 3011, 3016);

    pupil(1002);
    link(2002, 1002, 20, 10, fresh, null, 2003);
    value("VALS", 2002, 155, QStringLiteral("отец"));
    value("VALS", 2003, 1570, QStringLiteral("P-2"));
    valm(10, 1002, 2023, 7001, 3011, 3016);

    pupil(1003);
    db().execute("update PERSON_MOVEMENTS set DATE_MODIFY = :date_modify where PERSON_ID = 1003", {fresh});
    valm(11, 1003, 2023, 7001, 3011, 3016);

    const QString select = call("STUDENT_ID, SUBJECT_ID", ":since");
    EXPECT_EQ(rows(select, {at(2024, 1, 1)}),
              QStringList({"s1000|7001", "s1000|7003", "s1000|7004", "s1001|7001", "s1001|7005",
                           "s1002|7001", "s1002|7005", "s1003|7001", "s1003|7005"}));
    EXPECT_EQ(rows(select, {null}).size(), 12);
}

}  // namespace
