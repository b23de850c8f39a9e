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
    for (const char* component : {"Q1", "Q3", "Q7"})
        session.executeScript(QString::fromLatin1(component));
    session.commit();
}

QString ExportTest::select(const QString& procedure, const QString& columns, const QString& args)
{
    return QStringLiteral("select %1 from %2(%3)").arg(columns, procedure, args);
}

void ExportTest::link(qlonglong obj, const QVariant& parent, int objType, const QVariant& parentType,
                      const QVariant& inserted, const QVariant& deleted, const QVariant& ext)
{
    db().execute(QStringLiteral("insert into LINKS (OBJ_ID, PARENT_ID, OBJ_TYPE_ID, PARENT_TYPE_ID, "
                                "EXT_OBJ_ID, DATE_INS, DATE_DEL) values (?, ?, ?, ?, ?, ?, ?)"),
                 {obj, parent, objType, parentType, ext, inserted, deleted});
}

void ExportTest::object(qlonglong id, int type)
{
    db().execute(QStringLiteral("insert into OBJECTS (OBJ_ID, TYPE_ID) values (?, ?)"), {id, type});
}

void ExportTest::text(qlonglong obj, int param, const QString& val, const QVariant& modified, int isDel)
{
    db().execute(QStringLiteral("insert into VALS (OBJ_ID, PARAM_ID, VAL, IS_DEL, DATE_MODIFY) "
                                "values (?, ?, ?, ?, ?)"),
                 {obj, param, val, isDel, modified});
}

void ExportTest::registryId(qlonglong obj, const QString& sval, const QVariant& modified)
{
    db().execute(QStringLiteral("insert into VALS (OBJ_ID, PARAM_ID, VAL, SVAL, IS_DEL, DATE_MODIFY) "
                                "values (?, 2912, ?, ?, 0, ?)"),
                 {obj, sval, sval, modified});
}

void ExportTest::list(qlonglong obj, int param, qlonglong listVal, const QVariant& modified, int isDel)
{
    db().execute(QStringLiteral("insert into VALL (OBJ_ID, PARAM_ID, LISTVAL_ID, IS_DEL, DATE_MODIFY) "
                                "values (?, ?, ?, ?, ?)"),
                 {obj, param, listVal, isDel, modified});
}

void ExportTest::date(qlonglong obj, int param, const QDate& val, const QVariant& modified)
{
    db().execute(QStringLiteral("insert into VALD (OBJ_ID, PARAM_ID, VAL, IS_DEL, DATE_MODIFY) "
                                "values (?, ?, ?, 0, ?)"),
                 {obj, param, val, modified});
}

void ExportTest::integer(qlonglong obj, int param, int val)
{
    db().execute(QStringLiteral("insert into VALI (OBJ_ID, PARAM_ID, VAL, IS_DEL, DATE_MODIFY) "
                                "values (?, ?, ?, 0, ?)"),
                 {obj, param, val, at(2020, 1, 1)});
}

void ExportTest::listValue(qlonglong id, int list, const QVariant& cost, const QVariant& tag, int isDel)
{
    db().execute(QStringLiteral("insert into LISTVALS (LISTVAL_ID, LIST_ID, COST, TAG, IS_DEL) "
                                "values (?, ?, ?, ?, ?)"),
                 {id, list, cost.isValid() ? QVariant(cost.toString()) : cost, tag, isDel});
}

void ExportTest::school(int year, bool withName)
{
    link(1, null, 2, null);
    object(1, 2);
    if (withName)
        text(1, 2, QStringLiteral("Школа №1"));
    text(1, 9, QStringLiteral("EXT-1"));
    for (int y = year - 4; y <= year + 1; ++y)
        listValue(yearValue(y), 29, QString::number(y));
    list(1, 1236, yearValue(year));
}

void ExportTest::classObject(qlonglong id, int type) { object(id, type); }

void ExportTest::stage(int grade) { listValue(stageValue(grade), 49, QString::number(grade)); }

void ExportTest::student(qlonglong id, qlonglong classId, const QString& registry)
{
    link(id, classId, 10, 9);
    object(id, 10);
    registryId(id, registry);
}

void ExportTest::movement(const Movement& m)
{
    db().execute(QStringLiteral("insert into PERSON_MOVEMENTS (PERSON_ID, GROUP_ID, GROUP_TYPE_ID, "
                                "STAGE_ID, LEVEL_ID, NAME_IN, DATE_IN, DATE_OUT, DATE_ADD, DATE_MODIFY, "
                                "DATE_DEL) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                 {m.person, m.group, m.groupType, m.stage, m.level, m.name, m.in, m.out, m.added,
                  m.modified, m.deleted});
}

void ExportTest::journal(qlonglong id, qlonglong subject, qlonglong group, int year, qlonglong schedule,
                         int type, const QVariant& deleted)
{
    db().execute(QStringLiteral("insert into CJ2_JOURNAL (OBJ_ID, SUBJECT_ID, GRADE_ID, YEAR_ID, "
                                "PERIOD_ID, JOURNAL_TYPE, DATE_DEL) values (?, ?, ?, ?, ?, ?, ?)"),
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
    list(id, kindParam, kind, modified);
    date(id, 1169, start);
    date(id, 1174, end);
}

void ExportTest::holiday(qlonglong id, qlonglong schedule, const QDate& start, const QDate& end,
                         const QString& name)
{
    link(id, schedule, 450, 151);
    date(id, 3263, start);
    date(id, 3264, end);
    if (!name.isEmpty())
        text(id, 3265, name);
}

void ExportTest::valm(qlonglong markId, qlonglong pupil, int year, qlonglong subject, qlonglong kind,
                      const QVariant& value, const QVariant& markDate, const QVariant& modified,
                      int isDel, const QVariant& native)
{
    db().execute(QStringLiteral("insert into VALM (MARK_ID, PUPIL_ID, YEAR_ID, SUBJECT_ID, MARKTYPE_ID, "
                                "MARKVAL_ID, MARK_DATE, DATE_MODIFY, IS_DEL, IS_NATIVE) "
                                "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                 {markId, pupil, yearValue(year), subject, kind, value, markDate, modified, isDel,
                  native});
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
