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
        "SELECT BLOB_ID, REFRESH_FLAG FROM VAL_ADD_AFTER("
        ":param, :obj, :val, :usr, :is_del, :process_tag, :tag, :lang, :type_id)",
        {param, obj, val, kUser, isDel, processTag, tag.isNull() ? QVariant() : QVariant(tag), QStringLiteral("ru"),
         typeId});
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

void ValAddAfterTest::param(qlonglong paramId, int paramType, qlonglong typeId, const QString& tag)
{
    FSession->execute(
        "UPDATE OR INSERT INTO PARAMS (PARAM_ID, TYPE_ID, PARAM_TYPE, TAG, IS_DEL) "
        "VALUES (:param_id, :type_id, :param_type, :tag, 0)",
        {paramId, typeId, paramType, tag.isEmpty() ? QVariant() : QVariant(tag)});
}

void ValAddAfterTest::resource(qlonglong resId, const QString& text, const QString& longText)
{
    FSession->execute(
        "INSERT INTO RESOURCES (RES_ID, LANG_CODE, VAL, VAL_LONG) VALUES (:res_id, 'ru', :val, :val_long)",
        {resId, text, longText.isEmpty() ? QVariant() : QVariant(longText)});
}

void ValAddAfterTest::setOrganisationKind(const QString& kind)
{
    FSession->execute("UPDATE OU_LICENCE_TYPE SET STATUS = :status", {kind});
}

void ValAddAfterTest::setGen(qlonglong gen) { FSession->execute("UPDATE GEN SET GEN = :gen", {gen}); }

QVariant ValAddAfterTest::live(const char* table, qlonglong obj, qlonglong paramId)
{
    const char* column = QByteArray(table) == "VALL" ? "LISTVAL_ID" : "VAL";
    const QList<QVariantList> rows = FSession->query(
        QStringLiteral("SELECT %1 FROM %2 WHERE PARAM_ID = :param_id AND OBJ_ID = :obj_id AND IS_DEL = 0")
            .arg(column, table),
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
