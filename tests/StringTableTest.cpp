// The string table: its format, and that every text the code names exists in
// both languages in a form that can be shown.

#include "platform/StringTable.h"

#include "platform/ResourceIds.h"

#include "TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include <map>
#include <set>

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

// Named messages and dialogs (platform/ResourceIds.h) against the compiled-in
// table: a number named in the code with no text, a text only one language
// has, or forms that take different arguments would show a blank or garbled
// message box only to users of one language.

const QRegularExpression& JapaneseScript() {
    static const QRegularExpression japanese(
        QStringLiteral("[\\x{3040}-\\x{30FF}\\x{4E00}-\\x{9FFF}\\x{FF01}-\\x{FF5E}]"));
    return japanese;
}

// The placeholders a text takes, "%1" to "%9", each counted once.
std::set<QString> Placeholders(const QString& text) {
    static const QRegularExpression placeholder(QStringLiteral("%[1-9]"));
    std::set<QString> found;
    for (const auto& match : placeholder.globalMatch(text))
        found.insert(match.captured());
    return found;
}

QString Describe(LangIds ids) {
    return QStringLiteral("%1/%2").arg(ids.japanese).arg(ids.english);
}

void ExpectBothForms(const QString& japanese, const QString& english, const QString& what) {
    EXPECT_FALSE(japanese.trimmed().isEmpty()) << what.toStdString();
    EXPECT_FALSE(english.trimmed().isEmpty()) << what.toStdString();
    EXPECT_FALSE(english.contains(JapaneseScript())) << what.toStdString();
    EXPECT_EQ(Placeholders(japanese), Placeholders(english)) << what.toStdString();
}

TEST(StringTableTest, EveryNamedMessageHasBothFormsWithTheSamePlaceholders) {
    for (const LangIds message : text::kAll) {
        const QString japanese = ResourceString(message.japanese);
        ExpectBothForms(japanese, ResourceString(message.english), Describe(message));
        EXPECT_TRUE(japanese.contains(JapaneseScript())) << Describe(message).toStdString();
    }
    // A message that names a file or a count must have somewhere to put it.
    for (const LangIds message :
         {text::kAgreementUnreadable, text::kCropsFailed, text::kFlushFailed, text::kPathsTooLong,
          text::kImageListNotSaved, text::kRectFileNotSaved, text::kNoBrowser,
          text::kMoreFailedFiles}) {
        EXPECT_EQ(Placeholders(ResourceString(message.english)), std::set<QString>{"%1"})
            << Describe(message).toStdString();
    }
}

TEST(StringTableTest, NoTwoNamesShareANumberAndEveryNumberInTheTableIsNamed) {
    std::map<int, int> uses;
    for (const LangIds message : text::kAll) {
        ++uses[message.japanese];
        ++uses[message.english];
    }
    for (const auto& [id, count] : uses)
        EXPECT_EQ(count, 1) << id;

    QFile file(QString::fromLatin1(kStringTableResource));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const auto table = ParseStringTable(file.readAll());
    std::set<int> templates;
    for (const LangIds dialog : dialog::kAll)
        templates.insert({dialog.japanese, dialog.english});
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        const QString key = it.key();
        if (key.contains(u'.'))
            EXPECT_TRUE(templates.contains(key.section(u'.', 0, 0).toInt())) << key.toStdString();
        else
            EXPECT_TRUE(uses.contains(key.toInt())) << "text " << key.toStdString() << " unnamed";
    }
}

// The controls with a text in each dialog's two templates.
TEST(StringTableTest, EveryDialogHasTheSameTextsInBothLanguages) {
    QFile file(QString::fromLatin1(kStringTableResource));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const auto table = ParseStringTable(file.readAll());
    const auto controlsOf = [&](int templateId) {
        std::set<int> controls;
        const QString prefix = QStringLiteral("%1.").arg(templateId);
        for (auto it = table.cbegin(); it != table.cend(); ++it) {
            if (it.key().startsWith(prefix))
                controls.insert(it.key().mid(prefix.size()).toInt());
        }
        return controls;
    };
    for (const LangIds dialog : dialog::kAll) {
        const std::set<int> controls = controlsOf(dialog.japanese);
        EXPECT_EQ(controls, controlsOf(dialog.english)) << Describe(dialog).toStdString();
        for (const int control : {control::kTitle, control::kOk, control::kCancel})
            EXPECT_TRUE(controls.contains(control)) << Describe(dialog).toStdString();
        for (const int control : controls) {
            ExpectBothForms(DialogText(dialog.japanese, control),
                            DialogText(dialog.english, control),
                            QStringLiteral("%1.%2").arg(Describe(dialog)).arg(control));
        }
    }
    // Every captioned control the crop settings dialog builds.
    const std::set<int> cropControls = controlsOf(dialog::kCropSettings.english);
    using namespace control;
    for (const int control :
         {kPixelUnit, kPercentUnit, kLossless, kRecompress, kQualityButton, kActualSize, kGrid,
          kUnitGroup, kModeGroup, kUnnumbered + kTopLeftReadout, kUnnumbered + kBottomRightReadout,
          kUnnumbered + kWidthReadout, kUnnumbered + kHeightReadout}) {
        EXPECT_TRUE(cropControls.contains(control)) << control;
    }
}

// Messages are passed by name, so the checks above see every one of them; a
// bare pair of numbers (LangString(130, 151)) would escape them.
TEST(StringTableTest, NoCodePassesAMessageByBareNumbers) {
    const QRegularExpression call(QStringLiteral("LangString\\((\\d+),\\s*(\\d+)\\)"));
    const QDir root(QStringLiteral(PELMORA_SOURCE_DIR));
    int files = 0;
    for (const char* folder : {"platform", "engine", "images", "croprects", "app", "cli",
                               "launcher", "tools", "bench"}) {
        QDirIterator it(root.filePath(QString::fromLatin1(folder)), {"*.h", "*.cpp"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile source(it.next());
            ASSERT_TRUE(source.open(QIODevice::ReadOnly)) << source.fileName().toStdString();
            ++files;
            const QString code = QString::fromUtf8(source.readAll());
            for (const auto& match : call.globalMatch(code)) {
                ADD_FAILURE() << source.fileName().toStdString() << ": "
                              << match.captured().toStdString();
            }
        }
    }
    EXPECT_GT(files, 50);
}

// The wording stays as it is, odd spelling included: a well-meant correction
// would change a text users see.
TEST(StringTableTest, KeepsTheProgramsOwnSpelling) {
    EXPECT_EQ(ResourceString(text::kNoImages.english),
              QStringLiteral("You can do this operation after you add jmages."));
    EXPECT_EQ(ResourceString(136), QString());  // a number nobody uses
}

}  // namespace
