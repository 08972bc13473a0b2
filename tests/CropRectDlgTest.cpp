// The crop settings dialog: both templates, initialisation, units, snapping,
// OK and Cancel, the quality, image steps and a handle drag.

#include "croprects/CropRectDlg.h"
#include "platform/ResourceIds.h"

#include "images/ImgThumb.h"
#include "platform/DialogUnits.h"

#include "TestEnvironment.h"
#include "TestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

const auto* const kApp = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

template <typename Widget = QWidget>
Widget* Control(const CCropRectDlg& dialog, int id) {
    return dialog.findChild<Widget*>(ControlName(id));
}

void Click(const CCropRectDlg& dialog, int id) {
    Control<QAbstractButton>(dialog, id)->click();
}

void ExpectEdges(const CCropRect& rect, double l, double t, double r, double b) {
    EXPECT_DOUBLE_EQ(rect.left, l);
    EXPECT_DOUBLE_EQ(rect.top, t);
    EXPECT_DOUBLE_EQ(rect.right, r);
    EXPECT_DOUBLE_EQ(rect.bottom, b);
}

class CropRectDlgTest : public ::testing::Test {
  protected:
    const CImgThumb* Image(int width, int height) {
        const QString path = dir_.filePath(QStringLiteral("%1x%2.jpg").arg(width).arg(height));
        WriteBytes(path, EncodeJpeg(Spec(width, height, 3, 2, 2)));
        images_.push_back(std::make_unique<CImgThumb>(path, nullptr, width, height));
        return images_.back().get();
    }
    // Shows the dialog and paints it once, which loads the image.
    static void Open(CCropRectDlg& dialog) {
        dialog.show();
        dialog.grab();
    }

    ScopedLanguage language_{"en_US.UTF-8"};
    QTemporaryDir dir_;
    std::vector<std::unique_ptr<CImgThumb>> images_;
    // The image a dialog shows: whatever `image` points at when it asks.
    static CCropRectDlg::ImageSource Showing(const CImgThumb* const& image) {
        return [&image] { return image != nullptr ? image->path : QString(); };
    }
    CropModeChoice Choice() const { return {lossless_, quality_}; }

    bool lossless_ = true;
    int quality_ = 80;
};

TEST_F(CropRectDlgTest, BothTemplatesLayOutEveryControl) {
    const CImgThumb* image = Image(64, 48);
    for (const int id : {dialog::kCropSettings.english, dialog::kCropSettings.japanese}) {
        const bool ja = id == dialog::kCropSettings.japanese;
        const CCropRectDlg dialog(id, Showing(image), Choice());
        EXPECT_EQ(dialog.size(), QSize(761, 492));  // 507 x 303 dialog units
        EXPECT_EQ(dialog.windowTitle(),
                  ja ? QStringLiteral("切り抜く長方形の設定") : QStringLiteral("Crop Settings"));
        EXPECT_EQ(Control(dialog, control::kPreviewFrame)->geometry(),
                  DialogGeometry(7, 7, 313, 290));
        EXPECT_EQ(Control(dialog, control::kNavigatorFrame)->geometry(),
                  DialogGeometry(401, 169, 99, 88));
        EXPECT_EQ(Control(dialog, control::kQualityButton)->geometry(),
                  ja ? DialogGeometry(443, 79, 54, 12) : DialogGeometry(424, 79, 73, 12));
        // A radio text wider than its box grows, but never into the next control.
        const QRect recompress = Control(dialog, control::kRecompress)->geometry();
        EXPECT_EQ(recompress.topLeft(), DialogGeometry(340, 81, 0, 0).topLeft());
        EXPECT_GE(recompress.width(), DialogGeometry(340, 81, ja ? 97 : 72, 8).width());
        EXPECT_LE(recompress.right(), Control(dialog, control::kQualityButton)->x());
        const QWidget* lossless = Control(dialog, control::kLossless);
        EXPECT_GE(lossless->width(), lossless->sizeHint().width());
        EXPECT_EQ(Control(dialog, control::kTopLeftReadout)->geometry(),
                  ja ? DialogGeometry(379, 107, 105, 8) : DialogGeometry(393, 107, 98, 8));
        EXPECT_EQ(Control<QAbstractButton>(dialog, control::kLossless)->text(),
                  ja ? QStringLiteral("ロスレス（画質の劣化なし）") : QStringLiteral("lossless"));
        EXPECT_EQ(Control<QAbstractButton>(dialog, control::kCancel)->text(),
                  ja ? QStringLiteral("キャンセル") : QStringLiteral("Cancel"));
        // The step buttons: half the sheet each, side by side at control 1019.
        const QPoint marker = DialogGeometry(327, 235, 26, 9).topLeft();
        EXPECT_EQ(Control(dialog, control::kPreviousImage)->geometry(),
                  QRect(marker, QSize(20, 18)));
        EXPECT_EQ(Control(dialog, control::kNextImage)->geometry(),
                  QRect(marker + QPoint(20, 0), QSize(20, 18)));
        const auto buttons = dialog.findChildren<QPushButton*>();
        EXPECT_EQ(buttons.size(), 5);
        for (const QPushButton* button : buttons) {
            EXPECT_EQ(button->cursor().shape(), Qt::PointingHandCursor)
                << button->objectName().toStdString();
        }
    }
}

