#include "RunFaults.h"

#include "ButtonEdit.h"
#include "ErrorDisplay.h"
#include "FIBDBLoginDlg.h"
#include "TestEnv.h"
#include "TestSession.h"
#include "pFIBDatabase.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <stdexcept>

using testsupport::ModalAnswer;
using testsupport::TestSession;

namespace runfaults {

const QList<std::pair<QString, QString>> kProcedures = {
    {"Q1", "DC_MS_CLASSES_PERIODS"}, {"Q3", "DC_MS_YMARKS"},      {"Q5", "PERIOD_VERIFY"},
    {"Q6", "VAL_ADD_AFTER"},         {"Q7", "DC_MS_PMARKS"},      {"Q8", "FIX_PERIOD_FIELDS"},
    {"Q11", "CJ2022_DO2_LINKS"}};

namespace {

// Polls for a modal widget for up to a minute of event processing; the GUI thread is blocked
// while a statement runs, so only time spent in event loops counts.
constexpr int kTries = 6000;

bool normalCursor()
{
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return !cursor || cursor->shape() == Qt::ArrowCursor;
}

// The installed procedures' names quoted for an IN list.
QStringList quotedProcedureNames()
{
    QStringList names;
    for (const auto& entry : kProcedures)
        names << "'" + entry.second + "'";
    return names;
}

QProcessEnvironment serverCredentials()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ISC_USER"), testsupport::testUser());
    env.insert(QStringLiteral("ISC_PASSWORD"), testsupport::testPassword());
    return env;
}

QString digestOf(const QStringList& files)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const QString& name : files) {
        QFile file(QStringLiteral(PATCHWREN_SOURCE_DIR "/") + name);
        if (!file.open(QIODevice::ReadOnly))
            throw std::runtime_error(("cannot read " + file.fileName()).toStdString());
        hash.addData(name.toUtf8());
        hash.addData(file.readAll());
    }
    return QString::fromLatin1(hash.result().toHex().left(16));
}

// The generated school's template, made once under a private name and renamed into place.
QString schoolTemplate()
{
    static std::mutex lock;
    const std::lock_guard guard(lock);
    QStringList sources{QStringLiteral("bench/school/generate"), QStringLiteral("bench/school/school.sql"),
                        QStringLiteral("bench/school/statistics.sql"), QStringLiteral("testdb/create"),
                        QStringLiteral("testdb/demo/10_dictionaries.sql")};
    QStringList schema = QDir(QStringLiteral(PATCHWREN_SOURCE_DIR "/testdb/schema"))
                             .entryList({QStringLiteral("*.sql")}, QDir::Files, QDir::Name);
    for (const QString& name : schema)
        sources << QStringLiteral("testdb/schema/") + name;
    const QDir dir(testsupport::testDataDir());
    const QString path = dir.filePath(QStringLiteral("school-s1-") + digestOf(sources) + QStringLiteral(".fdb"));
    if (QFile::exists(path))
        return path;
    const QString building = testsupport::uniqueDatabasePath(QStringLiteral("school-building"));
    QProcess generate;
    generate.setProcessEnvironment(serverCredentials());
    generate.setProcessChannelMode(QProcess::MergedChannels);
    generate.start(QStringLiteral(PATCHWREN_SOURCE_DIR "/bench/school/generate"),
                   {QStringLiteral("--server"), testsupport::serverHost(), QStringLiteral("1"), building});
    const bool finished = generate.waitForFinished(600000);
    if (!finished || generate.exitCode() != 0) {
        generate.kill();
        QFile::remove(building);
        throw std::runtime_error("bench/school/generate failed: " + generate.readAll().toStdString());
    }
    if (std::rename(QFile::encodeName(building).constData(), QFile::encodeName(path).constData()) != 0)
        throw std::runtime_error(("cannot put the school in place at " + path).toStdString());
    return path;
}

bool listening()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(3050);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool up = fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    if (fd >= 0)
        ::close(fd);
    return up;
}

}  // namespace

LoginAnswer LoginAnswer::cancel()
{
    LoginAnswer a;
    a.confirm = false;
    return a;
}

LoginAnswer LoginAnswer::as(const QString& user, const QString& password)
{
    LoginAnswer a;
    a.user = user;
    a.password = password;
    return a;
}

