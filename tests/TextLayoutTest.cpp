// Owner-drawn text: fonts by cell height, line breaking and shortening.

#include "platform/PlatformUi.h"
#include "platform/TextLayout.h"

#include "TestEnvironment.h"

#include <QFontMetrics>

#include <algorithm>

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

const auto* const kApp = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

class TextLayoutTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { SetUpPlatformUi(); }
    int Advance(const QString& text) const { return QFontMetrics(font_).horizontalAdvance(text); }
    ScopedLanguage language_{"en_US.UTF-8"};
    QFont font_ = ProgramFont(12);
};

TEST_F(TextLayoutTest, FontsAreChosenByLanguageAndWholeLineHeight) {
    EXPECT_EQ(font_.family(), QStringLiteral("Arial"));
    EXPECT_EQ(font_.weight(), QFont::Normal);
    EXPECT_LE(QFontMetrics(font_).height(), 12);
    QFont larger = font_;
    larger.setPixelSize(font_.pixelSize() + 1);
    EXPECT_GT(QFontMetrics(larger).height(), 12);  // the largest size that fits

    const ScopedLanguage japanese("ja_JP.UTF-8");
    const QFont gothic = ProgramFont(12);
    EXPECT_EQ(gothic.family(), QString::fromUtf16(kJapaneseFace));
    EXPECT_LE(QFontMetrics(gothic).height(), 12);
    EXPECT_TRUE(QFontMetrics(gothic).inFont(QChar(u'追')));  // the substitute has the glyphs
}

TEST_F(TextLayoutTest, LinesBreakAtSpacesAndLineBreaks) {
    const QString size = QStringLiteral("width: 4000 pixel, height: 3000 pixel");
    EXPECT_EQ(LayoutText(size, font_, 1000).lines, QStringList{size});
    const TextBlock narrow = LayoutText(size, font_, Advance("width: 4000 pixel, h"));
    EXPECT_EQ(narrow.lines, (QStringList{"width: 4000 pixel,", "height: 3000 pixel"}));
    EXPECT_EQ(narrow.width, std::max(Advance(narrow.lines[0]), Advance(narrow.lines[1])));
    EXPECT_EQ(narrow.Height(), 2 * QFontMetrics(font_).height());
    EXPECT_EQ(LayoutText("a\n\nb", font_, 100).lines, (QStringList{"a", "", "b"}));
    EXPECT_TRUE(LayoutText(QString(), font_, 100).lines.isEmpty());
    EXPECT_TRUE(LayoutText("abc", font_, 0).lines.isEmpty());
}

TEST_F(TextLayoutTest, LongPathsLoseTheirMiddleAndKeepTheFileName) {
    const QString path = QStringLiteral("/home/user/Pictures/2019/holiday/IMG_0001.JPG");
    const int width = Advance(path) * 2 / 3;
    const QStringList lines = LayoutText(path + "\nnext", font_, width).lines;
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("/home/")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(".../IMG_0001.JPG")) << lines[0].toStdString();
    EXPECT_LE(Advance(lines[0]), width);
    EXPECT_EQ(lines[1], "next");

    // Too narrow even for the file name: the middle of the whole word goes.
    const int tightWidth = Advance("/IMG_0001.JPG");
    const QString tight = ElideWord(path, QFontMetrics(font_), tightWidth);
    EXPECT_TRUE(tight.startsWith("/ho") && tight.endsWith(".JPG") && tight.contains("..."))
        << tight.toStdString();
    EXPECT_LE(Advance(tight), tightWidth);
    // Never half a surrogate pair.
    const QString faces = QString::fromUtf8("😀😁😂😃😄😅😆😇😈😉😊😋");
    for (int w = 1; w < Advance(faces); w += 3) {
        EXPECT_TRUE(ElideWord(faces, QFontMetrics(font_), w).isValidUtf16()) << w;
    }
}

TEST_F(TextLayoutTest, JapaneseBreaksBetweenCharactersButNotBeforeClosingMarks) {
    const ScopedLanguage japanese("ja_JP.UTF-8");
    const QFont gothic = ProgramFont(12);
    const QFontMetrics metrics(gothic);
    const QString hint =
        QStringLiteral("JPEGファイルをドラッグアンドドロップで\n追加してください。");
    const TextBlock block = LayoutText(hint, gothic, 134);
    ASSERT_GE(block.lines.size(), 3);
    QString joined;
    for (const QString& line : block.lines) {
        EXPECT_LE(metrics.horizontalAdvance(line), 134) << line.toStdString();
        EXPECT_FALSE(line.startsWith(u'ッ') || line.startsWith(u'。')) << line.toStdString();
        joined += line;
    }
    EXPECT_EQ(joined, QString(hint).remove(u'\n'));  // nothing lost, nothing shortened
    // Where "。" would start the next line, its character goes with it.
    const QString sentence = QStringLiteral("追加してください。");
    EXPECT_EQ(LayoutText(sentence, gothic, metrics.horizontalAdvance("追加してください")).lines,
              (QStringList{"追加してくださ", "い。"}));
    // A path is shortened, not broken between its characters.
    const QString path = QStringLiteral("/home/山田/写真/北海道旅行/二日目/IMG_0001.jpg");
    const QStringList lines = LayoutText(path, gothic, metrics.horizontalAdvance(path) / 2).lines;
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].endsWith(".../IMG_0001.jpg")) << lines[0].toStdString();
}

}  // namespace