TEST_F(CropRectDlgTest, InvalidRectangleStartsAs256PixelSquareInItsColour) {
    const CImgThumb* image = Image(640, 480);
    lossless_ = true;
    CCropRectDlg dialog(CCropRectDlg::LanguageTemplate(), Showing(image), Choice());
    dialog.Rect().isPixel = 0;
    dialog.Rect().right = 0.004;  // invalid: empty at 1/100
    const ColorRef color = dialog.Rect().color;
    ModalScript script({[](QWidget* widget) {
        auto* dlg = static_cast<CCropRectDlg*>(widget);
        EXPECT_TRUE(Control<QAbstractButton>(*dlg, control::kLossless)->isChecked());
        EXPECT_TRUE(Control<QAbstractButton>(*dlg, control::kGrid)->isChecked());
        EXPECT_FALSE(Control<QAbstractButton>(*dlg, control::kActualSize)->isChecked());
        EXPECT_TRUE(Control<QAbstractButton>(*dlg, control::kPixelUnit)->isChecked());
        EXPECT_FALSE(Control(*dlg, control::kNavigatorFrame)->isVisible());
        dlg->accept();
    }});
    ASSERT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(dialog.Rect().isPixel, 1);
    ExpectEdges(dialog.Rect(), 0, 0, 256, 256);
    EXPECT_EQ(dialog.Rect().color, color);
    EXPECT_TRUE(dialog.Choice().lossless);
}

TEST_F(CropRectDlgTest, UnitSwitchDoesNotRound) {
    const CImgThumb* image = Image(640, 480);
    CCropRectDlg dialog(dialog::kCropSettings.english, Showing(image), Choice());
    dialog.Rect().isPixel = 0;
    SetEdges(dialog.Rect(), {25, 25, 75, 33.3333});
    Open(dialog);
    Click(dialog, control::kPixelUnit);
    ExpectEdges(dialog.Rect(), 160, 120, 480, 480 * 33.3333 / 100);
    EXPECT_EQ(Control<QLabel>(dialog, control::kTopLeftReadout)->text(),
              QStringLiteral("(  160 pixel,   120 pixel)"));
    EXPECT_EQ(Control<QLabel>(dialog, control::kWidthReadout)->text(),
              QStringLiteral("  320 pixel"));
    Click(dialog, control::kPixelUnit);  // already pixels: nothing
    EXPECT_DOUBLE_EQ(dialog.Rect().bottom, 480 * 33.3333 / 100);
    Click(dialog, control::kPercentUnit);
    EXPECT_EQ(dialog.Rect().isPixel, 0);
    EXPECT_DOUBLE_EQ(dialog.Rect().left, 25);
    EXPECT_NEAR(dialog.Rect().bottom, 33.3333, 1e-12);
    EXPECT_EQ(Control<QLabel>(dialog, control::kBottomRightReadout)->text(),
              QStringLiteral("(75.00 %, 33.33 %)"));
    dialog.reject();
}

