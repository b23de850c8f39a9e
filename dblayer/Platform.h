#pragma once
// The one place that knows the operating system: dynamic libraries, the loader's errors, a
// library's version, 8-bit texts in the system's code page, the floating-point environment and the
// termination signals. No other code tests for the platform. Each system has its own source
// (PlatformLinux.cpp, PlatformWindows.cpp); the Windows one uses nothing of Qt but QString.

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
    int code = 0;   // the loader's error number (GetLastError on Windows); 0 where there is none
    QString text;   // the system's description of it
};
// The error of the last failed loadLibrary or findSymbol on this thread.
LoaderError lastLoaderError();

// The platform's file names of the Firebird client library: the current client, and the legacy
// name older installations provide.
QString primaryClientLibraryName();  // "libfbclient.so.2", "fbclient.dll"
QString legacyClientLibraryName();   // "libgds.so.0", "gds32.dll"

// The file the system's search order finds for a library name (a name with a folder is taken as
// a path), or empty when there is none. libraryVersion reads the version of this file.
QString libraryFilePath(const QString& name);

// The library's own version as (major << 16) | minor, or 0 when the file cannot be found or
// read or carries no version: the version in the real file's name on Linux, the file version of its
// version resource on Windows. Never shows a system dialog; never fails otherwise.
quint32 libraryVersion(const QString& name);

// Decodes 8-bit text from the system's narrow code page (the ANSI code page on Windows, UTF-8
// on Linux), as the client library writes its messages.
QString fromSystemCodePage(const char* bytes, qsizetype length);
// Takes text decoded by fromSystemCodePage back to its bytes and decodes those as UTF-8: for
// messages that really were UTF-8 (exceptions raised by procedural code over a UTF-8 attachment).
QString redecodeAsUtf8(const QString& text);

// Puts the floating-point unit back into the program's default state (extended precision,
// exceptions masked, round to nearest); client libraries may change it while loading or during
// calls. Common to both systems (PlatformFloatingPoint.cpp).
void restoreFloatingPointEnvironment();

// From now on SIGINT and SIGTERM end the process as their default action does, also after a
// library has put handlers of its own in place that call the ones they found. Signals that do
// not have their default disposition (ignored ones, say) are left as they are.
void keepDefaultTerminationSignals();

}  // namespace platform
