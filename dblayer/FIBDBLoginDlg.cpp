#include "FIBDBLoginDlg.h"

#include "FIBDatabase.h"
#include "OverrideCursor.h"
#include "ui_FIBDBLoginDlg.h"

#include <algorithm>
#include <QEvent>
#include <QLabel>
#include <QPainter>
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

// Draws a label's "&" as the underline of its access letter. The dialog's labels are not linked
// to the edits (they have no buddy), and Qt draws the "&" of such a label literally.
class TAccessLetterPainter : public QObject {
public:
    using QObject::QObject;

    // Also fits the label's text into `room` pixels from its left edge: the fallback fonts of
    // this platform are wider than the form's own, so a text that would run under the control
    // beside it is narrowed instead.
    void attach(QLabel* label, int room)
    {
        label->installEventFilter(this);
        int width = label->fontMetrics().size(Qt::TextShowMnemonic, label->text()).width();
        if (width > room) {
            QFont narrowed = label->font();
            narrowed.setStretch(std::max(50, room * 100 / width));
            label->setFont(narrowed);
            width = label->fontMetrics().size(Qt::TextShowMnemonic, label->text()).width();
        }
        label->resize(std::max(label->width(), std::min(width, room)), label->height());
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* label = qobject_cast<QLabel*>(watched);
        if (!label || event->type() != QEvent::Paint)
            return false;
        QPainter painter(label);
        label->style()->drawItemText(&painter, label->contentsRect(), label->alignment() | Qt::TextShowMnemonic,
                                     label->palette(), label->isEnabled(), label->text(), label->foregroundRole());
        return true;
    }
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
    auto* painter = new TAccessLetterPainter(this);
    painter->attach(ui->Label1, ui->Bevel1->geometry().right() - ui->Label1->x());
    for (QLabel* label : {ui->Label2, ui->Label3, ui->Label4})
        painter->attach(label, ui->EdUserName->x() - label->x() - 2);
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
    const TOverrideCursor normalCursor(Qt::ArrowCursor);  // over a busy cursor the caller shows
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
