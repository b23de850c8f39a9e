#include "ConnectionTestDatabase.h"

#include "FIBDatabase.h"
#include "pFIBDatabase.h"
#include "fib.h"

#include <QByteArray>
#include <QFile>

#include <stdexcept>

namespace {

IIBClientLibrary& lib() { return *ClientLibraryByName(testsupport::clientLibraryName()); }

void check(ISC_STATUS result)
{
    if (result > 0)
        RaiseStatusError(lib(), nullptr);
}

}  // namespace

FormConnection::FormConnection(const QString& dbName, const QString& password)
{
    form.setObjectName(QStringLiteral("MainForm"));
    db = new TpFIBDatabase(&form);
    db->setObjectName(QStringLiteral("DB"));
    setUpConnection(*db, dbName, password);
}

ConnectionTestDatabase::ConnectionTestDatabase(const QString& tag, bool remote, int dialect)
    : FPath(testsupport::uniqueDatabasePath(tag)), FRemote(remote)
{
    const QByteArray sql = QStringLiteral("CREATE DATABASE '%1' USER '%2' PASSWORD '%3' DEFAULT CHARACTER SET UTF8")
                               .arg(name(), testsupport::testUser(), testsupport::testPassword())
                               .toUtf8();
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
    check(lib().isc_dsql_execute_immediate(StatusVector(), &db, &tr, 0, sql.constData(),
                                           static_cast<unsigned short>(dialect), nullptr));
    check(lib().isc_detach_database(StatusVector(), &db));
}

ConnectionTestDatabase::~ConnectionTestDatabase()
{
    try {
        isc_db_handle db = attach();
        lib().isc_drop_database(StatusVector(), &db);
    } catch (...) {
    }
    QFile::remove(FPath);
}

isc_db_handle ConnectionTestDatabase::attach() const
{
    const QByteArray fileName = name().toLocal8Bit();
    const QByteArray dpb = testsupport::attachDPB(testsupport::testPassword(), false);
    isc_db_handle db = 0;
    check(lib().isc_attach_database(StatusVector(), static_cast<short>(fileName.size()), fileName.constData(), &db,
                                    static_cast<short>(dpb.size()), dpb.constData()));
    return db;
}

isc_tr_handle ConnectionTestDatabase::start(isc_db_handle& db) const
{
    struct {
        isc_db_handle* db;
        int length;
        const char* tpb;
    } teb = {&db, 0, nullptr};
    isc_tr_handle tr = 0;
    check(lib().isc_start_multiple(StatusVector(), &tr, 1, &teb));
    return tr;
}

void ConnectionTestDatabase::execute(const QString& sql) const
{
    isc_db_handle db = attach();
    isc_tr_handle tr = start(db);
    const QByteArray text = sql.toUtf8();
    check(lib().isc_dsql_execute_immediate(StatusVector(), &db, &tr, 0, text.constData(), 3, nullptr));
    check(lib().isc_commit_transaction(StatusVector(), &tr));
    check(lib().isc_detach_database(StatusVector(), &db));
}

int ConnectionTestDatabase::scalar(const QString& sql) const
{
    isc_db_handle db = attach();
    isc_tr_handle tr = start(db);
    isc_stmt_handle stmt = 0;
    const QByteArray text = sql.toUtf8();
    XSQLDA out{};
    out.version = SQLDA_VERSION1;
    out.sqln = 1;
    check(lib().isc_dsql_alloc_statement2(StatusVector(), &db, &stmt));
    check(lib().isc_dsql_prepare(StatusVector(), &tr, &stmt, 0, text.constData(), 3, &out));
    ISC_INT64 value = 0;
    short nullFlag = 0;
    out.sqlvar[0].sqltype = SQL_INT64 + 1;
    out.sqlvar[0].sqlscale = 0;
    out.sqlvar[0].sqllen = sizeof(value);
    out.sqlvar[0].sqldata = reinterpret_cast<ISC_SCHAR*>(&value);
    out.sqlvar[0].sqlind = &nullFlag;
    check(lib().isc_dsql_execute(StatusVector(), &tr, &stmt, 1, nullptr));
    check(lib().isc_dsql_fetch(StatusVector(), &stmt, 1, &out));
    check(lib().isc_dsql_free_statement(StatusVector(), &stmt, DSQL_drop));
    check(lib().isc_commit_transaction(StatusVector(), &tr));
    check(lib().isc_detach_database(StatusVector(), &db));
    return nullFlag ? -1 : static_cast<int>(value);
}
