#pragma once
// The statement component placed on forms: TpFIBQuery adds an error hook that may retry or
// silently abort an execution, and the shortcuts for executing procedures.

#include "FIBQuery.h"

class EFIBError;

class TpFIBQuery : public TFIBQuery {
    Q_OBJECT
    Q_PROPERTY(QString Description READ Description WRITE setDescription)
public:
    enum TDataAction { daFail = 0, daAbort = 1, daRetry = 2 };
    // Action arrives as daFail: daFail re-raises, daAbort ends silently, daRetry executes again.
    using TFIBQueryErrorEvent = std::function<void(TpFIBQuery* pFIBQuery, const EFIBError& E, TDataAction& Action)>;

    explicit TpFIBQuery(QObject* owner = nullptr);

    QString Description() const { return FDescription; }
    void setDescription(const QString& value) { FDescription = value; }

    void ExecQuery() override;
    // Executes only an "EXECUTE ..." text.
    void ExecProc();
    // Executes the procedure: the text becomes "EXECUTE  PROCEDURE " + name, with one "?Pn"
    // parameter per value when values are given; the values go to the parameters in order.
    void ExecProcedure(const QString& name);
    void ExecProcedure(const QString& name, const QVariantList& values);
    bool FieldIsNull(const TFIBXSQLVAR* field) const { return field->IsNull(); }

    TFIBQueryErrorEvent OnExecuteError;

private:
    QString FDescription;
};
