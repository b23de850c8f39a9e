#include "FIBDBLoginDlg.h"
#include "ScratchDatabase.h"
#include "TestEnv.h"
#include "fib.h"
#include "pFIBDatabase.h"
#include <QLabel>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Runs `answer` on the login dialog once it is the active modal widget. Bounded: after
// about two seconds without a dialog it gives up, so a broken test fails instead of hanging.
void answerLoginDialog(std::function<void(TfrmFIBDBLoginDlg&)> answer, int triesLeft = 200)
{
    QTimer::singleShot(10, [answer = std::move(answer), triesLeft]() mutable {
        auto* dialog = qobject_cast<TfrmFIBDBLoginDlg*>(QApplication::activeModalWidget());
        if (dialog)
            answer(*dialog);
        else if (triesLeft > 0)
            answerLoginDialog(std::move(answer), triesLeft - 1);
    });
}

// The dialog's controls by their names.
struct LoginControls {
    explicit LoginControls(QWidget& d)
        : Label1(find<QLabel>(d, "Label1")), Label2(find<QLabel>(d, "Label2")),
          Label3(find<QLabel>(d, "Label3")), Label4(find<QLabel>(d, "Label4")),
          lbDBName(find<QLabel>(d, "lbDBName")), EdUserName(find<QLineEdit>(d, "EdUserName")),
          EdPassword(find<QLineEdit>(d, "EdPassword")), EdRole(find<QLineEdit>(d, "EdRole")),
          Button1(find<QPushButton>(d, "Button1")), Button2(find<QPushButton>(d, "Button2"))
    {
    }
    template <class T>
    static T* find(QWidget& d, const char* name)
    {
        T* w = d.findChild<T*>(QLatin1String(name));
        if (!w)
            throw std::runtime_error(std::string("no control ") + name);
        return w;
    }
    QLabel *Label1, *Label2, *Label3, *Label4, *lbDBName;
    QLineEdit *EdUserName, *EdPassword, *EdRole;
    QPushButton *Button1, *Button2;
};

}  // namespace

TEST(LoginDialog, ShortensLongDatabaseNamesToFortySixCharacters)
{
    const QString name45(45, QLatin1Char('a'));
    EXPECT_EQ(ShortenDatabaseName(name45), name45);
    const QString name46 = QStringLiteral("0123456789") + QString(36, QLatin1Char('x'));
    EXPECT_EQ(ShortenDatabaseName(name46), QStringLiteral("0123456789...") + QString(33, QLatin1Char('x')));
    const QString path = QStringLiteral("127.0.0.1:/var/lib/tarvell/schools/north/district/BASE.FDB");
    const QString shown = ShortenDatabaseName(path);
    EXPECT_EQ(shown.size(), 46);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("127.0.0.1:...")));
    EXPECT_TRUE(shown.endsWith(path.right(33)));
}

TEST(LoginDialog, FormHasItsCaptionTextsTabOrderAndPasswordMask)
{
    TfrmFIBDBLoginDlg dialog;
    LoginControls ctl(dialog);
    LoginControls* c = &ctl;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Авторизация доступа"));
    EXPECT_EQ(c->Label1->text(), QStringLiteral("База данных:"));
    EXPECT_EQ(c->Label2->text(), QStringLiteral("&Имя пользователя"));
    EXPECT_EQ(c->Label3->text(), QStringLiteral("&Пароль"));
    EXPECT_EQ(c->Label4->text(), QStringLiteral("&Роль"));
    EXPECT_EQ(c->Button1->text(), QStringLiteral("&OK"));
    EXPECT_EQ(c->Button2->text(), QStringLiteral("&Cancel"));
    EXPECT_TRUE(c->Button1->isDefault());
    EXPECT_EQ(c->EdPassword->echoMode(), QLineEdit::Password);
    EXPECT_EQ(c->EdPassword->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, c->EdPassword), '*');
    EXPECT_EQ(c->EdUserName->geometry(), QRect(83, 62, 179, 21));
    EXPECT_EQ(c->Button2->geometry(), QRect(206, 150, 75, 25));

    // Each label's text fits beside its edit, whatever the fallback font; "&" marks a letter.
    for (QLabel* label : {c->Label2, c->Label3, c->Label4}) {
        const int textWidth = label->fontMetrics().size(Qt::TextShowMnemonic, label->text()).width();
        EXPECT_LE(textWidth, label->width()) << label->objectName().toStdString();
        EXPECT_LE(label->geometry().right(), c->EdUserName->x()) << label->objectName().toStdString();
    }

    // Tab order: OK, Cancel, user name, password, role.
    const QList<QWidget*> order = {c->Button1, c->Button2, c->EdUserName, c->EdPassword, c->EdRole};
    for (int i = 0; i + 1 < order.size(); ++i) {
        QWidget* next = order[i]->nextInFocusChain();
        while (!(next->focusPolicy() & Qt::TabFocus))
            next = next->nextInFocusChain();
        EXPECT_EQ(next, order[i + 1]) << i;
    }
}

