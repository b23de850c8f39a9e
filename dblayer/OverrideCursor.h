#pragma once
// Shows a cursor over the application's own for the life of a scope, and restores the previous
// one on every exit: the busy cursor of a long step, the normal one over it while a dialog is open.

#include <QCursor>
#include <QGuiApplication>

class TOverrideCursor {
public:
    explicit TOverrideCursor(Qt::CursorShape shape) { QGuiApplication::setOverrideCursor(shape); }
    ~TOverrideCursor() { QGuiApplication::restoreOverrideCursor(); }
    TOverrideCursor(const TOverrideCursor&) = delete;
    TOverrideCursor& operator=(const TOverrideCursor&) = delete;
};
