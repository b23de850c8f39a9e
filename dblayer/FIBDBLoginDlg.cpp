#include "FIBDBLoginDlg.h"

#include "FIBDatabase.h"
#include "ui_FIBDBLoginDlg.h"

#include <QCursor>
#include <QGuiApplication>
#include <QProxyStyle>

namespace {

// Shows the password as one "*" per character whatever the platform style's own mask is.
class AsteriskPasswordStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// The normal cursor over a busy one the caller may show, while the dialog is open.
class TNormalCursor {
public:
    TNormalCursor() { QGuiApplication::setOverrideCursor(Qt::ArrowCursor); }
    ~TNormalCursor() { QGuiApplication::restoreOverrideCursor(); }
    TNormalCursor(const TNormalCursor&) = delete;
    TNormalCursor& operator=(const TNormalCursor&) = delete;
};

// Clears the hook at program end, unless someone else has taken it over since.
struct THookRegistration {
    ~THookRegistration()
    {
        if (LoginDialogProc == &FIBDBLoginDialog)
            LoginDialogProc = nullptr;
    }
};

constexpr int kShownNameLimit = 45;
constexpr int kShownHead = 10;
constexpr int kShownTail = 33;

}  // namespace

TfrmFIBDBLoginDlg::TfrmFIBDBLoginDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::TfrmFIBDBLoginDlg>())
{
    ui->setupUi(this);
    setFixedSize(size());
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans")});
    font.setPointSize(8);
    setFont(font);
    auto* style = new AsteriskPasswordStyle;  // owned by the dialog below
    style->setParent(this);
    ui->EdPassword->setStyle(style);
    connect(ui->Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->Button2, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmFIBDBLoginDlg::~TfrmFIBDBLoginDlg() = default;

QString ShortenDatabaseName(const QString& dbName)
{
    if (dbName.size() <= kShownNameLimit)
        return dbName;
    return dbName.left(kShownHead) + QStringLiteral("...") + dbName.right(kShownTail);
}

bool FIBDBLoginDialog(const QString& dbName, QString& userName, QString& password, QString& roleName)
{
    TfrmFIBDBLoginDlg dialog;
    Ui::TfrmFIBDBLoginDlg* c = dialog.controls();
    c->lbDBName->setText(ShortenDatabaseName(dbName));
    c->EdUserName->setText(userName);
    c->EdRole->setText(roleName);
    c->EdPassword->clear();
    c->EdPassword->setFocus();
    const TNormalCursor normalCursor;
    if (dialog.exec() != QDialog::Accepted)
        return false;
    userName = c->EdUserName->text();
    roleName = c->EdRole->text();
    password = c->EdPassword->text();
    return true;
}

bool RegisterFIBDBLoginDialog()
{
    static const bool registered = [] {
        static THookRegistration registration;
        LoginDialogProc = &FIBDBLoginDialog;
        return true;
    }();
    return registered;
}

// The form's meta-object code is compiled here rather than with the library's other moc output,
// so only programs that include this unit's header link it and get the dialog as their hook.
#include "moc_FIBDBLoginDlg.cpp"
