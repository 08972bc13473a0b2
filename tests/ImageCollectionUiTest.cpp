// Dropping files and folders, and the data file, as the main view drives them.

#include "images/CollectFiles.h"
#include "images/ImageCollectionUi.h"
#include "images/ImageListFile.h"
#include "images/ImgList.h"
#include "platform/PlatformUi.h"

#include "TestEnvironment.h"
#include "TestSupport.h"

#include <QDir>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

const auto* const kApp = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

// Stands in for the progress window: records what it is told.
struct ProgressLog {
    std::vector<int> totals;
    std::vector<int> steps;
    int open = 0;
    std::function<void(int)> onStep;

    ProgressFactory Factory() {
        struct Window : ProgressSink {
            explicit Window(ProgressLog& log) : log(log) { ++log.open; }
            ~Window() override { --log.open; }
            int Step(int done) override {
                log.steps.push_back(done);
                if (log.onStep)
                    log.onStep(done);
                return 1;
            }
            ProgressLog& log;
        };
        return [this](QWidget*, int total) -> std::unique_ptr<ProgressSink> {
            totals.push_back(total);
            return std::make_unique<Window>(*this);
        };
    }
};

class PaintCounter : public QWidget {
  public:
    int paints = 0;

  protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

class ImageCollectionUiTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { SetUpPlatformUi(); }
    QString File(const QString& name, bool jpeg = true) {
        const QString path = dir_.path() + "/" + name;
        QDir().mkpath(QFileInfo(path).absolutePath());
        WriteBytes(path, jpeg ? EncodeJpeg(JpegSpec{}) : QByteArray("text"));
        return path;
    }
    std::vector<int> Counting(int n) {
        std::vector<int> v;
        for (int i = 1; i <= n; ++i)
            v.push_back(i);
        return v;
    }

    ScopedLanguage language_{"en_US.UTF-8"};
    QTemporaryDir dir_;
    ImageCollection images_;
    CImgList list_;
    ProgressLog progress_;
};

TEST_F(ImageCollectionUiTest, DropStepsOverEveryCollectedFileInOrder) {
    for (const char* name : {"album/a.jpg", "album/b.JPG", "album/notes.txt", "album/deep/c.jpeg",
                             "album/_PAGE_/skipped.jpg", "album/broken.jpg"}) {
        File(name, !QString(name).contains("notes") && !QString(name).contains("broken"));
    }
    const QString single = File("single.jpg");
    QStringList expected = CollectFiles(dir_.path() + "/album").files;
    expected.append(single);
    ASSERT_EQ(expected.size(), 6);

    list_.SetCollection(&images_);
    progress_.onStep = [&](int) { EXPECT_FALSE(list_.updatesEnabled()); };
    const DropSummary summary =
        AddDroppedPaths(nullptr, images_, {dir_.path() + "/album", dir_.path() + "/gone", single},
                        progress_.Factory(), &list_);
    EXPECT_EQ(summary.collected, 6);
    EXPECT_EQ(summary.added.added, 4);
    EXPECT_EQ(progress_.totals, std::vector<int>{6});
    EXPECT_EQ(progress_.steps, Counting(6));
    EXPECT_EQ(progress_.open, 0);
    EXPECT_TRUE(list_.updatesEnabled());
    QStringList jpegs;
    for (const QString& path : expected) {
        if (HasJpegExtension(path) && !path.endsWith("broken.jpg"))
            jpegs.append(path);
    }
    EXPECT_EQ(images_.Paths(), jpegs);
    EXPECT_EQ(images_.CurrentIndex(), 0);
    EXPECT_TRUE(list_.SelectedRows().empty());  // new images are not selected

    // Nothing to collect: no progress window at all. Only other files: one,
    // and no image.
    ProgressLog none;
    EXPECT_EQ(AddDroppedPaths(nullptr, images_, {dir_.path() + "/gone"}, none.Factory()).collected,
              0);
    EXPECT_TRUE(none.totals.empty());
    AddDroppedPaths(nullptr, images_, {File("x.txt", false), File("y.png", false)}, none.Factory());
    EXPECT_EQ(none.totals, std::vector<int>{2});
    EXPECT_EQ(images_.Count(), 4);
}

