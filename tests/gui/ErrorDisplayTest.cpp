// The error display: the full-stop rule, the title, which message an exception shows, and the
// error box that the application object shows for an exception leaving an event handler.

#include "ButtonEdit.h"
#include "ErrorDisplay.h"
#include "MainUnit.h"
#include "ModalAnswer.h"
#include "QtPrinters.h"
#include "fib.h"

#include <QPushButton>
#include <QThread>
#include <QTest>
#include <gtest/gtest.h>

#include <stdexcept>

using testsupport::MessageBoxReading;
using testsupport::ModalAnswer;
using testsupport::readMessageBox;

TEST(ErrorDisplayTest, FullStopIsAppendedAfterCharactersAboveFullStop)
{
    EXPECT_EQ(ErrorBoxText("Версия Тарвелл не соответствует требуемой"),
              "Версия Тарвелл не соответствует требуемой.");
    EXPECT_EQ(ErrorBoxText("Версия Тарвелл не соответствует требуемой (не старше 3.23.11.28)"),
              "Версия Тарвелл не соответствует требуемой (не старше 3.23.11.28)");
    EXPECT_EQ(ErrorBoxText("Operation cancelled at user's request."),
              "Operation cancelled at user's request.");
    for (const char* appended : {"code 7", "path:", "why?", "a/b", "Latin z"})
        EXPECT_EQ(ErrorBoxText(appended), QString(appended) + ".") << appended;
    for (const char* unchanged : {"stop!", "trailing ", "line break\r\n", "comma,", ""})
        EXPECT_EQ(ErrorBoxText(unchanged), QString(unchanged)) << unchanged;
}

TEST(ErrorDisplayTest, TitleIsFileNameCutAtFirstDotWithLowerCaseTail)
{
    EXPECT_EQ(ApplicationTitleOf("/opt/tools/PATCH.TOOL.EXE"), "Patch");
    EXPECT_EQ(ApplicationTitleOf("/usr/local/bin/Patchwren"), "Patchwren");
    EXPECT_EQ(ApplicationTitleOf("pATCHWREN"), "patchwren");
    EXPECT_EQ(ApplicationTitleOf("/a.b/Tool"), "Tool");  // a dot in the folder does not count
}

TEST(ErrorDisplayTest, MessageComesFromLayerMessageOrWhat)
{
    // The layer's message is UTF-16; what() of a plain std::exception is taken as UTF-8.
    EXPECT_EQ(ExceptionMessage(std::make_exception_ptr(Exception("Ошибка"))), "Ошибка");
    EXPECT_EQ(ExceptionMessage(std::make_exception_ptr(std::runtime_error("Сбой"))), "Сбой");
    try {
        RaiseClientError(ceOperationCancelled);
    } catch (...) {
        EXPECT_EQ(ExceptionMessage(std::current_exception()), "Operation cancelled at user's request.");
    }
    // Along a chain the innermost non-empty message wins.
    try {
        try {
            throw Exception("inner");
        } catch (...) {
            std::throw_with_nested(Exception("outer"));
        }
    } catch (...) {
        EXPECT_EQ(ExceptionMessage(std::current_exception()), "inner");
    }
}

namespace {

// The main window with a button of the test's own whose click handler throws what it is told.
struct ThrowingWindow {
    ThrowingWindow()
    {
        thrower = new QPushButton("throw", &form);
        thrower->setGeometry(12, 230, 60, 25);
        QObject::connect(thrower, &QPushButton::clicked, thrower, [this] {
            ++clicks;
            if (error)
                std::rethrow_exception(error);
        });
        form.show();
    }
    TMainForm form;
    QPushButton* thrower;
    std::exception_ptr error;
    int clicks = 0;
};

}  // namespace

TEST(ErrorDisplayTest, ExceptionLeavingHandlerShowsErrorBoxAndWindowGoesOn)
{
    ThrowingWindow window;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window.form));
    window.error = std::make_exception_ptr(Exception("Версия Тарвелл не соответствует требуемой"));
    MessageBoxReading box;
    {
        ModalAnswer answer(readMessageBox(box));
        QTest::mouseClick(window.thrower, Qt::LeftButton);
        EXPECT_TRUE(answer.answered());
        EXPECT_FALSE(answer.leftOpen());
    }
    EXPECT_EQ(box.title, "gui_tests");  // the title of the running executable
    EXPECT_EQ(box.text, "Версия Тарвелл не соответствует требуемой.");
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_EQ(box.buttons, QStringList{"OK"});

    // The window is usable again: the editor takes typing, the apply button is enabled, and
    // the next exception (already ending with a full stop) is shown unchanged.
    window.form.edPath()->clear();
    QTest::keyClicks(window.form.edPath(), "C:\\DB\\BASE.FDB");
    EXPECT_EQ(window.form.edPath()->text(), "C:\\DB\\BASE.FDB");
    EXPECT_TRUE(window.form.Button1()->isEnabled());
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    window.error = std::make_exception_ptr(std::runtime_error("Operation cancelled at user's request."));
    MessageBoxReading second;
    {
        ModalAnswer answer(readMessageBox(second));
        QTest::mouseClick(window.thrower, Qt::LeftButton);
        EXPECT_TRUE(answer.answered());
    }
    EXPECT_EQ(second.text, "Operation cancelled at user's request.");
    EXPECT_EQ(window.clicks, 2);
}

TEST(ErrorDisplayTest, SilentAbortShowsNothing)
{
    ThrowingWindow window;
    window.error = std::make_exception_ptr(EAbort("never shown"));
    ModalAnswer answer([](QWidget*) {}, 20);
    QTest::mouseClick(window.thrower, Qt::LeftButton);
    answer.waitUntilFinished();
    EXPECT_FALSE(answer.answered());
    EXPECT_EQ(window.clicks, 1);
}

TEST(ErrorDisplayTest, ExceptionInAnotherThreadIsShownByTheUserInterfaceThread)
{
    QThread worker;
    auto* receiver = new QObject;
    receiver->moveToThread(&worker);
    QObject::connect(&worker, &QThread::finished, receiver, &QObject::deleteLater);
    worker.start();
    MessageBoxReading box;
    ModalAnswer answer(readMessageBox(box));
    QMetaObject::invokeMethod(
        receiver, [] { throw Exception("from the worker"); }, Qt::QueuedConnection);
    answer.waitUntilFinished();
    worker.quit();
    worker.wait();
    EXPECT_TRUE(answer.answered());
    EXPECT_EQ(box.text, "from the worker.");
}

TEST(ErrorDisplayTest, InformationBoxHasCaptionIconAndDefaultOk)
{
    MessageBoxReading box;
    ModalAnswer answer(readMessageBox(box));
    ShowInformation("Обновление успешно установлено");
    EXPECT_TRUE(answer.answered());
    EXPECT_EQ(box.title, "Information");
    EXPECT_EQ(box.text, "Обновление успешно установлено");
    EXPECT_EQ(box.icon, QMessageBox::Information);
    EXPECT_EQ(box.buttons, QStringList{"OK"});
    EXPECT_EQ(box.defaultButton, "OK");
}
