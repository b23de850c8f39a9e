#pragma once
// Writes the rows a school is made of in the stand-in product database: objects and their
// links, parameter values and list values. The export, value post-processing and period
// fixtures build their schools with it.

#include "TestSession.h"

#include <QVariant>

namespace testsupport {

class SchoolBuilder {
public:
    virtual ~SchoolBuilder() = default;

protected:
    virtual TestSession& db() = 0;

    // The OBJECTS row of an object, written or rewritten.
    void object(qlonglong id, qlonglong type);
    // A LINKS row; DATE_INS is `inserted` (a null QVariant writes NULL), else the stamp.
    void link(qlonglong obj, const QVariant& parent, qlonglong objType, const QVariant& parentType,
              const QVariant& inserted = {}, const QVariant& deleted = {}, const QVariant& ext = {});
    // An object placed under its parent: its OBJECTS row, when it has none, and its link.
    void node(qlonglong obj, const QVariant& parent, qlonglong objType, const QVariant& parentType);
    // An object's parameter value in its table (VALS, VALI, VALF, VALD, VALR; VALL takes the list
    // value), written or rewritten; DATE_MODIFY is `modified` (a null QVariant writes NULL), else the stamp.
    void value(const char* table, qlonglong obj, qlonglong param, const QVariant& val,
               const QVariant& modified = {}, int isDel = 0);
    void listValue(qlonglong id, qlonglong list, const QVariant& parent = {}, const QVariant& cost = {},
                   const QVariant& resId = {}, const QVariant& tag = {}, int isDel = 0);

    // The time written where a call gives none (an invalid QVariant); invalid: the current time.
    QVariant stamp;

private:
    QVariant stamped(const QVariant& given) const;
};

}  // namespace testsupport
