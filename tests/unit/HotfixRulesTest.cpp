#include "HotfixRules.h"

#include "fib.h"

#include <QMap>
#include <array>
#include <gtest/gtest.h>

namespace {

QString chosen(qint32 primary, qint32 legacy)
{
    const QMap<QString, qint32> versions = {{hotfix::primaryClientLibraryName(), primary},
                                            {hotfix::legacyClientLibraryName(), legacy}};
    return hotfix::SelectClientLibrary([&](const QString& name) { return versions.value(name); });
}

// The gate's message for a version, or an empty text when it passes.
QString gateMessage(std::array<int, 4> version)
{
    try {
        hotfix::CheckProductVersion([&](int i) { return version.at(i); });
        return {};
    } catch (const Exception& e) {
        return e.Message();
    }
}

}  // namespace

TEST(SelectClientLibrary, LegacyLibraryOnlyWhenPrimaryIsBelowItsMinorVersion)
{
    const QString primary = hotfix::primaryClientLibraryName();
    const QString legacy = hotfix::legacyClientLibraryName();
    EXPECT_EQ(chosen(0, 0), primary);                  // neither installed
    EXPECT_EQ(chosen(3 << 16, 0), primary);            // only the primary
    EXPECT_EQ(chosen(0, (6 << 16) | 5), legacy);       // only the legacy, minor above 0
    EXPECT_EQ(chosen(0, 6 << 16), primary);            // only the legacy, minor 0
    EXPECT_EQ(chosen(1 << 16, (2 << 16) | 9), primary);  // a primary of major 1 always wins
    EXPECT_EQ(chosen(3, 5), legacy);                   // both: 0.3 is below minor 5
    EXPECT_EQ(chosen(-1, 5), legacy);                  // compared as signed values
}

TEST(SelectClientLibrary, ReadsTheRealLibraryVersions)
{
    // The primary client is installed on every machine that builds this project.
    EXPECT_GE(hotfix::GetLibraryFileVersion(hotfix::primaryClientLibraryName()), 3 << 16);
    EXPECT_EQ(hotfix::GetLibraryFileVersion(QStringLiteral("libno-such-client.so.9")), 0);
    EXPECT_EQ(hotfix::SelectClientLibrary(), hotfix::primaryClientLibraryName());
}

TEST(CheckProductVersion, PassesUpTo3_23_11_28AndRefusesNewerWithItsMessage)
{
    const QString shortMessage = QStringLiteral("Версия Тарвелл не соответствует требуемой");
    const QString longMessage = QStringLiteral("Версия Тарвелл не соответствует требуемой (не старше 3.23.11.28)");
    for (auto v : {std::array{3, 23, 11, 28}, std::array{3, 22, 99, 99}, std::array{3, 0, 0, 0},
                   std::array{2, 99, 0, 0}, std::array{0, 0, 0, 0}, std::array{3, 23, 10, 999}})
        EXPECT_EQ(gateMessage(v), QString()) << v[0] << '.' << v[1] << '.' << v[2] << '.' << v[3];
    EXPECT_EQ(gateMessage({3, 23, 11, 29}), longMessage);
    for (auto v : {std::array{3, 23, 12, 0}, std::array{3, 24, 0, 0}, std::array{4, 0, 0, 0}})
        EXPECT_EQ(gateMessage(v), shortMessage) << v[0] << '.' << v[1] << '.' << v[2] << '.' << v[3];
}

TEST(CheckProductVersion, ReadsEachColumnAnewAtEachComparison)
{
    std::vector<int> reads;
    hotfix::CheckProductVersion([&](int i) {
        reads.push_back(i);
        return std::array{3, 23, 11, 28}.at(i);
    });
    EXPECT_EQ(reads, (std::vector<int>{0, 0, 1, 1, 2, 2, 3}));
}
