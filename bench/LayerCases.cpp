#include "LayerCases.h"

#include "BenchSupport.h"
#include "TestEnv.h"
#include "pFIBDatabase.h"
#include "pFIBQuery.h"
#include "ScriptCatalogue.h"

#include <QObject>

#include <cmath>
#include <memory>

namespace bench {

namespace {

// A connection configured as the main window configures DB1 and DB2, without the login prompt.
TpFIBDatabase* newDatabase(QObject* form, const QString& name, const QString& databaseName)
{
    auto* db = new TpFIBDatabase(form);
    db->setObjectName(name);
    db->setLibraryName(testsupport::clientLibraryName());
    db->setDBName(databaseName);
    db->setSQLDialect(3);
    db->setDBParams({QStringLiteral("lc_ctype=UTF8"), QStringLiteral("user_name=") + testsupport::testUser()});
    db->ConnectParams()->setPassword(testsupport::testPassword());
    return db;
}

TpFIBTransaction* newTransaction(QObject* form, const QString& name, TpFIBDatabase* db)
{
    auto* tr = new TpFIBTransaction(form);
    tr->setObjectName(name);
    tr->setDefaultDatabase(db);
    return tr;
}

TpFIBQuery* newQuery(QObject* form, const QString& name, TpFIBDatabase* db, TpFIBTransaction* tr)
{
    auto* q = new TpFIBQuery(form);
    q->setObjectName(name);
    q->setDatabase(db);
    q->setTransaction(tr);
    return q;
}

// DB1, Tr1 and one statement on a form, as the main window has them.
class LayerSession {
public:
    explicit LayerSession(const QString& databaseName)
    {
        FForm.setObjectName(QStringLiteral("MainForm"));
        FDb = newDatabase(&FForm, QStringLiteral("DB1"), databaseName);
        FTr = newTransaction(&FForm, QStringLiteral("Tr1"), FDb);
        FQuery = newQuery(&FForm, QStringLiteral("Q1"), FDb, FTr);
        FDb->Open();
        FTr->StartTransaction();
    }
    ~LayerSession()
    {
        try {
            if (FTr->Active())
                FTr->Rollback();
            FDb->Close();
        } catch (...) {
        }
    }
    TpFIBQuery& query() { return *FQuery; }

private:
    QObject FForm;
    TpFIBDatabase* FDb = nullptr;
    TpFIBTransaction* FTr = nullptr;
    TpFIBQuery* FQuery = nullptr;
};

}  // namespace

std::int64_t layerFetch(const QString& databaseName, std::int64_t rows, Timing* timing)
{
    LayerSession session(databaseName);
    TpFIBQuery& q = session.query();
    Stopwatch watch;
    q.setSQLText(fetchSql(rows));
    q.ExecQuery();
    TFIBXSQLVAR* id = q.GetFields(0);
    TFIBXSQLVAR* big = q.GetFields(1);
    TFIBXSQLVAR* amount = q.GetFields(2);
    TFIBXSQLVAR* name = q.GetFields(3);
    TFIBXSQLVAR* stamp = q.GetFields(4);
    std::int64_t sum = 0;
    while (!q.Eof()) {
        sum += rowChecksum(id->AsInteger(), big->AsInt64(), amount->IsNull() ? 0 : std::llround(amount->AsDouble() * 100),
                           name->AsString().size(), stamp->IsNull() ? 0 : epochSeconds(stamp->AsDateTime()));
        q.Next();
    }
    q.Close();
    *timing = Timing::of(watch);
    return sum;
}

std::int64_t layerCycles(const QString& databaseName, std::int64_t cycles, std::int64_t tableRows, Timing* timing)
{
    LayerSession session(databaseName);
    TpFIBQuery& q = session.query();
    Stopwatch watch;
    q.setSQLText(cycleSqlNamed());
    std::int64_t sum = 0;
    for (std::int64_t i = 0; i < cycles; ++i) {
        // ExecQuery prepares the text itself; an explicit Prepare before it costs nothing more.
        const int key = cycleKey(i, tableRows);
        q.Params().GetXSQLVAR(0)->setAsInteger(key);
        q.ExecQuery();
        if (!q.Eof())
            sum += key + q.GetFields(0)->AsString().size();
        q.Close();
        q.FreeHandle();
    }
    *timing = Timing::of(watch);
    return sum;
}

std::vector<StatementTime> layerHotfix(const QString& databaseName)
{
    std::vector<StatementTime> times;
    const auto step = [&times](const QString& name, const auto& work) {
        Stopwatch watch;
        work();
        times.push_back({name, watch.seconds()});
    };
    QObject form;
    form.setObjectName(QStringLiteral("MainForm"));
    TpFIBDatabase* db2 = newDatabase(&form, QStringLiteral("DB2"), databaseName);
    TpFIBTransaction* tr2 = newTransaction(&form, QStringLiteral("Tr2"), db2);
    TpFIBDatabase* db1 = newDatabase(&form, QStringLiteral("DB1"), databaseName);
    TpFIBTransaction* tr1 = newTransaction(&form, QStringLiteral("Tr1"), db1);
    std::vector<std::pair<TpFIBQuery*, QString>> statements;
    for (const script::ScriptStatement& s : script::runOrder()) {
        const bool purge = s.database == QLatin1String("DB2");
        TpFIBQuery* q = newQuery(&form, s.component, purge ? db2 : db1, purge ? tr2 : tr1);
        q->setSQL(script::statementLines(s));
        statements.emplace_back(q, s.transaction);
    }

    step(QStringLiteral("open-DB2"), [&] { db2->Open(); });
    step(QStringLiteral("start-Tr2"), [&] { tr2->StartTransaction(); });
    for (auto& [q, transaction] : statements)
        if (transaction == QLatin1String("Tr2"))
            step(q->objectName(), [&] { q->ExecQuery(); });
    step(QStringLiteral("commit-Tr2"), [&] { tr2->Commit(); });
    step(QStringLiteral("close-DB2"), [&] { db2->Close(); });
    step(QStringLiteral("open-DB1"), [&] { db1->Open(); });
    step(QStringLiteral("start-Tr1"), [&] { tr1->StartTransaction(); });
    try {
        for (auto& [q, transaction] : statements)
            if (transaction == QLatin1String("Tr1"))
                step(q->objectName(), [&] { q->ExecQuery(); });
        step(QStringLiteral("commit-Tr1"), [&] { tr1->Commit(); });
    } catch (...) {
        if (tr1->Active())
            tr1->Rollback();
        db1->Close();
        throw;
    }
    step(QStringLiteral("close-DB1"), [&] { db1->Close(); });
    return times;
}

}  // namespace bench
