// The parts the main view is made of, each without the view: the rectangle
// list and the list box it keeps in step, the preview's decode superseded by
// a change of image, and IMG.DAT / RECT.DAT read after the logo and written
// once at exit.

#include "app/CropRectList.h"
#include "app/PreviewLoader.h"
#include "app/ViewDataFiles.h"
#include "croprects/CropRectListBox.h"
#include "croprects/RectFile.h"
#include "images/ImageCollection.h"
#include "images/ImageListFile.h"
#include "platform/Logging.h"
#include "platform/PlatformUi.h"

#include "TestEnvironment.h"
#include "TestSupport.h"

#include <QDir>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace testing_support;

const auto* const kApp = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

std::vector<QString> Rows(const CCropRectListBox& box) {
    std::vector<QString> rows;
    for (int i = 0; i < box.count(); ++i)
        rows.push_back(box.item(i)->text());
    return rows;
}

// ---- the rectangle list ----

TEST(CropRectListTest, TheListBoxFollowsEveryChangeWithTheRightText) {
    CropRectList rects;
    CCropRectListBox box;
    rects.ShowIn(&box);
    int changes = 0;
    bool rowsAgreed = true;
    QObject::connect(&rects, &CropRectList::Changed, [&] {
        ++changes;
        rowsAgreed = rowsAgreed && box.count() == rects.Count();
    });
    const CCropRect a = PixelRectangle(0, 0, 10, 10);
    const CCropRect b = PixelRectangle(1, 2, 30, 40);
    const CCropRect c = PixelRectangle(5, 5, 6, 6);
    rects.Add(a);
    rects.Add(b);
    rects.Insert(c, 1);  // an edit puts its rectangle back where it was
    ASSERT_EQ(rects.Count(), 3);
    EXPECT_EQ(rects.At(1).left, 5);
    // Read or added rectangles show their edges; an edited one says what they are.
    EXPECT_EQ(Rows(box), (std::vector<QString>{a.Format(), EditedRectText(c), b.Format()}));
    EXPECT_EQ(box.item(0)->text(), QStringLiteral("(0 pixel, 0 pixel)-(10 pixel, 10 pixel)"));
    rects.Remove(0);
    EXPECT_EQ(Rows(box), (std::vector<QString>{EditedRectText(c), b.Format()}));
    EXPECT_EQ(changes, 4);
    EXPECT_TRUE(rowsAgreed);
}

TEST(CropRectListTest, OutOfRangeIndicesAreClampedOrIgnored) {
    CropRectList rects;
    CCropRectListBox box;
    rects.ShowIn(&box);
    QSignalSpy changed(&rects, &CropRectList::Changed);
    rects.Insert(PixelRectangle(1, 1, 2, 2), -5);  // to the front
    rects.Insert(PixelRectangle(3, 3, 4, 4), 99);  // to the end
    rects.Insert(PixelRectangle(5, 5, 6, 6), 1);
    EXPECT_EQ(rects.At(0).left, 1);
    EXPECT_EQ(rects.At(1).left, 5);
    EXPECT_EQ(rects.At(2).left, 3);
    changed.clear();
    for (const int index : {-1, 3, 1000})
        rects.Remove(index);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(rects.Count(), 3);
    EXPECT_EQ(box.count(), 3);
    while (!rects.IsEmpty())
        rects.Remove(rects.Count() - 1);
    EXPECT_EQ(box.count(), 0);
}

// ---- the preview's decode ----

class PreviewLoaderTest : public ::testing::Test {
  protected:
    QString Photo(const QString& name, int width, int height, int h0 = 2, int v0 = 2) {
        const QString path = dir_.filePath(name);
        WriteBytes(path, EncodeJpeg(Spec(width, height, 3, h0, v0)));
        return path;
    }
    QTemporaryDir dir_;
};

TEST_F(PreviewLoaderTest, DecodesFittedWithTheLosslessGrid) {
    PreviewLoader loader;
    QSignalSpy changed(&loader, &PreviewLoader::Changed);
    EXPECT_FALSE(loader.Settled());
    loader.Request(Photo("wide.jpg", 400, 100), QSize(200, 200));
    ASSERT_TRUE(WaitUntil([&] { return loader.Settled(); }));
    ASSERT_NE(loader.Bitmap(), nullptr);
    EXPECT_EQ(QSize(loader.Bitmap()->GetWidth(), loader.Bitmap()->GetHeight()), QSize(200, 50));
    EXPECT_EQ(loader.Grid(), QSize(16, 16));  // 4:2:0
    EXPECT_EQ(changed.count(), 1);

    // A second request for the same image is no new decode.
    loader.Request(Photo("other.jpg", 64, 64), QSize(200, 200));
    EXPECT_FALSE(WaitUntil([&] { return changed.count() > 1; }, 200));

    loader.Reset();
    EXPECT_EQ(loader.Bitmap(), nullptr);
    EXPECT_FALSE(loader.Settled());
    loader.Request(Photo("full.jpg", 48, 32, 1, 1), QSize(200, 200));
    ASSERT_TRUE(WaitUntil([&] { return loader.Settled(); }));
    EXPECT_EQ(loader.Grid(), QSize(8, 8));  // 4:4:4
}

