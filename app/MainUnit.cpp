#include "MainUnit.h"

#include "ButtonEdit.h"
#include "ErrorDisplay.h"
#include "ScriptCatalogue.h"
#include "fib.h"
#include "pFIBDatabase.h"
#include "pFIBQuery.h"
#include "ui_MainUnit.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QScreen>

namespace {

// The connections of the run. DB2 asks for the credentials, which the run passes on to DB1.
struct TConnectionDef {
    const char* name;
    bool useLoginPrompt;
};
constexpr TConnectionDef kConnections[] = {{"DB1", false}, {"DB2", true}};

bool usesLoginPrompt(const QString& connection)
{
    for (const TConnectionDef& def : kConnections)
        if (connection == QLatin1String(def.name))
            return def.useLoginPrompt;
    throw Exception(QStringLiteral("No definition of the connection %1.").arg(connection));
}

}  // namespace

TMainForm::TMainForm(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TMainForm>())
{
    ui->setupUi(this);
    // A dialog-like frame of fixed size: title bar with the system menu and close button only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());
    ui->Label1->adjustSize();  // one line, as wide as its text
    // The form file cannot keep a carriage return: the labels' line breaks are CR LF.
    for (QLabel* label : {ui->Label2, ui->Label3})
        label->setText(label->text().replace(u'\n', QStringLiteral("\r\n")));

    ui->edPath->AddButton(TButtonEdit::bkEllipsis);

    FOpenDialog1 = new QFileDialog(this);
    FOpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
    // Qt's own dialog matches name filters without regard to case, so *.FDB finds base.fdb too.
    FOpenDialog1->setOption(QFileDialog::DontUseNativeDialog);
    // The list shows the entry's description only; its pattern still filters.
    FOpenDialog1->setOption(QFileDialog::HideNameFilterDetails);
    FOpenDialog1->setNameFilter(QStringLiteral("Базы данных Firebird (*.FDB)"));

    createDatabaseComponents();

    connect(ui->edPath, &TButtonEdit::ButtonClick, this,
            [this](int index) { edPathPropertiesButtonClick(ui->edPath, index); });
    connect(ui->Button1, &QPushButton::clicked, this, [this] { Button1Click(ui->Button1); });
}

TMainForm::~TMainForm() = default;

TButtonEdit* TMainForm::edPath() const { return ui->edPath; }

QPushButton* TMainForm::Button1() const { return ui->Button1; }

void TMainForm::createDatabaseComponents()
{
    // A connection and its transaction are listed just before the first statement using them.
    const QList<script::ScriptStatement>& statements = script::definitionOrder();
    for (const script::ScriptStatement& s : statements) {
        if (!findChild<TpFIBDatabase*>(s.database, Qt::FindDirectChildrenOnly)) {
            auto* db = new TpFIBDatabase(this);
            db->setObjectName(s.database);
            db->setDBParams({QStringLiteral("lc_ctype=UTF8"), QStringLiteral("user_name=SYSDBA")});
            db->setSQLDialect(3);
            db->setTimeout(0);
            db->setUseLoginPrompt(usesLoginPrompt(s.database));
            db->setWaitForRestoreConnect(0);
            auto* tr = new TpFIBTransaction(this);
            tr->setObjectName(s.transaction);
        }
        auto* query = new TpFIBQuery(this);
        query->setObjectName(s.component);
        query->setSQL(script::statementLines(s));
    }
    for (const script::ScriptStatement& s : statements) {
        auto* db = findChild<TpFIBDatabase*>(s.database, Qt::FindDirectChildrenOnly);
        auto* tr = findChild<TpFIBTransaction*>(s.transaction, Qt::FindDirectChildrenOnly);
        if (db->DefaultTransaction() != tr)
            db->setDefaultTransaction(tr);
        tr->setDefaultDatabase(db);
        auto* query = findChild<TpFIBQuery*>(s.component, Qt::FindDirectChildrenOnly);
        query->setDatabase(db);
        query->setTransaction(tr);
    }
    for (TpFIBDatabase* db : findChildren<TpFIBDatabase*>(Qt::FindDirectChildrenOnly))
        db->Loaded();
    FRun = hotfix::FindRunComponents(*this);
}

void TMainForm::Button1Click(QObject*)
{
    hotfix::RunHotfix(FRun, [this] { return ui->edPath->text(); });
    ui->Button1->setEnabled(false);
    ShowInformation(QStringLiteral("Обновление успешно установлено"));
}

void TMainForm::edPathPropertiesButtonClick(QObject*, int)
{
    if (FOpenDialog1->exec() != QDialog::Accepted)
        return;
    const QStringList files = FOpenDialog1->selectedFiles();
    if (!files.isEmpty())
        ui->edPath->setText(QDir::toNativeSeparators(QFileInfo(files.first()).absoluteFilePath()));
}

void TMainForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Centred when first shown, when the window has its frame: the frame is centred, not the
    // client area.
    if (!FCentred) {
        FCentred = true;
        centreOnScreen();
    }
}

void TMainForm::centreOnScreen()
{
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->geometry().center());
        move(frame.topLeft());
    }
}
