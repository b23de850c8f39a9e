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
