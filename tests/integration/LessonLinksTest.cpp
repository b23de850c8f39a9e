// CJ2022_DO2_LINKS on the stand-in product database. The server's clock cannot be moved, so
// most tests install the script's own text with only its date gate moved around today; one
// test runs the text exactly as the script installs it.
#include "ScriptTestSupport.h"

#include "ScriptCatalogue.h"

#include <QDate>

using testsupport::ScriptDatabaseTest;
using testsupport::serverErrorOf;

namespace {

const QString kMarker = QStringLiteral("CJ_DO2_LINKS 2023 Q2X");
const QString kGate = QStringLiteral("CURRENT_DATE < DATE '2023-12-30' OR CURRENT_DATE > DATE '2024-01-09'");

QString oldLink(int subject, int parallel)
{
    return "https://do2.edu-region.ru/local/parallels/showcourses.php?subject=" + QString::number(subject) +
           "&parallel=" + QString::number(parallel);
}

QString newLink(int subject, int grade)
{
    return "https://myschool.edu.ru/market?filters=%22subjectIds%22%3A%5B%22" + QString::number(subject) +
           "%22%5D%2C%22contentTypeIds%22%3A%5B%222%22%5D%2C%22schoolClassIds%22%3A%22" +
           QString::number(grade) + "%22";
}

class LessonLinksTest : public ScriptDatabaseTest {
protected:
    // Installs the script's text with the date gate open from `from` to `to`.
    void installWithGate(const QDate& from, const QDate& to)
    {
        QString text = script::statementText(script::statement("Q11"));
        ASSERT_EQ(text.count(kGate), 1);
        text.replace(kGate, QStringLiteral("CURRENT_DATE < DATE '%1' OR CURRENT_DATE > DATE '%2'")
                                .arg(from.toString(Qt::ISODate), to.toString(Qt::ISODate)));
        session.execute(text);
    }

    void installOpen()
    {
        const QDate today = QDate::currentDate();
        installWithGate(today.addDays(-1), today.addDays(1));
    }

    void call() { session.execute("EXECUTE PROCEDURE CJ2022_DO2_LINKS"); }

    qlonglong journal(const QVariant& subject, const QVariant& stage, int type = 0)
    {
        const qlonglong id = ++FLastId;
        session.execute(
            "INSERT INTO CJ2_JOURNAL (OBJ_ID, SUBJECT_ID, STAGE_INDEX, JOURNAL_TYPE) VALUES (:obj_id, :subject_id, "
            ":stage_index, :journal_type)",
            {id, subject, stage, type});
        return id;
    }

    // A live lesson; `flags` 1 is published, 2 completed.
    qlonglong lesson(qlonglong journal, const QDate& date, int num, int flags, const QVariant& text = {})
    {
        const qlonglong id = ++FLastId;
        session.execute(
            "INSERT INTO CJ2_JOURNAL_LESSONS (OBJ_ID, CJ_ID, LESSON_DATE, LESSON_NUM, IS_PUBLISHED,"
            " IS_COMPLETED, LESSON_EXTRA) VALUES (:obj_id, :cj_id, :lesson_date, :lesson_num, :is_published, "
            ":is_completed, :lesson_extra)",
            {id, journal, date, num, flags & 1, (flags >> 1) & 1, text});
        return id;
    }

    QVariant text(qlonglong lesson)
    {
        return session.scalar("SELECT LESSON_EXTRA FROM CJ2_JOURNAL_LESSONS WHERE OBJ_ID = :obj_id", {lesson});
    }

    QList<QVariantList> allTexts()
    {
        return session.query("SELECT OBJ_ID, LESSON_EXTRA FROM CJ2_JOURNAL_LESSONS ORDER BY OBJ_ID");
    }

    qlonglong markers()
    {
        return session.scalar("SELECT COUNT(*) FROM INFO WHERE INFO_CODE = :info_code", {kMarker}).toLongLong();
    }

private:
    qlonglong FLastId = 1000;
};

QDate dec(int day) { return QDate(2023, 12, day); }

}  // namespace

TEST_F(LessonLinksTest, WorksOnlyInsideTheDateGateBothDaysIncluded)
{
    const qlonglong l = lesson(journal(185, 37), dec(20), 1, 1);
    session.commit();
    const QDate today = QDate::currentDate();
    struct Gate { QDate from, to; bool works; };
    for (const Gate& g : {Gate{today.addDays(1), today.addDays(11), false},   // the day before
                          Gate{today, today.addDays(10), true},                 // the first day
                          Gate{today.addDays(-10), today, true},                // the last day
                          Gate{today.addDays(-11), today.addDays(-1), false}}) { // the day after
        installWithGate(g.from, g.to);
        session.commit();
        call();
        EXPECT_EQ(markers(), g.works ? 1 : 0) << g.from.toString().toStdString();
        EXPECT_EQ(text(l), g.works ? QVariant(newLink(95, 1)) : QVariant()) << g.from.toString().toStdString();
        session.rollback();
    }

    // The text as the script installs it: its window has passed.
    run({"Q11"});
    session.commit();
    call();
    EXPECT_EQ(markers(), 0);
    EXPECT_FALSE(text(l).isValid());
}