// Stepping on while a decode runs: the old picture is never shown, and the
// image asked for last is decoded once the old decode has ended.
TEST_F(PreviewLoaderTest, AChangeOfImageSupersedesTheDecodeUnderWay) {
    const QString first = Photo("first.jpg", 3000, 1000);
    const QString second = Photo("second.jpg", 100, 300);
    const QString third = Photo("third.jpg", 300, 300);
    PreviewLoader loader;
    std::vector<QSize> shown;
    QObject::connect(&loader, &PreviewLoader::Changed, [&] {
        shown.push_back(loader.Bitmap() == nullptr
                            ? QSize()
                            : QSize(loader.Bitmap()->GetWidth(), loader.Bitmap()->GetHeight()));
    });
    loader.Request(first, QSize(90, 90));
    loader.Reset();
    loader.Request(second, QSize(90, 90));
    loader.Reset();
    loader.Request(third, QSize(90, 90));
    ASSERT_TRUE(WaitUntil([&] { return loader.Settled(); }));
    EXPECT_FALSE(WaitUntil([&] { return shown.size() > 1; }, 300));
    EXPECT_EQ(shown, (std::vector<QSize>{QSize(90, 90)}));
}

TEST_F(PreviewLoaderTest, ARefreshKeepsThePictureUntilTheNewOneArrives) {
    PreviewLoader loader;
    const QString photo = Photo("photo.jpg", 400, 200);
    loader.Request(photo, QSize(100, 100));
    ASSERT_TRUE(WaitUntil([&] { return loader.Settled(); }));
    loader.Refresh();
    ASSERT_NE(loader.Bitmap(), nullptr);
    EXPECT_EQ(loader.Bitmap()->GetWidth(), 100);
    loader.Request(photo, QSize(300, 300));
    ASSERT_TRUE(WaitUntil([&] { return loader.Bitmap()->GetWidth() == 300; }));
    EXPECT_EQ(loader.Bitmap()->GetHeight(), 150);
}

TEST_F(PreviewLoaderTest, AnUndecodableImageSettlesWithoutAPicture) {
    PreviewLoader loader;
    const QString broken = dir_.filePath("broken.jpg");
    WriteBytes(broken, QByteArray("\xFF\xD8\xFF\xE0 not a picture"));
    loader.Request(broken, QSize(100, 100));
    ASSERT_TRUE(WaitUntil([&] { return loader.Settled(); }));
    EXPECT_EQ(loader.Bitmap(), nullptr);
    EXPECT_TRUE(loader.Grid().isEmpty());
    loader.Reset();
    loader.Request(dir_.filePath("missing.jpg"), QSize(100, 100));
    ASSERT_TRUE(WaitUntil([&] { return loader.Settled(); }));
    EXPECT_EQ(loader.Bitmap(), nullptr);
}

// The decode of a large photo is still running when the loader goes (the
// window closed meanwhile): it is waited for, and nothing reaches the loader.
TEST_F(PreviewLoaderTest, GoingDuringADecodeWaitsForIt) {
    const QString large = Photo("large.jpg", 4000, 3000);
    for (int i = 0; i < 3; ++i) {
        auto loader = std::make_unique<PreviewLoader>();
        loader->Request(large, QSize(500, 500));
        loader.reset();
    }
    QCoreApplication::processEvents();
    SUCCEED();  // the sanitizer build watches for a use after free
}

// ---- the data files ----

class ViewDataFilesTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { SetUpPlatformUi(); }
    QString Folder() const { return dir_.path() + QStringLiteral("/"); }
    QString Photo(int i) {
        const QString path = Folder() + QStringLiteral("photo%1.jpg").arg(i);
        WriteBytes(path, EncodeJpeg(Spec(64, 48, 3, 2, 2)));
        return path;
    }
    ScopedLanguage language_{"en_US.UTF-8"};
    QTemporaryDir dir_;
};