// 41 pixels of 320 are 12.812499999999998 %; back in pixels that is
// 40.99999999999999, which every read-out and every cut must take as 41.
TEST_F(CropRectDlgTest, AUnitSwitchLeavesNoDustBetweenWhatIsShownAndWhatIsCut) {
    const CImgThumb* image = Image(320, 240);
    CCropRectDlg dialog(dialog::kCropSettings.english, Showing(image), Choice());
    dialog.Rect() = PixelRectangle(0, 0, 41, 23);
    Open(dialog);
    Click(dialog, control::kPercentUnit);
    ASSERT_EQ(dialog.Rect().isPixel, 0);
    Click(dialog, control::kPixelUnit);
    ExpectEdges(dialog.Rect(), 0, 0, 41, 23);
    EXPECT_EQ(Control<QLabel>(dialog, control::kBottomRightReadout)->text(),
              QStringLiteral("(   41 pixel,    23 pixel)"));
    EXPECT_EQ(Control<QLabel>(dialog, control::kWidthReadout)->text(),
              QStringLiteral("   41 pixel"));
    EXPECT_EQ(Control<QLabel>(dialog, control::kHeightReadout)->text(),
              QStringLiteral("   23 pixel"));
    EXPECT_EQ(dialog.Rect().Resolve(320, 240), (PixelRect{0, 0, 41, 23}));
    dialog.reject();
}

// Choosing re-compress takes the dashed region of a lossless crop off the
// preview at once, not at the next paint something else asks for.
TEST_F(CropRectDlgTest, ChoosingRecompressRepaintsThePreview) {
    const CImgThumb* image = Image(640, 480);
    CCropRectDlg dialog(dialog::kCropSettings.english, Showing(image), Choice());
    dialog.Rect() = PixelRectangle(20, 20, 200, 200);
    Open(dialog);
    ASSERT_TRUE(Control<QRadioButton>(dialog, control::kLossless)->isChecked());
    struct PaintSpy : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint)
                ++paints;
            return false;
        }
    } spy;
    QWidget* preview = Control(dialog, control::kPreviewFrame);
    preview->installEventFilter(&spy);
    QApplication::processEvents();
    spy.paints = 0;
    Click(dialog, control::kRecompress);
    EXPECT_TRUE(WaitUntil([&] { return spy.paints > 0; }, 2000));
    // And back: lossless snaps and repaints as before.
    spy.paints = 0;
    Click(dialog, control::kLossless);
    EXPECT_TRUE(WaitUntil([&] { return spy.paints > 0; }, 2000));
    dialog.reject();
}

TEST_F(CropRectDlgTest, LosslessAndGridSnapTheResolvedRectangle) {
    const CImgThumb* image = Image(640, 480);
    lossless_ = false;
    {
        CCropRectDlg dialog(dialog::kCropSettings.english, Showing(image), Choice());
        dialog.Rect() = PixelRectangle(3, 5, 250, 250);
        Open(dialog);
        Click(dialog, control::kLossless);
        ExpectEdges(dialog.Rect(), 0, 8, 248, 248);
        Click(dialog, control::kRecompress);  // back to re-compress: nothing moves
        ExpectEdges(dialog.Rect(), 0, 8, 248, 248);
        Click(dialog, control::kLossless);
        dialog.reject();
        EXPECT_FALSE(dialog.Choice().lossless);  // only OK stores the mode
    }
    {
        // Grid off with re-compress: no snapping, but whole pixels...
        CCropRectDlg dialog(dialog::kCropSettings.english, Showing(image), Choice());
        dialog.Rect() = PixelRectangle(10.7, 3.2, 100.9, 50.5);
        Open(dialog);
        Click(dialog, control::kGrid);
        ExpectEdges(dialog.Rect(), 10, 3, 100, 50);
        // ...and percent recomputed from them, near-border values on the border.
        dialog.Rect().isPixel = 0;
        SetEdges(dialog.Rect(), {10.001, 0.005, 99.995, 50});
        Click(dialog, control::kGrid);  // grid on again: snaps to 8 pixels
        ExpectEdges(dialog.Rect(), 10, 0, 100, 50);
        SetEdges(dialog.Rect(), {10.001, 0.005, 99.995, 50});
        Click(dialog, control::kGrid);
        ExpectEdges(dialog.Rect(), 10, 0, 100, 50);
        dialog.reject();
    }
}

