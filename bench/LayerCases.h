#pragma once
// The layer's side of the fetch and statement benchmarks: TpFIBDatabase, TpFIBTransaction and
// TpFIBQuery configured as the main window configures its own, over the client library the
// layer loads at run time.

#include "BenchSupport.h"
#include "ScriptCases.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace bench {

// The fetch statement through TpFIBQuery: ExecQuery, then the accessors and Next to the end.
std::int64_t layerFetch(const QString& databaseName, std::int64_t rows, Timing* timing);
// cycles of setting the parameter, ExecQuery (which prepares), reading the row, Close and
// FreeHandle of the statement select.
std::int64_t layerCycles(const QString& databaseName, std::int64_t cycles, std::int64_t tableRows, Timing* timing);

// The hotfix run's sequence through the components, as the main window runs it without the
// window: DB2, Tr2 and QQ (committed, closed), then DB1, Tr1, VerQuery and Q1 to Q11, committed.
// The seconds of each step, the attachments included ("open-DB2", "QQ", "commit-Tr2", ...).
std::vector<StatementTime> layerHotfix(const QString& databaseName);

}  // namespace bench
