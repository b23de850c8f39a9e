#include "PatchwrenApplication.h"

PatchwrenApplication::PatchwrenApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool PatchwrenApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        showException(std::current_exception());
        return false;
    }
}

void PatchwrenApplication::showException(const std::exception_ptr&) {}
