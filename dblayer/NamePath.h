#pragma once
// Name path of a component: its object name preceded by the names of its owners that have
// one, outermost first, joined with "." (Tr1 on the main window gives "MainForm.Tr1").

#include <QString>

class QObject;

QString CmpFullName(const QObject* component);
