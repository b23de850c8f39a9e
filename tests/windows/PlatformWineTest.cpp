// The Windows side of the platform module, run under Wine in code page 1251. Beside this
// program: VersionedLibrary.dll (file version 4.2.17.33, product version 5.0).
#include "Platform.h"

#include <windows.h>
#include <xmmintrin.h>

#include <cstdio>
#include <string>

namespace {

int gPassed = 0;
int gFailed = 0;

std::string utf8(const QString& text)
{
    const wchar_t* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    std::string bytes(text.size() * 3, '\0');
    bytes.resize(WideCharToMultiByte(CP_UTF8, 0, wide, int(text.size()), bytes.data(), int(bytes.size()), nullptr, nullptr));
    return bytes;
}

void check(bool ok, const char* what, const std::string& detail = {})
{
    ++(ok ? gPassed : gFailed);
    if (!ok)
        std::printf("FAILED: %s %s\n", what, detail.c_str());
}

QString wide(const wchar_t* text) { return QString::fromWCharArray(text, lstrlenW(text)); }

unsigned short x87ControlWord()
{
    unsigned short word = 0;
    asm volatile("fnstcw %0" : "=m"(word));
    return word;
}

void checkVersions()
{
    const QString library = QStringLiteral("VersionedLibrary.dll");
    SetErrorMode(0);
    check(platform::libraryVersion(library) == ((4u << 16) | 2u), "file version from the version resource",
          std::to_string(platform::libraryVersion(library)));
    check(GetErrorMode() == 0, "error mode restored after reading a version");
    check(platform::libraryVersion(QStringLiteral("PlatformWineTest.exe")) == 0, "no version resource gives 0");
    check(platform::libraryVersion(QStringLiteral("NoSuchLibrary.dll")) == 0, "missing file gives version 0");
    check(!platform::libraryFilePath(library).isEmpty(), "search order finds the library");
    check(platform::libraryFilePath(QStringLiteral("NoSuchLibrary.dll")).isEmpty(), "search order finds no missing file");
}

void checkLoading()
{
    check(platform::loadLibrary(QStringLiteral("NoSuchLibrary.dll")) == nullptr, "missing library not loaded");
    const platform::LoaderError missing = platform::lastLoaderError();
    wchar_t* expected = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   ERROR_MOD_NOT_FOUND, 0, reinterpret_cast<wchar_t*>(&expected), 0, nullptr);
    std::wstring trimmed = expected ? expected : L"";
    LocalFree(expected);
    trimmed.erase(trimmed.find_last_not_of(L"\r\n ") + 1);
    check(missing.code == 126, "missing library gives code 126", std::to_string(missing.code));
    check(!trimmed.empty() && missing.text == wide(trimmed.c_str()), "missing library gives the system's text",
          utf8(missing.text));
    check(GetErrorMode() == 0, "error mode restored after loading");

    const QString name = QStringLiteral("VersionedLibrary.dll");
    platform::LibraryHandle library = platform::loadLibrary(name);
    check(library != nullptr && platform::libraryIsLoaded(name), "library loaded");
    check(platform::findSymbol(library, "isc_no_such_entry") == nullptr && platform::lastLoaderError().code == 127,
          "missing entry point not found, code 127", utf8(platform::lastLoaderError().text));
    auto disturb = reinterpret_cast<void (*)()>(platform::findSymbol(library, "disturbFloatingPoint"));
    check(disturb != nullptr, "entry point found");
    if (disturb) {
        disturb();
        check(x87ControlWord() == 0x027F && (_mm_getcsr() & ~0x3Fu) == 0x7F80u, "the call changed the control words");
        platform::restoreFloatingPointEnvironment();
        check(x87ControlWord() == 0x037F && (_mm_getcsr() & ~0x3Fu) == 0x1F80u, "control words restored",
              std::to_string(x87ControlWord()) + " " + std::to_string(_mm_getcsr()));
    }
    platform::unloadLibrary(library);
    check(!platform::libraryIsLoaded(name), "library unloaded");
}

// Firebird writes messages in the ANSI code page, but exceptions of procedural code arrive in
// UTF-8 over a UTF-8 attachment and must be decoded again. "И" is D0 98 in UTF-8, and 98 is the
// one byte code page 1251 leaves unassigned.
void checkCodePage1251()
{
    check(GetACP() == 1251, "the prefix runs in code page 1251 (LC_ALL=ru_RU.UTF-8)", std::to_string(GetACP()));
    const char ansi[] = "\xCE\xF8\xE8\xE1\xEA\xE0";
    check(platform::fromSystemCodePage(ansi, 6) == wide(L"Ошибка"), "code page 1251 text decodes");

    const QString message = wide(L"Исключение DATA_ERROR: Не найден объект Ш.");
    const std::string bytes = utf8(message);
    const QString asAnsi = platform::fromSystemCodePage(bytes.data(), qsizetype(bytes.size()));
    check(!(asAnsi == message), "UTF-8 bytes read as code page 1251 differ", utf8(asAnsi));
    check(platform::redecodeAsUtf8(asAnsi) == message, "redecoded as UTF-8", utf8(platform::redecodeAsUtf8(asAnsi)));
    check(platform::fromSystemCodePage("", 0).isEmpty() && platform::redecodeAsUtf8(QString()).isEmpty(), "empty texts");
}

}  // namespace

int main()
{
    checkVersions();
    checkLoading();
    checkCodePage1251();
    std::printf("%d passed, %d failed\n", gPassed, gFailed);
    return gFailed == 0 ? 0 : 1;
}
