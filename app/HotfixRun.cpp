#include "HotfixRun.h"

#include "HotfixRules.h"
#include "OverrideCursor.h"
#include "ScriptCatalogue.h"
#include "fib.h"
#include "pFIBDatabase.h"
#include "pFIBQuery.h"


namespace hotfix {

namespace {

template <class T>
T* child(const QObject& owner, const QString& name)
{
    T* found = owner.findChild<T*>(name, Qt::FindDirectChildrenOnly);
    if (!found)
        throw Exception(QStringLiteral("The hotfix run needs the component %1 of %2.")
                            .arg(name, T::staticMetaObject.className()));
    return found;
}

// Closes a connection, dropping the layer's errors. A close that a failing transaction
// end stops leaves the attachment, so the connection is then closed by force.
void closeDroppingErrors(TpFIBDatabase* db)
{
    try {
        db->Close();
    } catch (const Exception&) {
    }
    if (db->Connected()) {
        try {
            db->ForceClose();
        } catch (const Exception&) {
        }
    }
}

// Steps 4 to 7: attach (with the login dialog), the purge committed on every exit of its
// statement, then the connection closed. A failure closes the connection as well (an attach
// whose server-time query fails is attached), so the next run can attach again.
void purgeOtherAttachments(const TRunComponents& c)
{
    try {
        c.DB2->Open(true);
        c.Tr2->StartTransaction();
        try {
            c.QQ->ExecQuery();
        } catch (...) {
            c.Tr2->Commit();  // an error here replaces the statement's
            throw;
        }
        c.Tr2->Commit();
    } catch (...) {
        closeDroppingErrors(c.DB2);
        throw;
    }
    closeDroppingErrors(c.DB2);
}

void runScript(const TRunComponents& c)
{
    c.Tr1->StartTransaction();
    c.VerQuery->ExecQuery();
    CheckProductVersion([&](int column) { return c.VerQuery->GetFields(column)->AsInteger(); });
    for (TpFIBQuery* statement : c.Script)
        statement->ExecQuery();
    c.Tr1->Commit();
}

// On every exit of the script phase: a transaction still active is rolled back, then the
// connection closed. A failure of either replaces the error that caused the exit. Either way the
// connection ends closed (by force, dropping those errors, when the roll-back or the close
// failed, as over a lost link): left attached, it would refuse every later run with
// "DB is currently open".
void endScriptPhase(const TRunComponents& c)
{
    try {
        if (c.Tr1->Active())
            c.Tr1->Rollback();
        c.DB1->Close();
    } catch (...) {
        closeDroppingErrors(c.DB1);
        throw;
    }
}

}  // namespace

TRunComponents FindRunComponents(const QObject& owner)
{
    const QList<script::ScriptStatement> order = script::runOrder();
    if (order.size() < 2)
        throw Exception(QStringLiteral("The script catalogue lacks the purge and version statements."));
    const script::ScriptStatement& purge = order.at(0);
    const script::ScriptStatement& version = order.at(1);
    TRunComponents c;
    c.DB2 = child<TpFIBDatabase>(owner, purge.database);
    c.Tr2 = child<TpFIBTransaction>(owner, purge.transaction);
    c.QQ = child<TpFIBQuery>(owner, purge.component);
    c.DB1 = child<TpFIBDatabase>(owner, version.database);
    c.Tr1 = child<TpFIBTransaction>(owner, version.transaction);
    c.VerQuery = child<TpFIBQuery>(owner, version.component);
    for (qsizetype i = 2; i < order.size(); ++i)
        c.Script.append(child<TpFIBQuery>(owner, order.at(i).component));
    return c;
}

void RunHotfix(const TRunComponents& c, const std::function<QString()>& databaseName,
               const std::function<QString()>& chooseLibrary)
{
    {
        const TOverrideCursor busy(Qt::WaitCursor);  // login dialog and boxes show the normal one
        const QString library = chooseLibrary();
        c.DB2->setLibraryName(library);
        c.DB2->setDBName(databaseName());
        purgeOtherAttachments(c);
    }
    {
        const TOverrideCursor busy(Qt::WaitCursor);
        TDBParams* credentials = c.DB2->DBParams();
        c.DB1->ConnectParams()->setUserName(credentials->Values(QStringLiteral("user_name")));
        c.DB1->ConnectParams()->setPassword(credentials->Values(QStringLiteral("password")));
        c.DB1->setLibraryName(c.DB2->LibraryName());
        c.DB1->setDBName(databaseName());
        try {
            c.DB1->Open(true);  // a failure after the attach leaves it attached: closed below
            runScript(c);
        } catch (...) {
            endScriptPhase(c);
            throw;
        }
        endScriptPhase(c);
    }
}

void RunHotfix(const TRunComponents& c, const std::function<QString()>& databaseName)
{
    RunHotfix(c, databaseName, [] { return SelectClientLibrary(); });
}

}  // namespace hotfix
