#include "ModalAnswer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QObject>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

namespace testsupport {

ModalAnswer::ModalAnswer(Answer answer, int tries, int intervalMs)
    : FAnswer(std::move(answer)), FTriesLeft(tries), FIntervalMs(intervalMs),
      FTimerContext(std::make_unique<QObject>())
{
    arm();
}

ModalAnswer::~ModalAnswer() = default;

void ModalAnswer::arm() { QTimer::singleShot(FIntervalMs, FTimerContext.get(), [this] { poll(); }); }

void ModalAnswer::poll()
{
    --FTriesLeft;
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) {
        if (FTriesLeft > 0)
            arm();
        return;
    }
    FAnswered = true;
    FAnswer(modal);
    if (QApplication::activeModalWidget() == modal && modal->isVisible()) {
        FLeftOpen = true;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    }
}

void ModalAnswer::waitUntilFinished()
{
    // While not finished a poll is always pending, so waiting for more events cannot block.
    while (!finished())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

ModalAnswer::Answer readMessageBox(MessageBoxReading& reading)
{
    return [&reading](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box)
            return;
        reading.title = box->windowTitle();
        reading.text = box->text();
        reading.icon = box->icon();
        for (QAbstractButton* button : box->buttons())
            reading.buttons << button->text();
        if (QPushButton* defaultButton = box->defaultButton())
            reading.defaultButton = defaultButton->text();
        if (!box->buttons().isEmpty())
            box->buttons().first()->click();
    };
}

}  // namespace testsupport