TEST_F(LessonLinksTest, WorksOnceUntilItsTransactionIsUndone)
{
    const qlonglong l = lesson(journal(185, 37), dec(20), 1, 1, "a");
    installOpen();
    session.commit();
    call();
    EXPECT_EQ(
        session.query("SELECT INFO_NAME FROM INFO WHERE INFO_CODE = :info_code AND INFO_VAL IS NOT NULL", {kMarker}),
        QList<QVariantList>({{kMarker}}));
    session.rollback();
    EXPECT_EQ(markers(), 0);
    EXPECT_EQ(text(l), QVariant("a"));

    call();
    session.commit();
    EXPECT_EQ(text(l), QVariant("a, " + newLink(95, 1)));
    session.execute("UPDATE CJ2_JOURNAL_LESSONS SET LESSON_EXTRA = 'b'");
    call();
    EXPECT_EQ(text(l), QVariant("b")) << "the marker ends every later call";
    EXPECT_EQ(markers(), 1);
}

TEST_F(LessonLinksTest, LinksTheLastLessonGivenInDecemberAndThePlannedOnesUntilTheHolidays)
{
    const qlonglong j = journal(185, 37);
    const qlonglong before1 = lesson(j, dec(20), 1, 1);
    const qlonglong before2 = lesson(j, dec(25), 2, 2);
    const qlonglong anchor = lesson(j, dec(25), 3, 1);
    const qlonglong same = lesson(j, dec(25), 4, 0);
    const qlonglong later = lesson(j, dec(27), 1, 0);
    const qlonglong deletedGiven = lesson(j, dec(28), 1, 1);
    const qlonglong deletedPlanned = lesson(j, dec(29), 1, 0);
    session.execute("UPDATE CJ2_JOURNAL_LESSONS SET DATE_DEL = CURRENT_TIMESTAMP WHERE OBJ_ID IN (:given, :planned)",
                    {deletedGiven, deletedPlanned});
    const qlonglong afterWindow = lesson(j, dec(31), 1, 0);
    const qlonglong january = lesson(j, QDate(2024, 1, 10), 1, 1);
    // A completed lesson anchors as well.
    const qlonglong j2 = journal(188, 40);
    const qlonglong completed = lesson(j2, dec(29), 2, 2);
    const qlonglong planned2 = lesson(j2, dec(30), 1, 0);
    installOpen();
    call();
    for (qlonglong linked : {anchor, same, later})
        EXPECT_EQ(text(linked), QVariant(newLink(95, 1))) << linked;
    for (qlonglong untouched : {before1, before2, deletedGiven, deletedPlanned, afterWindow, january})
        EXPECT_FALSE(text(untouched).isValid()) << untouched;
    EXPECT_EQ(text(completed), QVariant(newLink(276, 4)));
    EXPECT_EQ(text(planned2), QVariant(newLink(276, 4)));
}

TEST_F(LessonLinksTest, JournalsWithoutAnAnchorOrANewLinkStayAsTheyAre)
{
    // No published or completed lesson in December, though lessons lie in the window.
    const qlonglong j = journal(185, 37);
    lesson(j, QDate(2023, 11, 30), 1, 1);
    lesson(j, dec(10), 1, 0);
    lesson(j, dec(31), 1, 3);
    lesson(journal(185, 37, 1), dec(10), 1, 1);  // another journal type
    const qlonglong gone = journal(185, 37);
    lesson(gone, dec(10), 1, 1);
    session.execute("UPDATE CJ2_JOURNAL SET DATE_DEL = CURRENT_TIMESTAMP WHERE OBJ_ID = :obj_id", {gone});
    lesson(journal(185, 48), dec(10), 1, 1);
    lesson(journal(185, QVariant()), dec(10), 1, 1);
    lesson(journal(QVariant(), 40), dec(10), 1, 1);
    // Old links but no new one: mathematics in grade 7, biology in grade 11.
    lesson(journal(190, 43), dec(10), 1, 1, "see " + oldLink(69, 22));
    lesson(journal(197, 47), dec(10), 1, 1, oldLink(22, 34));
    const QList<QVariantList> before = allTexts();
    installOpen();
    call();
    EXPECT_EQ(allTexts(), before);
    EXPECT_EQ(markers(), 1);
}

