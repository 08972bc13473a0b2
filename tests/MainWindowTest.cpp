// The main window as the user meets it: the commands' refusals in their
// order, previous and next, Esc, F1 and the wheel over the lists, the
// smallest size, the preview, and the data files around a run.

#include "app/MainFrame.h"
#include "app/PictureButton.h"
#include "croprects/CropRectDlg.h"
#include "croprects/CropRectListBox.h"
#include "croprects/RectFile.h"
#include "engine/ProgressDlg.h"
#include "images/HelpWnd.h"
#include "images/ImageListFile.h"
#include "images/ImgList.h"
#include "platform/PlatformUi.h"

#include "TestEnvironment.h"
#include "TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMessageBox>
#include <QMimeData>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace testing_support;

const auto* const kApp = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

const QString kNoImages = QStringLiteral("You can do this operation after you add jmages.");
const QRgb kPreviewBackground = qRgb(229, 234, 238);

class MainWindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { SetUpPlatformUi(); }

    // Photos of `count` images listed in IMG.DAT, the given rectangles in RECT.DAT.
    void WriteDataFiles(int count, const std::vector<CCropRect>& rects = {},
                        QSize size = {64, 48}) {
        QStringList paths;
        for (int i = 0; i < count; ++i) {
            paths << Folder() + QStringLiteral("photo%1.jpg").arg(i);
            WriteBytes(paths.back(), EncodeJpeg(Spec(size.width(), size.height(), 3, 2, 2)));
        }
        WriteBytes(Folder() + "IMG.DAT", SerializeImageRecords(paths));
        WriteBytes(Folder() + "RECT.DAT", SerializeRectRecords(rects));
    }

    CChildView& Open() {
        ViewEnvironment environment;
        environment.settings = &settings_;
        environment.appActive = &active_;
        environment.dataFolder = Folder();
        frame_ = std::make_unique<CMainFrame>(environment, LogoTiming{{}, {}, {}});
        frame_->show();
        bool loaded = false;
        QObject::connect(frame_->View(), &CChildView::Loaded, [&loaded] { loaded = true; });
        EXPECT_TRUE(WaitUntil([&] { return loaded; }));
        frame_->View()->SetPageOpener(
            [this](const QUrl& url, const std::function<void()>&) { opened_.push_back(url); });
        return *frame_->View();
    }

    // Runs a command and returns the text of the one box it shows.
    QString Refusal(int command, int button = QMessageBox::Ok) {
        QString text;
        ModalScript script({ClickButton(button, &text)});
        View().OnCommand(command);
        EXPECT_EQ(script.Pending(), 0) << "command " << command;
        return text;
    }

    QString Folder() const { return dir_.path() + QLatin1Char('/'); }
    CChildView& View() { return *frame_->View(); }

    ScopedLanguage language_{"en_US.UTF-8"};
    QTemporaryDir dir_;
    AppSettings settings_;
    bool active_ = true;
    std::vector<QUrl> opened_;
    std::unique_ptr<CMainFrame> frame_;
};

TEST_F(MainWindowTest, EmptyWindowShowsBothHintsAndRefusesEveryImageCommand) {
    CChildView& view = Open();
    EXPECT_TRUE(view.ImagesHint()->isVisible());
    EXPECT_TRUE(view.RectanglesHint()->isVisible());
    EXPECT_EQ(settings_.notFirst, 1);  // the first start is complete
    view.AddCropRect(PixelRectangle(0, 0, 10, 10));
    view.RectList()->SelectRow(0);
    for (const int command : {154, 201, 205, 206, 208, 209, 210, 213, 214}) {
        EXPECT_EQ(Refusal(command), kNoImages) << command;
    }
    EXPECT_EQ(view.CropRects().size(), 1u);
}