TEST_F(ViewDataFilesTest, LoadsBothFilesAndWritesThemBackByteForByte) {
    const QStringList paths{Photo(0), Photo(1)};
    const std::vector<CCropRect> saved{PixelRectangle(1, 2, 30, 40), PixelRectangle(0, 0, 8, 8)};
    const QByteArray imageBytes = SerializeImageRecords(paths);
    const QByteArray rectBytes = SerializeRectRecords(saved);
    WriteBytes(Folder() + "IMG.DAT", imageBytes);
    WriteBytes(Folder() + "RECT.DAT", rectBytes);

    ViewDataFiles files(Folder());
    EXPECT_EQ(files.RectFile(), Folder() + "RECT.DAT");
    ImageCollection images;
    CropRectList rects;
    int windows = 0;
    std::vector<int> rectSteps;
    const ProgressFactory progress = [&](QWidget*, int total) -> std::unique_ptr<ProgressSink> {
        struct Sink : ProgressSink {
            explicit Sink(std::vector<int>* steps) : steps(steps) {}
            int Step(int done) override {
                if (steps != nullptr)
                    steps->push_back(done);
                return 1;
            }
            std::vector<int>* steps;
        };
        ++windows;
        // The second window is RECT.DAT's, measured in its bytes.
        if (windows == 2) {
            EXPECT_EQ(total, rectBytes.size());
        }
        return std::make_unique<Sink>(windows == 2 ? &rectSteps : nullptr);
    };
    files.Load(nullptr, images, rects, progress, nullptr);
    EXPECT_EQ(images.Paths(), paths);
    EXPECT_EQ(images.CurrentIndex(), 0);
    ASSERT_EQ(rects.Count(), 2);
    EXPECT_EQ(rects.At(0).right, 30);
    EXPECT_EQ(windows, 2);
    EXPECT_EQ(rectSteps, (std::vector<int>{kRectRecordSize, 2 * kRectRecordSize}));

    QFile::remove(Folder() + "IMG.DAT");
    QFile::remove(Folder() + "RECT.DAT");
    files.Save(nullptr, images, rects);
    EXPECT_EQ(ReadBytes(Folder() + "IMG.DAT"), imageBytes);
    EXPECT_EQ(ReadBytes(Folder() + "RECT.DAT"), rectBytes);

    // Written once: a later change is not saved by a second call.
    rects.Remove(0);
    files.Save(nullptr, images, rects);
    EXPECT_EQ(ReadBytes(Folder() + "RECT.DAT"), rectBytes);
}

TEST_F(ViewDataFilesTest, MissingFilesAddNothingAndOpenNoWindow) {
    ViewDataFiles files(Folder());
    ImageCollection images;
    CropRectList rects;
    int windows = 0;
    files.Load(
        nullptr, images, rects,
        [&](QWidget*, int) -> std::unique_ptr<ProgressSink> {
            ++windows;
            return nullptr;
        },
        nullptr);
    EXPECT_EQ(images.Count(), 0);
    EXPECT_EQ(rects.Count(), 0);
    EXPECT_EQ(windows, 0);
}

QtMessageHandler g_previousHandler = nullptr;
QStringList* g_logged = nullptr;

void CollectLog(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (g_logged != nullptr && context.category != nullptr &&
        QByteArray(context.category) == "pelmora.app" && type == QtWarningMsg) {
        g_logged->append(text);
    }
    if (g_previousHandler != nullptr)
        g_previousHandler(type, context, text);
}

// RECT.DAT's path is a folder, which no user, root included, can replace
// with a file: the user is told which file, the reason goes to the log, and
// IMG.DAT is written all the same.
TEST_F(ViewDataFilesTest, AnUnwritableRectFileIsNamedAndItsReasonLogged) {
    ASSERT_TRUE(QDir().mkpath(Folder() + "RECT.DAT/inside"));
    const QStringList paths{Photo(0)};
    ViewDataFiles files(Folder());
    ImageCollection images;
    images.AddImage(paths[0]);
    CropRectList rects;
    rects.Add(PixelRectangle(0, 0, 8, 8));

    QStringList logged;
    g_logged = &logged;
    g_previousHandler = qInstallMessageHandler(CollectLog);
    QString notice;
    {
        ModalScript script({ClickButton(QMessageBox::Ok, &notice)});
        files.Save(nullptr, images, rects);
        EXPECT_EQ(script.Answered(), 1);
    }
    qInstallMessageHandler(g_previousHandler);
    g_logged = nullptr;

    EXPECT_TRUE(notice.contains(Folder() + "RECT.DAT")) << notice.toStdString();
    ASSERT_EQ(logged.size(), 1);
    EXPECT_TRUE(logged[0].startsWith("RECT.DAT not saved: " + Folder() + "RECT.DAT "))
        << logged[0].toStdString();
    EXPECT_GT(logged[0].size(), QStringLiteral("RECT.DAT not saved: ").size() +
                                    (Folder() + "RECT.DAT ").size());  // with a reason
    EXPECT_EQ(ReadBytes(Folder() + "IMG.DAT"), SerializeImageRecords(paths));
    EXPECT_TRUE(QFileInfo(Folder() + "RECT.DAT/inside").isDir());
}

}  // namespace
