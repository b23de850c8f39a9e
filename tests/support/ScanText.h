#pragma once
// A text scanned with the kind and parameter rule its parser finds, as a statement scans it.

#include "SqlTxtRtns.h"

inline TSQLScanResult scanAsParsed(const QString& text, bool forServer = false)
{
    const TSQLParser parser(text);
    TSQLScanOptions options;
    options.kind = parser.SQLKind();
    options.canParamsCheck = parser.CanParamsCheck();
    options.forServer = forServer;
    return ScanSQLText(text, options);
}