TEST_F(MainWindowTest, RefusalsComeInTheirOrder) {
    WriteDataFiles(3);
    CChildView& view = Open();
    EXPECT_FALSE(view.ImagesHint()->isVisible());
    view.ImageList()->clearSelection();
    EXPECT_EQ(Refusal(kCmdCropSelected), QStringLiteral("No images are selected."));
    EXPECT_EQ(Refusal(kCmdRemoveSelected), QStringLiteral("No images are selected."));
    EXPECT_EQ(Refusal(kCmdEditRect), QStringLiteral("No crop settings."));
    EXPECT_EQ(Refusal(kCmdDeleteRect), QStringLiteral("No crop settings."));
    view.AddCropRect(PixelRectangle(0, 0, 10, 10));
    EXPECT_FALSE(view.RectanglesHint()->isVisible());
    EXPECT_EQ(Refusal(kCmdEditRect), QStringLiteral("No crop rect selected."));
    EXPECT_EQ(Refusal(kCmdDeleteRect), QStringLiteral("No crop rect selected."));

    view.RectList()->SelectRow(0);
    EXPECT_EQ(Refusal(kCmdDeleteRect, QMessageBox::No),
              QStringLiteral("Are you sure to delete the selected rect?"));
    EXPECT_EQ(view.CropRects().size(), 1u);
    Refusal(kCmdDeleteRect, QMessageBox::Yes);
    EXPECT_TRUE(view.CropRects().empty());
    EXPECT_TRUE(view.RectanglesHint()->isVisible());

    view.ImageList()->SetSelected(1, true);
    EXPECT_EQ(Refusal(kCmdRemoveSelected, QMessageBox::Yes),
              QStringLiteral("Are you sure to delete?"));
    ASSERT_EQ(view.Images().Count(), 2);
    EXPECT_TRUE(view.Images().At(1).path.endsWith("photo2.jpg"));
    Refusal(kCmdRemoveAll, QMessageBox::Yes);
    EXPECT_EQ(view.Images().Count(), 0);
    EXPECT_TRUE(view.ImagesHint()->isVisible());
}

TEST_F(MainWindowTest, StepsWrapOverTheSelectedImagesOrAll) {
    WriteDataFiles(4);
    CChildView& view = Open();
    view.ImageList()->clearSelection();
    view.OnCommand(kCmdPrevious);
    EXPECT_EQ(view.Images().CurrentIndex(), 3);  // wrapped from the first
    view.OnCommand(kCmdNext);
    EXPECT_EQ(view.Images().CurrentIndex(), 0);
    view.ImageList()->SetSelected(2, true);
    view.OnCommand(kCmdNext);
    EXPECT_EQ(view.Images().CurrentIndex(), 2);  // one selected: stays on it
    view.OnCommand(kCmdNext);
    EXPECT_EQ(view.Images().CurrentIndex(), 2);
    view.ImageList()->SetSelected(0, true);
    view.OnCommand(kCmdNext);
    EXPECT_EQ(view.Images().CurrentIndex(), 0);  // wraps within {0, 2}
}

TEST_F(MainWindowTest, EscF1AndTheWheelOverAListReachTheViewOnly) {
    WriteDataFiles(30);
    CChildView& view = Open();
    CImgList* list = view.ImageList();
    list->setFocus();
    QString asked;
    {
        ModalScript script({ClickButton(QMessageBox::No, &asked)});
        QTest::keyClick(list, Qt::Key_Escape);
        EXPECT_TRUE(WaitUntil([&] { return script.Pending() == 0; }));
    }
    EXPECT_EQ(asked, QStringLiteral("Are you sure to exit?"));
    EXPECT_TRUE(frame_->isVisible());  // No keeps the program
    QTest::keyClick(list, Qt::Key_F1);
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_TRUE(opened_[0].toString().endsWith("pelmora/pelmora_e.html"));
    // Keys the view has no use for still move the list.
    const int before = list->currentIndex().row();
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->currentIndex().row(), before + 1);

    struct Spy : QObject {
        int wheels = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Wheel)
                ++wheels;
            return false;
        }
    } spy;
    list->viewport()->installEventFilter(&spy);
    const QPointF at(20, 20);
    QWheelEvent wheel(at, list->viewport()->mapToGlobal(at), {}, {0, -120}, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(list->viewport(), &wheel);
    EXPECT_EQ(spy.wheels, 0);
    EXPECT_GT(list->verticalScrollBar()->value(), 0);  // the view scrolled it
}

