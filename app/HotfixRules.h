#pragma once
// The decisions of the hotfix run that need no database: which client library to load and
// whether the product version stored in the database may receive the update.

#include <QString>
#include <functional>

namespace hotfix {

// The client library candidates of this platform: the current one, then the legacy one.
QString primaryClientLibraryName();
QString legacyClientLibraryName();

// The library's version as (major << 16) | minor, as a signed value; 0 when the file cannot be
// found or read. Never fails.
qint32 GetLibraryFileVersion(const QString& fileName);

// Chooses the client library: the legacy library only when the primary library's whole version
// is below the legacy library's minor version. `versionOf` is GetLibraryFileVersion in the run.
QString SelectClientLibrary(const std::function<qint32(const QString&)>& versionOf = GetLibraryFileVersion);

// Raises Exception with the gate's message when the version is newer than 3.23.11.28.
// `field(i)` reads column i (VER_MAJOR, VER_MINOR, VER_RELEASE, VER_BUILD) anew at each comparison.
void CheckProductVersion(const std::function<int(int)>& field);

}  // namespace hotfix
