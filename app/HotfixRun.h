#pragma once
// The hotfix run behind the apply button, apart from the window so tests can drive it:
// the purge phase on DB2 (login, delete of every other attachment, commit, close) and the
// script phase on DB1 (version gate and the script's statements in one transaction).

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class TpFIBDatabase;
class TpFIBQuery;
class TpFIBTransaction;

namespace hotfix {

// The components one run uses; they belong to the window and outlive the run.
struct TRunComponents {
    TpFIBDatabase* DB2 = nullptr;
    TpFIBTransaction* Tr2 = nullptr;
    TpFIBQuery* QQ = nullptr;
    TpFIBDatabase* DB1 = nullptr;
    TpFIBTransaction* Tr1 = nullptr;
    TpFIBQuery* VerQuery = nullptr;
    QList<TpFIBQuery*> Script;  // Q1 ... Q11, in the order the run executes them
};

// The run's components among owner's direct children, found by the names the script catalogue
// gives. Throws Exception naming a component that is missing or of another class.
TRunComponents FindRunComponents(const QObject& owner);

// Runs both phases. databaseName is read once for each connection (the path editor's text as
// typed); chooseLibrary gives the client library file name (SelectClientLibrary in the program).
// Every failure leaves as an exception; on any failure of the script phase nothing of the script
// remains and DB1 is closed, and a failure of the purge phase leaves DB2 closed, so a new run
// starts over. The busy cursor shows while a phase runs and is gone again on every exit.
void RunHotfix(const TRunComponents& c, const std::function<QString()>& databaseName,
               const std::function<QString()>& chooseLibrary);
void RunHotfix(const TRunComponents& c, const std::function<QString()>& databaseName);

}  // namespace hotfix