LoginAnswer LoginAnswer::withPassword(const QString& password)
{
    LoginAnswer a;
    a.password = password;
    return a;
}

RunWindow::RunWindow() { form.show(); }

Press RunWindow::press(const QString& path, const LoginAnswer& login)
{
    form.edPath()->setText(path);
    Press p;
    std::unique_ptr<ModalAnswer> boxAnswer;
    const auto readBox = [&p](QWidget* modal) {
        p.boxShown = qobject_cast<QMessageBox*>(modal) != nullptr;
        p.normalCursorAtBox = normalCursor();
        testsupport::readMessageBox(p.box)(modal);
    };
    ModalAnswer first(
        [&](QWidget* modal) {
            auto* dialog = qobject_cast<TfrmFIBDBLoginDlg*>(modal);
            if (!dialog) {
                readBox(modal);
                return;
            }
            p.loginShown = true;
            p.normalCursorAtLogin = normalCursor();
            p.loginDbName = dialog->findChild<QLabel*>(QStringLiteral("lbDBName"))->text();
            auto* user = dialog->findChild<QLineEdit*>(QStringLiteral("EdUserName"));
            auto* password = dialog->findChild<QLineEdit*>(QStringLiteral("EdPassword"));
            p.loginUser = user->text();
            p.loginRole = dialog->findChild<QLineEdit*>(QStringLiteral("EdRole"))->text();
            p.loginPasswordEmpty = password->text().isEmpty();
            user->setText(login.user.value_or(testsupport::testUser()));
            password->setText(login.password);
            boxAnswer = std::make_unique<ModalAnswer>(readBox, kTries);
            dialog->findChild<QPushButton*>(login.confirm ? QStringLiteral("Button1") : QStringLiteral("Button2"))->click();
        },
        kTries);
    QTest::mouseClick(form.Button1(), Qt::LeftButton);
    return p;
}

