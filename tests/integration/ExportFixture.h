#pragma once
// A scratch product database with the three export procedures installed, and short writers
// for the rows the exports read: links, objects, parameter values, list values, movements,
// journals and marks. Each export test builds a small school of its own and reads the
// procedure's rows back as text, one "|"-joined line per row.

#include "QtPrinters.h"
#include "ScratchDatabase.h"
#include "TestSession.h"

#include <QDate>
#include <QDateTime>
#include <QStringList>
#include <QVariant>
#include <gtest/gtest.h>

namespace exporttest {

// A value that is "no value": NULL in a column, an open end, a missing stamp.
inline const QVariant null;

QDateTime at(int y, int m, int d, int hh = 0, int mm = 0);

class ExportTest : public ::testing::Test {
protected:
    ExportTest();  // a fresh database named after the test, the three exports installed

    testsupport::TestSession& db() { return session; }
    // "select <columns> from <procedure>(<args>)"
    static QString select(const QString& procedure, const QString& columns, const QString& args = QStringLiteral("null"));

    // Object tree and objects.
    void link(qlonglong obj, const QVariant& parent, int objType, const QVariant& parentType,
              const QVariant& inserted = at(2020, 1, 1), const QVariant& deleted = null,
              const QVariant& ext = null);
    void object(qlonglong id, int type);
    // Parameter values; isDel 1 writes a deleted one.
    void text(qlonglong obj, int param, const QString& val, const QVariant& modified = at(2020, 1, 1),
              int isDel = 0);
    void registryId(qlonglong obj, const QString& sval, const QVariant& modified = at(2020, 1, 1));
    void list(qlonglong obj, int param, qlonglong listVal, const QVariant& modified = at(2020, 1, 1),
              int isDel = 0);
    void date(qlonglong obj, int param, const QDate& val, const QVariant& modified = at(2020, 1, 1));
    void integer(qlonglong obj, int param, int val);
    void listValue(qlonglong id, int list, const QVariant& cost, const QVariant& tag = null,
                   int isDel = 0);

    // A root school (object 1) with name, external id "EXT-1" and current study year `year`
    // (list 29 values for year-4 .. year+1, ids 29000 + year).
    void school(int year, bool withName = true);
    static qlonglong yearValue(int year) { return 29000 + year; }

    // A student (type 10) linked under a class of type 9 with a registry id.
    void student(qlonglong id, qlonglong classId, const QString& registry);
    // A class object (type 9) and a stage list value (list 49) for grade `grade`, id 4900 + grade.
    void classObject(qlonglong id, int type = 9);
    void stage(int grade);
    static qlonglong stageValue(int grade) { return 4900 + grade; }

    struct Movement {
        qlonglong person;
        qlonglong group;
        QDate in;
        QVariant out = null;           // QDate or null
        QVariant stage = null;         // stage list value or null
        QVariant level = null;
        QString name = QStringLiteral("5 А");
        int groupType = 9;
        QVariant added = at(2020, 1, 1);
        QVariant modified = at(2020, 1, 1);
        QVariant deleted = null;
    };
    void movement(const Movement& m);

    void journal(qlonglong id, qlonglong subject, qlonglong group, int year, qlonglong schedule,
                 int type = 0, const QVariant& deleted = null);

    // A period schedule (types 150 > 151 under the school) and its study periods and holidays.
    void schedule(qlonglong id);
    void period(qlonglong id, qlonglong schedule, int kindParam, qlonglong kind, const QDate& start,
                const QDate& end, const QVariant& modified = at(2020, 1, 1));
    void holiday(qlonglong id, qlonglong schedule, const QDate& start, const QDate& end,
                 const QString& name = {});

    // VALM mark of a study year.
    void valm(qlonglong markId, qlonglong pupil, int year, qlonglong subject, qlonglong kind,
              const QVariant& value, const QVariant& markDate = null,
              const QVariant& modified = at(2020, 1, 1), int isDel = 0, const QVariant& native = 1);

    // The rows of `select <columns> from <procedure>(<args>)` as text lines.
    QStringList rows(const QString& select, const QVariantList& params = {});
    // The message of the server error the query raises, or "" when it succeeds.
    QString failure(const QString& select, const QVariantList& params = {});

private:
    testsupport::ScratchDatabase scratch;
    testsupport::TestSession session;
};

}  // namespace exporttest
