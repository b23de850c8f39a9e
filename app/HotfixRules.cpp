#include "HotfixRules.h"

#include "Platform.h"
#include "fib.h"

namespace hotfix {

namespace {
enum VersionColumn { kMajor = 0, kMinor = 1, kRelease = 2, kBuild = 3 };
}  // namespace

QString primaryClientLibraryName() { return platform::primaryClientLibraryName(); }
QString legacyClientLibraryName() { return platform::legacyClientLibraryName(); }

qint32 GetLibraryFileVersion(const QString& fileName)
{
    try {
        return static_cast<qint32>(platform::libraryVersion(fileName));
    } catch (...) {
        // A version that cannot be read counts as no library at all.
        return 0;
    }
}

QString SelectClientLibrary(const std::function<qint32(const QString&)>& versionOf)
{
    const qint32 primary = versionOf(primaryClientLibraryName());
    const qint32 legacyMinor = versionOf(legacyClientLibraryName()) & 0xFFFF;
    return primary < legacyMinor ? legacyClientLibraryName() : primaryClientLibraryName();
}

void CheckProductVersion(const std::function<int(int)>& field)
{
    const QString tooNew = QStringLiteral("Версия Тарвелл не соответствует требуемой");
    if (field(kMajor) > 3)
        throw Exception(tooNew);
    if (field(kMajor) != 3)
        return;
    if (field(kMinor) > 23)
        throw Exception(tooNew);
    if (field(kMinor) != 23)
        return;
    if (field(kRelease) > 11)
        throw Exception(tooNew);
    if (field(kRelease) == 11 && field(kBuild) > 28)
        throw Exception(QStringLiteral("Версия Тарвелл не соответствует требуемой (не старше 3.23.11.28)"));
}

}  // namespace hotfix
