#pragma once
// The script side of the benchmarks, measured in the server through the raw client API: the
// hotfix's statements executed as the run executes them, the installed exports, the school-wide
// period repair and the value post-processing procedure per call.

#include "RawClient.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace bench {

// The hotfix's statements as one isql script: the purge committed on its own, then the version
// query and Q1 to Q11 in one transaction (AUTODDL off), committed at the end.
QString isqlScript();

// Executes text through the raw API (DDL with isc_dsql_execute_immediate, the rest prepared,
// executed and, for selects, fetched to the end); returns the rows fetched.
std::int64_t rawExecute(RawConnection& conn, const QByteArray& text);

// This attachment's work so far, from the monitoring tables, read in a transaction of its own so
// that the snapshot is fresh and the work measured stays uncommitted. The difference across a
// case is the case's work, free of the machine's noise.
struct AttachmentWork {
    std::int64_t recordReads = 0;  // records read, in natural order and through indexes
    std::int64_t pageFetches = 0;  // pages asked of the server's page cache
    std::int64_t pageReads = 0;    // pages the cache had to read from the file
    AttachmentWork operator-(const AttachmentWork& o) const
    {
        return {recordReads - o.recordReads, pageFetches - o.pageFetches, pageReads - o.pageReads};
    }
};
AttachmentWork attachmentWork(RawConnection& conn);

struct StatementTime {
    QString component;
    double seconds;
};
// The hotfix run's statements through the raw API, in the run's order and transactions,
// committed; the time of each statement (the commits under "commit").
std::vector<StatementTime> rawHotfix(const QString& databaseName, const QString& user, const QString& password);

// Seconds per VAL_ADD_AFTER call, each call a prepared statement executed and fetched, all in
// one transaction that is rolled back. variant "tag": tag OU_OPF on the school (a list value's
// code written through VAL_ADD); "param": parameter 1170 (a period's kind, verified by
// PERIOD_VERIFY, which writes parameter 1171) on the school's periods in turn.
std::vector<double> valAddAfterCalls(RawConnection& conn, const QString& variant, int calls);

}  // namespace bench
