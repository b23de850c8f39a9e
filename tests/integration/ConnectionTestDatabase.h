#pragma once
// A throw-away database file for the connection and transaction tests: created through the
// client binding (CREATE DATABASE by execute-immediate), dropped on destruction.

#include "IB_Intf.h"
#include "Raised.h"
#include "TestEnv.h"

#include <QObject>
#include <QString>

#include <gtest/gtest.h>

class TFIBDatabase;
class TpFIBDatabase;

using testsupport::messageOf;

// A connection named DB on a form named MainForm, set up as the tool's connections are.
struct FormConnection {
    explicit FormConnection(const QString& dbName, const QString& password = testsupport::testPassword());
    QObject form;
    TpFIBDatabase* db;
};

class ConnectionTestDatabase {
public:
    // remote: create through the server as the test user; else embedded on the local path.
    explicit ConnectionTestDatabase(const QString& tag, bool remote = true, int dialect = 3);
    ~ConnectionTestDatabase();
    ConnectionTestDatabase(const ConnectionTestDatabase&) = delete;
    ConnectionTestDatabase& operator=(const ConnectionTestDatabase&) = delete;

    QString path() const { return FPath; }
    // The name a connection attaches by: host:path when remote, the path when embedded.
    QString name() const { return FRemote ? testsupport::serverName(FPath) : FPath; }
    // Runs a statement in its own attachment and transaction, committed.
    void execute(const QString& sql) const;
    // The integer in the first column of the first row, read in a fresh attachment; -1 for NULL.
    int scalar(const QString& sql) const;

private:
    isc_db_handle attach() const;
    isc_tr_handle start(isc_db_handle& db) const;

    QString FPath;
    bool FRemote;
};
