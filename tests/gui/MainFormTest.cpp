// The main window: its definition (texts, geometry, frame, font, tab order) and the file dialog
// of the path editor's button.

#include "ButtonEdit.h"
#include "MainUnit.h"
#include "ModalAnswer.h"
#include "QtPrinters.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontInfo>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using testsupport::ModalAnswer;

namespace {

QLabel* label(const TMainForm& form, const char* name) { return form.findChild<QLabel*>(name); }

// The names the file dialog lists in its current folder, once its model has read the folder.
QStringList listedNames(QFileDialog* dialog, const QString& expected)
{
    auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
    QStringList names;
    if (!view)
        return names;
    for (int wait = 0; wait < 100 && !names.contains(expected); ++wait) {
        QTest::qWait(20);
        names.clear();
        for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
            names << view->model()->index(row, 0, view->rootIndex()).data().toString();
    }
    return names;
}

}  // namespace

TEST(TMainFormTest, DefinitionGivesTextsGeometryAndFrame)
{
    TMainForm form;
    EXPECT_EQ(form.objectName(), "MainForm");
    EXPECT_EQ(form.windowTitle(), "Patchwren");
    EXPECT_EQ(form.size(), QSize(380, 273));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    form.show();
    EXPECT_EQ(form.frameGeometry().center(), form.screen()->geometry().center());

    EXPECT_EQ(form.font().pointSize(), 8);
    const QString family = QFontInfo(form.font()).family();
    EXPECT_TRUE(family == "Tahoma" || family == "Liberation Sans" || family == "DejaVu Sans")
        << family.toStdString();

    ASSERT_TRUE(label(form, "Label1"));
    EXPECT_EQ(label(form, "Label1")->text(), "Путь к базе данных BASE.FDB:");
    EXPECT_EQ(label(form, "Label1")->pos(), QPoint(12, 112));
    ASSERT_TRUE(label(form, "Label2"));
    EXPECT_EQ(label(form, "Label2")->text(),
              "Имя базы указывается в формате IP:путь, например:\r\n127.0.0.1:C:\\Tarvell\\DB\\BASE.FDB");
    EXPECT_EQ(label(form, "Label2")->geometry(), QRect(12, 136, 272, 26));
    ASSERT_TRUE(label(form, "Label3"));
    EXPECT_EQ(label(form, "Label3")->text(),
              "Данный hotfix добавляет к последним проведенным урокам (на дату окончания учебного "
              "периода) ссылки на материалы для самостоятельного дистанционного изучения на портале "
              "МояШкола\r\n\r\nТакже данный фикс включает в себя patchlark, если вы его еще не установили");
    EXPECT_EQ(label(form, "Label3")->geometry(), QRect(12, 8, 349, 98));
    EXPECT_TRUE(label(form, "Label3")->wordWrap());

    auto* edPath = form.findChild<TButtonEdit*>("edPath");
    ASSERT_EQ(edPath, form.edPath());
    EXPECT_EQ(edPath->text(), "BASE.FDB");
    EXPECT_EQ(edPath->pos(), QPoint(12, 192));
    EXPECT_EQ(edPath->width(), 349);
    EXPECT_EQ(edPath->ButtonCount(), 1);
    EXPECT_EQ(edPath->DefaultButton(), edPath->Button(0));

    auto* button = form.findChild<QPushButton*>("Button1");
    ASSERT_EQ(button, form.Button1());
    EXPECT_EQ(button->text(), "Применить обновление...");
    EXPECT_EQ(button->geometry(), QRect(200, 230, 161, 25));
    EXPECT_TRUE(button->isEnabled());

    auto* dialog = form.findChild<QFileDialog*>("OpenDialog1");
    ASSERT_EQ(dialog, form.OpenDialog1());
    EXPECT_EQ(dialog->nameFilters(), QStringList{"Базы данных Firebird (*.FDB)"});
    EXPECT_EQ(dialog->findChild<QComboBox*>("fileTypeCombo")->itemText(0), "Базы данных Firebird");
}

TEST(TMainFormTest, TabOrderIsPathEditorThenApplyButton)
{
    TMainForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_EQ(QApplication::focusWidget(), form.edPath());
    QTest::keyClick(form.edPath(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form.Button1());
    QTest::keyClick(form.Button1(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form.edPath());
    for (const char* name : {"Label1", "Label2", "Label3"})
        EXPECT_EQ(label(form, name)->focusPolicy(), Qt::NoFocus) << name;
}

TEST(TMainFormTest, ConfirmedFileReplacesPathAndMatchesLowerCaseName)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString chosen = folder.filePath("base.fdb");
    for (const QString& name : {chosen, folder.filePath("notes.txt")}) {
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    TMainForm form;
    form.show();
    form.edPath()->setText("127.0.0.1:C:\\old\\BASE.FDB");
    QStringList listed;
    ModalAnswer answer([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog)
            return;
        dialog->setDirectory(folder.path());
        listed = listedNames(dialog, "base.fdb");
        // selectFile leaves the file name box alone while that box has the focus.
        if (QWidget* focused = dialog->focusWidget())
            focused->clearFocus();
        dialog->selectFile(chosen);
        static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept, through the public base
    });
    // The editor's button runs the handler, which shows the dialog.
    form.edPath()->Button(0)->trigger();

    EXPECT_TRUE(answer.answered());
    EXPECT_FALSE(answer.leftOpen());
    EXPECT_TRUE(listed.contains("base.fdb")) << listed.join(",").toStdString();
    EXPECT_FALSE(listed.contains("notes.txt"));
    EXPECT_EQ(form.edPath()->text(), QDir::toNativeSeparators(chosen));
}

TEST(TMainFormTest, CancelledDialogKeepsTypedPath)
{
    TMainForm form;
    form.show();
    form.edPath()->setText("192.168.0.5:D:\\DB\\BASE.FDB");
    bool wasFileDialog = false;
    ModalAnswer answer([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        wasFileDialog = dialog != nullptr;
        if (dialog) {
            dialog->selectFile(QDir::current().filePath("BASE.FDB"));
            dialog->reject();
        }
    });
    form.edPathPropertiesButtonClick(form.edPath(), 0);

    EXPECT_TRUE(answer.answered());
    EXPECT_TRUE(wasFileDialog);
    EXPECT_FALSE(answer.leftOpen());
    EXPECT_EQ(form.edPath()->text(), "192.168.0.5:D:\\DB\\BASE.FDB");

    // Ctrl+Enter in the editor presses its default button, which opens the same dialog.
    bool againFileDialog = false;
    ModalAnswer again([&](QWidget* modal) {
        againFileDialog = qobject_cast<QFileDialog*>(modal) != nullptr;
        if (againFileDialog)
            qobject_cast<QFileDialog*>(modal)->reject();
    });
    QTest::keyClick(form.edPath(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_TRUE(againFileDialog);
    EXPECT_EQ(form.edPath()->text(), "192.168.0.5:D:\\DB\\BASE.FDB");
}