TEST(LoginDialog, OkReturnsTheTypedTextsUntrimmedAndNeverPrefillsThePassword)
{
    QString user = QStringLiteral("SYSDBA"), password = QStringLiteral("old secret"), role;
    bool passwordStartedEmpty = false, passwordHadFocus = false;
    QString shownName;
    answerLoginDialog([&](TfrmFIBDBLoginDlg& d) {
        LoginControls ctl(d);
        LoginControls* c = &ctl;
        passwordStartedEmpty = c->EdPassword->text().isEmpty();
        passwordHadFocus = d.focusWidget() == c->EdPassword;
        shownName = c->lbDBName->text();
        EXPECT_EQ(c->EdUserName->text(), QStringLiteral("SYSDBA"));
        c->EdUserName->setText(QStringLiteral(" admin "));
        c->EdPassword->setText(QStringLiteral("пароль "));
        c->EdRole->setText(QStringLiteral("KORVAN_ROLE"));
        c->Button1->click();
    });
    ASSERT_TRUE(FIBDBLoginDialog(QStringLiteral("BASE.FDB"), user, password, role));
    EXPECT_TRUE(passwordStartedEmpty);
    EXPECT_TRUE(passwordHadFocus);
    EXPECT_EQ(shownName, QStringLiteral("BASE.FDB"));
    EXPECT_EQ(user, QStringLiteral(" admin "));
    EXPECT_EQ(password, QStringLiteral("пароль "));
    EXPECT_EQ(role, QStringLiteral("KORVAN_ROLE"));
}

TEST(LoginDialog, CancelAndEscapeLeaveTheTextsUnchanged)
{
    for (const bool useEscape : {false, true}) {
        QString user = QStringLiteral("SYSDBA"), password = QStringLiteral("kept"), role = QStringLiteral("R");
        answerLoginDialog([useEscape](TfrmFIBDBLoginDlg& d) {
            LoginControls(d).EdUserName->setText(QStringLiteral("other"));
            LoginControls(d).EdPassword->setText(QStringLiteral("typed"));
            if (useEscape)
                d.reject();  // what Esc and the close button do
            else
                LoginControls(d).Button2->click();
        });
        EXPECT_FALSE(FIBDBLoginDialog(QStringLiteral("BASE.FDB"), user, password, role));
        EXPECT_EQ(user, QStringLiteral("SYSDBA"));
        EXPECT_EQ(password, QStringLiteral("kept"));
        EXPECT_EQ(role, QStringLiteral("R"));
    }
}

TEST(LoginDialog, IsTheConnectionsLoginPromptAndWritesTheAnswersIntoTheirLines)
{
    EXPECT_EQ(LoginDialogProc, &FIBDBLoginDialog);
    const testsupport::ScratchDatabase db("login-prompt");
    TpFIBDatabase connection;
    connection.setLibraryName(testsupport::clientLibraryName());
    connection.setDBName(db.serverName());
    connection.setDBParams({QStringLiteral("lc_ctype=UTF8"), QStringLiteral("user_name=SYSDBA")});
    connection.setUseLoginPrompt(true);
    const auto answer = [](const QString& user, const QString& password, const QString& role, bool ok) {
        answerLoginDialog([=](TfrmFIBDBLoginDlg& d) {
            LoginControls c(d);
            EXPECT_TRUE(c.EdPassword->text().isEmpty());
            c.EdUserName->setText(user);
            c.EdPassword->setText(password);
            c.EdRole->setText(role);
            (ok ? c.Button1 : c.Button2)->click();
        });
    };
    const auto openError = [&connection]() -> QString {
        try {
            connection.Open(true);
        } catch (const Exception& e) {
            return e.Message();
        }
        return {};
    };

    answer(QStringLiteral("OTHER"), QStringLiteral("typed"), QString(), false);
    EXPECT_EQ(openError(), "Operation cancelled at user's request.");
    EXPECT_EQ(connection.DBParams()->Lines(), (QStringList{"lc_ctype=UTF8", "user_name=SYSDBA"}));

    // An empty password is the user's answer too; the server refuses it.
    answer(testsupport::testUser(), QString(), QString(), true);
    EXPECT_FALSE(openError().isEmpty());
    EXPECT_FALSE(connection.Connected());
    EXPECT_EQ(connection.DBParams()->Lines(),
              (QStringList{"lc_ctype=UTF8", "user_name=" + testsupport::testUser(), "password=", "sql_role_name="}));

    answer(testsupport::testUser(), testsupport::testPassword(), QStringLiteral("KORVAN_ROLE"), true);
    EXPECT_EQ(openError(), QString());
    EXPECT_TRUE(connection.Connected());
    EXPECT_EQ(connection.DBParams()->Values("password"), testsupport::testPassword());
    EXPECT_EQ(connection.DBParams()->Values("sql_role_name"), "KORVAN_ROLE");
    connection.Close();
}
