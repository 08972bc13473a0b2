// The settings store and the main program's settings rules: defaults for
// anything missing or broken, clamping on the way in and out, one branch per
// application name, and a store that another user cannot read.

#include "app/AppSettings.h"
#include "platform/Language.h"
#include "platform/SettingsStore.h"

#include "TestEnvironment.h"
#include "TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <climits>
#include <tuple>

namespace {

using namespace testing_support;

const QString kName = QStringLiteral("Quorvane Framewright");

class SettingsStoreTest : public ::testing::Test {
  protected:
    CSettingsStore Store(const QString& application = kName) {
        return CSettingsStore(QStringLiteral("Quorvane"), application);
    }
    void WriteFile(const QByteArray& text, const QString& application = kName) {
        const QString path = home_.SettingsFile(application);
        QDir().mkpath(QFileInfo(path).absolutePath());
        WriteBytes(path, text);
        // A new time for every write: QSettings rereads a file it has seen
        // only when its size or time changed.
        QFile file(path);
        file.open(QIODevice::ReadWrite);
        file.setFileTime(QDateTime::currentDateTime().addSecs(++writes_),
                         QFileDevice::FileModificationTime);
    }
    QByteArray FileText(const QString& application = kName) {
        return ReadBytes(home_.SettingsFile(application));
    }

