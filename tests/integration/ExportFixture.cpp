#include "ExportFixture.h"

#include "Raised.h"
#include "fib.h"

namespace exporttest {

QDateTime at(int y, int m, int d, int hh, int mm) { return QDateTime(QDate(y, m, d), QTime(hh, mm)); }

ExportTest::ExportTest()
    : scratch(QStringLiteral("export_") +
              QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()).left(20)),
      session(scratch.serverName())
{
    stamp = at(2020, 1, 1);
    for (const char* component : {"Q1", "Q3", "Q7"})
        session.executeScript(QString::fromLatin1(component));
    session.commit();
}

QString ExportTest::select(const QString& procedure, const QString& columns, const QString& args)
{
    return QStringLiteral("select %1 from %2(%3)").arg(columns, procedure, args);
}

void ExportTest::school(int year, bool withName)
{
    node(1, null, 2, null);
    if (withName)
        value("VALS", 1, 2, QStringLiteral("Школа №1"));
    value("VALS", 1, 9, QStringLiteral("EXT-1"));
    for (int y = year - 4; y <= year + 1; ++y)
        listValue(yearValue(y), 29, {}, QString::number(y));
    value("VALL", 1, 1236, yearValue(year));
}

void ExportTest::stage(int grade) { listValue(stageValue(grade), 49, {}, QString::number(grade)); }

void ExportTest::student(qlonglong id, qlonglong parent, const QString& registry, int parentType)
{
    node(id, parent, 10, parentType);
    if (!registry.isEmpty())
        value("VALS", id, 2912, registry);
}

void ExportTest::movement(const Movement& m)
{
    db().execute(
        QStringLiteral("insert into PERSON_MOVEMENTS (PERSON_ID, GROUP_ID, GROUP_TYPE_ID, "
                       "STAGE_ID, LEVEL_ID, NAME_IN, DATE_IN, DATE_OUT, DATE_ADD, DATE_MODIFY, "
                       "DATE_DEL) values (:person_id, :group_id, :group_type_id, :stage_id, :level_id, :name_in, "
                       ":date_in, :date_out, :date_add, :date_modify, :date_del)"),
        {m.person, m.group, m.groupType, m.stage, m.level, m.name, m.in, m.out, m.added, m.modified, m.deleted});
}

void ExportTest::journal(qlonglong id, qlonglong subject, qlonglong group, int year, qlonglong schedule,
                         int type, const QVariant& deleted)
{
    db().execute(QStringLiteral("insert into CJ2_JOURNAL (OBJ_ID, SUBJECT_ID, GRADE_ID, YEAR_ID, "
                                "PERIOD_ID, JOURNAL_TYPE, DATE_DEL) values (:obj_id, :subject_id, :grade_id, :year_id, "
                                ":period_id, :journal_type, :date_del)"),
                 {id, subject, group, yearValue(year), schedule, type, deleted});
}

void ExportTest::schedule(qlonglong id)
{
    link(id - 1, 1, 150, 2);
    link(id, id - 1, 151, 150);
}

void ExportTest::period(qlonglong id, qlonglong schedule, int kindParam, qlonglong kind,
                        const QDate& start, const QDate& end, const QVariant& modified)
{
    link(id, schedule, 154, 151);
    value("VALL", id, kindParam, kind, modified);
    value("VALD", id, 1169, start);
    value("VALD", id, 1174, end);
}

void ExportTest::holiday(qlonglong id, qlonglong schedule, const QDate& start, const QDate& end,
                         const QString& name)
{
    link(id, schedule, 450, 151);
    value("VALD", id, 3263, start);
    value("VALD", id, 3264, end);
    if (!name.isEmpty())
        value("VALS", id, 3265, name);
}

void ExportTest::valm(qlonglong markId, qlonglong pupil, int year, qlonglong subject, qlonglong kind,
                      const QVariant& value, const QVariant& markDate, const QVariant& modified,
                      int isDel, const QVariant& native)
{
    db().execute(QStringLiteral("insert into VALM (MARK_ID, PUPIL_ID, YEAR_ID, SUBJECT_ID, MARKTYPE_ID, "
                                "MARKVAL_ID, MARK_DATE, DATE_MODIFY, IS_DEL, IS_NATIVE) "
                                "values (:mark_id, :pupil_id, :year_id, :subject_id, :marktype_id, :markval_id, "
                                ":mark_date, :date_modify, :is_del, :is_native)"),
                 {markId, pupil, yearValue(year), subject, kind, value, markDate, modified, isDel, native});
}

namespace {

QString cell(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return QStringLiteral("null");
    switch (v.typeId()) {
    case QMetaType::QDate:
        return v.toDate().toString(Qt::ISODate);
    case QMetaType::QDateTime:
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    default:
        return v.toString();
    }
}

}  // namespace

QStringList ExportTest::rows(const QString& select, const QVariantList& params)
{
    QStringList result;
    for (const QVariantList& row : db().query(select, params)) {
        QStringList cells;
        for (const QVariant& v : row)
            cells << cell(v);
        result << cells.join('|');
    }
    return result;
}

QString ExportTest::failure(const QString& select, const QVariantList& params)
{
    // A failed statement leaves the transaction and its rows as they were.
    return testsupport::messageOf<EFIBError>([&] { db().query(select, params); });
}

}  // namespace exporttest