TEST_F(LessonLinksTest, ReplacesOldLinksOrAppendsTheNewOneOnce)
{
    const QString algebra = newLink(94, 8);
    const qlonglong a = journal(172, 44);
    const qlonglong twice = lesson(a, dec(25), 3, 1, "Учебник: " + oldLink(69, 25) + " и " + oldLink(69, 25) + ".");
    const qlonglong empty = lesson(a, dec(26), 1, 0, "");
    const qlonglong null = lesson(a, dec(26), 2, 0);
    const qlonglong both = lesson(a, dec(27), 1, 0, oldLink(69, 25) + " " + algebra);
    const qlonglong otherOld = lesson(a, dec(28), 1, 0, oldLink(69, 22));
    const qlonglong e = journal(188, 39);
    const qlonglong words = lesson(e, dec(22), 1, 1, "Повторить слова");
    const qlonglong blanks = lesson(e, dec(23), 1, 0, "  ");
    // Two latest lessons with equal date and number: both anchors, the journal visited twice.
    const qlonglong r = journal(185, 38);
    const qlonglong r1 = lesson(r, dec(25), 3, 1, "x");
    const qlonglong r2 = lesson(r, dec(25), 3, 2);
    installOpen();
    call();

    EXPECT_EQ(text(twice), QVariant("Учебник: " + algebra + " и " + algebra + "."));
    EXPECT_EQ(text(empty), QVariant(algebra));
    EXPECT_EQ(text(null), QVariant(algebra));
    EXPECT_EQ(text(both), QVariant(oldLink(69, 25) + " " + algebra)) << "holds the new link: unchanged";
    EXPECT_EQ(text(otherOld), QVariant(oldLink(69, 22) + ", " + algebra));
    EXPECT_EQ(text(words), QVariant("Повторить слова, " + newLink(276, 3)));
    EXPECT_EQ(text(blanks), QVariant("  , " + newLink(276, 3)));
    EXPECT_EQ(text(r1), QVariant("x, " + newLink(95, 2)));
    EXPECT_EQ(text(r2), QVariant(newLink(95, 2)));

    // Doing the work again changes nothing.
    const QList<QVariantList> done = allTexts();
    session.execute("DELETE FROM INFO WHERE INFO_CODE = :info_code", {kMarker});
    call();
    EXPECT_EQ(allTexts(), done);
}

TEST_F(LessonLinksTest, PortalSubjectsFollowTheGradeAndOldLinksTheSitesLists)
{
    struct Case { int subject, stage; QString before, after; };
    const QList<Case> cases = {
        {186, 40, "", newLink(284, 4)},                         // literary reading up to grade 4
        {186, 41, oldLink(13, 16), newLink(283, 5)},            // literature from grade 5
        {174, 40, "t", "t"},                                    // history from grade 5 only
        {174, 41, oldLink(7, 16), newLink(282, 5)},
        {191, 42, "t", "t"},                                    // informatics from grade 7 only
        {191, 43, oldLink(75, 22), newLink(280, 7)},
        {188, 37, "t", "t"},                                    // English from grade 2 only
        {185, 46, oldLink(10, 31), newLink(95, 10)},
        {173, 45, oldLink(72, 28), newLink(94, 9)},
        {173, 41, oldLink(72, 16), oldLink(72, 16) + ", " + newLink(94, 5)},  // grade 5 keeps no 72
    };
    QList<qlonglong> lessons;
    for (const Case& c : cases)
        lessons << lesson(journal(c.subject, c.stage), dec(10), 1, 1, c.before);
    installOpen();
    call();
    for (int i = 0; i < cases.size(); ++i)
        EXPECT_EQ(text(lessons[i]), QVariant(cases[i].after)) << cases[i].subject << "/" << cases[i].stage;
}

TEST_F(LessonLinksTest, TextsAreHeldInTwoThousandCharacters)
{
    const QString link = newLink(95, 1);
    const QString fits = QString(2000 - 2 - link.size(), QChar(0x0436));  // Cyrillic: 2 bytes each in UTF-8
    const qlonglong first = lesson(journal(185, 38), dec(20), 1, 1);      // visited before the long text
    const qlonglong l = lesson(journal(185, 37), dec(20), 1, 1, fits);
    installOpen();
    session.commit();
    call();
    EXPECT_EQ(text(l), QVariant(fits + ", " + link));
    EXPECT_EQ(text(first), QVariant(newLink(95, 2)));
    session.rollback();

    // One character more fails with the server's error and undoes the call, marker included.
    session.execute("UPDATE CJ2_JOURNAL_LESSONS SET LESSON_EXTRA = :lesson_extra WHERE OBJ_ID = :obj_id",
                    {fits + "!", l});
    EXPECT_TRUE(serverErrorOf([&] { call(); }).contains("truncation"));
    EXPECT_EQ(markers(), 0);
    EXPECT_FALSE(text(first).isValid());

    // So does a stored text longer than 2000 characters, even where no link is written.
    session.execute("UPDATE CJ2_JOURNAL_LESSONS SET LESSON_EXTRA = 'short' WHERE OBJ_ID = :obj_id", {l});
    lesson(journal(190, 43), dec(20), 1, 1, QString(2001, QLatin1Char('m')));
    EXPECT_TRUE(serverErrorOf([&] { call(); }).contains("truncation"));
    EXPECT_EQ(markers(), 0);
}
