// The program as a user meets it, start to finish: a folder tree dropped on
// the window, three rectangles made in the crop settings dialog, crops of
// the selected and of all images in both modes (compared with what
// pelmora-crop writes for the same batch), and the data files across a
// restart.

#include "app/MainFrame.h"
#include "croprects/CropRectDlg.h"
#include "croprects/RectFile.h"
#include "images/ImgList.h"
#include "platform/PlatformUi.h"
#include "platform/ResourceIds.h"

#include "TestEnvironment.h"
#include "TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QDropEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

using namespace testing_support;

const auto* const kApp = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

// Every file under `folder`: name -> bytes.
std::map<QString, QByteArray> FilesIn(const QString& folder) {
    std::map<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden);
    while (it.hasNext()) {
        const QString path = it.next();
        files[QFileInfo(path).fileName()] = ReadBytes(path);
    }
    return files;
}

std::vector<QString> Names(const std::map<QString, QByteArray>& files) {
    std::vector<QString> names;
    for (const auto& [name, bytes] : files)
        names.push_back(name);
    return names;
}

class EndToEndTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { SetUpPlatformUi(); }

    void SetUp() override {
        // A tree as a user drops it: photos at two levels, a folder the search
        // skips, files that are no JPEG photos, and a broken one.
        Write("photos/beach.jpg", EncodeJpeg(Spec(200, 150, 3, 2, 2)));
        Write("photos/trip/hill.jpeg", EncodeJpeg(Spec(120, 90, 3, 1, 1)));
        Write("photos/_PAGE_/page.jpg", EncodeJpeg(Spec(50, 50, 3, 1, 1)));
        Write("photos/notes.txt", "not a picture");
        Write("photos/logo.png", OnePixelGif());
        Write("photos/broken.jpg", EncodeJpeg(Spec(64, 64, 3, 2, 2)).left(40));
        QDir().mkpath(Path("program"));
    }

    QString Path(const QString& relative) const { return dir_.path() + '/' + relative; }
    void Write(const QString& relative, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(Path(relative)).absolutePath());
        WriteBytes(Path(relative), bytes);
    }

    CChildView& Start() {
        ViewEnvironment environment;
        environment.settings = &settings_;
        environment.appActive = &active_;
        environment.dataFolder = Path("program/");
        frame_ = std::make_unique<CMainFrame>(environment, LogoTiming{{}, {}, {}});
        frame_->show();
        bool loaded = false;
        QObject::connect(frame_->View(), &CChildView::Loaded, [&loaded] { loaded = true; });
        EXPECT_TRUE(WaitUntil([&] { return loaded; }));
        return *frame_->View();
    }

    // A drag from a file manager: it enters, moves and drops.
    void Drop(CChildView& view, const QString& path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        const QPoint at(100, 100);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&view, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&view, &move);
        ASSERT_TRUE(move.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&view, &drop);
    }

    // Runs the add command; in the dialog the user has dragged the rectangle
    // to `dragged`, then clicks the unit and mode buttons named and OK.
    void AddThroughDialog(CChildView& view, const CCropRect& dragged, const QList<int>& clicks) {
        ModalScript script({[&](QWidget* window) {
            auto* dialog = qobject_cast<CCropRectDlg*>(window);
            ASSERT_NE(dialog, nullptr);
            dialog->grab();  // its first paint loads the image
            const ColorRef color = dialog->Rect().color;
            dialog->Rect() = dragged;
            dialog->Rect().color = color;
            for (const int id : clicks) {
                dialog->findChild<QAbstractButton*>(ControlName(id))->click();
            }
            dialog->findChild<QPushButton*>(ControlName(control::kOk))->click();
        }});
        view.OnCommand(kCmdAddRect);
        EXPECT_EQ(script.Pending(), 0);
    }

    // Crops with the view's command into a new folder; returns what it wrote.
    std::map<QString, QByteArray> CropInWindow(CChildView& view, int command, const QString& out) {
        QDir().mkpath(out);
        view.BatchRun().SetFolderChooser([out](QWidget*, const QString&, QString& folder) {
            folder = out;
            return 1;
        });
        QString done;
        ModalScript script({ClickButton(QMessageBox::Ok, &done)});
        view.OnCommand(command);
        EXPECT_EQ(done, QStringLiteral("The process has been completed."));
        return FilesIn(out);
    }

    std::map<QString, QByteArray> CropWithTool(const QStringList& options, const QString& out) {
        QDir().mkpath(out);
        WriteBytes(Path("rects.dat"), SerializeRectRecords(frame_->View()->CropRects()));
        const CommandResult result =
            RunCommand(QStringLiteral(PELMORA_CROP_TOOL),
                       QStringList{"--quiet", "-o", out, "--rects", Path("rects.dat")} + options);
        EXPECT_EQ(result.exitCode, 0) << result.err.constData();
        return FilesIn(out);
    }

    ScopedLanguage language_{"en_US.UTF-8"};
    QTemporaryDir dir_;
    AppSettings settings_;
    bool active_ = true;
    std::unique_ptr<CMainFrame> frame_;
};

