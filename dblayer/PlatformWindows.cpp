// The Windows side of the platform module. It uses nothing of Qt but QString, whose UTF-16 text
// is what the wide system calls take.
#include "Platform.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace platform {

namespace {

thread_local LoaderError tLastError;

const wchar_t* wide(const QString& text) { return reinterpret_cast<const wchar_t*>(text.utf16()); }

// The system's text for an error code, without the line break it ends with.
QString systemErrorText(DWORD code)
{
    wchar_t* buffer = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    DWORD length = FormatMessageW(flags, nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const std::unique_ptr<wchar_t, decltype(&LocalFree)> owner(buffer, &LocalFree);
    while (length > 0 && (buffer[length - 1] == L'\r' || buffer[length - 1] == L'\n' || buffer[length - 1] == L' '))
        --length;
    return QString::fromWCharArray(buffer, length);
}

void noteLastError()
{
    const DWORD code = GetLastError();
    tLastError = LoaderError{static_cast<int>(code), systemErrorText(code)};
}

// While it lives, critical errors (a drive without a disk on the search path) fail quietly
// instead of showing a system dialog; the previous mode comes back on every path.
class QuietErrorMode {
public:
    QuietErrorMode() : FPrevious(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~QuietErrorMode() { SetErrorMode(FPrevious); }
    QuietErrorMode(const QuietErrorMode&) = delete;
    QuietErrorMode& operator=(const QuietErrorMode&) = delete;

private:
    UINT FPrevious;
};

}  // namespace

LibraryHandle loadLibrary(const QString& name)
{
    const QuietErrorMode quiet;
    HMODULE module = LoadLibraryW(wide(name));
    if (!module)
        noteLastError();
    return module;
}

void* findSymbol(LibraryHandle library, const char* name)
{
    void* address = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
    if (!address)
        noteLastError();
    return address;
}

void unloadLibrary(LibraryHandle library)
{
    if (library)
        FreeLibrary(static_cast<HMODULE>(library));
}

bool libraryIsLoaded(const QString& name) { return GetModuleHandleW(wide(name)) != nullptr; }

LoaderError lastLoaderError() { return tLastError; }

QString primaryClientLibraryName() { return QStringLiteral("fbclient.dll"); }

QString legacyClientLibraryName() { return QStringLiteral("gds32.dll"); }

QString libraryFilePath(const QString& name)
{
    if (name.isEmpty())
        return {};
    std::vector<wchar_t> path(MAX_PATH);
    DWORD length = 0;
    while ((length = SearchPathW(nullptr, wide(name), nullptr, DWORD(path.size()), path.data(), nullptr)) >= path.size())
        path.resize(length);
    const DWORD attributes = length ? GetFileAttributesW(path.data()) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {};
    return QString::fromWCharArray(path.data(), length);
}

// The most significant half of the fixed file version of the file's version resource; a bare
// name is found through the library search order.
quint32 libraryVersion(const QString& name)
{
    if (name.isEmpty())
        return 0;
    const QuietErrorMode quiet;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(wide(name), &ignored);
    if (size == 0)
        return 0;
    std::vector<unsigned char> info(size);
    if (!GetFileVersionInfoW(wide(name), 0, size, info.data()))
        return 0;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedLength = 0;
    if (!VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedLength) || !fixed
        || fixedLength < sizeof(VS_FIXEDFILEINFO))
        return 0;
    return fixed->dwFileVersionMS;
}

// ---------------------------------------------------------------- 8-bit texts

namespace {

QString decode(UINT codePage, const char* bytes, qsizetype length)
{
    const int size = static_cast<int>(length);
    const int wideLength = size > 0 ? MultiByteToWideChar(codePage, 0, bytes, size, nullptr, 0) : 0;
    std::vector<wchar_t> text(wideLength);
    if (wideLength > 0)
        MultiByteToWideChar(codePage, 0, bytes, size, text.data(), wideLength);
    return QString::fromWCharArray(text.data(), wideLength);
}

std::string encode(UINT codePage, const QString& text)
{
    const int size = static_cast<int>(text.size());
    const int length = size > 0 ? WideCharToMultiByte(codePage, 0, wide(text), size, nullptr, 0, nullptr, nullptr) : 0;
    std::string bytes(length, '\0');
    if (length > 0)
        WideCharToMultiByte(codePage, 0, wide(text), size, bytes.data(), length, nullptr, nullptr);
    return bytes;
}

}  // namespace

QString fromSystemCodePage(const char* bytes, qsizetype length) { return decode(CP_ACP, bytes, length); }

QString redecodeAsUtf8(const QString& text)
{
    const std::string bytes = encode(CP_ACP, text);
    return decode(CP_UTF8, bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// A windowed program gets no SIGINT or SIGTERM: closing or ending the session reaches it as
// window messages, so there is nothing to keep.
void keepDefaultTerminationSignals() {}

}  // namespace platform
