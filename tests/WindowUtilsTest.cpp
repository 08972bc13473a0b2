// The window helpers: paints go through a busy loop while timers wait, the
// cursors for each handle, and raising a window by its title.

#include "platform/HitTest.h"
#include "platform/WindowUtils.h"

#include "TestEnvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

const auto* const kApp = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

class CountingWidget : public QWidget {
  public:
    int paints = 0;

  protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

TEST(WindowUtilsTest, PumpPaintsPendingUpdates) {
    CountingWidget widget;
    widget.resize(200, 100);
    widget.show();
    ASSERT_TRUE(WaitUntil([&] { return widget.paints > 0; }));
    widget.paints = 0;
    widget.update();
    PumpPaintMessages();
    EXPECT_EQ(widget.paints, 1);
    PumpPaintMessages();
    EXPECT_EQ(widget.paints, 1);  // nothing new to paint
}

TEST(WindowUtilsTest, PumpLetsNoTimerFire) {
    int fired = 0;
    QTimer timer;
    timer.setInterval(1);
    QObject::connect(&timer, &QTimer::timeout, [&fired] { ++fired; });
    timer.start();
    QThread::msleep(20);
    for (int i = 0; i < 5; ++i)
        PumpPaintMessages();
    EXPECT_EQ(fired, 0);
    EXPECT_TRUE(WaitUntil([&] { return fired > 0; }));  // the event loop runs it
}

TEST(WindowUtilsTest, SizingCursorsForCornersAndEdges) {
    const std::pair<int, Qt::CursorShape> expected[] = {
        {kHitTopLeft, Qt::SizeFDiagCursor},  {kHitBottomRight, Qt::SizeFDiagCursor},
        {kHitTopRight, Qt::SizeBDiagCursor}, {kHitBottomLeft, Qt::SizeBDiagCursor},
        {kHitLeft, Qt::SizeHorCursor},       {kHitRight, Qt::SizeHorCursor},
        {kHitTop, Qt::SizeVerCursor},        {kHitBottom, Qt::SizeVerCursor},
    };
    for (const auto& [code, shape] : expected) {
        const std::optional<QCursor> cursor = CursorForHit(code);
        ASSERT_TRUE(cursor.has_value()) << code;
        EXPECT_EQ(cursor->shape(), shape) << code;
    }
    for (int code : {0, 10, -1})
        EXPECT_FALSE(CursorForHit(code).has_value()) << code;
}

TEST(WindowUtilsTest, InsideGivesTheProgramsMoveCursor) {
    const std::optional<QCursor> cursor = CursorForHit(kHitInside);
    ASSERT_TRUE(cursor.has_value());
    EXPECT_EQ(cursor->shape(), Qt::BitmapCursor);
    EXPECT_EQ(cursor->hotSpot(), kMoveCursorHotSpot);
    const QImage picture = cursor->pixmap().toImage();
    ASSERT_EQ(picture.size(), QSize(32, 32));
    // The hot spot is drawn (inside the ring), the corners are see-through.
    EXPECT_GT(picture.pixelColor(kMoveCursorHotSpot).alpha(), 200);
    EXPECT_EQ(picture.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(picture.pixelColor(31, 31).alpha(), 0);
}

TEST(WindowUtilsTest, RaisesTheWindowWithExactlyThatTitle) {
    QWidget target;
    target.setWindowTitle(QStringLiteral("Quorvane Framewright"));
    target.show();
    QWidget other;
    other.setWindowTitle(QStringLiteral("Quorvane Framewright 2"));
    other.show();
    other.activateWindow();
    ASSERT_TRUE(WaitUntil([&] { return QApplication::activeWindow() == &other; }));
    EXPECT_TRUE(RaiseWindowTitled(QStringLiteral("Quorvane Framewright")));
    EXPECT_TRUE(WaitUntil([&] { return QApplication::activeWindow() == &target; }));
    EXPECT_FALSE(RaiseWindowTitled(QStringLiteral("Quorvane")));
    target.hide();
    EXPECT_FALSE(RaiseWindowTitled(QStringLiteral("Quorvane Framewright")));
}

}  // namespace
