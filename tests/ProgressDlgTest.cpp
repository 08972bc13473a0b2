// The progress window: its rounding and clamping, where it stands, the one
// window shown at a time, and the paints let through while its operation
// keeps the thread busy.

#include "engine/ProgressDlg.h"
#include "platform/ResourceIds.h"

#include "TestEnvironment.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProgressBar>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

#include <climits>
#include <memory>

namespace {

using namespace testing_support;

const auto* const kApp = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

TEST(ProgressScaleTest, RoundsHalfUpAndClampsIntoTheRange) {
    struct Case {
        int total;
        int done;
        int position;
    };
    const Case cases[] = {
        {3, 0, 0},
        {3, 1, 33},
        {3, 2, 67},
        {3, 3, 100},
        {1000, 4, 0},
        {1000, 5, 1},
        {1000, 994, 99},
        {1000, 995, 100},
        {3, 4, 100},
        {3, -1, 0},
        {1, INT_MAX, 100},
        {1, INT_MIN, 0},
        {INT_MAX, INT_MAX, 100},
        {INT_MAX, 1, 0},
    };
    for (const Case& c : cases) {
        const ProgressScale scale(c.total);
        EXPECT_EQ(scale.low, 0);
        EXPECT_EQ(scale.high, 100) << c.total;
        EXPECT_EQ(scale.PositionFor(c.done), c.position) << c.total << " " << c.done;
    }
}

TEST(ProgressScaleTest, ATotalOfZeroGivesAnEmptyRangeWithoutDividing) {
    const ProgressScale scale(0);
    EXPECT_EQ(scale.low, 0);
    EXPECT_EQ(scale.high, 0);
    for (const int done : {0, 1, -1, INT_MAX})
        EXPECT_EQ(scale.PositionFor(done), 0);
}

TEST(ProgressPlacementTest, CentredAcrossTheWorkAreaAndDownOverTheParent) {
    const PixelRect work{0, 30, 1920, 1080};
    // 166 x 18 dialog units.
    EXPECT_EQ(PlaceProgressWindow(work, {100, 50, 1084, 778}, 249, 29),
              (PixelRect{835, 399, 1084, 428}));
    // A parent lower than the window: the offset truncates toward zero.
    EXPECT_EQ(PlaceProgressWindow(work, {0, 10, 200, 30}, 249, 29), (PixelRect{835, 6, 1084, 35}));
    // A parent partly off the screen keeps the window over it.
    EXPECT_EQ(PlaceProgressWindow(work, {-500, -300, 100, 101}, 249, 29).top, -300 + 186);
}

class CountingWidget : public QWidget {
  public:
    int paints = 0;

  protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

QProgressBar* Bar(const CProgressDlg& dialog) {
    return dialog.findChild<QProgressBar*>(ControlName(control::kProgressBar));
}

TEST(ProgressDlgTest, TemplateSizeTopmostFramelessAndNoTaskbarEntry) {
    QWidget parent;
    parent.setGeometry(100, 200, 600, 400);
    parent.show();
    const CProgressDlg dialog(&parent, 3);
    EXPECT_EQ(dialog.size(), QSize(249, 29));
    ASSERT_NE(Bar(dialog), nullptr);
    EXPECT_EQ(Bar(dialog)->geometry(), QRect(8, 5, 234, 19));
    EXPECT_FALSE(Bar(dialog)->isTextVisible());
    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(dialog.windowType(), Qt::Tool);
    EXPECT_EQ(dialog.windowModality(), Qt::WindowModal);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.y(), 200 + (400 - 29) / 2);
    const QRect work = parent.screen()->availableGeometry();
    EXPECT_EQ(dialog.x(), work.left() + (work.width() - 249) / 2);
}

TEST(ProgressDlgTest, StepsMoveTheBarAndLetPaintsThrough) {
    CountingWidget parent;
    parent.resize(400, 300);
    parent.show();
    ASSERT_TRUE(WaitUntil([&] { return parent.paints > 0; }));
    CProgressDlg dialog(&parent, 3);
    const int positions[] = {33, 67, 100};
    for (int done = 1; done <= 3; ++done) {
        parent.paints = 0;
        parent.update();
        EXPECT_EQ(dialog.Step(done), 1);
        EXPECT_EQ(dialog.Position(), positions[done - 1]);
        EXPECT_EQ(Bar(dialog)->value(), positions[done - 1]);
        EXPECT_GT(parent.paints, 0) << "the window behind did not repaint at step " << done;
    }
    EXPECT_EQ(dialog.Step(7), 1);
    EXPECT_EQ(Bar(dialog)->value(), 100);
    EXPECT_EQ(dialog.Step(-2), 1);
    EXPECT_EQ(Bar(dialog)->value(), 0);
}

TEST(ProgressDlgTest, ATotalOfZeroShowsAnEmptyBarNotABusyOne) {
    QWidget parent;
    parent.show();
    CProgressDlg dialog(&parent, 0);
    EXPECT_EQ(dialog.RangeLow(), 0);
    EXPECT_EQ(dialog.RangeHigh(), 0);
    EXPECT_EQ(dialog.Step(0), 1);
    EXPECT_EQ(dialog.Step(1), 1);
    QProgressBar* bar = Bar(dialog);
    // Equal minimum and maximum would make Qt animate a busy bar.
    EXPECT_LT(bar->minimum(), bar->maximum());
    EXPECT_EQ(bar->value(), bar->minimum());
}

TEST(ProgressDlgTest, OnlyTheOutermostWindowIsEverShown) {
    QWidget parent;
    parent.show();
    ASSERT_EQ(CProgressDlg::OpenCount(), 0);
    {
        CProgressDlg outer(&parent, 10);
        EXPECT_TRUE(outer.isVisible());
        {
            CProgressDlg inner(&parent, 4);
            EXPECT_EQ(CProgressDlg::OpenCount(), 2);
            EXPECT_FALSE(inner.isVisible());
            inner.Step(2);  // steps work on a hidden window too
            EXPECT_EQ(inner.Position(), 50);
            EXPECT_FALSE(inner.isVisible());
        }
        EXPECT_EQ(CProgressDlg::OpenCount(), 1);
        EXPECT_TRUE(outer.isVisible());
    }
    EXPECT_EQ(CProgressDlg::OpenCount(), 0);
    const CProgressDlg next(&parent, 1);
    EXPECT_TRUE(next.isVisible());
}

// Adding photos and loading the data files set no stop request: Esc and
// close do nothing there. A batch hears of both, and the window stays until
// the batch ends it.
TEST(ProgressDlgTest, NeitherEscNorCloseEndsItButAStoppableOperationHearsOfThem) {
    QWidget parent;
    parent.show();
    CProgressDlg dialog(&parent, 5);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &escape);
    EXPECT_FALSE(dialog.close());
    EXPECT_TRUE(dialog.isVisible());

    int requests = 0;
    dialog.SetStopRequest([&] {
        ++requests;
        // A second request while the first is being answered is dropped.
        QKeyEvent again(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &again);
        dialog.close();
    });
    QApplication::sendEvent(&dialog, &escape);
    EXPECT_EQ(requests, 1);
    EXPECT_FALSE(dialog.close());
    EXPECT_EQ(requests, 2);
    EXPECT_TRUE(dialog.isVisible());
    dialog.Step(3);  // steps go on as before
    EXPECT_EQ(dialog.Position(), 60);
}

TEST(ProgressDlgTest, WithoutAParentTheFocusWindowIsTheParent) {
    QWidget window;
    auto* edit = new QLineEdit(&window);
    window.show();
    window.activateWindow();
    edit->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == edit; }));
    const CProgressDlg dialog(nullptr, 2);
    EXPECT_EQ(dialog.parentWidget(), &window);
}

}  // namespace
