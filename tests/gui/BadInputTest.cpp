// Bad input to the hotfix run through the real window: paths that name no database, paths with
// spaces and Cyrillic letters, servers that cannot be reached and a password the connection
// cannot carry. Each gets a clear error box, changes nothing, and the window runs afterwards.

#include "RunFaults.h"

#include "ScratchDatabase.h"
#include "TestEnv.h"
#include "pFIBDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <gtest/gtest.h>

#include <iostream>

using runfaults::Press;
using runfaults::RunWindow;
using testsupport::ScratchDatabase;

namespace {

// A folder of its own in the test data folder, removed with the object.
class ScratchFolder {
public:
    explicit ScratchFolder(const QString& name)
        : FPath(QFileInfo(testsupport::uniqueDatabasePath(QStringLiteral("dir"))).dir().filePath(name))
    {
        QDir().mkpath(FPath);
        QFile::setPermissions(FPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                         QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther);
    }
    ~ScratchFolder() { QDir(FPath).removeRecursively(); }
    QString filePath(const QString& name) const { return FPath + QLatin1Char('/') + name; }
    QString path() const { return FPath; }

private:
    QString FPath;
};

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

// The message of a failed press, for the reliability table.
void report(const char* input, const Press& p)
{
    std::cout << "[bad input] " << input << ": " << p.box.text.toStdString() << std::endl;
}

void expectScriptRan(RunWindow& w, const QString& path)
{
    const Press p = w.press(path);
    EXPECT_EQ(p.box.icon, QMessageBox::Information) << p.box.text.toStdString();
    EXPECT_FALSE(w.form.Button1()->isEnabled());
}

}  // namespace

TEST(BadInputTest, PathsThatNameNoDatabaseFailClearlyAndChangeNothing)
{
    const ScratchFolder folder(QStringLiteral("bad-input-%1").arg(QFileInfo(testsupport::uniqueDatabasePath("x")).baseName()));
    const QByteArray notes = "Tarvell school notes\r\nnot a database at all\r\n" + QByteArray(5000, 'x');
    const QString textFile = folder.filePath(QStringLiteral("notes.txt"));
    writeFile(textFile, notes);
    QDir().mkpath(folder.filePath(QStringLiteral("school")));
    const QString fakeBase = folder.filePath(QStringLiteral("school/BASE.FDB"));
    QByteArray fakeBytes(16384, '\0');
    fakeBytes.replace(0, 15, "not a database\n");
    writeFile(fakeBase, fakeBytes);
    const QString missing = folder.filePath(QStringLiteral("BASE.FDB"));
    const QString missingWithSpaces = folder.filePath(QStringLiteral("School base 2023/BASE.FDB"));
    const QString missingCyrillic = folder.filePath(QStringLiteral("Школа №5/БАЗА.FDB"));

    RunWindow w;
    Press p = w.press(QString());
    report("empty path", p);
    EXPECT_FALSE(p.loginShown);
    EXPECT_EQ(p.box.text, "Database name is missing.");
    runfaults::expectErrorAndUsableWindow(p, w);

    const QStringList entries = QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    struct Case {
        const char* input;
        QString path;
        QString expectedPart;  // a text the message must hold
    };
    const QList<Case> cases = {
        {"path to nothing", missing, missing},
        {"path to nothing through the server", testsupport::serverName(missing), missing},
        {"path with spaces to nothing", missingWithSpaces, missingWithSpaces},
        {"path with Cyrillic letters to nothing", missingCyrillic, missingCyrillic},
        {"path to a folder", folder.path(), folder.path()},
        {"path to a text file", textFile, textFile},
        {"text file through the server", testsupport::serverName(textFile), textFile},
        {"non-database file named BASE.FDB", fakeBase, fakeBase},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        p = w.press(c.path);
        report(c.input, p);
        EXPECT_TRUE(p.loginShown);
        EXPECT_TRUE(p.box.text.contains(c.expectedPart)) << p.box.text.toStdString();
        runfaults::expectErrorAndUsableWindow(p, w);
        EXPECT_EQ(bytesOf(textFile), notes);
        EXPECT_EQ(bytesOf(fakeBase), fakeBytes);
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), entries);
        EXPECT_FALSE(QFile::exists(missing));
    }

    // The window that refused all of them applies the script to a real database.
    const ScratchDatabase db("bad-input-after", true);
    expectScriptRan(w, db.path());
}

TEST(BadInputTest, PathsWithSpacesAndCyrillicLettersReachTheirDatabase)
{
    const ScratchDatabase source("bad-input-names", true);
    const ScratchFolder folder(QStringLiteral("Школа №5 %1").arg(QFileInfo(source.path()).baseName()));
    for (const QString& name : {QStringLiteral("school base.fdb"), QStringLiteral("БАЗА школы.FDB")}) {
        SCOPED_TRACE(name.toStdString());
        const QString path = folder.filePath(name);
        ASSERT_TRUE(QFile::copy(source.path(), path));
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther |
                                        QFileDevice::WriteOther);
        RunWindow local;
        expectScriptRan(local, path);
        ASSERT_TRUE(QFile::copy(source.path(), path + QStringLiteral(".server.fdb")));
        RunWindow server;
        expectScriptRan(server, testsupport::serverName(path + QStringLiteral(".server.fdb")));
    }
    // Surrounding spaces go to the client library as typed; its own name handling finds the file.
    const QString spaced = QStringLiteral("  ") + source.path() + QStringLiteral("  ");
    RunWindow w;
    expectScriptRan(w, spaced);
    EXPECT_EQ(w.component<TpFIBDatabase>("DB1")->DBName(), spaced);
}

TEST(BadInputTest, UnreachableServersFailWithinTheirTimeout)
{
    const ScratchDatabase db("bad-input-host");
    RunWindow w;
    // Nothing listens on that local port: refused at once.
    Press p = w.press(QStringLiteral("127.0.0.1/3999:") + db.path());
    report("host:path, closed local port", p);
    runfaults::expectErrorAndUsableWindow(p, w);

    // A non-routable address: bounded by the connect timeout the test adds to both connections.
    for (const char* name : {"DB1", "DB2"})
        w.component<TpFIBDatabase>(name)->DBParams()->Add(QStringLiteral("connect_timeout=3"));
    p = w.press(QStringLiteral("10.255.255.1:") + db.path());
    report("host:path, non-routable address", p);
    runfaults::expectErrorAndUsableWindow(p, w);

    expectScriptRan(w, db.serverName());
}

TEST(BadInputTest, OverLongPasswordIsRefusedBeforeTheAttachAndNeverShown)
{
    const ScratchDatabase db("bad-input-password", true);
    const QString password = QStringLiteral("Secret-%1").arg(QString(300, u'q'));
    RunWindow w;
    Press p = w.press(db.serverName(), password);
    report("password of 307 characters", p);
    runfaults::expectErrorAndUsableWindow(p, w);
    EXPECT_TRUE(p.box.text.contains("too long")) << p.box.text.toStdString();
    EXPECT_FALSE(p.box.text.contains("Secret-")) << "the error box shows the password";
    // 255 bytes is the most an item carries: still sent, and refused by the server as wrong.
    p = w.press(db.serverName(), QString(255, u'w'));
    report("password of 255 characters", p);
    runfaults::expectErrorAndUsableWindow(p, w);
    EXPECT_FALSE(p.box.text.contains(QString(20, u'w')));
    expectScriptRan(w, db.serverName());
}
