#include "PatchwrenApplication.h"

#include "ErrorDisplay.h"

#include <QFont>
#include <QThread>

PatchwrenApplication::PatchwrenApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    // Qt would take the name from the command (lower-case "patchwren" when installed); the
    // desktop matches the windows to the program's entry by this name, whatever the command.
    setApplicationName(QStringLiteral("Patchwren"));
    // The window's font where it is not installed: metrically close free families.
    QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
}

bool PatchwrenApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        // The event reached its handler; what went wrong there is shown, by the user
        // interface thread, which alone may create the error box.
        const std::exception_ptr error = std::current_exception();
        if (QThread::currentThread() == thread())
            ShowException(error);
        else
            QMetaObject::invokeMethod(this, [error] { ShowException(error); }, Qt::QueuedConnection);
        return true;
    }
}
