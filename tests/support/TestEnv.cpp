#include "TestEnv.h"

#include "FIBDatabase.h"
#include "StringList.h"
#include "pFIBProps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>

namespace testsupport {

QString serverHost() { return QStringLiteral("127.0.0.1"); }

QString testUser()
{
    const QString user = qEnvironmentVariable("PATCHWREN_TEST_USER");
    return user.isEmpty() ? QStringLiteral("SYSDBA") : user;
}

QString testPassword()
{
    if (qEnvironmentVariableIsSet("PATCHWREN_TEST_PASSWORD"))
        return qEnvironmentVariable("PATCHWREN_TEST_PASSWORD");
    QFile file(QStringLiteral("/etc/firebird/4.0/SYSDBA.password"));
    if (!file.exists())
        file.setFileName(QStringLiteral("/etc/firebird/3.0/SYSDBA.password"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression line(QStringLiteral("^ISC_PASSWORD=\"?([^\"\\n]*)\"?$"),
                                         QRegularExpression::MultilineOption);
    const auto match = line.match(QString::fromUtf8(file.readAll()));
    return match.hasMatch() ? match.captured(1) : QString();
}

QString clientLibraryName() { return QStringLiteral("libfbclient.so.2"); }

QString testDataDir()
{
    QString dir = qEnvironmentVariable("PATCHWREN_TEST_DATA");
    if (dir.isEmpty())
        dir = QDir::temp().filePath(QStringLiteral("patchwren-tests"));
    QDir().mkpath(dir);
    QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                   QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                                   QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther);
    return QFileInfo(dir).absoluteFilePath();
}

QString uniqueDatabasePath(const QString& tag)
{
    const QString id = QUuid::createUuid().toString(QUuid::Id128).left(12);
    return QDir(testDataDir()).filePath(tag + QLatin1Char('-') + id + QStringLiteral(".fdb"));
}

QString serverName(const QString& path) { return serverHost() + QLatin1Char(':') + path; }

QByteArray attachDPB(const QString& password, bool utf8)
{
    TStringList lines;
    lines.Add(QStringLiteral("user_name=") + testUser());
    lines.Add(QStringLiteral("password=") + password);
    if (utf8)
        lines.Add(QStringLiteral("lc_ctype=UTF8"));
    return BuildDPB(lines, true);
}

}  // namespace testsupport

void setUpConnection(TFIBDatabase& db, const QString& dbName, const QString& password)
{
    db.setLibraryName(testsupport::clientLibraryName());
    db.setDBName(dbName);
    db.setSQLDialect(3);
    db.setDBParams({QStringLiteral("lc_ctype=UTF8"), QStringLiteral("user_name=") + testsupport::testUser()});
    db.ConnectParams()->setPassword(password);
}
