#pragma once
// The raw client-API side of the benchmarks: the client library linked directly and called
// without any layer, the best a client can do. Also creates and fills the benchmark database.

#include <ibase.h>

#include <QString>

#include <cstdint>
#include <vector>

namespace bench {

// One attachment (through the server, lc_ctype UTF8) with one transaction of default parameters.
class RawConnection {
public:
    RawConnection(const QString& databaseName, const QString& user, const QString& password);
    ~RawConnection();
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    isc_db_handle* db() { return &FDb; }
    isc_tr_handle* tr() { return &FTr; }
    void executeImmediate(const QByteArray& sql);
    void commit();  // commits and starts the next transaction

private:
    isc_db_handle FDb = 0;
    isc_tr_handle FTr = 0;
};

// An output descriptor for n columns; allocate() gives every described column a buffer.
class OutputArea {
public:
    explicit OutputArea(int n);
    XSQLDA* da() { return reinterpret_cast<XSQLDA*>(FBytes.data()); }
    void resize(int n);
    void allocate();

private:
    std::vector<char> FBytes;
    std::vector<std::vector<char>> FData;
    std::vector<short> FNulls;
};

// Throws Failure with the client library's message when status holds an error.
void check(const ISC_STATUS* status, const char* what);

// Creates the benchmark database at databaseName ("host:path") and fills BENCH_ROWS with rows rows.
void createBenchDatabase(const QString& databaseName, const QString& user, const QString& password, std::int64_t rows);
void dropDatabase(const QString& databaseName, const QString& user, const QString& password);

// Reads rows rows of fetchSql with isc_dsql_fetch and direct reads of the output buffers.
// With toQtTypes the values are also turned into the types a Qt program holds (QString from
// UTF-8, QDateTime), to separate the cost of those conversions from the layer's own cost.
std::int64_t rawFetch(RawConnection& conn, std::int64_t rows, bool toQtTypes);
// cycles prepare, execute, fetch one row, close cycles of cycleSql on one statement handle.
std::int64_t rawCycles(RawConnection& conn, std::int64_t cycles, std::int64_t tableRows);

}  // namespace bench
