#pragma once
// The update script's catalogue: every statement component of the main window with the
// connection and transaction it runs on, its place in the run, and its text (a Qt resource).
// It is the single source that the window's definition and the hotfix run read.

#include <QList>
#include <QString>
#include <QStringList>

namespace script {

struct ScriptStatement {
    QString component;    // component name on the main window, e.g. "Q5"
    QString database;     // "DB1" or "DB2"
    QString transaction;  // "Tr1" or "Tr2"
    QString resource;     // resource path of the statement text, e.g. ":/script/Q5_PERIOD_VERIFY.sql"
    int runOrder;         // 1-based place in the hotfix run
};

// All statements in the order the window's definition lists them.
const QList<ScriptStatement>& definitionOrder();

// All statements in the order the hotfix run executes them (QQ, VerQuery, Q1 ... Q11).
QList<ScriptStatement> runOrder();

// The statement of that component name; throws std::out_of_range for an unknown name.
const ScriptStatement& statement(const QString& component);

// The statement's SQL lines as the file holds them (no line ends).
// Throws std::runtime_error when the resource is missing.
QStringList statementLines(const ScriptStatement& s);

// The statement text as sent: every line, the last included, followed by CR LF.
QString statementText(const ScriptStatement& s);

}  // namespace script
