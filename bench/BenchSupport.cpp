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

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void report(const QString& caseName, const QString& impl, std::int64_t n, Timing timing, std::int64_t checksum)
{
    const double items = n > 0 ? static_cast<double>(n) : 1;
    std::printf("result case=%s impl=%s n=%lld seconds=%.6f per_item_us=%.3f maxrss_kb=%ld checksum=%lld",
                qPrintable(caseName), qPrintable(impl), static_cast<long long>(n), timing.seconds,
                n > 0 ? timing.seconds * 1e6 / items : 0, peakRssKb(), static_cast<long long>(checksum));
    if (timing.cpuSeconds >= 0)
        std::printf(" cpu_us=%.3f", timing.cpuSeconds * 1e6 / items);
    std::printf("\n");
    std::fflush(stdout);
}

}  // namespace bench
