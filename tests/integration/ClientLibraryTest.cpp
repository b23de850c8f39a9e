#include "IB_Intf.h"
#include "Platform.h"
#include "TestEnv.h"
#include "fib.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using testsupport::clientLibraryName;

namespace {

// The real file behind the client library's name, found as the platform module finds it.
QString realClientFile()
{
    const QString real = QFileInfo(platform::libraryFilePath(clientLibraryName())).canonicalFilePath();
    EXPECT_FALSE(real.isEmpty()) << "the client library is not in the system's search order";
    return real;
}

// The Firebird version the client reports of itself, as major << 16 | minor: 3.0 for
// "LI-V6.3.11.33703 Firebird 3.0" (the leading number is an older product line's).
unsigned reportedVersion()
{
    char text[256] = {};
    ClientLibraryByName(clientLibraryName())->isc_get_client_version(text);
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Firebird (\\d+)\\.(\\d+)")).match(QString::fromLatin1(text));
    EXPECT_TRUE(m.hasMatch()) << text;
    return m.captured(1).toUInt() << 16 | m.captured(2).toUInt();
}

}  // namespace

TEST(ClientLibraryTest, BindsTheRealClientAndReportsItsOwnVersion)
{
    const auto lib = ClientLibraryByName(clientLibraryName());
    ASSERT_TRUE(lib->LibraryLoaded());
    EXPECT_EQ(lib->ClientLibraryName(), clientLibraryName());
    EXPECT_EQ(lib->GetClientMajorVersion(), lib->isc_get_client_major_version());
    EXPECT_EQ(lib->GetClientMinorVersion(), lib->isc_get_client_minor_version());
    EXPECT_GE(lib->GetClientMajorVersion(), 6);
    EXPECT_FALSE(lib->IsBusy());
    char version[256] = {};
    lib->isc_get_client_version(version);
    EXPECT_NE(QString::fromLatin1(version), "");
}

TEST(ClientLibraryTest, OneNameSharesOneBindingAndDifferentCaseGivesAnother)
{
    const auto first = ClientLibraryByName(clientLibraryName());
    const auto second = ClientLibraryByName(clientLibraryName());
    EXPECT_EQ(first.get(), second.get());

    // The same file under a name differing only in letter case is another binding.
    QTemporaryDir dir;
    const QString real = realClientFile();
    const QString upper = dir.filePath(QStringLiteral("LIBFBCLIENT.so.2"));
    const QString lower = dir.filePath(QStringLiteral("libfbclient.so.2"));
    ASSERT_TRUE(QFile::link(real, upper));
    ASSERT_TRUE(QFile::link(real, lower));
    const auto a = ClientLibraryByName(upper);
    const auto b = ClientLibraryByName(lower);
    EXPECT_NE(a.get(), b.get());
    EXPECT_EQ(a->ClientLibraryName(), upper);
    EXPECT_EQ(b->ClientLibraryName(), lower);
    EXPECT_EQ(ClientLibraryByName(upper).get(), a.get());
}

TEST(ClientLibraryTest, MissingFileFailsWithTheLoaderTextAndRegistersNothing)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("libabsent.so.2"));
    try {
        ClientLibraryByName(name);
        FAIL() << "loading a missing library succeeded";
    } catch (const EOSError& e) {
        EXPECT_EQ(e.ErrorCode(), 0);
        EXPECT_TRUE(e.Message().startsWith("System Error.  Code: 0.\r\n")) << e.what();
        EXPECT_TRUE(e.Message().contains(name)) << e.what();
        EXPECT_TRUE(e.Message().contains("No such file")) << e.what();
    }
    // A later request tries the load again and now finds the file.
    const QString real = realClientFile();
    ASSERT_TRUE(QFile::link(real, name));
    const auto lib = ClientLibraryByName(name);
    EXPECT_TRUE(lib->LibraryLoaded());
}

TEST(ClientLibraryTest, LibraryVersionComesFromTheRealFileName)
{
    EXPECT_EQ(platform::libraryVersion(clientLibraryName()), reportedVersion());
    EXPECT_EQ(platform::libraryVersion(QStringLiteral("libgds.so.0")), 0u);
    EXPECT_EQ(platform::libraryVersion(QString()), 0u);
    EXPECT_EQ(platform::libraryFilePath(QStringLiteral("libgds.so.0")), "");
    EXPECT_EQ(platform::libraryVersion(realClientFile()), reportedVersion());
}
