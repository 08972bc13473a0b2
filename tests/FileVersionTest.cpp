// The program's version: four 16-bit numbers in two halves.

#include "platform/FileVersion.h"

#include <QCoreApplication>
#include <QTemporaryFile>

#include <gtest/gtest.h>

namespace {

TEST(FileVersionTest, PacksMostSignificantFirst) {
    quint32 high = 0;
    quint32 low = 0;
    ASSERT_TRUE(PackFileVersion(1, 2, 3, 4, &high, &low));
    EXPECT_EQ(high, 0x00010002u);
    EXPECT_EQ(low, 0x00030004u);
    ASSERT_TRUE(PackFileVersion(65535, 0, 65535, 1, &high, nullptr));
    EXPECT_EQ(high, 0xFFFF0000u);
    EXPECT_EQ(low, 0x00030004u);  // not asked for, not touched
}

TEST(FileVersionTest, NumbersBeyond16BitsAreUnknown) {
    quint32 high = 7;
    quint32 low = 7;
    EXPECT_FALSE(PackFileVersion(65536, 0, 0, 0, &high, &low));
    EXPECT_FALSE(PackFileVersion(0, 0, 0, -1, &high, &low));
    EXPECT_EQ(high, 7u);
    EXPECT_EQ(low, 7u);
}

TEST(FileVersionTest, ProgramFilesCarryTheBuildVersion) {
    QTemporaryFile program;
    ASSERT_TRUE(program.open());
    quint32 high = 0;
    quint32 low = 0;
    ASSERT_EQ(GetFileVersion(program.fileName(), &high, &low), 1);
    EXPECT_EQ(high, static_cast<quint32>(PELMORA_VERSION_MAJOR << 16 | PELMORA_VERSION_MINOR));
    EXPECT_EQ(low, static_cast<quint32>(PELMORA_VERSION_PATCH << 16 | PELMORA_VERSION_TWEAK));
    EXPECT_EQ(GetFileVersion(program.fileName(), nullptr, nullptr), 1);
    high = low = 9;
    EXPECT_EQ(GetFileVersion(program.fileName() + "-missing", &high, &low), 0);
    EXPECT_EQ(GetFileVersion(QString(), &high, &low), 0);
    EXPECT_EQ(high, 9u);
    EXPECT_EQ(low, 9u);
}

}  // namespace
