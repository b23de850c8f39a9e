// The benchmark harness. One case per process, so that the peak memory it reports is the
// case's own; scripts/bench runs the cases and writes docs/benchmarks.md from their lines.
//
//   patchwren_bench create <database> <rows>              the fetch table, filled once
//   patchwren_bench drop <database>
//   patchwren_bench fetch <impl> <database> <rows>        impl: raw, raw-qt, qt
//   patchwren_bench cycles <impl> <database> <cycles> <table rows>
//   patchwren_bench isql-script                            the hotfix's texts as one isql script
//   patchwren_bench hotfix raw <database>                  the hotfix's statements, time of each
//   patchwren_bench export <procedure> <database> <scale>  one export, every row fetched
//   patchwren_bench fix <database> <scale>                 FIX_PERIOD_FIELDS, rolled back
//   patchwren_bench valadd <database> tag|param <calls>     VAL_ADD_AFTER, median per call
//   patchwren_bench impls fetch|cycles                     the implementations of a case
//   patchwren_bench smoke                                  every case at a tiny size
//
// <database> is a server name ("127.0.0.1:/path"); credentials come from PATCHWREN_TEST_USER and
// PATCHWREN_TEST_PASSWORD (else SYSDBA and the Firebird package's password file).

#include "BenchSupport.h"
#include "LayerCases.h"
#include "QtPeer.h"
#include "RawClient.h"
#include "ScriptCases.h"
#include "TestEnv.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTextStream>
#include <QStringList>

#include <cstdio>
#include <algorithm>
#include <functional>
#include <map>

namespace {

using bench::Failure;

std::int64_t number(const QString& text)
{
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok || value < 0)
        throw Failure(("not a count: " + text).toStdString());
    return value;
}

// A case's checksum and what its work took, the attachment not counted.
struct Outcome {
    std::int64_t sum = 0;
    bench::Timing timing;
};
template <typename Work>
Outcome timed(Work work)
{
    bench::Stopwatch watch;
    const std::int64_t sum = work();
    return {sum, bench::Timing::of(watch)};
}

using FetchCase = std::function<Outcome(const QString& database, std::int64_t rows)>;
using CycleCase = std::function<Outcome(const QString& database, std::int64_t cycles, std::int64_t tableRows)>;

const std::map<QString, FetchCase>& fetchCases()
{
    static const std::map<QString, FetchCase> cases = {
        {QStringLiteral("raw"),
         [](const QString& db, std::int64_t rows) {
             bench::RawConnection conn(db, testsupport::testUser(), testsupport::testPassword());
             return timed([&] { return bench::rawFetch(conn, rows, false); });
         }},
        {QStringLiteral("raw-qt"),
         [](const QString& db, std::int64_t rows) {
             bench::RawConnection conn(db, testsupport::testUser(), testsupport::testPassword());
             return timed([&] { return bench::rawFetch(conn, rows, true); });
         }},
        {QStringLiteral("qt"),
         [](const QString& db, std::int64_t rows) {
             bench::QtPeerConnection conn(db, testsupport::testUser(), testsupport::testPassword());
             return timed([&] { return conn.fetch(rows); });
         }},
        {QStringLiteral("layer"),
         [](const QString& db, std::int64_t rows) {
             Outcome outcome;
             outcome.sum = bench::layerFetch(db, rows, &outcome.timing);
             return outcome;
         }},
    };
    return cases;
}

const std::map<QString, CycleCase>& cycleCases()
{
    static const std::map<QString, CycleCase> cases = {
        {QStringLiteral("raw"),
         [](const QString& db, std::int64_t cycles, std::int64_t tableRows) {
             bench::RawConnection conn(db, testsupport::testUser(), testsupport::testPassword());
             return timed([&] { return bench::rawCycles(conn, cycles, tableRows); });
         }},
        {QStringLiteral("qt"),
         [](const QString& db, std::int64_t cycles, std::int64_t tableRows) {
             bench::QtPeerConnection conn(db, testsupport::testUser(), testsupport::testPassword());
             return timed([&] { return conn.cycles(cycles, tableRows); });
         }},
        {QStringLiteral("layer"),
         [](const QString& db, std::int64_t cycles, std::int64_t tableRows) {
             Outcome outcome;
             outcome.sum = bench::layerCycles(db, cycles, tableRows, &outcome.timing);
             return outcome;
         }},
    };
    return cases;
}