TEST_F(CropRectDlgTest, OkRefusesAnInvalidRectangle) {
    const CImgThumb* image = Image(64, 48);
    for (const QByteArray lang : {"en_US.UTF-8", "ja_JP.UTF-8"}) {
        ScopedLanguage language(lang);
        lossless_ = false;
        CCropRectDlg dialog(CCropRectDlg::LanguageTemplate(), Showing(image), Choice());
        Open(dialog);
        Click(dialog, control::kLossless);
        SetEdges(dialog.Rect(), {20, 20, 20.004, 40});
        QString text;
        {
            ModalScript script({ClickButton(QMessageBox::Ok, &text)});
            Click(dialog, control::kOk);
            EXPECT_EQ(script.Answered(), 1);
        }
        EXPECT_EQ(text, lang.startsWith("ja") ? QStringLiteral("有効な長方形が設定されていません。")
                                              : QStringLiteral("Invalid rect."));
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_FALSE(dialog.Choice().lossless);
        ExpectEdges(dialog.Rect(), 20, 20, 20.004, 40);
        dialog.Rect().right = 20.005;
        Click(dialog, control::kOk);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_TRUE(dialog.Choice().lossless);
    }
}

TEST_F(CropRectDlgTest, CancelKeepsOnlyTheQuality) {
    const CImgThumb* image = Image(64, 48);
    lossless_ = true;
    quality_ = 80;
    CCropRectDlg dialog(dialog::kCropSettings.english, Showing(image), Choice());
    Open(dialog);
    Click(dialog, control::kRecompress);
    {
        ModalScript script({[](QWidget* widget) {
            auto* slider = widget->findChild<QSlider*>(ControlName(control::kQualityTrackbar));
            ASSERT_NE(slider, nullptr);
            slider->setValue(42);
            static_cast<QDialog*>(widget)->accept();
        }});
        Click(dialog, control::kQualityButton);
        EXPECT_EQ(script.Answered(), 1);
    }
    EXPECT_EQ(dialog.Choice().quality, 42);
    Click(dialog, 2);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.Choice().quality, 42);
    EXPECT_TRUE(dialog.Choice().lossless);
}

TEST_F(CropRectDlgTest, StepButtonsAskTheViewAndReload) {
    const CImgThumb* first = Image(640, 480);
    const CImgThumb* second = Image(300, 200);
    const CImgThumb* slot = first;
    CCropRectDlg dialog(dialog::kCropSettings.english, Showing(slot), Choice());
    std::vector<bool> asked;
    QObject::connect(&dialog, &CCropRectDlg::StepRequested, &dialog, [&](bool forward) {
        asked.push_back(forward);
        slot = forward ? second : first;
    });
    dialog.Rect() = PixelRectangle(16, 16, 400, 320);
    Open(dialog);
    EXPECT_EQ(dialog.Canvas().ImageWidth(), 640);
    Click(dialog, control::kNextImage);
    dialog.grab();
    EXPECT_EQ(dialog.Canvas().ImageWidth(), 300);
    EXPECT_EQ(Control<QLabel>(dialog, control::kWidthReadout)->text(),
              QStringLiteral("  284 pixel"));
    ExpectEdges(dialog.Rect(), 16, 16, 400, 320);
    Click(dialog, control::kPreviousImage);
    dialog.grab();
    EXPECT_EQ(dialog.Canvas().ImageWidth(), 640);
    EXPECT_EQ(asked, (std::vector<bool>{true, false}));
    dialog.reject();
}

