#include "BenchSupport.h"

#include <QDateTime>

#include <sys/resource.h>

#include <cstdio>

namespace bench {

QString fetchSql(std::int64_t rows)
{
    return QStringLiteral("select first %1 ID, BIG, AMOUNT, NAME, STAMP from BENCH_ROWS").arg(rows);
}

QString cycleSql() { return QStringLiteral("select NAME, AMOUNT from BENCH_ROWS where ID = ?"); }

QString cycleSqlNamed() { return QStringLiteral("select NAME, AMOUNT from BENCH_ROWS where ID = :ID"); }

std::int64_t epochSeconds(const QDateTime& value)
{
    return (value.date().toJulianDay() - 2440588) * 86400 + value.time().msecsSinceStartOfDay() / 1000;
}

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void report(const QString& caseName, const QString& impl, std::int64_t n, double seconds, std::int64_t checksum)
{
    const double perItemUs = n > 0 ? seconds * 1e6 / static_cast<double>(n) : 0;
    std::printf("result case=%s impl=%s n=%lld seconds=%.6f per_item_us=%.3f maxrss_kb=%ld checksum=%lld\n",
                qPrintable(caseName), qPrintable(impl), static_cast<long long>(n), seconds, perItemUs, peakRssKb(),
                static_cast<long long>(checksum));
    std::fflush(stdout);
}

}  // namespace bench
