#include "ValAddAfterFixture.h"

#include "ScriptTestSupport.h"

#include "fib.h"

#include <algorithm>

namespace valadd {

std::unique_ptr<testsupport::ScratchDatabase> ValAddAfterTest::FDatabase;

void ValAddAfterTest::SetUpTestSuite()
{
    FDatabase = std::make_unique<testsupport::ScratchDatabase>("valadd");
    testsupport::TestSession setup(FDatabase->serverName());
    setup.executeScript("Q5");
    setup.executeScript("Q6");
    setup.commit();
}

void ValAddAfterTest::TearDownTestSuite() { FDatabase.reset(); }

void ValAddAfterTest::SetUp()
{
    FSession = std::make_unique<testsupport::TestSession>(FDatabase->serverName());
    clearCalls();
}

void ValAddAfterTest::clearCalls()
{
    FLogStart = FSession->scalar("SELECT COALESCE(MAX(LOG_ID), 0) FROM CALL_LOG").toLongLong();
}

void ValAddAfterTest::TearDown()
{
    FSession->rollback();
    FSession.reset();
}

Result ValAddAfterTest::call(qlonglong param, qlonglong obj, const QVariant& val, const QString& tag,
                             int isDel, int processTag, const QVariant& typeId)
{
    const QList<QVariantList> rows = FSession->query(
        "SELECT BLOB_ID, REFRESH_FLAG FROM VAL_ADD_AFTER(?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {param, obj, val, kUser, isDel, processTag, tag.isNull() ? QVariant() : QVariant(tag),
         QStringLiteral("ru"), typeId});
    EXPECT_EQ(rows.size(), 1) << "one row per call";
    if (rows.isEmpty())
        return {};
    return {rows[0].value(0), rows[0].value(1)};
}

QStringList ValAddAfterTest::calls() { return testsupport::callLog(*FSession, FLogStart); }

QStringList ValAddAfterTest::callsOf(const QString& procedure)
{
    QStringList result = calls();
    result.removeIf([&](const QString& c) { return !c.startsWith(procedure + "("); });
    return result;
}

void ValAddAfterTest::object(qlonglong obj, qlonglong type)
{
    FSession->execute("UPDATE OR INSERT INTO OBJECTS (OBJ_ID, TYPE_ID) VALUES (?, ?)", {obj, type});
}

void ValAddAfterTest::link(qlonglong obj, qlonglong parent, qlonglong objType, qlonglong parentType)
{
    if (!FSession->scalar("SELECT 1 FROM OBJECTS WHERE OBJ_ID = ?", {obj}).isValid())
        object(obj, objType);
    FSession->execute("INSERT INTO LINKS (OBJ_ID, PARENT_ID, OBJ_TYPE_ID, PARENT_TYPE_ID) VALUES (?, ?, ?, ?)",
                      {obj, parent, objType, parentType});
}

void ValAddAfterTest::param(qlonglong paramId, int paramType, qlonglong typeId, const QString& tag)
{
    FSession->execute("UPDATE OR INSERT INTO PARAMS (PARAM_ID, TYPE_ID, PARAM_TYPE, TAG, IS_DEL) "
                      "VALUES (?, ?, ?, ?, 0)",
                      {paramId, typeId, paramType, tag.isEmpty() ? QVariant() : QVariant(tag)});
}

void ValAddAfterTest::listValue(qlonglong id, qlonglong list, const QVariant& parent, const QVariant& cost,
                                const QVariant& resId, const QString& tag)
{
    FSession->execute("INSERT INTO LISTVALS (LISTVAL_ID, LIST_ID, PARENT_ID, COST, RES_ID, TAG, IS_DEL) "
                      "VALUES (?, ?, ?, ?, ?, ?, 0)",
                      {id, list, parent, cost, resId, tag.isEmpty() ? QVariant() : QVariant(tag)});
}