    TestHome home_;
    int writes_ = 0;
};

TEST_F(SettingsStoreTest, StaysInTheTestHome) {
    EXPECT_EQ(Store().Location(), home_.SettingsFile(kName));
}

TEST_F(SettingsStoreTest, MissingValuesGiveDefaultsAndReadingCreatesNothing) {
    const AppSettings loaded = LoadAppSettings(Store());
    EXPECT_EQ(loaded.notFirst, 0);
    EXPECT_EQ(loaded.jpegQuality, 80);
    EXPECT_FALSE(loaded.recompress);
    EXPECT_FALSE(QFile::exists(home_.SettingsFile(kName)));
}

TEST_F(SettingsStoreTest, WritesSectionsAsGroups) {
    CSettingsStore store = Store();
    AppSettings settings;
    settings.notFirst = 1;
    settings.jpegQuality = 95;
    settings.recompress = true;
    ASSERT_TRUE(SaveAppSettings(store, settings).ok());
    const QByteArray text = FileText();
    EXPECT_TRUE(text.contains("[app]\nnotfirst=1\n")) << text.constData();
    EXPECT_TRUE(text.contains("[param]\njpegquality=95\nrecomp=1\n")) << text.constData();
    const AppSettings loaded = LoadAppSettings(store);
    EXPECT_EQ(loaded.notFirst, 1);
    EXPECT_EQ(loaded.jpegQuality, 95);
    EXPECT_TRUE(loaded.recompress);
}

TEST_F(SettingsStoreTest, QualityIsClampedOnLoadAndOnSave) {
    struct Case {
        const char* stored;
        int loaded;
    };
    const Case cases[] = {
        {"0", 80},    {"150", 100}, {"-5", 1}, {"1", 1},         {"100", 100},
        {"101", 100}, {"abc", 80},  {"", 80},  {"4294967291", 1}};  // a DWORD holding -5
    for (const Case& c : cases) {
        WriteFile(QByteArray("[param]\njpegquality=") + c.stored + "\n");
        EXPECT_EQ(LoadAppSettings(Store()).jpegQuality, c.loaded) << c.stored;
    }
    CSettingsStore store = Store();
    for (const auto& [inMemory, written] :
         {std::pair{150, 100}, std::pair{-5, 1}, std::pair{0, 1}, std::pair{INT_MIN, 1}}) {
        AppSettings settings;
        settings.jpegQuality = inMemory;
        ASSERT_TRUE(SaveAppSettings(store, settings).ok());
        EXPECT_EQ(settings.jpegQuality, written) << inMemory;  // replaced in memory too
        EXPECT_TRUE(FileText().contains("jpegquality=" + QByteArray::number(written) + "\n"))
            << inMemory;
    }
}

TEST_F(SettingsStoreTest, AnyNonZeroModeMeansRecompressAndIsWrittenAsOne) {
    for (const auto& [stored, recompress, written] :
         {std::tuple{"0", false, "0"}, std::tuple{"1", true, "1"}, std::tuple{"7", true, "1"},
          std::tuple{"-1", true, "1"}, std::tuple{"x", false, "0"}}) {
        WriteFile(QByteArray("[param]\nrecomp=") + stored + "\n");
        CSettingsStore store = Store();
        AppSettings settings = LoadAppSettings(store);
        EXPECT_EQ(settings.recompress, recompress) << stored;
        ASSERT_TRUE(SaveAppSettings(store, settings).ok());
        EXPECT_TRUE(FileText().contains(QByteArray("recomp=") + written + "\n")) << stored;
    }
}

TEST_F(SettingsStoreTest, ValuesThatAreNot32BitIntegersGiveTheDefault) {
    WriteFile(
        "[app]\nnotfirst=1.5\n"
        "[param]\nrecomp=99999999999\njpegquality=-2147483649\n");
    CSettingsStore store = Store();
    EXPECT_EQ(store.GetProfileInt("app", "notfirst", 7), 7);
    EXPECT_EQ(store.GetProfileInt("param", "recomp", 7), 7);
    EXPECT_EQ(store.GetProfileInt("param", "jpegquality", 7), 7);
    int value = 0;
    EXPECT_TRUE(ParseProfileInt(" 42 ", value));
    EXPECT_EQ(value, 42);
    EXPECT_TRUE(ParseProfileInt("-2147483648", value));
    EXPECT_EQ(value, INT_MIN);
    EXPECT_TRUE(ParseProfileInt("4294967295", value));
    EXPECT_EQ(value, -1);
    EXPECT_FALSE(ParseProfileInt("4294967296", value));
    EXPECT_FALSE(ParseProfileInt("0x10", value));
}

TEST_F(SettingsStoreTest, GarbageFileGivesDefaults) {
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk.append(static_cast<char>((i * 7919) % 256));
    WriteFile(junk);
    const AppSettings loaded = LoadAppSettings(Store());
    EXPECT_EQ(loaded.notFirst, 0);
    EXPECT_EQ(loaded.jpegQuality, 80);
    EXPECT_FALSE(loaded.recompress);
}

TEST_F(SettingsStoreTest, EachApplicationNameHasItsOwnBranch) {
    const QString japanese = QStringLiteral("ペルモラ");
    CSettingsStore english = Store(kName);
    ASSERT_TRUE(english.WriteProfileInt("app", "notfirst", 1).ok());
    EXPECT_EQ(Store(japanese).GetProfileInt("app", "notfirst", 0), 0);
    CSettingsStore store = Store(japanese);
    ASSERT_TRUE(store.WriteProfileInt("param", "jpegquality", 33).ok());
    EXPECT_TRUE(QFile::exists(home_.SettingsFile(japanese)));
    EXPECT_EQ(Store(kName).GetProfileInt("param", "jpegquality", 0), 0);
    // The branch the program uses follows the language.
    {
        ScopedLanguage language("ja_JP.UTF-8");
        EXPECT_EQ(LoadAppSettings(Store(ApplicationName())).jpegQuality, 33);
    }
    for (const char* lang : {"ja_XX", "en_US.UTF-8", "C"}) {
        ScopedLanguage language(lang);
        EXPECT_EQ(LoadAppSettings(Store(ApplicationName())).notFirst, 1) << lang;
        EXPECT_EQ(LoadAppSettings(Store(ApplicationName())).jpegQuality, 80) << lang;
    }
}

// Another user (nobody) meets a store it may neither read nor write.
TEST_F(SettingsStoreTest, UnreadableStoreGivesDefaultsAndLosesNothing) {
    ScopedLanguage language("C");
    const QByteArray original = "[app]\nnotfirst=1\n\n[param]\njpegquality=42\nrecomp=1\n";
    WriteFile(original);
    for (const QString& folder :
         {home_.Root(), home_.ConfigFolder(), home_.ConfigFolder() + QStringLiteral("/Quorvane")}) {
        QFile::setPermissions(
            folder, QFile::permissions(folder) | QFileDevice::ReadOther | QFileDevice::ExeOther);
    }
    const QString file = home_.SettingsFile(kName);
    const QString probe = QStringLiteral(PELMORA_SETTINGS_PROBE);

    // Readable: the probe sees the values, so what follows is not an accident.
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::ReadOther);
    CommandResult seen = RunAsNobody(probe, {});
    ASSERT_EQ(seen.exitCode, 0) << seen.err.constData();
    EXPECT_FALSE(seen.out.startsWith("uid=0 ")) << seen.out.constData();
    EXPECT_TRUE(seen.out.contains("notfirst=1 jpegquality=42 recomp=1")) << seen.out.constData();

    QFile::setPermissions(file, QFileDevice::Permissions());
    seen = RunAsNobody(probe, {QStringLiteral("save")});
    ASSERT_EQ(seen.exitCode, 0) << seen.err.constData();
    EXPECT_TRUE(seen.out.contains("notfirst=0 jpegquality=80 recomp=0")) << seen.out.constData();
    EXPECT_TRUE(seen.out.contains("saved=0 jpegquality=100")) << seen.out.constData();
    // The failure names the store it could not write.
    EXPECT_TRUE(seen.out.contains(("reason=cannot write " + file).toUtf8()))
        << seen.out.constData();
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(FileText(), original);
}

TEST(AppSettingsTest, QualityRules) {
    for (const auto& [stored, used] :
         {std::pair{0, 80}, std::pair{150, 100}, std::pair{-5, 1}, std::pair{1, 1},
          std::pair{80, 80}, std::pair{100, 100}, std::pair{INT_MIN, 1}, std::pair{INT_MAX, 100}}) {
        EXPECT_EQ(JpegQualityFromStore(stored), used) << stored;
    }
    // Only loading treats 0 as "not set".
    EXPECT_EQ(ClampJpegQuality(0), 1);
}

}  // namespace
