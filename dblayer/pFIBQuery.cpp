#include "pFIBQuery.h"

#include "fib.h"

TpFIBQuery::TpFIBQuery(QObject* owner) : TFIBQuery(owner) {}

void TpFIBQuery::ExecQuery()
{
    for (;;) {
        try {
            TFIBQuery::ExecQuery();
            return;
        } catch (const EFIBError& e) {
            if (!OnExecuteError)
                throw;
            TDataAction action = daFail;
            OnExecuteError(this, e, action);
            if (action == daRetry)
                continue;
            if (action == daAbort)
                throw EAbort();
            throw;
        }
    }
}

void TpFIBQuery::ExecProc()
{
    if (IsProc())
        ExecQuery();
}

void TpFIBQuery::ExecProcedure(const QString& name)
{
    const QString text = QStringLiteral("EXECUTE  PROCEDURE ") + name;
    if (SQLText() != text + QStringLiteral("\r\n"))
        setSQLText(text);
    ExecProc();
}

void TpFIBQuery::ExecProcedure(const QString& name, const QVariantList& values)
{
    if (values.isEmpty()) {
        ExecProcedure(name);
        return;
    }
    QString text = QStringLiteral("EXECUTE  PROCEDURE ") + name + QStringLiteral("(?P0");
    for (int i = 1; i < values.size(); ++i)
        text += QStringLiteral(",?P") + QString::number(i);
    text += QLatin1Char(')');
    if (SQLText() != text + QStringLiteral("\r\n"))
        setSQLText(text);
    if (!Prepared())
        Prepare();
    SetParamValues(values);
    ExecProc();
}
