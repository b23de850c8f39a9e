#pragma once
// A plain client session for tests that only need to run SQL: one connection and one
// transaction through the layer's components, results as QVariants.

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <memory>

namespace testsupport {

// One connection (as the test user, lc_ctype UTF8) and one read-committed transaction, which
// starts at the first statement. Parameters are named (:name); the values bind to the names in
// the order they first appear. Values and errors are the layer's own: NULL is an invalid
// QVariant, and a server error raises EFIBInterBaseError with the server's message text.
class TestSession {
public:
    explicit TestSession(const QString& databaseName);
    ~TestSession();
    TestSession(const TestSession&) = delete;
    TestSession& operator=(const TestSession&) = delete;

    void execute(const QString& sql, const QVariantList& params = {});
    // The rows of a SELECT; the one row of an EXECUTE PROCEDURE or RETURNING; none otherwise.
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
