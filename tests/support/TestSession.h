#pragma once
// A plain client session for tests, over the project's client library binding: one attachment
// and one transaction at a time, '?' parameters, results as QVariants.

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <memory>

namespace testsupport {

// One attachment (as the test user, through the server, lc_ctype UTF8) and one transaction at a
// time, through the project's client binding. Errors throw the layer's error family
// (EFIBInterBaseError carries the server's message text, e.g. a DATA_ERROR message).
//
// Value mapping: NULL <-> invalid QVariant; SMALLINT/INTEGER <-> int; BIGINT <-> qlonglong;
// scaled NUMERIC/DECIMAL, FLOAT, DOUBLE -> double; CHAR/VARCHAR/text BLOB <-> QString;
// DATE <-> QDate; TIME <-> QTime; TIMESTAMP <-> QDateTime; binary BLOB <-> QByteArray;
// BOOLEAN -> bool. A transaction starts implicitly at the first statement.
class TestSession {
public:
    explicit TestSession(const QString& databaseName);
    ~TestSession();
    TestSession(const TestSession&) = delete;
    TestSession& operator=(const TestSession&) = delete;

    void execute(const QString& sql, const QVariantList& params = {});  // '?' parameters
    QList<QVariantList> query(const QString& sql, const QVariantList& params = {});
    // The first column of the first row; an invalid QVariant when there is no row.
    QVariant scalar(const QString& sql, const QVariantList& params = {});
    void executeScript(const QString& component);  // runs script::statementText(component) as-is
    void commit();
    void rollback();

private:
    class Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace testsupport