void expectError(const Press& p, RunWindow& w)
{
    EXPECT_TRUE(p.boxShown);
    EXPECT_EQ(p.box.icon, QMessageBox::Critical) << p.box.text.toStdString();
    EXPECT_EQ(p.box.title, ApplicationTitle());
    EXPECT_FALSE(p.box.text.isEmpty());
    EXPECT_FALSE(p.box.text.contains(testsupport::testPassword())) << "the error box shows the password";
    EXPECT_TRUE(w.form.Button1()->isEnabled());
    EXPECT_TRUE(w.form.edPath()->isEnabled());
    EXPECT_FALSE(w.component<TpFIBDatabase>("DB2")->Connected());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

void expectErrorAndUsableWindow(const Press& p, RunWindow& w)
{
    expectError(p, w);
    EXPECT_FALSE(w.component<TpFIBDatabase>("DB1")->Connected());
}

QStringList scriptTraces(const QString& database)
{
    TestSession s(database);
    QList<QVariantList> traces = s.query(
        "SELECT RDB$PROCEDURE_NAME, RDB$PROCEDURE_SOURCE FROM RDB$PROCEDURES WHERE RDB$PROCEDURE_NAME IN ("
        + quotedProcedureNames().join(", ") + ") ORDER BY 1");
    traces += s.query("SELECT * FROM PARAMS WHERE PARAM_ID = 1171");
    traces += s.query("SELECT OBJ_ID, LISTVAL_ID, IS_DEL FROM VALL WHERE PARAM_ID = 1171 ORDER BY 1, 2, 3");
    traces += s.query("SELECT MOVEMENT_ID, DATE_MODIFY FROM PERSON_MOVEMENTS ORDER BY 1");
    traces += s.query("SELECT RDB$USER, RDB$PRIVILEGE FROM RDB$USER_PRIVILEGES WHERE RDB$RELATION_NAME ="
                      " 'PERIOD_VERIFY' ORDER BY 1, 2");
    QStringList texts;
    for (const QVariantList& row : traces) {
        QStringList values;
        for (const QVariant& value : row)
            values << (value.isValid() ? value.toString() : QStringLiteral("<null>"));
        texts << values.join(u'|');
    }
    return texts;
}

QString validationErrors(const QString& path)
{
    QProcess gfix;
    gfix.setProcessChannelMode(QProcess::MergedChannels);
    gfix.start(QStringLiteral("gfix"), {QStringLiteral("-v"), QStringLiteral("-full"), QStringLiteral("-user"),
                                        testsupport::testUser(), QStringLiteral("-password"),
                                        testsupport::testPassword(), testsupport::serverName(path)});
    if (!gfix.waitForFinished(120000)) {
        gfix.kill();
        gfix.waitForFinished(5000);
        return QStringLiteral("gfix did not finish");
    }
    // Firebird 4 also counts warnings, such as the pages a killed server leaves orphaned; they do not
    // make the database unsound, so a summary of nothing but warnings is no finding.
    QStringList lines = QString::fromLocal8Bit(gfix.readAll()).trimmed().split(QLatin1Char('\n'));
    lines.removeIf([](const QString& line) { return line.contains(QLatin1String(" warnings")); });
    if (lines == QStringList{QStringLiteral("Summary of validation errors")})
        lines.clear();
    QString output = lines.join(QLatin1Char('\n')).trimmed();
    if (gfix.exitStatus() != QProcess::NormalExit || gfix.exitCode() != 0)
        output += QStringLiteral("\n(gfix exit code %1)").arg(gfix.exitCode());
    return output.replace(testsupport::testPassword(), QStringLiteral("<password>"));
}

bool waitForNoOtherAttachments(const QString& database, int seconds)
{
    for (int i = 0; i < seconds * 5; ++i) {
        try {
            TestSession s(database);
            if (s.scalar("SELECT COUNT(*) FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION"
                         " AND MON$SYSTEM_FLAG = 0").toLongLong() == 0)
                return true;
        } catch (const std::exception&) {
            // the server may still be starting
        }
        QThread::msleep(200);
    }
    return false;
}

GeneratedSchool::GeneratedSchool(const QString& tag) : FPath(testsupport::uniqueDatabasePath(tag))
{
    if (!QFile::copy(schoolTemplate(), FPath))
        throw std::runtime_error(("cannot copy the generated school to " + FPath).toStdString());
    QFile::setPermissions(FPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                     QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther);
}

GeneratedSchool::~GeneratedSchool() { QFile::remove(FPath); }

QString GeneratedSchool::serverName() const { return testsupport::serverName(FPath); }

namespace {

// The inode of the socket listening on port 3050 (IPv4 or IPv6) in this process's network
// namespace.
QByteArray listeningSocketInode()
{
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile tcp(QString::fromLatin1(table));
        if (!tcp.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : tcp.readAll().split('\n')) {
            const QList<QByteArray> f = line.simplified().split(' ');
            // sl local_address rem_address st ... inode; 0A is LISTEN, 0BEA is 3050.
            if (f.size() > 9 && f[1].endsWith(":0BEA") && f[3] == "0A")
                return f[9];
        }
    }
    return {};
}

}  // namespace

// The server process is the one holding the listening socket: a process named firebird
// elsewhere on the machine (another namespace's server) is not ours to kill.
int serverProcessId()
{
    const QByteArray inode = listeningSocketInode();
    if (inode.isEmpty())
        return 0;
    const QByteArray target = "socket:[" + inode + "]";
    const QDir proc(QStringLiteral("/proc"));
    for (const QString& entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const int pid = entry.toInt(&number);
        if (!number)
            continue;
        const QDir fds(proc.filePath(entry + QStringLiteral("/fd")));
        for (const QString& fd : fds.entryList(QDir::System | QDir::NoDotAndDotDot)) {
            char link[64] = {};
            const QByteArray path = fds.filePath(fd).toLocal8Bit();
            if (::readlink(path.constData(), link, sizeof link - 1) > 0 && target == link)
                return pid;
        }
    }
    return 0;
}

bool waitForServer(const QString& database, int seconds)
{
    for (int i = 0; i < seconds * 4; ++i) {
        if (listening()) {
            try {
                TestSession s(database);
                s.scalar("SELECT 1 FROM RDB$DATABASE");
                return true;
            } catch (const std::exception&) {
            }
        }
        QThread::msleep(250);
    }
    return false;
}

}  // namespace runfaults
