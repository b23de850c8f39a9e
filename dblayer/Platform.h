#pragma once
// The one place that knows the operating system: dynamic libraries, the loader's errors, a
// library's version, the floating-point environment and the termination signals. No other code tests for the platform.

#include <QString>

namespace platform {

using LibraryHandle = void*;  // null: not loaded

// Loads a library by name (a bare name goes through the system's library search order).
// Returns null on failure; lastLoaderError() then tells why.
LibraryHandle loadLibrary(const QString& name);
// The address of an exported symbol, or null (lastLoaderError() tells why).
void* findSymbol(LibraryHandle library, const char* name);
void unloadLibrary(LibraryHandle library);
// True when a library of that name is loaded in the process (does not load it).
bool libraryIsLoaded(const QString& name);

struct LoaderError {
    int code = 0;   // the loader's error number; 0 where the loader has none
    QString text;   // the loader's own description
};
// The error of the last failed loadLibrary or findSymbol on this thread.
LoaderError lastLoaderError();

// The platform's file names of the Firebird client library: the current client, and the legacy
// name older installations provide.
QString primaryClientLibraryName();  // "libfbclient.so.2"
QString legacyClientLibraryName();   // "libgds.so.0"

// The file the system's search order finds for a library name (a name with a "/" is taken as a
// path), or empty when there is none. libraryVersion reads the version of this file.
QString libraryFilePath(const QString& name);

// The library's own version as (major << 16) | minor, or 0 when the file cannot be found or
// read or carries no version. Never fails otherwise.
quint32 libraryVersion(const QString& name);

// Puts the floating-point unit back into the program's default state (extended precision,
// exceptions masked); client libraries may change it while loading or during calls.
void restoreFloatingPointEnvironment();

// From now on SIGINT and SIGTERM end the process as their default action does, also after a
// library has put handlers of its own in place that call the ones they found. Signals that do
// not have their default disposition (ignored ones, say) are left as they are.
void keepDefaultTerminationSignals();

}  // namespace platform
