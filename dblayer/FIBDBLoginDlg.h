#pragma once
// The login dialog a connection shows before it attaches when it asks for a login prompt.
// Including this header registers the dialog as the process-wide login hook (LoginDialogProc)
// while the program initialises; the hook is cleared again at program end.

#include <QDialog>
#include <QString>
#include <memory>

namespace Ui {
class TfrmFIBDBLoginDlg;
}

class TfrmFIBDBLoginDlg : public QDialog {
    Q_OBJECT
public:
    explicit TfrmFIBDBLoginDlg(QWidget* parent = nullptr);
    ~TfrmFIBDBLoginDlg() override;

    Ui::TfrmFIBDBLoginDlg* controls() const { return ui.get(); }

private:
    std::unique_ptr<Ui::TfrmFIBDBLoginDlg> ui;
};

// The database name as the dialog shows it: up to 45 characters unchanged, a longer one as its
// first 10 characters, "..." and its last 33.
QString ShortenDatabaseName(const QString& dbName);

// Asks for user name, password and role. True when the user confirmed with OK; then the three
// texts are replaced by what was typed (untrimmed). The password field always starts empty.
bool FIBDBLoginDialog(const QString& dbName, QString& userName, QString& password, QString& roleName);

// Points LoginDialogProc at FIBDBLoginDialog, once for the process, and arranges for the hook to
// be cleared at program end. Returns true.
bool RegisterFIBDBLoginDialog();

// Initialised in every unit that includes this header, so even from a static library the
// program links this unit and registers the dialog before main() runs.
inline const bool FIBDBLoginDialogRegistered = RegisterFIBDBLoginDialog();
