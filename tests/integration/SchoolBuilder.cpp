#include "SchoolBuilder.h"

#include <QDateTime>

namespace testsupport {

QVariant SchoolBuilder::stamped(const QVariant& given) const
{
    return given.isValid() ? given : stamp.isValid() ? stamp : QVariant(QDateTime::currentDateTime());
}

void SchoolBuilder::object(qlonglong id, qlonglong type)
{
    db().execute("UPDATE OR INSERT INTO OBJECTS (OBJ_ID, TYPE_ID) VALUES (:id, :type)", {id, type});
}

void SchoolBuilder::link(qlonglong obj, const QVariant& parent, qlonglong objType, const QVariant& parentType,
                         const QVariant& inserted, const QVariant& deleted, const QVariant& ext)
{
    db().execute("INSERT INTO LINKS (OBJ_ID, PARENT_ID, OBJ_TYPE_ID, PARENT_TYPE_ID, EXT_OBJ_ID, DATE_INS, DATE_DEL) "
                 "VALUES (:obj, :parent, :obj_type, :parent_type, :ext, :inserted, :deleted)",
                 {obj, parent, objType, parentType, ext, stamped(inserted), deleted});
}

void SchoolBuilder::node(qlonglong obj, const QVariant& parent, qlonglong objType, const QVariant& parentType)
{
    db().execute("MERGE INTO OBJECTS O USING RDB$DATABASE ON O.OBJ_ID = :id "
                 "WHEN NOT MATCHED THEN INSERT (OBJ_ID, TYPE_ID) VALUES (:id, :type)",
                 {obj, objType});
    link(obj, parent, objType, parentType);
}

void SchoolBuilder::value(const char* table, qlonglong obj, qlonglong param, const QVariant& val,
                          const QVariant& modified, int isDel)
{
    const char* column = qstrcmp(table, "VALL") == 0 ? "LISTVAL_ID" : "VAL";
    db().execute(QStringLiteral("UPDATE OR INSERT INTO %1 (PARAM_ID, OBJ_ID, %2, IS_DEL, DATE_MODIFY) "
                                "VALUES (:param, :obj, :val, :is_del, :modified)")
                     .arg(table, column),
                 {param, obj, val, isDel, stamped(modified)});
}

void SchoolBuilder::listValue(qlonglong id, qlonglong list, const QVariant& parent, const QVariant& cost,
                              const QVariant& resId, const QVariant& tag, int isDel)
{
    db().execute("INSERT INTO LISTVALS (LISTVAL_ID, LIST_ID, PARENT_ID, COST, RES_ID, TAG, IS_DEL) "
                 "VALUES (:id, :list, :parent, :cost, :res_id, :tag, :is_del)",
                 {id, list, parent, cost, resId, tag, isDel});
}

}  // namespace testsupport
