// The hotfix run through the real window: the apply button, the login dialog and the message
// boxes answered as a user would, on scratch stand-in databases through the server and embedded.

#include "FIBDBLoginDlg.h"
#include "MainUnit.h"
#include "ModalAnswer.h"
#include "QtPrinters.h"
#include "RunFaults.h"
#include "ScratchDatabase.h"
#include "ScriptCatalogue.h"
#include "TestEnv.h"
#include "TestSession.h"
#include "ButtonEdit.h"
#include "ErrorDisplay.h"
#include "fib.h"
#include "pFIBDatabase.h"
#include "pFIBQuery.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <optional>

using testsupport::ModalAnswer;
using testsupport::ScratchDatabase;
using runfaults::kProcedures;
using runfaults::LoginAnswer;
using runfaults::Press;
using runfaults::RunWindow;
using runfaults::scriptTraces;
using testsupport::TestSession;

namespace {

const QString kSuccess = QStringLiteral("Обновление успешно установлено");
const QString kTooNew = QStringLiteral("Версия Тарвелл не соответствует требуемой");
const QString kTooNewBuild = QStringLiteral("Версия Тарвелл не соответствует требуемой (не старше 3.23.11.28)");
const QString kRepeated = QStringLiteral("Учебный период не должен повторяться в списке");

// The run's stored procedures hold exactly the texts of script/ (the source the server keeps
// is the text after AS).
void expectScriptInstalled(const QString& database)
{
    TestSession s(database);
    for (const auto& [component, procedure] : kProcedures) {
        const QVariant stored = s.scalar("SELECT RDB$PROCEDURE_SOURCE FROM RDB$PROCEDURES WHERE"
                                         " RDB$PROCEDURE_NAME = :name", {procedure});
        ASSERT_TRUE(stored.isValid()) << procedure.toStdString();
        const QString text = script::statementText(script::statement(component));
        const QString source = stored.toString();
        const qsizetype body = text.indexOf(QStringLiteral("\r\nAS\r\n"));
        ASSERT_GE(body, 0) << component.toStdString();
        EXPECT_EQ(source, text.mid(body + 6).chopped(2)) << procedure.toStdString();
    }
    EXPECT_EQ(s.scalar("SELECT TYPE_ID || '/' || LIST_ID || '/' || DO_FUNC FROM PARAMS WHERE PARAM_ID = 1171"),
              QVariant(QStringLiteral("154/220/0")));
    EXPECT_GT(s.scalar("SELECT COUNT(*) FROM VALL WHERE PARAM_ID = 1171 AND LISTVAL_ID IS NOT NULL").toLongLong(), 0);
    EXPECT_EQ(s.scalar("SELECT COUNT(*) FROM RDB$USER_PRIVILEGES WHERE RDB$USER = 'KORVAN_ROLE' AND"
                       " RDB$RELATION_NAME = 'PERIOD_VERIFY' AND RDB$PRIVILEGE = 'X'").toLongLong(), 1);
}

void expectSuccess(const Press& p, RunWindow& w)
{
    EXPECT_TRUE(p.loginShown);
    EXPECT_TRUE(p.boxShown);
    EXPECT_EQ(p.box.title, "Information");
    EXPECT_EQ(p.box.text, kSuccess);
    EXPECT_EQ(p.box.icon, QMessageBox::Information);
    EXPECT_EQ(p.box.buttons, QStringList{"OK"});
    EXPECT_EQ(p.box.defaultButton, "OK");
    EXPECT_FALSE(w.form.Button1()->isEnabled());
    EXPECT_FALSE(w.component<TpFIBDatabase>("DB1")->Connected());
    EXPECT_FALSE(w.component<TpFIBDatabase>("DB2")->Connected());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// A failed press: the error box with text, and the window ready for the next press.
void expectError(const Press& p, RunWindow& w, const QString& text)
{
    runfaults::expectErrorAndUsableWindow(p, w);
    EXPECT_EQ(p.box.text, text);
    EXPECT_TRUE(p.normalCursorAtBox);
}

// VER holds these rows, inserted in this order (the order a plain select returns them here).
void setVersions(const QString& database, const QList<QVariantList>& versions)
{
    TestSession s(database);
    s.execute("DELETE FROM VER");
    for (const QVariantList& version : versions)
        s.execute("INSERT INTO VER (VER_MAJOR, VER_MINOR, VER_RELEASE, VER_BUILD) "
                  "VALUES (:ver_major, :ver_minor, :ver_release, :ver_build)",
                  version);
    s.commit();
}

void setVersion(const QString& database, const QVariantList& version)
{
    setVersions(database, version.isEmpty() ? QList<QVariantList>{} : QList<QVariantList>{version});
}

}  // namespace

TEST(HotfixRunTest, RunThroughTheServerEndsOtherAttachmentsAndInstallsTheScript)
{
    const ScratchDatabase db("run-server", true);
    TestSession other(db.serverName());
    ASSERT_EQ(other.scalar("SELECT COUNT(*) FROM RDB$DATABASE").toInt(), 1);
    RunWindow w;
    bool busyDuringPurge = false, busyDuringScript = false;
    w.component<TpFIBQuery>("QQ")->BeforeExecute = [&](TFIBQuery*) {
        busyDuringPurge = QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
    };
    w.component<TpFIBQuery>("Q9")->BeforeExecute = [&](TFIBQuery*) {
        busyDuringScript = QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
    };

    const Press p = w.press(db.serverName());
    expectSuccess(p, w);
    EXPECT_EQ(p.loginDbName, ShortenDatabaseName(db.serverName()));
    EXPECT_EQ(p.loginUser, "SYSDBA");
    EXPECT_TRUE(p.loginRole.isEmpty());
    EXPECT_TRUE(p.loginPasswordEmpty);
    EXPECT_TRUE(p.normalCursorAtLogin);
    EXPECT_TRUE(p.normalCursorAtBox);
    EXPECT_TRUE(busyDuringPurge);
    EXPECT_TRUE(busyDuringScript);
    // Both connections took the path editor's text as it stands.
    EXPECT_EQ(w.component<TpFIBDatabase>("DB2")->DBName(), db.serverName());
    EXPECT_EQ(w.component<TpFIBDatabase>("DB1")->DBName(), db.serverName());
    EXPECT_EQ(w.component<TpFIBDatabase>("DB1")->ConnectParams()->Password(), testsupport::testPassword());

    EXPECT_ANY_THROW(other.scalar("SELECT COUNT(*) FROM RDB$DATABASE"));  // its attachment was ended
    expectScriptInstalled(db.serverName());
    EXPECT_EQ(TestSession(db.serverName())
                  .scalar("SELECT COUNT(*) FROM PERSON_MOVEMENTS WHERE DATE_IN > '2023-08-25' AND DATE_DEL IS NULL"
                          " AND GROUP_TYPE_ID = 9 AND DATE_MODIFY < DATEADD(-10 MINUTE TO CURRENT_TIMESTAMP)"),
              QVariant(qlonglong(0)));

    // The script may be applied again, from a new start of the program.
    RunWindow again;
    expectSuccess(again.press(db.serverName()), again);
    expectScriptInstalled(db.serverName());
}

TEST(HotfixRunTest, LocalPathRunsEmbeddedAndTheNextPressPromptsWithTheLastAnswers)
{
    const ScratchDatabase db("run-embedded", true);
    RunWindow w;
    // Prefilled from the previous answers, never the password: a cancelled first press shows the
    // definition's user name, a wrong password leaves its user name for the next prompt.
    Press p = w.press(db.path(), LoginAnswer::cancel());
    expectError(p, w, "Operation cancelled at user's request.");
    EXPECT_EQ(w.component<TpFIBDatabase>("DB2")->DBParams()->Lines(),
              (QStringList{"lc_ctype=UTF8", "user_name=SYSDBA"}));
    p = w.press(db.path(), LoginAnswer::as("sysdba"));
    EXPECT_EQ(p.loginUser, "SYSDBA");
    expectSuccess(p, w);
    EXPECT_EQ(w.component<TpFIBDatabase>("DB2")->DBParams()->Values("user_name"), "sysdba");
    EXPECT_EQ(w.component<TpFIBDatabase>("DB1")->DBName(), db.path());
    expectScriptInstalled(db.serverName());
}

TEST(HotfixRunTest, OlderVersionsOfTheProceduresAreReplacedBeforeTheRepairRuns)
{
    const ScratchDatabase db("run-older", true);
    {
        TestSession s(db.serverName());
        s.execute("CREATE OR ALTER PROCEDURE PERIOD_VERIFY (I$OBJ_ID BIGINT, I$VAL BIGINT) AS"
                  " BEGIN EXCEPTION DATA_ERROR 'an older PERIOD_VERIFY ran'; END");
        s.execute("CREATE OR ALTER PROCEDURE FIX_PERIOD_FIELDS AS DECLARE VARIABLE N INTEGER; BEGIN N = 0; END");
        s.commit();
        s.execute("EXECUTE PROCEDURE FIX_PERIOD_FIELDS");  // loaded by an attachment the purge ends
    }
    RunWindow w;
    expectSuccess(w.press(db.serverName()), w);
    expectScriptInstalled(db.serverName());
}

TEST(HotfixRunTest, VersionGateRefusesNewerProductsAndLeavesNothingOfTheScript)
{
    const ScratchDatabase db("run-gate", true);
    const QStringList before = scriptTraces(db.serverName());
    const QList<std::pair<QVariantList, QString>> refused = {
        {{3, 23, 11, 29}, kTooNewBuild}, {{3, 23, 12, 0}, kTooNew + "."},
        {{3, 24, 0, 0}, kTooNew + "."},  {{4, 0, 0, 0}, kTooNew + "."}};
    RunWindow w;
    for (const auto& [version, message] : refused) {
        setVersion(db.serverName(), version);
        const Press p = w.press(db.serverName());
        EXPECT_TRUE(p.loginShown);
        expectError(p, w, message);
        EXPECT_EQ(scriptTraces(db.serverName()), before) << version[0].toInt() << "." << version[1].toInt();
    }
    // With several rows the first one fetched decides.
    setVersions(db.serverName(), {{4, 0, 0, 0}, {3, 0, 0, 0}});
    expectError(w.press(db.serverName()), w, kTooNew + ".");
    EXPECT_EQ(scriptTraces(db.serverName()), before);
    setVersions(db.serverName(), {{3, 0, 0, 0}, {4, 0, 0, 0}});
    expectSuccess(w.press(db.serverName()), w);
    // No row, and a row of nulls, read as version 0.0.0.0; the highest accepted version passes.
    for (const QVariantList& version : {QVariantList{}, QVariantList{QVariant(), QVariant(), QVariant(), QVariant()},
                                        QVariantList{3, 23, 11, 28}}) {
        if (version.size() == 4 && !version[0].isValid()) {
            TestSession s(db.serverName());
            s.execute("DROP TABLE VER");
            s.commit();
            s.execute("CREATE TABLE VER (VER_MAJOR INTEGER, VER_MINOR INTEGER, VER_RELEASE INTEGER, VER_BUILD INTEGER)");
            s.commit();
        }
        setVersion(db.serverName(), version);
        RunWindow fresh;
        expectSuccess(fresh.press(db.serverName()), fresh);
    }
}

TEST(HotfixRunTest, ScriptFailureRollsBackEveryStatementButNotThePurge)
{
    const ScratchDatabase db("run-q9", true);
    {
        // A schedule with two live periods of one kind: the repair refuses it.
        TestSession s(db.serverName());
        const qlonglong school = s.scalar("SELECT OBJ_ID FROM LINKS WHERE OBJ_TYPE_ID = 2 AND PARENT_ID IS NULL"
                                          " AND DATE_DEL IS NULL").toLongLong();
        const auto place = [&](qlonglong id, const QVariant& parent, int type, const QVariant& parentType) {
            s.execute("INSERT INTO OBJECTS (OBJ_ID, TYPE_ID) VALUES (:obj_id, :type_id)", {id, type});
            s.execute(
                "INSERT INTO LINKS (OBJ_ID, PARENT_ID, OBJ_TYPE_ID, PARENT_TYPE_ID) VALUES (:obj_id, :parent_id, "
                ":obj_type_id, :parent_type_id)",
                {id, parent, type, parentType});
        };
        place(990001, school, 150, 2);
        place(990002, 990001, 151, 150);
        for (qlonglong period : {990003, 990004}) {
            place(period, 990002, 154, 151);
            s.execute("INSERT INTO VALL (PARAM_ID, OBJ_ID, LISTVAL_ID, IS_DEL) VALUES (1170, :obj_id, 12, 0)",
                      {period});
        }
        s.commit();
    }
    const QStringList before = scriptTraces(db.serverName());
    TestSession other(db.serverName());
    ASSERT_EQ(other.scalar("SELECT COUNT(*) FROM RDB$DATABASE").toInt(), 1);

    RunWindow w;
    const Press p = w.press(db.serverName());
    EXPECT_TRUE(p.box.text.contains(kRepeated)) << p.box.text.toStdString();
    expectError(p, w, p.box.text);
    EXPECT_FALSE(w.component<TpFIBTransaction>("Tr1")->Active());
    EXPECT_EQ(scriptTraces(db.serverName()), before);
    EXPECT_ANY_THROW(other.scalar("SELECT COUNT(*) FROM RDB$DATABASE"));  // the purge stayed committed
}

TEST(HotfixRunTest, FailureAtTheLastStatementLeavesNoTraceOfTheEarlierOnes)
{
    const ScratchDatabase db("run-q11", true);
    {
        // A database trigger that refuses the last statement's procedure.
        TestSession s(db.serverName());
        s.execute("CREATE TRIGGER REFUSE_LINKS BEFORE CREATE PROCEDURE OR ALTER PROCEDURE AS BEGIN"
                  " IF (RDB$GET_CONTEXT('DDL_TRIGGER', 'OBJECT_NAME') = 'CJ2022_DO2_LINKS') THEN"
                  " EXCEPTION DATA_ERROR 'Ссылки не принимаются'; END");
        s.commit();
    }
    const QStringList before = scriptTraces(db.serverName());
    RunWindow w;
    const Press p = w.press(db.serverName());
    EXPECT_TRUE(p.box.text.contains("Ссылки не принимаются")) << p.box.text.toStdString();
    expectError(p, w, p.box.text);
    EXPECT_EQ(scriptTraces(db.serverName()), before);
}

TEST(HotfixRunTest, FailuresBeforeTheScriptLeaveTheWindowReadyForAnotherPress)
{
    const ScratchDatabase db("run-fail", true);
    RunWindow w;
    Press p = w.press(QString());
    EXPECT_FALSE(p.loginShown);
    expectError(p, w, "Database name is missing.");

    p = w.press(db.serverName(), LoginAnswer::as("SYSDBA", "not the password"));
    EXPECT_TRUE(p.box.text.contains("password")) << p.box.text.toStdString();
    expectError(p, w, p.box.text);

    p = w.press(QStringLiteral("127.0.0.1/3999:") + db.path());  // nothing listens there
    EXPECT_TRUE(p.loginShown);
    EXPECT_FALSE(p.box.text.isEmpty());
    expectError(p, w, p.box.text);

    p = w.press(db.serverName());
    expectSuccess(p, w);
}

TEST(HotfixRunTest, FailedPurgeClosesThePurgeConnectionSoTheNextPressStartsOver)
{
    const ScratchDatabase db("run-purge", true);
    RunWindow w;
    auto* QQ = w.component<TpFIBQuery>("QQ");
    auto* Tr2 = w.component<TpFIBTransaction>("Tr2");
    QList<TTransactionAction> ends;
    Tr2->AddEndEvent(TFIBTransaction::tetAfterEnd,
                     [&](TFIBTransaction*, TTransactionAction action, bool) { ends << action; });

    // The purge statement fails: its transaction is still committed, and the error shown.
    const QStringList purge = QQ->SQL();
    QQ->setSQL({"delete from NO_SUCH_TABLE"});
    Press p = w.press(db.serverName());
    EXPECT_TRUE(p.box.text.contains("NO_SUCH_TABLE")) << p.box.text.toStdString();
    expectError(p, w, p.box.text);
    EXPECT_EQ(ends, QList<TTransactionAction>{TACommit});

    // The purge transaction cannot start.
    Tr2->setTPBMode(tpbDefault);
    Tr2->setTRParams({"no_such_parameter"});
    p = w.press(db.serverName());
    EXPECT_TRUE(p.box.text.contains("no_such_parameter")) << p.box.text.toStdString();
    expectError(p, w, p.box.text);

    Tr2->setTPBMode(tpbReadCommitted);

    // The statement fails and so does the commit: the commit's error replaces the statement's.
    Tr2->BeforeEnd = [](TFIBTransaction*, TTransactionAction, bool force) {
        if (!force)
            throw Exception("commit refused");
    };
    p = w.press(db.serverName());
    EXPECT_TRUE(p.box.text.contains("commit refused")) << p.box.text.toStdString();
    expectError(p, w, p.box.text);
    Tr2->BeforeEnd = nullptr;
    QQ->setSQL(purge);

    // The attach succeeds and Open fails after it: the connection is closed all the same.
    auto* DB2 = w.component<TpFIBDatabase>("DB2");
    DB2->AfterConnect = [](TFIBDatabase*) { throw Exception("refused after the attach"); };
    expectError(w.press(db.serverName()), w, "refused after the attach.");
    DB2->AfterConnect = nullptr;

    // A failing close of the purge connection is dropped; the run goes on.
    DB2->AfterDisconnect = [](TFIBDatabase*) { throw Exception("close refused"); };
    expectSuccess(w.press(db.serverName()), w);
}

TEST(HotfixRunTest, CleanUpFailureOfTheScriptPhaseReplacesTheErrorThatCausedTheExit)
{
    const ScratchDatabase db("run-cleanup", true);
    setVersion(db.serverName(), {4, 0, 0, 0});
    RunWindow w;
    auto* DB1 = w.component<TpFIBDatabase>("DB1");
    DB1->BeforeDisconnect = [](TFIBDatabase*) { throw Exception("close refused"); };
    const Press p = w.press(db.serverName());
    EXPECT_EQ(p.box.text, "Error of MainForm.DB1.BeforeDisconnect. close refused.");
    EXPECT_TRUE(w.form.Button1()->isEnabled());
    EXPECT_FALSE(w.component<TpFIBTransaction>("Tr1")->Active());
    DB1->BeforeDisconnect = nullptr;
    DB1->Close();
}

TEST(HotfixRunTest, FailedRollbackStillClosesTheScriptConnectionSoTheNextPressStartsOver)
{
    const ScratchDatabase db("run-rollback", true);
    setVersion(db.serverName(), {4, 0, 0, 0});
    RunWindow w;
    auto* Tr1 = w.component<TpFIBTransaction>("Tr1");
    Tr1->BeforeEnd = [](TFIBTransaction*, TTransactionAction, bool force) {
        if (!force)
            throw Exception("rollback refused");
    };
    const Press first = w.press(db.serverName());
    EXPECT_TRUE(first.box.text.contains("rollback refused")) << first.box.text.toStdString();
    EXPECT_FALSE(w.component<TpFIBDatabase>("DB1")->Connected());

    Tr1->BeforeEnd = nullptr;
    const Press second = w.press(db.serverName());
    EXPECT_EQ(second.box.text, QStringLiteral("Версия Тарвелл не соответствует требуемой."));
    EXPECT_TRUE(w.form.Button1()->isEnabled());
}

TEST(HotfixRunTest, MissingClientLibraryFailsBeforeThePrompt)
{
    RunWindow w;
    const hotfix::TRunComponents c = hotfix::FindRunComponents(w.form);
    bool prompted = false;
    ModalAnswer answer([&](QWidget* modal) {
        prompted = qobject_cast<TfrmFIBDBLoginDlg*>(modal) != nullptr;
    }, 20);
    try {
        hotfix::RunHotfix(c, [] { return QStringLiteral("BASE.FDB"); },
                          [] { return QStringLiteral("libno-such-client.so.9"); });
        ADD_FAILURE() << "the run went through without a client library";
    } catch (const EOSError& e) {
        EXPECT_TRUE(e.Message().startsWith("System Error.  Code: ")) << e.Message().toStdString();
    }
    EXPECT_FALSE(prompted);
    EXPECT_FALSE(c.DB2->Connected());
    EXPECT_EQ(c.DB2->LibraryName(), "libno-such-client.so.9");
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}