TEST_F(EndToEndTest, DropCropAndRestart) {
    CChildView& view = Start();
    EXPECT_TRUE(view.ImagesHint()->isVisible());
    EXPECT_TRUE(view.RectanglesHint()->isVisible());

    Drop(view, Path("photos"));
    ASSERT_TRUE(WaitUntil([&] { return view.Images().Count() == 2; }, 20000));
    const QStringList batch{view.Images().At(0).path, view.Images().At(1).path};
    const int hill = batch[0].endsWith("photos/trip/hill.jpeg") ? 0 : 1;
    EXPECT_TRUE(batch[1 - hill].endsWith("photos/beach.jpg"));
    EXPECT_FALSE(view.ImagesHint()->isVisible());

    // One in pixels, one in percent, one snapped to 8 pixels by the lossless
    // mode, all made on the current image.
    const CImgThumb& shown = view.Images().At(view.Images().CurrentIndex());
    const double w = shown.width;
    const double h = shown.height;
    settings_.recompress = true;
    AddThroughDialog(view, PixelRectangle(10, 20, 110, 80), {});
    AddThroughDialog(view, PixelRectangle(w / 10, h / 5, w * 0.9, h * 0.8),
                     {control::kPercentUnit});
    AddThroughDialog(view, PixelRectangle(3, 5, 61, 77), {control::kLossless});
    ASSERT_EQ(view.CropRects().size(), 3u);
    EXPECT_EQ(view.CropRects()[0].isPixel, 1);
    EXPECT_EQ(view.CropRects()[1].isPixel, 0);
    EXPECT_DOUBLE_EQ(view.CropRects()[1].left, 10.0);
    EXPECT_DOUBLE_EQ(view.CropRects()[1].bottom, 80.0);
    EXPECT_EQ(view.CropRects()[2].Resolve(200, 150), (PixelRect{0, 8, 64, 80}));
    EXPECT_FALSE(settings_.recompress);  // OK stored the mode

    // Lossless, the selected image only: three files named by the rectangle.
    view.ImageList()->clearSelection();
    view.ImageList()->SetSelected(hill, true);
    const auto selected = CropInWindow(view, kCmdCropSelected, Path("out/selected"));
    EXPECT_EQ(Names(selected), (std::vector<QString>{"hill-0.jpeg", "hill-1.jpeg", "hill-2.jpeg"}));

    // Every image, both modes: the same names and bytes as pelmora-crop's.
    const auto lossless = CropInWindow(view, kCmdCropAll, Path("out/lossless"));
    EXPECT_EQ(lossless.size(), 6u);
    EXPECT_EQ(lossless, CropWithTool(batch, Path("tool/lossless")));
    settings_.recompress = true;
    settings_.jpegQuality = 85;
    const auto recompressed = CropInWindow(view, kCmdCropAll, Path("out/recompressed"));
    EXPECT_EQ(recompressed.size(), 6u);
    EXPECT_EQ(recompressed, CropWithTool(QStringList{"-m", "recompress", "-q", "85"} + batch,
                                         Path("tool/recompressed")));
    // Cropping into the same folder again never overwrites.
    const auto again = CropInWindow(view, kCmdCropAll, Path("out/recompressed"));
    EXPECT_EQ(again.size(), 12u);

    // Exit writes both files; the next start finds everything again.
    const std::vector<CCropRect> rects = view.CropRects();
    frame_.reset();
    const QByteArray images = ReadBytes(Path("program/IMG.DAT"));
    const QByteArray rectFile = ReadBytes(Path("program/RECT.DAT"));
    EXPECT_EQ(images.size(), 2 * 512);
    EXPECT_EQ(rectFile, SerializeRectRecords(rects));
    CChildView& restarted = Start();
    ASSERT_EQ(restarted.Images().Count(), 2);
    EXPECT_EQ(restarted.Images().At(0).path, batch[0]);
    EXPECT_EQ(restarted.Images().At(1).path, batch[1]);
    EXPECT_EQ(restarted.CropRects().size(), 3u);
    EXPECT_FALSE(restarted.RectanglesHint()->isVisible());
    frame_.reset();
    EXPECT_EQ(ReadBytes(Path("program/IMG.DAT")), images);
    EXPECT_EQ(ReadBytes(Path("program/RECT.DAT")), rectFile);
}

}  // namespace
