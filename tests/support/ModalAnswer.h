#pragma once
// Answers modal widgets in GUI tests. Arm a ModalAnswer before the call that opens the modal
// widget: a single-shot timer polls QApplication::activeModalWidget(), re-arming itself a
// bounded number of times, and hands the widget to the answer, which reads and closes it.
// A widget the answer leaves open is closed by force, so no test can hang on a modal loop.

#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QObject;
class QWidget;

namespace testsupport {

class ModalAnswer {
public:
    using Answer = std::function<void(QWidget* modal)>;

    // Polls every intervalMs, at most tries times, for a modal widget to answer.
    explicit ModalAnswer(Answer answer, int tries = 300, int intervalMs = 10);
    ~ModalAnswer();
    ModalAnswer(const ModalAnswer&) = delete;
    ModalAnswer& operator=(const ModalAnswer&) = delete;

    bool answered() const { return FAnswered; }
    // True when the answer left the widget open and it had to be closed by force.
    bool leftOpen() const { return FLeftOpen; }
    // Answered, or out of tries.
    bool finished() const { return FAnswered || FTriesLeft <= 0; }
    // Processes events until finished(); bounded by the tries.
    void waitUntilFinished();

private:
    void arm();
    void poll();

    Answer FAnswer;
    int FTriesLeft;
    int FIntervalMs;
    bool FAnswered = false;
    bool FLeftOpen = false;
    std::unique_ptr<QObject> FTimerContext;  // destroying it cancels a pending poll
};

// What a message box showed.
struct MessageBoxReading {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;    // button texts
    QString defaultButton;  // text of the default button, empty without one
};

// An answer that reads a QMessageBox into reading and presses its first button.
ModalAnswer::Answer readMessageBox(MessageBoxReading& reading);

}  // namespace testsupport
