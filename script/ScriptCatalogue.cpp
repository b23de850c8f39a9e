#include "ScriptCatalogue.h"

#include <QFile>
#include <algorithm>
#include <stdexcept>

static void initScriptResources()
{
    // The texts live in a static library: make sure its resources are registered.
    Q_INIT_RESOURCE(script_texts);
}

namespace script {

const QList<ScriptStatement>& definitionOrder()
{
    static const QList<ScriptStatement> statements = {
        {"Q1", "DB1", "Tr1", ":/script/Q1_DC_MS_CLASSES_PERIODS.sql", 3},
        {"VerQuery", "DB1", "Tr1", ":/script/VerQuery_select_version.sql", 2},
        {"Q2", "DB1", "Tr1", ":/script/Q2_stamp_movements.sql", 4},
        {"Q3", "DB1", "Tr1", ":/script/Q3_DC_MS_YMARKS.sql", 5},
        {"Q7", "DB1", "Tr1", ":/script/Q7_DC_MS_PMARKS.sql", 9},
        {"Q6", "DB1", "Tr1", ":/script/Q6_VAL_ADD_AFTER.sql", 8},
        {"Q4", "DB1", "Tr1", ":/script/Q4_param_1171.sql", 6},
        {"Q5", "DB1", "Tr1", ":/script/Q5_PERIOD_VERIFY.sql", 7},
        {"Q8", "DB1", "Tr1", ":/script/Q8_FIX_PERIOD_FIELDS.sql", 10},
        {"Q9", "DB1", "Tr1", ":/script/Q9_run_fix_period_fields.sql", 11},
        {"Q10", "DB1", "Tr1", ":/script/Q10_grant_period_verify.sql", 12},
        {"QQ", "DB2", "Tr2", ":/script/QQ_delete_attachments.sql", 1},
        {"Q11", "DB1", "Tr1", ":/script/Q11_CJ2022_DO2_LINKS.sql", 13},
    };
    return statements;
}

QList<ScriptStatement> runOrder()
{
    QList<ScriptStatement> statements = definitionOrder();
    std::sort(statements.begin(), statements.end(),
              [](const ScriptStatement& a, const ScriptStatement& b) { return a.runOrder < b.runOrder; });
    return statements;
}

const ScriptStatement& statement(const QString& component)
{
    for (const ScriptStatement& s : definitionOrder())
        if (s.component == component)
            return s;
    throw std::out_of_range("unknown script statement: " + component.toStdString());
}

QStringList statementLines(const ScriptStatement& s)
{
    initScriptResources();
    QFile file(s.resource);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("missing script text: " + s.resource.toStdString());
    QString text = QString::fromUtf8(file.readAll());
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text.split(QLatin1Char('\n'));
}

QString statementText(const ScriptStatement& s)
{
    QString text;
    for (const QString& line : statementLines(s))
        text += line + QStringLiteral("\r\n");
    return text;
}

}  // namespace script
