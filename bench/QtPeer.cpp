#include "QtPeer.h"

#include "BenchSupport.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

#include <cmath>

namespace bench {

namespace {

[[noreturn]] void fail(const char* what, const QSqlError& error)
{
    throw Failure(QStringLiteral("%1: %2").arg(QLatin1String(what), error.text()).toStdString());
}

}  // namespace

QtPeerConnection::QtPeerConnection(const QString& databaseName, const QString& user, const QString& password)
    : FName(QUuid::createUuid().toString())
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QIBASE"), FName);
    if (!db.isValid())
        throw Failure("the QIBASE driver is not available (install libqt6sql6-ibase)");
    db.setDatabaseName(databaseName);
    db.setUserName(user);
    db.setPassword(password);
    db.setConnectOptions(QStringLiteral("ISC_DPB_LC_CTYPE=UTF8"));
    if (!db.open())
        fail("open", db.lastError());
    if (!db.transaction())
        fail("transaction", db.lastError());
}

QtPeerConnection::~QtPeerConnection()
{
    {
        QSqlDatabase db = QSqlDatabase::database(FName, false);
        db.rollback();
        db.close();
    }
    QSqlDatabase::removeDatabase(FName);
}

std::int64_t QtPeerConnection::fetch(std::int64_t rows)
{
    QSqlQuery query(QSqlDatabase::database(FName, false));
    query.setForwardOnly(true);
    query.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    if (!query.exec(fetchSql(rows)))
        fail("exec", query.lastError());
    std::int64_t sum = 0;
    while (query.next()) {
        const QVariant amount = query.value(2);
        const QVariant stamp = query.value(4);
        sum += rowChecksum(query.value(0).toInt(), query.value(1).toLongLong(),
                           amount.isNull() ? 0 : std::llround(amount.toDouble() * 100), query.value(3).toString().size(),
                           stamp.isNull() ? 0 : epochSeconds(stamp.toDateTime()));
    }
    if (query.lastError().isValid())
        fail("fetch", query.lastError());
    return sum;
}

std::int64_t QtPeerConnection::cycles(std::int64_t cycles, std::int64_t tableRows)
{
    QSqlQuery query(QSqlDatabase::database(FName, false));
    query.setForwardOnly(true);
    const QString sql = cycleSql();
    std::int64_t sum = 0;
    for (std::int64_t i = 0; i < cycles; ++i) {
        if (!query.prepare(sql))
            fail("prepare", query.lastError());
        const int key = cycleKey(i, tableRows);
        query.addBindValue(key);
        if (!query.exec())
            fail("exec", query.lastError());
        if (query.next())
            sum += key + query.value(0).toString().size();
        query.finish();
    }
    return sum;
}

}  // namespace bench
