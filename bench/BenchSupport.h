#pragma once
// Shared pieces of the benchmark cases: the statements every implementation runs, the
// measurement of one case (wall time and the process's peak resident memory) and its report line.

#include <QDateTime>
#include <QString>

#include <chrono>
#include <cstdint>
#include <stdexcept>

namespace bench {

// The mixed-type table the fetch and statement cases read; created by createBenchDatabase.
// NAME is ASCII so that byte and character lengths agree across implementations; every
// seventh AMOUNT is NULL.
QString fetchSql(std::int64_t rows);  // "select first <rows> ID, BIG, AMOUNT, NAME, STAMP ..."
QString cycleSql();                   // one row by primary key, one '?' parameter (ID)
QString cycleSqlNamed();              // the same with the named parameter :ID, as the layer takes it
// The key the cycle number i looks up, spread over a table of tableRows rows.
inline int cycleKey(std::int64_t i, std::int64_t tableRows) { return static_cast<int>((i * 7919) % tableRows) + 1; }

// A row's contribution to the checksum every implementation computes the same way: the
// integer columns, the amount in hundredths (0 for NULL), the name's length and the timestamp
// in seconds since 1970. Equal checksums show that the implementations read the same values.
inline std::int64_t rowChecksum(std::int64_t id, std::int64_t big, std::int64_t cents, std::int64_t nameLength,
                                std::int64_t epochSeconds)
{
    return id + (big % 1000003) + cents + nameLength + (epochSeconds % 86400);
}

// Seconds since 1 January 1970 of a date and time read as given (no time zone applied).
std::int64_t epochSeconds(const QDateTime& value);

// Days between the client library's date origin (17 November 1858) and 1 January 1970.
constexpr std::int64_t kUnixEpochIscDate = 40587;

struct Measurement {
    double seconds = 0;
    long maxRssKb = 0;
};

double processCpuSeconds();  // user and system time of this process so far (getrusage)

// Wall time and the client's own CPU time (user and system) since construction: the CPU time
// shows what the implementation costs in the client when the wire and the server dominate.
class Stopwatch {
public:
    Stopwatch() : FStart(std::chrono::steady_clock::now()), FCpuStart(processCpuSeconds()) {}
    double seconds() const
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - FStart).count();
    }
    double cpuSeconds() const { return processCpuSeconds() - FCpuStart; }

private:
    std::chrono::steady_clock::time_point FStart;
    double FCpuStart;
};

// What a timed case took: wall seconds and the client's CPU seconds.
struct Timing {
    double seconds = 0;
    double cpuSeconds = -1;  // negative: not measured
    static Timing of(const Stopwatch& watch) { return {watch.seconds(), watch.cpuSeconds()}; }
};

long peakRssKb();  // getrusage(RUSAGE_SELF).ru_maxrss

// Prints one result line the bench command parses:
//   result case=<c> impl=<i> n=<n> seconds=<s> per_item_us=<u> maxrss_kb=<k> checksum=<x> [cpu_us=<c>]
// cpu_us (client CPU per item) is written when the timing measured it.
void report(const QString& caseName, const QString& impl, std::int64_t n, Timing timing, std::int64_t checksum);

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace bench