// The hint cards are windows of their own over the lists; a drop on the one
// that asks for files must be taken as a drop on the window.
TEST_F(MainWindowTest, FilesDroppedOnEitherHintCardAreAdded) {
    CChildView& view = Open();
    const QString first = Folder() + "drop/first.jpg";
    const QString second = Folder() + "drop/second.jpg";
    for (const QString& path : {first, second}) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        WriteBytes(path, EncodeJpeg(Spec(64, 48, 3, 2, 2)));
    }
    const auto dropOn = [](QWidget* hint, const QString& path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        const QPointF at(hint->width() / 2.0, hint->height() / 2.0);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(hint, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDragMoveEvent move(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(hint, &move);
        EXPECT_TRUE(move.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(hint, &drop);
        EXPECT_TRUE(drop.isAccepted());
        EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
    };
    ASSERT_TRUE(view.ImagesHint()->isVisible());
    dropOn(view.ImagesHint(), first);
    EXPECT_TRUE(WaitUntil([&] { return view.Images().Count() == 1; }));
    EXPECT_FALSE(view.ImagesHint()->isVisible());
    ASSERT_TRUE(view.RectanglesHint()->isVisible());
    dropOn(view.RectanglesHint(), second);
    EXPECT_TRUE(WaitUntil([&] { return view.Images().Count() == 2; }));
    EXPECT_EQ(view.Images().Paths(), (QStringList{first, second}));
    // What is not files is refused there as on the window.
    QMimeData text;
    text.setText(QStringLiteral("not a file"));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, {});
    QApplication::sendEvent(view.RectanglesHint(), &enter);
    EXPECT_FALSE(enter.isAccepted());
}

// The data files are read, and the hints and the loading window shown, only
// once the logo has gone and the window is opaque; a list that is not yet
// read shows no hint that it is empty.
TEST_F(MainWindowTest, NothingOfTheViewShowsBeforeTheLogoHasEnded) {
    WriteDataFiles(3, {PixelRectangle(0, 0, 16, 16)});
    ViewEnvironment environment;
    environment.settings = &settings_;
    environment.appActive = &active_;
    environment.dataFolder = Folder();
    struct ShowSpy : QObject {
        CMainFrame* frame = nullptr;
        QStringList early;  // what showed while the logo was still up
        QStringList shown;
        bool eventFilter(QObject* object, QEvent* event) override {
            if (event->type() != QEvent::Show || frame == nullptr)
                return false;
            const QString name = object->metaObject()->className();
            if (name != QStringLiteral("CHelpWnd") && name != QStringLiteral("CProgressDlg"))
                return false;
            shown << name;
            if (!frame->LogoSequenceDone() || frame->windowOpacity() < 1.0)
                early << name;
            return false;
        }
    } spy;
    qApp->installEventFilter(&spy);
    frame_ = std::make_unique<CMainFrame>(
        environment, LogoTiming{std::chrono::milliseconds(1), std::chrono::milliseconds(1),
                                std::chrono::milliseconds(1)});
    spy.frame = frame_.get();
    bool logoDoneAtLoad = false;
    double opacityAtLoad = 0;
    QObject::connect(frame_->View(), &CChildView::Loaded, [&] {
        logoDoneAtLoad = frame_->LogoSequenceDone();
        opacityAtLoad = frame_->windowOpacity();
    });
    frame_->show();
    EXPECT_TRUE(WaitUntil([&] { return frame_->View()->IsLoaded(); }));
    qApp->removeEventFilter(&spy);
    EXPECT_TRUE(logoDoneAtLoad);
    EXPECT_EQ(opacityAtLoad, 1.0);
    EXPECT_TRUE(spy.early.isEmpty()) << spy.early.join(", ").toStdString();
    EXPECT_FALSE(spy.shown.contains("CHelpWnd")) << spy.shown.join(", ").toStdString();
    EXPECT_EQ(frame_->View()->Images().Count(), 3);
    EXPECT_FALSE(frame_->View()->ImagesHint()->isVisible());
    EXPECT_FALSE(frame_->View()->RectanglesHint()->isVisible());
}

// A move or resize whose button release was lost (taken by another window)
// ends at the next move without the button, instead of following the
// pointer for good.
TEST_F(MainWindowTest, ADragEndsWhenTheButtonIsFoundUp) {
    CChildView& view = Open();
    const auto moveTo = [&view](QPoint from, QPoint offset, Qt::MouseButtons held) {
        QMouseEvent move(QEvent::MouseMove, from + offset, view.mapToGlobal(from) + offset,
                         Qt::NoButton, held, {});
        QApplication::sendEvent(&view, &move);
    };
    frame_->setGeometry(100, 100, 984, 728);
    const QPoint background(400, 20);
    QTest::mousePress(&view, Qt::LeftButton, {}, background);
    moveTo(background, {30, 20}, Qt::LeftButton);
    EXPECT_EQ(frame_->pos(), QPoint(130, 120));
    moveTo(background, {60, 40}, Qt::NoButton);  // the release never came
    EXPECT_EQ(frame_->pos(), QPoint(130, 120));
    moveTo(background, {90, 60}, Qt::NoButton);
    EXPECT_EQ(frame_->pos(), QPoint(130, 120));

    frame_->setGeometry(100, 100, 984, 728);
    const QPoint rightEdge(982, 300);
    QTest::mousePress(&view, Qt::LeftButton, {}, rightEdge);
    moveTo(rightEdge, {50, 0}, Qt::LeftButton);
    EXPECT_EQ(frame_->width(), 1034);
    moveTo(rightEdge, {100, 0}, Qt::NoButton);
    EXPECT_EQ(frame_->width(), 1034);
    EXPECT_EQ(frame_->pos(), QPoint(100, 100));
}

// Without a browser the home and help buttons and F1 say where the page is.
TEST_F(MainWindowTest, WithoutABrowserThePagesAddressIsShown) {
    CChildView& view = Open();
    view.SetPageOpener([](const QUrl&, const std::function<void()>& failed) { failed(); });
    const auto notice = [&](const std::function<void()>& action) {
        QString text;
        ModalScript script({ClickButton(QMessageBox::Ok, &text)});
        action();
        EXPECT_TRUE(WaitUntil([&] { return script.Pending() == 0; }));
        return text;
    };
    const QString help = notice([&] { view.OnCommand(kCmdHelpPage); });
    EXPECT_TRUE(help.startsWith("No web browser could be started.")) << help.toStdString();
    EXPECT_TRUE(help.endsWith("/pelmora/pelmora_e.html")) << help.toStdString();
    EXPECT_TRUE(help.contains("http://")) << help.toStdString();
    EXPECT_TRUE(notice([&] { view.OnCommand(kCmdHomePage); }).endsWith("/index_e.html"));
    EXPECT_TRUE(notice([&] {
                    QTest::keyClick(view.ImageList(), Qt::Key_F1);
                }).endsWith("/pelmora/pelmora_e.html"));
}

// The desktop's own way: an opener that cannot be found, or one that ends
// with a failure status, is a browser that could not be started.
TEST_F(MainWindowTest, TheDesktopsOpenerIsAskedAndItsFailureShown) {
    QTemporaryDir bin;
    ScopedEnv path("PATH", QFile::encodeName(bin.path()));
    ScopedEnv browser("BROWSER", std::nullopt);
    ScopedEnv defaultBrowser("DEFAULT_BROWSER", std::nullopt);
    const QString opener = bin.path() + "/xdg-open";
    const auto installOpener = [&](int status) {
        WriteBytes(opener, QStringLiteral("#!/bin/sh\necho \"$1\" > '%1/asked'\nexit %2\n")
                               .arg(bin.path())
                               .arg(status)
                               .toUtf8());
        QFile::setPermissions(opener, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    };
    Open();
    View().SetPageOpener({});  // back to the default
    const auto pressHelp = [&] {
        QString text;
        ModalScript script({ClickButton(QMessageBox::Ok, &text)});
        View().OnCommand(kCmdHelpPage);
        WaitUntil([&] { return script.Pending() == 0; }, 3000);
        return text;
    };
    EXPECT_TRUE(pressHelp().endsWith("/pelmora/pelmora_e.html"));  // nothing to open with
    installOpener(3);
    EXPECT_TRUE(pressHelp().endsWith("/pelmora/pelmora_e.html"));
    EXPECT_TRUE(ReadBytes(bin.path() + "/asked").trimmed().endsWith("/pelmora/pelmora_e.html"));
    installOpener(0);
    EXPECT_TRUE(pressHelp().isEmpty());  // opened: no notice
}

TEST_F(MainWindowTest, EveryButtonShowsThePointingHand) {
    CChildView& view = Open();
    for (const int command : {154, 201, 205, 206, 208, 209, 210, 213, 214, 215, 216, 217, 218}) {
        EXPECT_EQ(view.Button(command)->cursor().shape(), Qt::PointingHandCursor) << command;
    }
    int hands = 0;
    ModalScript script({[&hands](QWidget* box) {
        for (QAbstractButton* button : box->findChildren<QAbstractButton*>()) {
            hands += button->cursor().shape() == Qt::PointingHandCursor ? 1 : 0;
        }
        static_cast<QMessageBox*>(box)->button(QMessageBox::No)->click();
    }});
    frame_->close();
    EXPECT_EQ(hands, 2);  // Yes and No
}

TEST_F(MainWindowTest, NeverSmallerThanTheMinimumFromAnyEdge) {
    CChildView& view = Open();
    frame_->resize(300, 200);
    EXPECT_EQ(frame_->size(), QSize(800, 600));
    frame_->resize(984, 728);
    const QPoint corners[] = {{1, 1},   {982, 1}, {1, 726},   {982, 726},
                              {1, 300}, {500, 1}, {982, 300}, {500, 726}};
    for (const QPoint press : corners) {
        frame_->setGeometry(100, 100, 984, 728);
        const QPoint inward((press.x() < 492 ? 1 : -1) * 600, (press.y() < 364 ? 1 : -1) * 600);
        QTest::mousePress(&view, Qt::LeftButton, {}, press);
        QMouseEvent move(QEvent::MouseMove, press + inward, view.mapToGlobal(press) + inward,
                         Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(&view, &move);
        QTest::mouseRelease(&view, Qt::LeftButton, {}, press + inward);
        const QSize size = frame_->size();
        const bool horizontal = press.x() != 500;
        const bool vertical = press.y() != 300;
        EXPECT_EQ(size.width(), horizontal ? 800 : 984) << press.x() << "," << press.y();
        EXPECT_EQ(size.height(), vertical ? 600 : 728) << press.x() << "," << press.y();
    }
}

TEST_F(MainWindowTest, OnlyRectanglesOnTheImageAreDrawnAndHovered) {
    const CCropRect on = [] {
        CCropRect r = PixelRectangle(8, 8, 40, 32);
        r.color = MakeColorRef(255, 0, 0);
        return r;
    }();
    CCropRect off = PixelRectangle(200, 200, 300, 300);
    off.color = MakeColorRef(0, 0, 255);
    WriteDataFiles(1, {on, off}, QSize(64, 48));
    CChildView& view = Open();
    view.Preview()->grab();
    ASSERT_TRUE(WaitUntil([&] { return view.PreviewImage().Settled(); }));
    const QImage preview = view.Preview()->grab().toImage();
    ASSERT_NE(view.PreviewImage().Bitmap(), nullptr);
    bool red = false;
    bool blue = false;
    for (int y = 0; y < preview.height(); ++y) {
        for (int x = 0; x < preview.width(); ++x) {
            red |= preview.pixel(x, y) == qRgb(255, 0, 0);
            blue |= preview.pixel(x, y) == qRgb(0, 0, 255);
        }
    }
    EXPECT_TRUE(red);
    EXPECT_FALSE(blue);
    // Pointing at the drawn outline selects its row.
    const QRect drawn = view.PreviewPicture();
    const PixelRect shown = MapToPreview(PixelRect{8, 8, 40, 32}, 64, drawn);
    const QPoint edge = view.Preview()->pos() + QPoint(shown.left, (shown.top + shown.bottom) / 2);
    QTest::mouseMove(&view, edge);
    EXPECT_EQ(view.RectList()->SelectedRow(), 0);
}

TEST_F(MainWindowTest, UndecodableImageShowsOnlyTheBackgroundAndAClickMovesTheWindow) {
    WriteDataFiles(1);
    CChildView& view = Open();
    WriteBytes(view.Images().At(0).path, QByteArray("no longer a picture"));
    view.OnCommand(kCmdNext);
    view.Preview()->grab();
    ASSERT_TRUE(WaitUntil([&] { return view.PreviewImage().Settled(); }));
    const QImage preview = view.Preview()->grab().toImage();
    EXPECT_EQ(view.PreviewImage().Bitmap(), nullptr);
    EXPECT_EQ(preview.pixel(preview.width() / 2, preview.height() / 2), kPreviewBackground);
    frame_->move(50, 60);
    const QPoint press = view.Preview()->geometry().center();
    QTest::mousePress(&view, Qt::LeftButton, {}, press);
    QMouseEvent move(QEvent::MouseMove, press + QPoint(30, 20),
                     view.mapToGlobal(press) + QPoint(30, 20), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(&view, &move);
    QTest::mouseRelease(&view, Qt::LeftButton, {}, press + QPoint(30, 20));
    EXPECT_EQ(frame_->pos(), QPoint(80, 80));
}

TEST_F(MainWindowTest, RapidStepsEndOnThePreviewOfTheLastImage) {
    WriteDataFiles(1, {}, QSize(64, 48));
    QStringList paths{Folder() + "photo0.jpg"};
    for (const QSize size : {QSize(48, 64), QSize(100, 20)}) {
        paths << Folder() + QStringLiteral("tall%1.jpg").arg(size.width());
        WriteBytes(paths.back(), EncodeJpeg(Spec(size.width(), size.height(), 3, 1, 1)));
    }
    WriteBytes(Folder() + "IMG.DAT", SerializeImageRecords(paths));
    CChildView& view = Open();
    view.ImageList()->clearSelection();
    for (int i = 0; i < 5; ++i) {
        view.OnCommand(kCmdNext);
        view.Preview()->grab();  // each step asks for its picture
    }
    ASSERT_EQ(view.Images().CurrentIndex(), 2);
    ASSERT_TRUE(WaitUntil([&] { return view.PreviewImage().Settled(); }));
    ASSERT_NE(view.PreviewImage().Bitmap(), nullptr);
    EXPECT_EQ(view.PreviewImage().Bitmap()->GetWidth() / view.PreviewImage().Bitmap()->GetHeight(),
              5);
}

// The window goes while the preview of a large photo is being decoded: the
// decode is waited for (nothing reaches the view after it went) and the
// data files are written as at any exit.
TEST_F(MainWindowTest, ClosingDuringAPreviewDecodeWaitsAndSavesTheDataFiles) {
    WriteDataFiles(1, {PixelRectangle(0, 0, 8, 8)}, QSize(4000, 3000));
    const QByteArray imageList = ReadBytes(Folder() + "IMG.DAT");
    const QByteArray rectList = ReadBytes(Folder() + "RECT.DAT");
    CChildView& view = Open();
    view.Preview()->grab();  // asks for the picture
    EXPECT_FALSE(view.PreviewImage().Settled());
    QFile::remove(Folder() + "IMG.DAT");
    QFile::remove(Folder() + "RECT.DAT");
    frame_.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(ReadBytes(Folder() + "IMG.DAT"), imageList);
    EXPECT_EQ(ReadBytes(Folder() + "RECT.DAT"), rectList);
}

TEST_F(MainWindowTest, AddRunsTheCropDialogWhoseStepsMoveTheView) {
    WriteDataFiles(3);
    CChildView& view = Open();
    view.ImageList()->clearSelection();
    QString shownAtOk;
    ModalScript script({[&](QWidget* window) {
        auto* dialog = qobject_cast<CCropRectDlg*>(window);
        ASSERT_NE(dialog, nullptr);
        Q_EMIT dialog->StepRequested(true);
        shownAtOk = dialog->ImagePath();
        dialog->accept();
    }});
    view.OnCommand(kCmdAddRect);
    EXPECT_EQ(script.Pending(), 0);
    EXPECT_EQ(view.Images().CurrentIndex(), 1);
    EXPECT_EQ(shownAtOk, view.Images().At(1).path);
    // A fresh rectangle comes back as (0, 0)-(256, 256), which covers the image.
    ASSERT_EQ(view.CropRects().size(), 1u);
    EXPECT_EQ(view.CropRects()[0].right, 256);
    EXPECT_FALSE(view.RectanglesHint()->isVisible());
}

TEST_F(MainWindowTest, LosslessModeShowsTheWrittenRegionDashed) {
    CCropRect rect = PixelRectangle(3, 5, 40, 40);  // the 4:2:0 grid is 16 pixels
    rect.color = MakeColorRef(255, 0, 255);
    WriteDataFiles(1, {rect}, QSize(64, 48));
    CChildView& view = Open();
    const auto writtenEdgeShown = [&view] {
        view.Preview()->grab();
        EXPECT_TRUE(WaitUntil([&] { return view.PreviewImage().Settled(); }));
        const QImage preview = view.Preview()->grab().toImage();
        const QRect drawn = view.PreviewPicture();
        int marked = 0;
        for (int y = drawn.top(); y < drawn.top() + drawn.height() / 2; ++y) {
            marked += preview.pixel(drawn.left(), y) == qRgb(255, 0, 255) ? 1 : 0;
        }
        return marked;
    };
    EXPECT_GT(writtenEdgeShown(), 10);  // the left edge moved to x = 0, dashed
    settings_.recompress = true;
    EXPECT_EQ(writtenEdgeShown(), 0);
}

TEST_F(MainWindowTest, RemovingARectangleKeepsTheSelectionsPlace) {
    CChildView& view = Open();
    for (int i = 0; i < 3; ++i)
        view.AddCropRect(PixelRectangle(i, 0, 10, 10));
    view.RectList()->SelectRow(1);
    view.RemoveCropRect(1);
    EXPECT_EQ(view.RectList()->SelectedRow(), 1);  // the one that moved up
    EXPECT_EQ(view.CropRects()[1].left, 2);
    view.RemoveCropRect(1);  // the selected last one
    EXPECT_EQ(view.RectList()->SelectedRow(), -1);
    view.RemoveCropRect(5);  // beyond the end: nothing
    EXPECT_EQ(view.RectList()->count(), 1);
    EXPECT_EQ(static_cast<int>(view.CropRects().size()), view.RectList()->count());
}

TEST(CropRectRowTest, SwatchBackgroundAndText) {
    ScopedLanguage language("en_US.UTF-8");
    const ColorRef swatch = MakeColorRef(10, 200, 30);
    const auto normal =
        DrawRectRow("(1 pixel, 2 pixel)-(3 pixel, 4 pixel)", swatch, {300, 18}, false, false);
    const auto selected = DrawRectRow("x", swatch, {300, 18}, true, false);
    ASSERT_TRUE(normal && selected);
    EXPECT_EQ(normal->pixel(2, 2), qRgb(10, 200, 30));  // the frame, 2 pixels thick
    EXPECT_EQ(normal->pixel(3, 15), qRgb(10, 200, 30));
    EXPECT_EQ(normal->pixel(9, 9), qRgb(229, 234, 238));  // its inside keeps the background
    EXPECT_EQ(normal->pixel(16, 9), qRgb(229, 234, 238));
    EXPECT_EQ(selected->pixel(9, 9), qRgb(255, 234, 238));
    int textPixels = 0;
    for (int y = 0; y < 18; ++y) {
        for (int x = 22; x < 300; ++x)
            textPixels += normal->pixel(x, y) != qRgb(229, 234, 238);
    }
    EXPECT_GT(textPixels, 50);
    const auto focused = DrawRectRow("x", swatch, {300, 18}, false, true);
    EXPECT_NE(focused->pixel(0, 0), normal->pixel(0, 0));  // the dotted focus outline
    EXPECT_EQ(DrawRectRow("x", swatch, {0, 18}, false, false), nullptr);
}

TEST_F(MainWindowTest, AnUnchangedRunLeavesBothDataFilesByteIdentical) {
    CCropRect percent = PixelRectangle(10.25, 5, 90, 95.5);
    percent.isPixel = 0;
    WriteDataFiles(3, {PixelRectangle(1, 2, 30, 40), percent});
    const QByteArray images = ReadBytes(Folder() + "IMG.DAT");
    const QByteArray rects = ReadBytes(Folder() + "RECT.DAT");
    Open();
    EXPECT_EQ(View().Images().Count(), 3);
    EXPECT_EQ(View().CropRects().size(), 2u);
    EXPECT_EQ(View().RectList()->item(1)->text(), percent.Format());
    frame_.reset();
    EXPECT_EQ(ReadBytes(Folder() + "IMG.DAT"), images);
    EXPECT_EQ(ReadBytes(Folder() + "RECT.DAT"), rects);
}

TEST_F(MainWindowTest, RectanglesThatCannotBeSavedAreNamedAndTheOldFileStays) {
    WriteDataFiles(1);
    QFile::remove(Folder() + "RECT.DAT");
    QDir().mkdir(Folder() + "RECT.DAT");  // nothing can replace a folder
    CChildView& view = Open();
    view.AddCropRect(PixelRectangle(0, 0, 10, 10));
    QString text;
    ModalScript script({ClickButton(QMessageBox::Ok, &text)});
    view.SaveDataFiles();
    EXPECT_EQ(text, "The crop rectangles could not be saved.\n" + Folder() + "RECT.DAT");
    EXPECT_TRUE(QFileInfo(Folder() + "RECT.DAT").isDir());
}

TEST_F(MainWindowTest, EditKeepsThePlaceAndAddSkipsRectanglesOffTheImage) {
    WriteDataFiles(1, {PixelRectangle(0, 0, 10, 10), PixelRectangle(5, 5, 20, 20)});
    CChildView& view = Open();
    view.SetRectEditor([](CCropRect& rect) {
        rect.right += 1;
        return true;
    });
    view.RectList()->SelectRow(0);
    view.OnCommand(kCmdEditRect);
    ASSERT_EQ(view.CropRects().size(), 2u);
    EXPECT_EQ(view.CropRects()[0].right, 11);
    EXPECT_EQ(view.RectList()->item(0)->text(),
              QStringLiteral("(left, top)-(right, bottom) : ") + view.CropRects()[0].Format());
    view.SetRectEditor([](CCropRect& rect) {
        rect = PixelRectangle(500, 500, 600, 600);  // the image is 64 x 48
        return true;
    });
    view.OnCommand(kCmdAddRect);
    EXPECT_EQ(view.CropRects().size(), 2u);
}

}  // namespace
