#include "ScratchDatabase.h"

#include "TestEnv.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <cstdio>
#include <mutex>
#include <stdexcept>

namespace testsupport {

namespace {

constexpr QFileDevice::Permissions kReadWriteAll = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                   QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                   QFileDevice::ReadOther | QFileDevice::WriteOther;

QString createCommand() { return QStringLiteral(PATCHWREN_SOURCE_DIR "/testdb/create"); }

// Builds a database at path with testdb/create through the server; throws with its output.
void createDatabase(const QString& path, bool withDemoData)
{
    QStringList arguments{QStringLiteral("--server"), serverHost()};
    if (withDemoData)
        arguments.prepend(QStringLiteral("--demo"));
    arguments << path;
    QString output;
    if (runCreateCommand(arguments, &output) != 0)
        throw std::runtime_error(("testdb/create failed for " + path + ":\n" + output).toStdString());
    QFile::setPermissions(path, kReadWriteAll);
}

// A digest of everything that shapes the database: the creation command and its scripts.
QString sourceDigest(bool withDemoData)
{
    const QDir root(QStringLiteral(PATCHWREN_SOURCE_DIR "/testdb"));
    QCryptographicHash hash(QCryptographicHash::Sha1);
    QStringList files{QStringLiteral("create")};
    for (const QString& folder : withDemoData ? QStringList{QStringLiteral("schema"), QStringLiteral("demo")}
                                              : QStringList{QStringLiteral("schema")}) {
        QStringList names =
            QDir(root.filePath(folder)).entryList({QStringLiteral("*.sql"), QStringLiteral("*.list")}, QDir::Files);
        names.sort();
        for (const QString& name : names)
            files << folder + QLatin1Char('/') + name;
    }
    for (const QString& name : files) {
        QFile file(root.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            throw std::runtime_error(("cannot read " + file.fileName()).toStdString());
        hash.addData(name.toUtf8());
        hash.addData(file.readAll());
    }
    return QString::fromLatin1(hash.result().toHex().left(16));
}

// The template for these scripts, shared by the test processes through the test data folder:
// its name carries the digest, so a changed script gets a new template. It is built under a
// private name and renamed into place, so no process ever copies a half-made template.
QString templatePath(bool withDemoData)
{
    static std::mutex lock;
    std::lock_guard guard(lock);
    const QDir dir(testDataDir());
    const QString prefix = withDemoData ? QStringLiteral("template-demo-") : QStringLiteral("template-");
    const QString path = dir.filePath(prefix + sourceDigest(withDemoData) + QStringLiteral(".fdb"));
    if (!QFile::exists(path)) {
        // Templates of earlier scripts are of no more use.
        for (const QString& old : dir.entryList({prefix + QStringLiteral("????????????????.fdb")}, QDir::Files))
            QFile::remove(dir.filePath(old));
        const QString building = uniqueDatabasePath(QStringLiteral("building"));
        createDatabase(building, withDemoData);
        if (std::rename(QFile::encodeName(building).constData(), QFile::encodeName(path).constData()) != 0) {
            QFile::remove(building);
            if (!QFile::exists(path))
                throw std::runtime_error(("cannot put the template in place at " + path).toStdString());
        }
    }
    return path;
}

}  // namespace

int runCreateCommand(const QStringList& arguments, QString* output)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ISC_USER"), testUser());
    env.insert(QStringLiteral("ISC_PASSWORD"), testPassword());
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(createCommand(), arguments);
    if (!process.waitForStarted(30000)) {
        if (output)
            *output = QStringLiteral("cannot start ") + createCommand() + ": " + process.errorString();
        return -1;
    }
    process.waitForFinished(300000);
    if (output)
        *output = QString::fromUtf8(process.readAll());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

ScratchDatabase::ScratchDatabase(const QString& tag, bool withDemoData) : FPath(uniqueDatabasePath(tag))
{
    // The template is detached once made, so a file copy of it is a whole database.
    const QString source = templatePath(withDemoData);
    if (!QFile::copy(source, FPath))
        createDatabase(FPath, withDemoData);
    QFile::setPermissions(FPath, kReadWriteAll);
}

ScratchDatabase::~ScratchDatabase() { QFile::remove(FPath); }

QString ScratchDatabase::path() const { return FPath; }

QString ScratchDatabase::serverName() const { return testsupport::serverName(FPath); }

}  // namespace testsupport
