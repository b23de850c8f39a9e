#include "PatchwrenApplication.h"

#include "ErrorDisplay.h"

#include <QFont>

PatchwrenApplication::PatchwrenApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    // The window's font where it is not installed: metrically close free families.
    QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
}

bool PatchwrenApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        // The event reached its handler; what went wrong there has now been shown.
        ShowException(std::current_exception());
        return true;
    }
}
