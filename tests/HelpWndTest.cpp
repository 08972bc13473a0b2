// The hint cards and the logo window.

#include "engine/DrawingUtils.h"
#include "engine/Img.h"
#include "images/HelpWnd.h"
#include "images/LogoWnd.h"
#include "platform/PlatformUi.h"
#include "platform/ResourceIds.h"
#include "platform/StringTable.h"
#include "platform/TextLayout.h"

#include "TestEnvironment.h"
#include "TestSupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

const auto* const kApp = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

QRect Ink(const QImage& image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) != Qt::white)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

class HelpWndTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { SetUpPlatformUi(); }
    ScopedLanguage language_{"en_US.UTF-8"};
};

TEST_F(HelpWndTest, CardCentresItsTextBlockOnWhite) {
    for (const char* locale : {"en_US.UTF-8", "ja_JP.UTF-8"}) {
        const ScopedLanguage language(locale);
        const QString text = LangString(text::kImagesHint);
        const std::unique_ptr<QImage> card = DrawHintCard(text, QSize(150, 80));
        ASSERT_TRUE(card);
        const QRect ink = Ink(*card);
        ASSERT_FALSE(ink.isEmpty()) << locale;
        EXPECT_LE(std::abs(ink.left() - (149 - ink.right())), 3) << locale;
        EXPECT_LE(std::abs(ink.top() - (79 - ink.bottom())), 4) << locale;
        EXPECT_GE(ink.left(), 8);
        EXPECT_LE(ink.right(), 150 - 8);
    }
    // Narrower than its text: more lines, the long word shortened.
    const QFont font = ProgramFont(kHintFontHeight);
    EXPECT_EQ(LayoutText("Drag-and-drop Jpeg files", font, 150 - 16).lines.size(), 1);
    const QStringList narrow = LayoutText("Drag-and-drop Jpeg files", font, 60 - 16).lines;
    EXPECT_EQ(narrow.size(), 3);
    EXPECT_TRUE(narrow[0].contains("...")) << narrow[0].toStdString();
    EXPECT_LE(Ink(*DrawHintCard("Drag-and-drop Jpeg files", QSize(60, 80))).right(), 60 - 8);
    // No such string: an empty white card.
    const CHelpWnd missing(1);
    EXPECT_TRUE(missing.Text().isEmpty());
    EXPECT_TRUE(Ink(*DrawHintCard(missing.Text(), QSize(150, 80))).isEmpty());
    EXPECT_FALSE(DrawHintCard("x", QSize(0, 80)));
}

TEST_F(HelpWndTest, CornersAreCutByQuarterEllipses) {
    const QRegion card = RoundedRectRegion(150, 80, 4, 4);
    for (const QPoint cut : {QPoint(0, 0), QPoint(149, 0), QPoint(0, 79), QPoint(149, 79)}) {
        EXPECT_FALSE(card.contains(cut)) << cut.x() << "," << cut.y();
    }
    for (const QPoint kept : {QPoint(1, 0), QPoint(0, 1), QPoint(148, 79), QPoint(149, 78)}) {
        EXPECT_TRUE(card.contains(kept)) << kept.x() << "," << kept.y();
    }
    int area = 0;
    for (const QRect& r : card)
        area += r.width() * r.height();
    EXPECT_EQ(area, 150 * 80 - 4);
    const QRegion round = RoundedRectRegion(40, 40, 20, 20);
    EXPECT_FALSE(round.contains(QPoint(2, 2)));  // centre 10.6 px from the corner's centre
    EXPECT_TRUE(round.contains(QPoint(3, 3)));   // 9.2 px
    EXPECT_TRUE(RoundedRectRegion(0, 5, 4, 4).isEmpty());

    CHelpWnd hint(text::kImagesHint.english);
    hint.resize(150, 80);
    hint.show();
    EXPECT_EQ(hint.mask(), card);
}

TEST_F(HelpWndTest, HintNeverKeepsTheFocus) {
    QWidget main;
    auto* edit = new QLineEdit(&main);
    (new QVBoxLayout(&main))->addWidget(edit);
    main.show();
    main.activateWindow();
    edit->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    ASSERT_EQ(QApplication::focusWidget(), edit);

    CHelpWnd hint(text::kRectanglesHint.english, &main);
    EXPECT_TRUE(hint.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(hint.isWindow());
    hint.setGeometry(100, 100, 150, 80);
    // This window system activates every window it shows, hints included:
    // the focus must come straight back.
    hint.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&hint));
    EXPECT_TRUE(WaitUntil([&] { return QApplication::activeWindow() == &main; }));
    EXPECT_EQ(QApplication::focusWidget(), edit);
    QTest::mouseClick(&hint, Qt::LeftButton, {}, QPoint(75, 40));
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activeWindow(), &main);
    EXPECT_EQ(QApplication::focusWidget(), edit);
}

TEST_F(HelpWndTest, LogoDrawsItsPictureOverTheWholeWindowOrNothing) {
    const std::unique_ptr<CImg> picture = LoadLogoPicture();
    ASSERT_TRUE(picture);
    EXPECT_EQ(QSize(picture->GetWidth(), picture->GetHeight()), QSize(kLogoWidth, kLogoHeight));
    const auto rendered = [](CLogoWnd& logo, QSize size) {
        logo.resize(size);
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::magenta);
        logo.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
        return image;
    };
    CLogoWnd logo;
    QImage untouched(kLogoWidth, kLogoHeight, QImage::Format_RGB32);
    untouched.fill(Qt::magenta);
    EXPECT_EQ(rendered(logo, QSize(kLogoWidth, kLogoHeight)), untouched);  // painted nothing

    logo.SetPicture(LoadLogoPicture());
    EXPECT_EQ(rendered(logo, QSize(kLogoWidth, kLogoHeight)),
              picture->Image().convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(rendered(logo, QSize(190, 25)),
              ResampleCubic(picture->Image(), 190, 25).convertToFormat(QImage::Format_RGB32));
}

}  // namespace