// The paint pumps of a drop let the next drop in, which the window has
// accepted by then: it waits its turn and is added after the first.
TEST_F(ImageCollectionUiTest, WindowsPaintDuringTheDropAndASecondDropWaitsItsTurn) {
    QStringList files;
    for (int i = 0; i < 4; ++i)
        files.append(File(QStringLiteral("p%1.jpg").arg(i)));
    const QString late = File("late.jpg");
    PaintCounter canary;
    canary.resize(50, 50);
    canary.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&canary));
    int paintsAtFirstStep = 0;
    DropSummary nested;
    progress_.onStep = [&](int done) {
        if (done == 1 && progress_.totals.size() == 1) {
            paintsAtFirstStep = canary.paints;
            canary.update();
            nested = AddDroppedPaths(nullptr, images_, {late}, progress_.Factory());
            EXPECT_EQ(images_.Count(), 1);  // not in the middle of the first drop
        }
        if (done == 4) {
            EXPECT_GT(canary.paints, paintsAtFirstStep);
        }
    };
    const DropSummary first = AddDroppedPaths(nullptr, images_, files, progress_.Factory());
    EXPECT_EQ(first.collected, 4);
    EXPECT_EQ(nested.collected, 0);
    EXPECT_EQ(images_.Paths(), files + QStringList{late});
    EXPECT_EQ(progress_.totals, (std::vector<int>{4, 1}));
    EXPECT_EQ(progress_.open, 0);
}

// The same for a drop that comes while a dropped folder is being searched.
TEST_F(ImageCollectionUiTest, ADropDuringAFolderSearchIsAddedAfterIt) {
    QStringList folderFiles;
    for (const char* name : {"album/a.jpg", "album/sub/b.jpg", "album/sub/c.jpg"})
        folderFiles.append(File(QString::fromLatin1(name)));
    const QString late = File("late.jpg");
    const QString later = File("later.jpg");
    int searchesEntered = 0;
    // Runs in the first paint pump of the search, as a drop arriving then.
    QMetaObject::invokeMethod(
        qApp,
        [&] {
            ++searchesEntered;
            AddDroppedPaths(nullptr, images_, {late}, progress_.Factory());
            AddDroppedPaths(nullptr, images_, {later, late}, progress_.Factory());
            EXPECT_EQ(images_.Count(), 0);
        },
        Qt::QueuedConnection);
    AddDroppedPaths(nullptr, images_, {dir_.path() + "/album"}, progress_.Factory());
    EXPECT_EQ(searchesEntered, 1);
    EXPECT_EQ(images_.Paths(), folderFiles + QStringList({late, later}));
    EXPECT_EQ(progress_.totals, (std::vector<int>{3, 1, 2}));
}

TEST_F(ImageCollectionUiTest, FilesWithOverlongPathsAreCountedInOneNotice) {
    const QString deep = QString(120, u'd') + "/" + QString(120, u'e') + "/";
    const QStringList dropped = {File(deep + "one.jpg"), File("fits.jpg"), File(deep + "two.jpg")};
    for (const char* locale : {"en_US.UTF-8", "ja_JP.UTF-8"}) {
        const ScopedLanguage language(locale);
        ImageCollection images;
        QString text;
        ModalScript script({ClickButton(QMessageBox::Ok, &text)});
        const DropSummary summary = AddDroppedPaths(nullptr, images, dropped, progress_.Factory());
        EXPECT_EQ(script.Answered(), 1);
        EXPECT_EQ(summary.added.tooLong, 2);
        EXPECT_EQ(images.Count(), 1);
        EXPECT_EQ(text, QString(locale).startsWith("ja")
                            ? QStringLiteral("パスが長すぎて画像の一覧に保存できないため、2 "
                                             "個のファイルを追加しませんでした。")
                            : QStringLiteral("2 file(s) were not added because their paths are "
                                             "too long to be kept in the image list."));
    }
    // None too long: no notice.
    ModalScript script({ClickButton(QMessageBox::Ok)});
    ImageCollection images;
    AddDroppedPaths(nullptr, images, {File("fine.jpg")}, progress_.Factory());
    QCoreApplication::processEvents();
    EXPECT_EQ(script.Answered(), 0);
}

