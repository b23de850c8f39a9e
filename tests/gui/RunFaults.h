#pragma once
// Helpers of the fault and bad-input tests of the hotfix run: the window pressed as a user
// would, what the script leaves in a database, the server's own validation, a generated school
// on which the script runs for a while, and the server process itself.

#include "MainUnit.h"
#include "ModalAnswer.h"

#include "TestEnv.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>

namespace runfaults {

// The procedures the script installs, by the component whose text creates them.
extern const QList<std::pair<QString, QString>> kProcedures;

// How the login dialog is answered: confirmed with the password, the prefilled user name kept
// unless one is given; or cancelled.
struct LoginAnswer {
    bool confirm = true;
    QString password = testsupport::testPassword();
    std::optional<QString> user;

    static LoginAnswer cancel();
    static LoginAnswer as(const QString& user, const QString& password = testsupport::testPassword());
    static LoginAnswer withPassword(const QString& password);
};

// What one press of the apply button showed: the login dialog as it came up, and the box, the
// first modal widget after the login dialog (or instead of it).
struct Press {
    bool loginShown = false;
    QString loginDbName, loginUser, loginRole;
    bool loginPasswordEmpty = false;
    bool normalCursorAtLogin = false;
    bool boxShown = false;
    bool normalCursorAtBox = false;
    testsupport::MessageBoxReading box;
};

// The main window; press() types the path, clicks the apply button, answers the login dialog
// and reads the box that ends the run.
class RunWindow {
public:
    RunWindow();
    template <class T>
    T* component(const char* name) { return form.findChild<T*>(QLatin1String(name)); }
    Press press(const QString& path, const LoginAnswer& login = {});
    Press press(const QString& path, const QString& password) { return press(path, LoginAnswer::withPassword(password)); }

    TMainForm form;
};

// The run ended with an error box that does not show the password, the button is enabled, the
// purge connection closed and no busy cursor left.
void expectError(const Press& p, RunWindow& w);
// The same, and the script connection closed too, so the next press starts over.
void expectErrorAndUsableWindow(const Press& p, RunWindow& w);

// Everything the script changes, one text per row: the sources of its procedures, parameter
// 1171 and its values (the periods' mark kinds), the movements' stamps and the grant.
QStringList scriptTraces(const QString& database);

// The server's full validation of the database (gfix -v -full through the server); returns
// gfix's output and exit code as one text, empty when the database is sound.
QString validationErrors(const QString& path);

// Waits (bounded) until the database has no user attachment but the caller's own; false on timeout.
bool waitForNoOtherAttachments(const QString& database, int seconds = 60);

// A copy of a generated school of scale 1 (bench/school/generate), made once per test data folder
// and copied for each test; dropped with the object.
class GeneratedSchool {
public:
    explicit GeneratedSchool(const QString& tag);
    ~GeneratedSchool();
    GeneratedSchool(const GeneratedSchool&) = delete;
    GeneratedSchool& operator=(const GeneratedSchool&) = delete;
    QString path() const { return FPath; }
    QString serverName() const;

private:
    QString FPath;
};

// The process id of the server itself (the firebird process, not its guard), or 0.
int serverProcessId();
// Waits (bounded) until a server listens on 127.0.0.1:3050 and answers an attachment.
bool waitForServer(const QString& database, int seconds = 60);

}  // namespace runfaults
