#pragma once
// The application object. Its notify() is where the framework dispatches events: every
// exception that leaves an event handler is caught there and shown in the error box, so Qt
// itself never sees an exception and the program keeps running.

#include <QApplication>

class PatchwrenApplication : public QApplication {
public:
    PatchwrenApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};
