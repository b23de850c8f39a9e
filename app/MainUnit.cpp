#include "MainUnit.h"

#include "ButtonEdit.h"
#include "ui_MainUnit.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QScreen>

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
    FOpenDialog1->setNameFilter(QStringLiteral("Базы данных Firebird (*.FDB)"));

    connect(ui->edPath, &TButtonEdit::ButtonClick, this,
            [this](int index) { edPathPropertiesButtonClick(ui->edPath, index); });
    connect(ui->Button1, &QPushButton::clicked, this, [this] { Button1Click(ui->Button1); });

    centreOnScreen();
}

TMainForm::~TMainForm() = default;

TButtonEdit* TMainForm::edPath() const { return ui->edPath; }

QPushButton* TMainForm::Button1() const { return ui->Button1; }

void TMainForm::Button1Click(QObject*) {}

void TMainForm::edPathPropertiesButtonClick(QObject*, int)
{
    if (FOpenDialog1->exec() != QDialog::Accepted)
        return;
    const QStringList files = FOpenDialog1->selectedFiles();
    if (!files.isEmpty())
        ui->edPath->setText(QDir::toNativeSeparators(QFileInfo(files.first()).absoluteFilePath()));
}

void TMainForm::centreOnScreen()
{
    if (const QScreen* screen = this->screen()) {
        QRect frame = geometry();
        frame.moveCenter(screen->geometry().center());
        move(frame.topLeft());
    }
}