template <typename Map>
const typename Map::mapped_type& pick(const Map& cases, const QString& impl)
{
    const auto it = cases.find(impl);
    if (it == cases.end())
        throw Failure(("unknown implementation: " + impl).toStdString());
    return it->second;
}

std::int64_t runFetch(const QString& impl, const QString& db, std::int64_t rows)
{
    const auto& run = pick(fetchCases(), impl);
    const Outcome outcome = run(db, rows);
    bench::report(QStringLiteral("fetch"), impl, rows, outcome.timing, outcome.sum);
    return outcome.sum;
}

std::int64_t runCycles(const QString& impl, const QString& db, std::int64_t cycles, std::int64_t tableRows)
{
    const auto& run = pick(cycleCases(), impl);
    const Outcome outcome = run(db, cycles, tableRows);
    bench::report(QStringLiteral("cycles"), impl, cycles, outcome.timing, outcome.sum);
    return outcome.sum;
}

// An export's name goes into the statement text: only plain upper-case identifiers pass.
bool isProcedureName(const QString& name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Z][A-Z0-9_$]{0,62}$"));
    return plain.match(name).hasMatch();
}

using HotfixCase = std::function<std::vector<bench::StatementTime>(const QString& database)>;

const std::map<QString, HotfixCase>& hotfixCases()
{
    static const std::map<QString, HotfixCase> cases = {
        {QStringLiteral("raw"),
         [](const QString& db) { return bench::rawHotfix(db, testsupport::testUser(), testsupport::testPassword()); }},
        {QStringLiteral("layer"), [](const QString& db) { return bench::layerHotfix(db); }},
    };
    return cases;
}

void runHotfix(const QString& impl, const QString& db)
{
    double total = 0;
    for (const auto& t : pick(hotfixCases(), impl)(db)) {
        bench::report(QStringLiteral("hotfix-") + t.component, impl, 1, {t.seconds}, 0);
        total += t.seconds;
    }
    bench::report(QStringLiteral("hotfix"), impl, 1, {total}, 0);
}

void runServerCase(const QString& caseName, const QString& db, std::int64_t scale, const QByteArray& text)
{
    bench::RawConnection conn(db, testsupport::testUser(), testsupport::testPassword());
    const bench::AttachmentWork before = bench::attachmentWork(conn);
    bench::Stopwatch watch;
    const std::int64_t rows = bench::rawExecute(conn, text);
    const double seconds = watch.seconds();
    const bench::AttachmentWork work = bench::attachmentWork(conn) - before;
    bench::report(caseName, QStringLiteral("server"), scale, {seconds}, rows);
    std::printf("result case=%s impl=server-work n=%lld records=%lld fetches=%lld page_reads=%lld\n",
                qPrintable(caseName), static_cast<long long>(scale), static_cast<long long>(work.recordReads),
                static_cast<long long>(work.pageFetches), static_cast<long long>(work.pageReads));
}

// The median of the calls, as the seconds of one item; p90 and the calls in the line's tail.
void runValAdd(const QString& db, const QString& variant, int calls)
{
    bench::RawConnection conn(db, testsupport::testUser(), testsupport::testPassword());
    std::vector<double> seconds = bench::valAddAfterCalls(conn, variant, calls);
    std::sort(seconds.begin(), seconds.end());
    const double median = seconds.empty() ? 0 : seconds[seconds.size() / 2];
    const double p90 = seconds.empty() ? 0 : seconds[seconds.size() * 9 / 10];
    bench::report(QStringLiteral("valadd-") + variant, QStringLiteral("server"), 1, {median}, calls);
    std::printf("valadd %s median_us=%.1f p90_us=%.1f calls=%d\n", qPrintable(variant), median * 1e6, p90 * 1e6, calls);
}

