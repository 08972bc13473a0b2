// The thumbnail list: row drawing, click and keyboard selection, removal.

#include "engine/DrawingUtils.h"
#include "images/ImageCollection.h"
#include "images/ImgList.h"
#include "platform/PlatformUi.h"
#include "platform/TextLayout.h"

#include "TestEnvironment.h"
#include "TestSupport.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

const auto* const kApp = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

// The bounding box of the pixels in `area` that differ from `background`.
QRect Ink(const QImage& image, const QRect& area, QColor background) {
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixelColor(x, y) != background)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

class ImgListTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { SetUpPlatformUi(); }
    QString Photo(const QString& name, int width = 64, int height = 48) {
        const QString path = dir_.path() + "/" + name;
        JpegSpec spec;
        spec.width = width;
        spec.height = height;
        WriteBytes(path, EncodeJpeg(spec));
        return path;
    }
    ImageRowContent Row(const QString& path) {
        EXPECT_EQ(images_.AddImage(path), AddOutcome::kAdded);
        const CImgThumb& record = images_.At(images_.Count() - 1);
        return {record.thumbnail->Image(), record.path, record.width, record.height};
    }
    // A shown list of `count` images, 400 x 600.
    void ShowList(int count) {
        for (int i = 0; i < count; ++i)
            images_.AddImage(Photo(QStringLiteral("%1.jpg").arg(i)));
        list_.SetCollection(&images_);
        list_.resize(400, 600);
        list_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list_));
        QObject::connect(&list_, &CImgList::ImageClicked, [this](int row) {
            clicks_.push_back({row, list_.IsSelected(row)});
        });
    }
    void Click(int y, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(list_.viewport(), Qt::LeftButton, modifiers, QPoint(150, y));
    }

    ScopedLanguage language_{"en_US.UTF-8"};
    QTemporaryDir dir_;
    ImageCollection images_;
    CImgList list_;
    std::vector<std::pair<int, bool>> clicks_;  // row, and whether it was selected then
    const QColor normal_ = ToQColor(kImageRowNormalColor);
};

TEST_F(ImgListTest, ThumbnailStandsCentredInItsBox) {
    EXPECT_EQ(ThumbnailOrigin(96, 72), QPoint(2, 14));
    EXPECT_EQ(ThumbnailOrigin(72, 96), QPoint(14, 2));
    EXPECT_EQ(ThumbnailOrigin(96, 1), QPoint(2, 49));
    EXPECT_EQ(ThumbnailOrigin(95, 72), QPoint(2, 13));  // placed by its fitted size, 96 x 73

    const ImageRowContent row = Row(Photo("big.jpg", 4000, 3000));
    ASSERT_EQ(row.thumbnail.size(), QSize(96, 72));
    const std::unique_ptr<QImage> canvas = DrawImageRow(row, QSize(400, 100), false, false);
    ASSERT_TRUE(canvas);
    EXPECT_EQ(canvas->copy(2, 14, 96, 72), row.thumbnail.convertToFormat(canvas->format()));
    EXPECT_EQ(Ink(*canvas, QRect(0, 0, 100, 100), normal_), QRect(2, 14, 96, 72));
    EXPECT_FALSE(DrawImageRow(row, QSize(0, 100), false, false));
}

TEST_F(ImgListTest, TextShowsPathAndSizeCentredAndShortened) {
    const ImageRowContent row = Row(Photo("big.jpg", 4000, 3000));
    const QFont font = ProgramFont(kImageRowFontHeight);
    const TextBlock text = LayoutText(ImageRowText(row.path, row.width, row.height), font, 2000);
    ASSERT_EQ(text.lines, (QStringList{row.path, "width: 4000 pixel, height: 3000 pixel"}));
    const std::unique_ptr<QImage> canvas = DrawImageRow(row, QSize(2100, 100), true, false);
    const QColor selected = ToQColor(kImageRowSelectedColor);
    EXPECT_EQ(canvas->pixelColor(99, 1), selected);
    const QRect ink = Ink(*canvas, QRect(100, 0, 2000, 100), selected);
    const int top = (100 - text.Height()) / 2;
    EXPECT_GE(ink.top(), top);
    EXPECT_LT(ink.bottom(), top + text.Height());
    EXPECT_LE(std::abs(ink.top() - (99 - ink.bottom())), 4);  // centred, give or take the glyphs

    // A path too long for the row loses its middle, never its file name.
    ImageRowContent longRow = row;
    longRow.path =
        dir_.path() + "/" + QString(40, u'x') + "/" + QString(40, u'y') + "/IMG_0001.jpg";
    const std::unique_ptr<QImage> narrow = DrawImageRow(longRow, QSize(400, 100), false, false);
    const QStringList lines = LayoutText(ImageRowText(longRow.path, 4000, 3000), font, 300).lines;
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains("...") && lines[0].endsWith("/IMG_0001.jpg"));
    EXPECT_LT(Ink(*narrow, QRect(100, 0, 300, 100), normal_).right(), 400);

    // The focus rectangle inverts every other border pixel, nothing inside.
    const std::unique_ptr<QImage> focused = DrawImageRow(row, QSize(400, 100), false, true);
    const std::unique_ptr<QImage> plain = DrawImageRow(row, QSize(400, 100), false, false);
    EXPECT_EQ(focused->pixel(0, 0), plain->pixel(0, 0) ^ 0x00FFFFFFU);
    EXPECT_EQ(focused->pixel(1, 0), plain->pixel(1, 0));
    EXPECT_EQ(focused->pixel(399, 99), plain->pixel(399, 99) ^ 0x00FFFFFFU);
    EXPECT_EQ(focused->copy(1, 1, 398, 98), plain->copy(1, 1, 398, 98));
}