TEST_F(ImageCollectionUiTest, LoadingStepsByAddedImagesAndSelectsTheFirstRow) {
    const QString a = File("a.jpg");
    const QString b = File("b.jpg");
    const QString file = dir_.path() + "/IMG.DAT";
    ASSERT_TRUE(WriteImageListFile(file, {a, dir_.path() + "/missing.jpg", b, a}).ok());

    list_.SetCollection(&images_);
    ASSERT_TRUE(LoadImageListWithProgress(nullptr, images_, file, progress_.Factory(), &list_));
    EXPECT_EQ(progress_.totals, std::vector<int>{2048});
    EXPECT_EQ(progress_.steps, (std::vector<int>{512, 1024}));
    EXPECT_EQ(progress_.open, 0);
    EXPECT_EQ(images_.Paths(), (QStringList{a, b}));
    EXPECT_EQ(list_.SelectedRows(), std::vector<int>{0});
    EXPECT_EQ(images_.CurrentIndex(), 0);

    ImageCollection empty;
    ProgressLog none;
    EXPECT_FALSE(
        LoadImageListWithProgress(nullptr, empty, dir_.path() + "/nothing.dat", none.Factory()));
    WriteBytes(dir_.path() + "/zero.dat", {});
    EXPECT_TRUE(
        LoadImageListWithProgress(nullptr, empty, dir_.path() + "/zero.dat", none.Factory()));
    EXPECT_TRUE(none.totals.empty());
}

TEST_F(ImageCollectionUiTest, FailedSaveIsReportedWithTheFileName) {
    images_.AddImage(File("a.jpg"));
    const QString saved = dir_.path() + "/IMG.DAT";
    {
        ModalScript script({ClickButton(QMessageBox::Ok)});
        EXPECT_TRUE(SaveImageListOrWarn(nullptr, images_, saved));
        QCoreApplication::processEvents();
        EXPECT_EQ(script.Answered(), 0);
        EXPECT_EQ(QFileInfo(saved).size(), 512);
    }
    const QString unwritable = dir_.path() + "/no/such/folder/IMG.DAT";
    for (const char* locale : {"en_US.UTF-8", "ja_JP.UTF-8"}) {
        const ScopedLanguage language(locale);
        QString text;
        ModalScript script({ClickButton(QMessageBox::Ok, &text)});
        EXPECT_FALSE(SaveImageListOrWarn(nullptr, images_, unwritable));
        EXPECT_EQ(script.Answered(), 1);
        EXPECT_EQ(text, (QString(locale).startsWith("ja")
                             ? QStringLiteral("画像の一覧を保存できませんでした。\n")
                             : QStringLiteral("The image list could not be saved.\n")) +
                            QDir::toNativeSeparators(unwritable));
    }
}

}  // namespace

namespace {

TEST_F(ImageCollectionUiTest, CacheEntriesAreWrittenOnlyOnceTheListIsShown) {
    const QString root = dir_.path() + "/cache/thumbnails";
    images_.SetThumbnailCache(std::make_shared<ThumbnailCache>(root));
    QStringList files;
    for (int i = 0; i < 4; ++i)
        files.append(File(QString("drop/p%1.jpg").arg(i)));
    File("drop/broken.jpg", false);
    const auto entries = [&](const QString& folder) {
        return QDir(root + "/" + folder).entryList({"*.png"}, QDir::Files).size();
    };
    EXPECT_EQ(AddDroppedPaths(nullptr, images_, {dir_.path() + "/drop"}, {}).added.added, 4);
    EXPECT_EQ(entries("normal"), 0) << "written before the event loop could show the list";
    QTest::qWait(0);
    images_.WaitForThumbnailCacheWrites();
    EXPECT_EQ(entries("normal"), 4);
    EXPECT_EQ(entries("fail/pelmora"), 1);

    // Read back at the next start: the list is made from the entries alone.
    const QString list = dir_.path() + "/IMG.DAT";
    ASSERT_TRUE(images_.SaveImageList(list).ok());
    ImageCollection restarted;
    restarted.SetThumbnailCache(std::make_shared<ThumbnailCache>(root));
    const long decodesBefore = ThumbnailDecodeCount();
    ASSERT_TRUE(LoadImageListWithProgress(nullptr, restarted, list, {}));
    EXPECT_EQ(ThumbnailDecodeCount(), decodesBefore);
    EXPECT_EQ(restarted.Paths(), images_.Paths());
}

}  // namespace