// Every case at a tiny size in one process; fails only when a case fails or when two
// implementations read different values. No timing is judged.
int smoke()
{
    const QString user = testsupport::testUser();
    const QString password = testsupport::testPassword();
    const QString db = testsupport::serverName(testsupport::uniqueDatabasePath(QStringLiteral("bench-smoke")));
    constexpr std::int64_t rows = 500;
    bench::createBenchDatabase(db, user, password, rows);
    int failures = 0;
    try {
        const auto agree = [&failures](const char* what, const std::map<QString, std::int64_t>& sums) {
            for (const auto& [impl, sum] : sums)
                if (sum != sums.begin()->second) {
                    std::fprintf(stderr, "%s: %s read %lld, %s read %lld\n", what, qPrintable(impl),
                                 static_cast<long long>(sum), qPrintable(sums.begin()->first),
                                 static_cast<long long>(sums.begin()->second));
                    ++failures;
                }
        };
        std::map<QString, std::int64_t> fetchSums;
        for (const auto& entry : fetchCases())
            fetchSums[entry.first] = runFetch(entry.first, db, rows);
        agree("fetch", fetchSums);
        std::map<QString, std::int64_t> cycleSums;
        for (const auto& entry : cycleCases())
            cycleSums[entry.first] = runCycles(entry.first, db, 50, rows);
        agree("cycles", cycleSums);
    } catch (...) {
        bench::dropDatabase(db, user, password);
        throw;
    }
    bench::dropDatabase(db, user, password);
    return failures == 0 ? 0 : 1;
}

template <typename Map>
void printKeys(const Map& cases)
{
    for (const auto& entry : cases)
        std::printf("%s\n", qPrintable(entry.first));
}

int usage()
{
    std::fprintf(stderr,
                 "usage: patchwren_bench create <database> <rows> | drop <database> |\n"
                 "       impls fetch|cycles | fetch <impl> <database> <rows> | cycles <impl> <database> <cycles> <table rows> | smoke\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    try {
        const QString command = args.value(0);
        if (command == QLatin1String("create") && args.size() == 3)
            bench::createBenchDatabase(args[1], testsupport::testUser(), testsupport::testPassword(), number(args[2]));
        else if (command == QLatin1String("drop") && args.size() == 2)
            bench::dropDatabase(args[1], testsupport::testUser(), testsupport::testPassword());
        else if (command == QLatin1String("fetch") && args.size() == 4)
            runFetch(args[1], args[2], number(args[3]));
        else if (command == QLatin1String("cycles") && args.size() == 5)
            runCycles(args[1], args[2], number(args[3]), number(args[4]));
        else if (command == QLatin1String("isql-script") && args.size() == 1)
            QTextStream(stdout) << bench::isqlScript();
        else if (command == QLatin1String("hotfix") && args.size() == 3)
            runHotfix(args[1], args[2]);
        else if (command == QLatin1String("export") && args.size() == 4 && isProcedureName(args[1]))
            runServerCase(QStringLiteral("export-") + args[1], args[2], number(args[3]),
                          QStringLiteral("SELECT * FROM %1(NULL)").arg(args[1]).toUtf8());
        else if (command == QLatin1String("fix") && args.size() == 3)
            runServerCase(QStringLiteral("fix"), args[1], number(args[2]), "EXECUTE PROCEDURE FIX_PERIOD_FIELDS");
        else if (command == QLatin1String("valadd") && args.size() == 4)
            runValAdd(args[1], args[2], static_cast<int>(number(args[3])));
        else if (command == QLatin1String("impls") && args.value(1) == QLatin1String("fetch"))
            printKeys(fetchCases());
        else if (command == QLatin1String("impls") && args.value(1) == QLatin1String("cycles"))
            printKeys(cycleCases());
        else if (command == QLatin1String("impls") && args.value(1) == QLatin1String("hotfix"))
            printKeys(hotfixCases());
        else if (command == QLatin1String("smoke"))
            return smoke();
        else
            return usage();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "patchwren_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