TEST_F(CropRectDlgTest, UnloadableImageShowsNothingAndConvertsNothing) {
    const CImgThumb missing(dir_.filePath("missing.jpg"), nullptr, 640, 480);
    const CImgThumb* good = Image(300, 200);
    const CImgThumb* slot = &missing;
    CCropRectDlg dialog(dialog::kCropSettings.english, Showing(slot), Choice());
    QObject::connect(&dialog, &CCropRectDlg::StepRequested, &dialog, [&] { slot = good; });
    dialog.Rect().isPixel = 0;
    SetEdges(dialog.Rect(), {10, 10, 50, 50});
    Open(dialog);
    Click(dialog, control::kActualSize);
    dialog.grab();
    EXPECT_EQ(dialog.Canvas().ImageWidth(), 0);
    EXPECT_FALSE(Control(dialog, control::kNavigatorFrame)->isVisible());
    EXPECT_EQ(Control<QLabel>(dialog, control::kWidthReadout)->text(),
              QStringLiteral("    0 pixel"));
    // Percent of nothing has no pixels: the unit stays, the numbers too.
    Click(dialog, control::kPixelUnit);
    EXPECT_EQ(dialog.Rect().isPixel, 0);
    EXPECT_TRUE(Control<QAbstractButton>(dialog, control::kPercentUnit)->isChecked());
    Click(dialog, control::kLossless);
    ExpectEdges(dialog.Rect(), 10, 10, 50, 50);
    // The next image can be shown again, overview included.
    Click(dialog, control::kNextImage);
    dialog.grab();
    EXPECT_EQ(dialog.Canvas().ImageWidth(), 300);
    EXPECT_TRUE(Control(dialog, control::kNavigatorFrame)->isVisible());
    dialog.reject();
}

void SendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

TEST_F(CropRectDlgTest, MovingAgainstTheBorderNarrowsTheRectangle) {
    const CImgThumb* image = Image(400, 300);
    lossless_ = false;
    CCropRectDlg dialog(dialog::kCropSettings.english, Showing(image), Choice());
    Open(dialog);
    // 400 x 300 fitted into 469 x 472: 469 x 352 at 60 down, 1.1725 frame
    // pixels per image pixel; (0, 0)-(256, 256) shows as (0, 0)-(300, 300).
    const QPoint origin = Control(dialog, control::kPreviewFrame)->pos() + QPoint(0, 60);
    SendMouse(&dialog, QEvent::MouseMove, origin + QPoint(299, 299), Qt::NoButton);
    EXPECT_EQ(dialog.cursor().shape(), Qt::SizeFDiagCursor);
    SendMouse(&dialog, QEvent::MouseMove, origin + QPoint(150, 0), Qt::NoButton);
    EXPECT_EQ(dialog.cursor().shape(), Qt::SizeVerCursor);

    SendMouse(&dialog, QEvent::MouseMove, origin + QPoint(150, 150), Qt::NoButton);
    SendMouse(&dialog, QEvent::MouseButtonPress, origin + QPoint(150, 150), Qt::LeftButton);
    // The pointer stops at the picture's last column (468): a travel of
    // 318 / 1.1725 = 271.2 image pixels, left snapped to 272, right held at 400.
    SendMouse(&dialog, QEvent::MouseMove, origin + QPoint(550, 150), Qt::LeftButton);
    SendMouse(&dialog, QEvent::MouseButtonRelease, origin + QPoint(550, 150), Qt::NoButton);
    dialog.grab();
    ExpectEdges(dialog.Rect(), 272, 0, 400, 256);
    EXPECT_EQ(Control<QLabel>(dialog, control::kWidthReadout)->text(),
              QStringLiteral("  128 pixel"));
    dialog.reject();
}

}  // namespace
