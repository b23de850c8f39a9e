#include "MainUnit.h"

TMainForm::TMainForm(QWidget* parent) : QWidget(parent) { setObjectName("MainForm"); }