void ValAddAfterTest::resource(qlonglong resId, const QString& text, const QString& longText)
{
    FSession->execute("INSERT INTO RESOURCES (RES_ID, LANG_CODE, VAL, VAL_LONG) VALUES (?, 'ru', ?, ?)",
                      {resId, text, longText.isEmpty() ? QVariant() : QVariant(longText)});
}

static void setValue(testsupport::TestSession& s, const char* table, const char* column, qlonglong obj,
                     qlonglong paramId, const QVariant& val)
{
    s.execute(QStringLiteral("UPDATE OR INSERT INTO %1 (PARAM_ID, OBJ_ID, %2, IS_DEL) VALUES (?, ?, ?, 0)")
                  .arg(table, column),
              {paramId, obj, val});
}

void ValAddAfterTest::setText(qlonglong obj, qlonglong paramId, const QVariant& val)
{
    setValue(*FSession, "VALS", "VAL", obj, paramId, val);
}
void ValAddAfterTest::setInt(qlonglong obj, qlonglong paramId, const QVariant& val)
{
    setValue(*FSession, "VALI", "VAL", obj, paramId, val);
}
void ValAddAfterTest::setDate(qlonglong obj, qlonglong paramId, const QDate& val)
{
    setValue(*FSession, "VALD", "VAL", obj, paramId, val);
}
void ValAddAfterTest::setList(qlonglong obj, qlonglong paramId, const QVariant& listValueId)
{
    setValue(*FSession, "VALL", "LISTVAL_ID", obj, paramId, listValueId);
}
void ValAddAfterTest::setRef(qlonglong obj, qlonglong paramId, qlonglong target)
{
    setValue(*FSession, "VALR", "VAL", obj, paramId, target);
}

void ValAddAfterTest::setOrganisationKind(const QString& kind)
{
    FSession->execute("UPDATE OU_LICENCE_TYPE SET STATUS = ?", {kind});
}

void ValAddAfterTest::setGen(qlonglong gen) { FSession->execute("UPDATE GEN SET GEN = ?", {gen}); }

QVariant ValAddAfterTest::live(const char* table, qlonglong obj, qlonglong paramId)
{
    const char* column = QByteArray(table) == "VALL" ? "LISTVAL_ID" : "VAL";
    const QList<QVariantList> rows = FSession->query(
        QStringLiteral("SELECT %1 FROM %2 WHERE PARAM_ID = ? AND OBJ_ID = ? AND IS_DEL = 0").arg(column, table),
        {paramId, obj});
    return rows.isEmpty() ? QVariant() : rows[0][0];
}

void ValAddAfterTest::expectRefused(const std::function<void()>& calls, const QString& message)
{
    const QStringList before = snapshot();
    try {
        calls();
        ADD_FAILURE() << "accepted; expected " << message.toStdString();
    } catch (const EFIBInterBaseError& e) {
        EXPECT_TRUE(e.Message().contains(message)) << e.Message().toStdString();
    }
    EXPECT_EQ(snapshot(), before);
}

QStringList ValAddAfterTest::snapshot()
{
    QStringList rows;
    const QList<std::pair<const char*, const char*>> tables = {
        {"VALS", "VAL"}, {"VALI", "VAL"}, {"VALF", "VAL"}, {"VALD", "VAL"}, {"VALR", "VAL"}, {"VALL", "LISTVAL_ID"}};
    for (const auto& [table, column] : tables)
        for (const QVariantList& r : FSession->query(
                 QStringLiteral("SELECT PARAM_ID, OBJ_ID, %1, IS_DEL FROM %2").arg(column, table)))
            rows << QStringLiteral("%1 %2:%3=%4:%5").arg(table, r[0].toString(), r[1].toString(),
                                                        r[2].toString(), r[3].toString());
    for (const QVariantList& r : FSession->query("SELECT LINK_ID, OBJ_ID, PARENT_ID, DATE_DEL FROM LINKS"))
        rows << QStringLiteral("LINKS %1:%2:%3:%4").arg(r[0].toString(), r[1].toString(), r[2].toString(),
                                                       r[3].toString());
    rows.sort();
    return rows;
}

}  // namespace valadd
