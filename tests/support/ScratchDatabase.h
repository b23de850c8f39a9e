#pragma once
// Scratch copies of the stand-in product database (testdb/), a test double of the school
// product's database. A template is built once with testdb/create through the server and kept
// in the test data folder under a digest of the scripts; every ScratchDatabase is a copy of it.

#include <QString>

namespace testsupport {

// A fresh stand-in product database (schema + stand-in procedures, no demo data unless asked),
// created for one test and dropped on destruction. Throws std::runtime_error, with the creation
// command's output, when the database cannot be made.
class ScratchDatabase {
public:
    explicit ScratchDatabase(const QString& tag, bool withDemoData = false);
    ~ScratchDatabase();
    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;

    QString path() const;        // local file path
    QString serverName() const;  // "127.0.0.1:" + path

private:
    QString FPath;
};

// Runs testdb/create with the given arguments through the test server's credentials; returns
// its exit code and puts its standard output and error into output.
int runCreateCommand(const QStringList& arguments, QString* output);

}  // namespace testsupport
