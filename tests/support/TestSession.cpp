#include "TestSession.h"

#include "ScriptCatalogue.h"
#include "TestEnv.h"
#include "fib.h"
#include "pFIBDatabase.h"
#include "pFIBQuery.h"

#include <QStringList>

namespace testsupport {

class TestSession::Impl {
public:
    explicit Impl(const QString& databaseName)
    {
        setUpConnection(db, databaseName, testPassword());
        tr.setDefaultDatabase(&db);
        db.Open();
    }

    ~Impl()
    {
        try {
            rollback();
        } catch (const std::exception&) {
            // The connection is gone; closing it below ends what is left.
        }
    }

    QList<QVariantList> run(const QString& sql, const QVariantList& params)
    {
        TpFIBQuery q;
        q.setDatabase(&db);
        q.setTransaction(&tr);
        q.setSQLText(sql);
        tr.StartTransaction();
        bind(q, params);
        q.ExecQuery();
        QList<QVariantList> rows;
        for (; q.Open() && !q.Eof(); q.Next())
            rows.append(row(q));
        if (q.ProcExecuted() && q.FieldCount() > 0)
            rows.append(row(q));
        return rows;
    }

    void commit()
    {
        if (tr.Active())
            tr.Commit();
    }

    void rollback()
    {
        if (tr.Active())
            tr.Rollback();
    }

private:
    // One value per distinct parameter name, in the order the names first appear.
    static void bind(TFIBQuery& q, const QVariantList& values)
    {
        QStringList names;
        for (int i = 0; i < q.ParamCount(); ++i)
            if (!names.contains(q.ParamName(i)))
                names << q.ParamName(i);
        if (names.size() != values.size())
            RaiseClientErrorText("TestSession: the statement names %d parameters but %d values were given",
                                 {int(names.size()), int(values.size())});
        for (int i = 0; i < names.size(); ++i)
            q.SetParamValue(names[i], values[i]);
    }

    static QVariantList row(TFIBQuery& q)
    {
        QVariantList values;
        for (int i = 0; i < q.FieldCount(); ++i)
            values.append(q.GetFields(i)->AsVariant());
        return values;
    }

    TpFIBDatabase db;
    TpFIBTransaction tr;
};

TestSession::TestSession(const QString& databaseName) : d(std::make_unique<Impl>(databaseName)) {}

TestSession::~TestSession() = default;

void TestSession::execute(const QString& sql, const QVariantList& params) { d->run(sql, params); }

QList<QVariantList> TestSession::query(const QString& sql, const QVariantList& params) { return d->run(sql, params); }

QVariant TestSession::scalar(const QString& sql, const QVariantList& params)
{
    const QList<QVariantList> rows = d->run(sql, params);
    return rows.isEmpty() || rows.first().isEmpty() ? QVariant() : rows.first().first();
}

void TestSession::executeScript(const QString& component)
{
    d->run(script::statementText(script::statement(component)), {});
}

void TestSession::commit() { d->commit(); }

void TestSession::rollback() { d->rollback(); }

}  // namespace testsupport
