// The string table: its format, and that the compiled-in table holds every
// text of both programs exactly.

#include "platform/StringTable.h"

#include "TestSupport.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

TEST(StringTableTest, ParsesNumbersDialogKeysAndEscapes) {
    QStringList problems;
    const auto table = ParseStringTable(
        "# comment\n"
        "\n"
        "129\tone\\ntwo\r\n"
        "11601.0\ttitle\n"
        "7\tback\\\\slash\\n\n"
        "8\t\n",
        &problems);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
    EXPECT_EQ(table.value("129"), QStringLiteral("one\ntwo"));
    EXPECT_EQ(table.value("11601.0"), QStringLiteral("title"));
    EXPECT_EQ(table.value("7"), QStringLiteral("back\\slash\n"));
    EXPECT_TRUE(table.contains("8"));
    EXPECT_EQ(table.value("8"), QString());
}

TEST(StringTableTest, ReportsAndSkipsBrokenLines) {
    QStringList problems;
    const auto table = ParseStringTable(
        "12 no tab\n"
        "x1\tnot a number\n"
        "1.\tdangling dot\n"
        "1.2.3\ttwo dots\n"
        "13\tbad \\t escape\n"
        "14\tends in \\\n"
        "15\tfirst\n"
        "15\tsecond\n",
        &problems);
    EXPECT_EQ(problems.size(), 7) << problems.join(u'\n').toStdString();
    EXPECT_EQ(table.size(), 1);
    EXPECT_EQ(table.value("15"), QStringLiteral("first"));
}

TEST(StringTableTest, CompiledInTableIsWellFormed) {
    QFile file(QString::fromLatin1(kStringTableResource));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QStringList problems;
    const auto table = ParseStringTable(file.readAll(), &problems);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
    EXPECT_GE(table.size(), 34);
}

// Every message with its Japanese and English number, as the program shows it.
struct Message {
    int japaneseId;
    const char* japanese;
    int englishId;
    const char* english;
};

const Message kMessages[] = {
    {129, "画像をドラッグアンドドロップで追加してから、この操作を行ってください。", 146,
     "You can do this operation after you add jmages."},
    {130, "切り抜く長方形が設定されていません。", 151, "No crop settings."},
    {131, "切り抜く長方形が選択されていません。", 152, "No crop rect selected."},
    {132, "画像が選択されていません。\n画像をクリックして選択してください。", 147,
     "No images are selected."},
    {133, "本当に操作対象から外しますか？", 148, "Are you sure to delete?"},
    {134, "有効な長方形が設定されていません。", 135, "Invalid rect."},
    {138, "終了しますか？", 150, "Are you sure to exit?"},
    {139, "JPEGファイルをドラッグアンドドロップで\n追加してください。", 145,
     "Drag-and-drop Jpeg files"},
    {140, "切り抜く領域を追加してください。", 153, "Add crop rect."},
    {141,
     "切り抜いた画像を保存するフォルダを選択してください。\n"
     "保存時に重複するファイル名の物がある場合、自動的にリネームして保存します。",
     144, "Select folder in which you want to save cropped images."},
    {154, "選択している長方形を、本当に削除していいですか？", 155,
     "Are you sure to delete the selected rect?"},
    {11811, "処理が完了しました。", 11812, "The process has been completed."},
};

TEST(StringTableTest, HoldsEveryMessageExactly) {
    for (const Message& m : kMessages) {
        EXPECT_EQ(ResourceString(m.japaneseId), QString::fromUtf8(m.japanese)) << m.japaneseId;
        EXPECT_EQ(ResourceString(m.englishId), QString::fromUtf8(m.english)) << m.englishId;
    }
    EXPECT_EQ(ResourceString(136), QString());  // a number nobody uses
}

TEST(StringTableTest, HoldsTheAgreementDialogTexts) {
    EXPECT_EQ(DialogText(11600, 0), QStringLiteral("ソフトウェア使用契約"));
    EXPECT_EQ(DialogText(11600, 1), QStringLiteral("上記契約に同意してソフトウェアを使用する"));
    EXPECT_EQ(DialogText(11600, 2),
              QStringLiteral("上記契約に同意しないでソフトウェアをアンインストールする"));
    EXPECT_EQ(DialogText(11601, 0), QStringLiteral("End user license agreement"));
    EXPECT_EQ(DialogText(11601, 1), QStringLiteral("I agree and continue"));
    EXPECT_EQ(DialogText(11601, 2), QStringLiteral("I disagree and uninstall this program"));
}

TEST(StringTableTest, LauncherMessagesExistInBothLanguages) {
    const QRegularExpression japanese(QStringLiteral("[\\x{3040}-\\x{30FF}\\x{4E00}-\\x{9FFF}]"));
    for (const auto& [ja, en] : {std::pair{11621, 11622}, std::pair{11623, 11624}}) {
        EXPECT_TRUE(ResourceString(ja).contains(japanese)) << ja;
        EXPECT_FALSE(ResourceString(en).isEmpty()) << en;
        EXPECT_FALSE(ResourceString(en).contains(japanese)) << en;
    }
    // The unreadable-agreement message names the file.
    EXPECT_TRUE(ResourceString(11623).contains(QStringLiteral("%1")));
    EXPECT_TRUE(ResourceString(11624).contains(QStringLiteral("%1")));
}

}  // namespace