TEST_F(ImgListTest, ClicksToggleOneRowAndReportItAfterwards) {
    ShowList(5);
    EXPECT_EQ(list_.visualRect(images_.index(3)), QRect(0, 300, list_.viewport()->width(), 100));
    Click(150);
    EXPECT_TRUE(clicks_.empty());  // posted, not sent
    QCoreApplication::processEvents();
    Click(350);
    Click(150);
    Click(460, Qt::ShiftModifier);  // no ranges either
    QCoreApplication::processEvents();
    EXPECT_EQ(clicks_,
              (std::vector<std::pair<int, bool>>{{1, true}, {3, true}, {1, false}, {4, true}}));
    EXPECT_EQ(list_.SelectedRows(), (std::vector<int>{3, 4}));
    // Below the last row the click belongs to the last row.
    Click(580);
    QCoreApplication::processEvents();
    EXPECT_EQ(clicks_.back(), std::make_pair(4, false));
    // Dragging over rows selects nothing beyond the pressed row.
    QTest::mousePress(list_.viewport(), Qt::LeftButton, {}, QPoint(150, 50));
    QMouseEvent move(QEvent::MouseMove, QPointF(150, 250),
                     list_.viewport()->mapToGlobal(QPointF(150, 250)), Qt::NoButton, Qt::LeftButton,
                     {});
    QCoreApplication::sendEvent(list_.viewport(), &move);
    QTest::mouseRelease(list_.viewport(), Qt::LeftButton, {}, QPoint(150, 250));
    EXPECT_EQ(list_.SelectedRows(), (std::vector<int>{0, 3}));
}

TEST_F(ImgListTest, KeyboardChangesOnlyTheSelection) {
    ShowList(5);
    list_.setFocus();
    list_.setCurrentIndex(images_.index(0));
    list_.SetSelected(0, false);
    QTest::keyClick(&list_, Qt::Key_Down);
    QTest::keyClick(&list_, Qt::Key_Down);
    EXPECT_TRUE(list_.SelectedRows().empty());
    QTest::keyClick(&list_, Qt::Key_Space);
    QCoreApplication::processEvents();
    EXPECT_EQ(list_.SelectedRows(), std::vector<int>{2});
    EXPECT_TRUE(clicks_.empty());

    ImageCollection empty;
    CImgList nothing;
    nothing.SetCollection(&empty);
    QSignalSpy spy(&nothing, &CImgList::ImageClicked);
    nothing.resize(200, 200);
    QTest::mouseClick(nothing.viewport(), Qt::LeftButton, {}, QPoint(50, 50));
    QCoreApplication::processEvents();
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(ImgListTest, RemovingSelectedRowsKeepsTheOthersInOrderAndSelected) {
    ShowList(5);
    const QStringList paths = images_.Paths();
    list_.SetSelected(1, true);
    list_.SetSelected(3, true);
    images_.RemoveImages(list_.SelectedRows());
    EXPECT_EQ(images_.Paths(), (QStringList{paths[0], paths[2], paths[4]}));
    EXPECT_TRUE(list_.SelectedRows().empty());
    list_.SetSelected(2, true);
    images_.RemoveImage(0);
    EXPECT_EQ(list_.SelectedRows(), std::vector<int>{1});  // the selection moved with its row

    // What the list shows is the row drawing, selection included.
    QCoreApplication::processEvents();  // the list lays its rows out again
    const QImage shown = list_.viewport()->grab().toImage();
    const QString first = images_.At(0).path;
    const std::unique_ptr<QImage> row0 =
        DrawImageRow({images_.At(0).thumbnail->Image(), first, 64, 48},
                     QSize(list_.viewport()->width(), 100), false, false);
    EXPECT_EQ(shown.copy(1, 1, 98, 98), row0->copy(1, 1, 98, 98));  // inside any focus frame
    EXPECT_EQ(shown.pixelColor(99, 150), ToQColor(kImageRowSelectedColor));
}

}  // namespace
