#include "Platform.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cfenv>

namespace {

#if defined(__i386__) || defined(__x86_64__)
unsigned short x87ControlWord()
{
    unsigned short word = 0;
    asm volatile("fnstcw %0" : "=m"(word));
    return word;
}

void setX87ControlWord(unsigned short word) { asm volatile("fldcw %0" : : "m"(word)); }

unsigned mxcsr()
{
    unsigned word = 0;
    asm volatile("stmxcsr %0" : "=m"(word));
    return word;
}

void setMxcsr(unsigned word) { asm volatile("ldmxcsr %0" : : "m"(word)); }
#endif

}  // namespace

TEST(PlatformTest, FloatingPointEnvironmentIsRestored)
{
    std::fesetround(FE_UPWARD);
    platform::restoreFloatingPointEnvironment();
    EXPECT_EQ(std::fegetround(), FE_TONEAREST);
#if defined(__i386__) || defined(__x86_64__)
    // Each unit's control word alone, as a client library may leave one of them changed.
    setX87ControlWord(0x027F);  // 53-bit mantissa
    platform::restoreFloatingPointEnvironment();
    EXPECT_EQ(x87ControlWord(), 0x037F);

    setMxcsr(0x1F80 | 0x6000);  // round toward zero in the SSE unit only
    platform::restoreFloatingPointEnvironment();
    EXPECT_EQ(mxcsr() & ~0x3Fu, 0x1F80u);
    EXPECT_EQ(x87ControlWord(), 0x037F);
#endif
}

TEST(PlatformTest, LibraryFilesAndVersions)
{
    const QString fake = QStringLiteral(PATCHWREN_FAKE_CLIENT5);
    EXPECT_EQ(platform::libraryFilePath(fake), fake);
    EXPECT_EQ(platform::libraryVersion(fake), 0u);  // no version in the file name

    QTemporaryDir dir;
    const QString absent = dir.filePath(QStringLiteral("libabsent.so.3.0.1"));
    EXPECT_EQ(platform::libraryFilePath(absent), "");
    EXPECT_EQ(platform::libraryVersion(absent), 0u);
    EXPECT_EQ(platform::libraryVersion(dir.path()), 0u);  // a directory is no library

    platform::LibraryHandle handle = platform::loadLibrary(fake);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(platform::findSymbol(handle, "isc_no_such_entry"), nullptr);
    const platform::LoaderError error = platform::lastLoaderError();
    EXPECT_EQ(error.code, 0);
    EXPECT_TRUE(error.text.contains("isc_no_such_entry")) << error.text.toStdString();
    EXPECT_NE(platform::findSymbol(handle, "isc_sqlcode"), nullptr);
    platform::unloadLibrary(handle);
}
