// The language rule and what hangs on it: the application name (and with it
// the settings branch) and the texts.

#include "platform/Language.h"
#include "platform/ResourceIds.h"
#include "platform/StringTable.h"

#include "TestEnvironment.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

TEST(LanguageTest, OnlyJapaneseInJapanIsJapanese) {
    for (const char* name : {"ja_JP", "ja_JP.UTF-8", "ja_JP.eucJP", "ja_JP@cjknarrow", "ja-JP",
                             "ja-Jpan-JP", "JA_jp"}) {
        EXPECT_TRUE(IsJapaneseLocaleName(QString::fromLatin1(name))) << name;
    }
    for (const char* name : {"ja", "ja_XX", "ja_US.UTF-8", "ja-Jpan", "en_US.UTF-8", "en_JP", "C",
                             "C.UTF-8", "POSIX", "", "_JP", "jap_JP", "ja__JP"}) {
        EXPECT_FALSE(IsJapaneseLocaleName(QString::fromLatin1(name))) << name;
    }
}

TEST(LanguageTest, MessagesLocaleDecidesAndIsReadAtEachUse) {
    ScopedLanguage english("en_US.UTF-8");
    EXPECT_FALSE(IsJapaneseLanguage());
    {
        ScopedLanguage japanese("ja_JP.UTF-8");
        EXPECT_TRUE(IsJapaneseLanguage());
        // LC_MESSAGES overrides LANG, LC_ALL overrides both.
        ScopedEnv messages("LC_MESSAGES", QByteArray("en_GB.UTF-8"));
        EXPECT_FALSE(IsJapaneseLanguage());
        ScopedEnv all("LC_ALL", QByteArray("ja_JP.UTF-8"));
        EXPECT_TRUE(IsJapaneseLanguage());
    }
    EXPECT_FALSE(IsJapaneseLanguage());
    ScopedEnv none("LANG", std::nullopt);
    EXPECT_EQ(SystemLocaleName(), QStringLiteral("C"));
    EXPECT_FALSE(IsJapaneseLanguage());
}

TEST(LanguageTest, ApplicationNameAndTextsFollowTheLanguage) {
    struct Case {
        const char* lang;
        const char* name;
        const char* completion;
    };
    const Case cases[] = {
        {"ja_JP.UTF-8", "ペルモラ", "処理が完了しました。"},
        {"ja_XX", "Quorvane Framewright", "The process has been completed."},
        {"en_US.UTF-8", "Quorvane Framewright", "The process has been completed."},
        {"C", "Quorvane Framewright", "The process has been completed."},
    };
    for (const Case& c : cases) {
        ScopedLanguage language(c.lang);
        EXPECT_EQ(ApplicationName(), QString::fromUtf8(c.name)) << c.lang;
        EXPECT_EQ(LangString(text::kCropsDone), QString::fromUtf8(c.completion)) << c.lang;
    }
    EXPECT_EQ(CompanyName(), QStringLiteral("Quorvane"));
}

}  // namespace
