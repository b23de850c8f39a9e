#pragma once
// A scratch product database with the three export procedures installed, and short writers
// for the rows the exports read besides the school's own: movements, journals and marks. Each
// export test builds a small school of its own and reads the procedure's rows back as text, one
// "|"-joined line per row.

#include "QtPrinters.h"
#include "SchoolBuilder.h"
#include "ScratchDatabase.h"

#include <QDate>
#include <QDateTime>
#include <QStringList>
#include <QVariant>
#include <gtest/gtest.h>

namespace exporttest {

// A value that is "no value": NULL in a column, an open end, a missing stamp.
inline const QVariant null = QVariant::fromValue(nullptr);

QDateTime at(int y, int m, int d, int hh = 0, int mm = 0);

class ExportTest : public ::testing::Test, protected testsupport::SchoolBuilder {
protected:
    // A fresh database named after the test, the three exports installed; rows stamped 2020-01-01.
    ExportTest();

    testsupport::TestSession& db() override { return session; }
    // "select <columns> from <procedure>(<args>)"
    static QString select(const QString& procedure, const QString& columns,
                          const QString& args = QStringLiteral("null"));

    // A root school (object 1) with name, external id "EXT-1" and current study year `year`
    // (list 29 values for year-4 .. year+1, ids 29000 + year).
    void school(int year, bool withName = true);
    static qlonglong yearValue(int year) { return 29000 + year; }

    // A student (type 10) under a class (type 9) or another parent, with a registry id unless empty.
    void student(qlonglong id, qlonglong parent, const QString& registry, int parentType = 9);
    // A stage list value (list 49) for grade `grade`, id 4900 + grade.
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
