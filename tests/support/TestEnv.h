#pragma once
// Where the tests find their server, credentials, client library and scratch files.
// The test command exports PATCHWREN_TEST_USER, PATCHWREN_TEST_PASSWORD and
// PATCHWREN_TEST_DATA; run by hand, the password is read from the Firebird package's file.

#include <QByteArray>
#include <QString>

class TFIBDatabase;

namespace testsupport {

QString serverHost();         // "127.0.0.1"
QString testUser();           // PATCHWREN_TEST_USER, default "SYSDBA"
QString testPassword();       // PATCHWREN_TEST_PASSWORD, else the package's SYSDBA password file
QString clientLibraryName();  // the client library the layer loads in tests: "libfbclient.so.2"
QString testDataDir();        // PATCHWREN_TEST_DATA, else <temp>/patchwren-tests; created, writable by the server

// A new, unused path for a database file in the test data folder; the tag makes it readable.
QString uniqueDatabasePath(const QString& tag);

// "127.0.0.1:" + path: the server-side name of a database file.
QString serverName(const QString& path);

// The DPB for attaching as the test user through the raw binding, built by the layer's BuildDPB:
// user name, password and, unless utf8 is false, lc_ctype UTF8.
QByteArray attachDPB(const QString& password = testPassword(), bool utf8 = true);

}  // namespace testsupport

// Sets up a connection as the tool's are: the test client library, dialect 3, the lines
// lc_ctype=UTF8 and user_name, and the given password (none when empty).
void setUpConnection(TFIBDatabase& db, const QString& dbName, const QString& password);
