#include "images/CollectFiles.h"
#include "images/ImageCollection.h"
#include "images/ImageListFile.h"
#include "platform/PathUtils.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace testing_support;

class ImageCollectionTest : public ::testing::Test {
  protected:
    QString Photo(const QString& name, int width = 64, int height = 48) {
        return testing_support::WritePhoto(dir_.path() + "/" + name, width, height);
    }
    QStringList Relative(const QStringList& paths) const {
        QStringList out;
        for (const QString& p : paths)
            out.append(p.mid(dir_.path().size() + 1));
        return out;
    }
    QTemporaryDir dir_;
    ImageCollection collection_;
};

TEST_F(ImageCollectionTest, AddRuleChecksDuplicatesNamesAndDecoding) {
    const QString a = Photo("a.jpg");
    EXPECT_EQ(collection_.AddImage(a), AddOutcome::kAdded);
    EXPECT_EQ(collection_.CurrentIndex(), 0);
    EXPECT_EQ(collection_.AddImage(a), AddOutcome::kAlreadyThere);
    // Another written form of the same file is another path.
    EXPECT_EQ(collection_.AddImage(dir_.path() + "/./a.jpg"), AddOutcome::kAdded);
    ASSERT_TRUE(QFile::link(a, dir_.path() + "/link.jpg"));
    EXPECT_EQ(collection_.AddImage(dir_.path() + "/link.jpg"), AddOutcome::kAdded);
    EXPECT_EQ(collection_.AddImage(Photo("b.JPG")), AddOutcome::kAdded);
    EXPECT_EQ(collection_.AddImage(Photo("c.Jpeg")), AddOutcome::kAdded);
    for (const char* refused : {"d.jpe", "e.jfif", "f.jpg.bak", "noext"}) {
        EXPECT_EQ(collection_.AddImage(Photo(refused)), AddOutcome::kNotJpegName) << refused;
    }
    WriteBytes(dir_.path() + "/broken.jpg", "not a picture");
    EXPECT_EQ(collection_.AddImage(dir_.path() + "/broken.jpg"), AddOutcome::kUndecodable);
    EXPECT_EQ(collection_.Count(), 5);
    EXPECT_EQ(collection_.CurrentIndex(), 0);
    EXPECT_EQ(collection_.At(0).width, 64);
}

TEST_F(ImageCollectionTest, OverlongPathsAreKeptOut) {
    const QString deep = dir_.path() + "/" + QString(200, u'x') + "/" + QString(60, u'y') + ".jpg";
    QDir().mkpath(QFileInfo(deep).absolutePath());
    WriteBytes(deep, EncodeJpeg(JpegSpec{}));
    ASSERT_GE(ToAnsi(deep).size(), 256);
    EXPECT_EQ(collection_.AddImage(deep), AddOutcome::kPathTooLong);
    const AddSummary summary = collection_.AddImages({deep, Photo("ok.jpg")}, 2);
    EXPECT_EQ(summary.added, 1);
    EXPECT_EQ(summary.tooLong, 1);
}

TEST_F(ImageCollectionTest, ParallelAddingEqualsAddingOneByOne) {
    QStringList offered;
    for (int i = 0; i < 12; ++i)
        offered.append(Photo(QStringLiteral("p%1.jpg").arg(i), 40 + i, 30));
    WriteBytes(dir_.path() + "/bad.jpg", "x");
    offered.insert(3, dir_.path() + "/bad.jpg");
    offered.insert(5, offered[1]);
    offered.insert(7, dir_.path() + "/notes.txt");
    ImageCollection sequential;
    std::vector<AddOutcome> expected;
    for (const QString& path : offered)
        expected.push_back(sequential.AddImage(path));

    std::vector<AddOutcome> seen;
    std::vector<int> order;
    const AddSummary summary = collection_.AddImages(offered, 4, [&](int i, AddOutcome outcome) {
        order.push_back(i);
        seen.push_back(outcome);
    });
    EXPECT_EQ(seen, expected);
    ASSERT_EQ(order.size(), static_cast<std::size_t>(offered.size()));
    for (std::size_t i = 0; i < order.size(); ++i)
        EXPECT_EQ(order[i], static_cast<int>(i));
    EXPECT_EQ(collection_.Paths(), sequential.Paths());
    EXPECT_EQ(summary.added, 12);
    for (int i = 0; i < collection_.Count(); ++i) {
        EXPECT_EQ(collection_.At(i).thumbnail->Image(), sequential.At(i).thumbnail->Image());
    }
}

// With a paint pump a wait for a thumbnail runs it on the calling thread
// (it paints windows), and the images still arrive in the order offered.
TEST_F(ImageCollectionTest, ThePaintPumpRunsOnTheCallingThreadWhileTheOrderHolds) {
    QStringList offered;
    for (int i = 0; i < 8; ++i)
        offered.append(Photo(QStringLiteral("big%1.jpg").arg(i), 1600 - 8 * i, 1200));
    const std::thread::id caller = std::this_thread::get_id();
    int pumped = 0;
    bool pumpedElsewhere = false;
    std::vector<int> order;
    collection_.AddImages(
        offered, 3, [&](int i, AddOutcome) { order.push_back(i); },
        [&] {
            ++pumped;
            pumpedElsewhere = pumpedElsewhere || std::this_thread::get_id() != caller;
        });
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(collection_.Paths(), offered);
    EXPECT_FALSE(pumpedElsewhere) << pumped;
}

TEST_F(ImageCollectionTest, RemovalKeepsTheCurrentNumberUntilItFallsOffTheEnd) {
    for (int i = 0; i < 5; ++i)
        collection_.AddImage(Photo(QStringLiteral("%1.jpg").arg(i)));
    collection_.SetCurrentIndex(2);
    collection_.RemoveImages({3, 1});
    EXPECT_EQ(Relative(collection_.Paths()), (QStringList{"0.jpg", "2.jpg", "4.jpg"}));
    EXPECT_EQ(collection_.CurrentIndex(), 2);  // keeps its number: now 4.jpg
    collection_.RemoveImage(2);
    EXPECT_EQ(collection_.CurrentIndex(), 1);  // fell off the end: the last image
    collection_.RemoveImage(7);                // out of range: nothing
    EXPECT_EQ(collection_.Count(), 2);
    QSignalSpy counted(&collection_, &ImageCollection::CountChanged);
    collection_.RemoveAll();
    EXPECT_EQ(collection_.Count(), 0);
    EXPECT_EQ(collection_.CurrentIndex(), -1);
    EXPECT_EQ(counted.count(), 2);
    EXPECT_EQ(collection_.AddImage(dir_.path() + "/0.jpg"), AddOutcome::kAdded);  // index updated
}

TEST_F(ImageCollectionTest, ModelRowsShowPathThumbnailAndSize) {
    collection_.AddImage(Photo("big.jpg", 400, 300));
    const QModelIndex row = collection_.index(0);
    EXPECT_TRUE(collection_.data(row).toString().endsWith("big.jpg"));
    EXPECT_EQ(collection_.data(row, ImageCollection::kThumbnailRole).value<QImage>().size(),
              QSize(96, 72));
    EXPECT_EQ(collection_.data(row, ImageCollection::kWidthRole).toInt(), 400);
    EXPECT_EQ(collection_.data(row, ImageCollection::kHeightRole).toInt(), 300);
}

// --- IMG.DAT ---

TEST_F(ImageCollectionTest, ImageListFileIsByteExactAndRoundTrips) {
    const QStringList paths = {Photo("one.jpg"), Photo("写真/二.jpg"), Photo("three.JPG")};
    for (const QString& p : paths)
        collection_.AddImage(p);
    const QString file = dir_.path() + "/IMG.DAT";
    ASSERT_TRUE(collection_.SaveImageList(file).ok());
    const QByteArray data = ReadBytes(file);
    ASSERT_EQ(data.size(), 1536);
    const QByteArray first = paths[0].toLocal8Bit();
    EXPECT_EQ(data.left(first.size()), first);
    EXPECT_EQ(data.mid(first.size(), 512 - first.size()), QByteArray(512 - first.size(), '\0'));

    ImageCollection loaded;
    std::vector<qint64> steps;
    ASSERT_TRUE(loaded.LoadImageList(file, 2, [&](qint64 done, qint64 total) {
        EXPECT_EQ(total, 1536);
        steps.push_back(done);
    }));
    EXPECT_EQ(loaded.Paths(), paths);
    EXPECT_EQ(loaded.CurrentIndex(), 0);
    EXPECT_EQ(steps, (std::vector<qint64>{0, 512, 1024, 1536}));
}

TEST_F(ImageCollectionTest, ImageListFileEdgeCases) {
    const QString a = Photo("a.jpg");
    QByteArray record(512, '\0');
    const QByteArray local = a.toLocal8Bit();
    std::copy(local.begin(), local.end(), record.begin());
    EXPECT_EQ(ParseImageRecords(record + record).size(), 2);
    ImageCollection twice;
    WriteBytes(dir_.path() + "/twice.dat", record + record);
    ASSERT_TRUE(twice.LoadImageList(dir_.path() + "/twice.dat", 2));
    EXPECT_EQ(twice.Count(), 1);
    EXPECT_EQ(ParseImageRecords(record + QByteArray(88, 'z')).size(), 1);  // 600 bytes
    EXPECT_EQ(ParseImageRecords(QByteArray(512, '\0')), QStringList{QString()});
    QByteArray full(512, 'q');
    EXPECT_EQ(ParseImageRecords(full).front().size(), 512);  // no zero: read to the end
    EXPECT_TRUE(SerializeImageRecords({}).isEmpty());
    EXPECT_TRUE(SerializeImageRecords({QString(300, u'x')}).isEmpty());  // never cut short

    ImageCollection none;
    EXPECT_FALSE(none.LoadImageList(dir_.path() + "/missing.dat", 2));
    EXPECT_TRUE(none.SaveImageList(dir_.path() + "/empty.dat").ok());
    EXPECT_EQ(QFileInfo(dir_.path() + "/empty.dat").size(), 0);
}

// A record's path field is 256 bytes and ends with a zero byte, so 255 bytes
// of path is the most it holds: a path of exactly 256 bytes is refused when
// added and never written, counted in bytes of the local encoding, not in
// characters.
TEST_F(ImageCollectionTest, APathOfExactly256BytesHasNoRoomForItsZero) {
    const QString longest = QStringLiteral("/") + QString(254, u'a');
    const QString tooLong = QStringLiteral("/") + QString(255, u'a');
    const QString wide = QStringLiteral("/") + QString(85, QChar(0x5199));  // 86 characters
    ASSERT_EQ(ToAnsi(longest).size(), 255);
    ASSERT_EQ(ToAnsi(tooLong).size(), 256);
    ASSERT_EQ(ToAnsi(wide).size(), 256);
    EXPECT_TRUE(FitsImageRecord(longest));
    EXPECT_FALSE(FitsImageRecord(tooLong));
    EXPECT_FALSE(FitsImageRecord(wide));

    const QByteArray data = SerializeImageRecords({tooLong, longest, wide});
    ASSERT_EQ(data.size(), kImageRecordSize);
    EXPECT_EQ(data.left(255), ToAnsi(longest));
    EXPECT_EQ(data.mid(255), QByteArray(kImageRecordSize - 255, '\0'));
    EXPECT_EQ(ParseImageRecords(data), QStringList{longest});

    // The same bound where users meet it: dropping real files.
    const auto photoWithPathBytes = [&](int bytes) {
        const QString folder = dir_.path() + QStringLiteral("/");
        const int nameLength = bytes - static_cast<int>(ToAnsi(folder).size()) - 4;
        const QString path = folder + QString(nameLength, u'n') + QStringLiteral(".jpg");
        WriteBytes(path, EncodeJpeg(JpegSpec{}));
        return path;
    };
    const QString fits = photoWithPathBytes(255);
    const QString over = photoWithPathBytes(256);
    ASSERT_EQ(ToAnsi(over).size(), 256);
    EXPECT_EQ(collection_.AddImage(over), AddOutcome::kPathTooLong);
    EXPECT_EQ(collection_.AddImage(fits), AddOutcome::kAdded);
}

TEST_F(ImageCollectionTest, FailedSaveKeepsThePreviousFile) {
    collection_.AddImage(Photo("a.jpg"));
    const Status gone = collection_.SaveImageList(dir_.path() + "/gone/IMG.DAT");
    EXPECT_FALSE(gone.ok());
    EXPECT_FALSE(gone.errorString().isEmpty());
    // Unwritable folder: checked as an unprivileged user.
    const QString locked = dir_.path() + "/locked";
    QDir().mkpath(locked);
    WriteBytes(locked + "/IMG.DAT", "previous");
    QFile::setPermissions(dir_.path(), QFile::permissions(dir_.path()) | QFileDevice::ExeOther);
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                      QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                      QFileDevice::ExeOther);
    const int saved = RunInChildAsNobody(
        [&] { return collection_.SaveImageList(locked + "/IMG.DAT").ok() ? 1 : 0; });
    ASSERT_NE(saved, -1) << "could not become nobody";
    EXPECT_EQ(saved, 0);
    EXPECT_EQ(ReadBytes(locked + "/IMG.DAT"), QByteArray("previous"));
    EXPECT_EQ(QDir(locked).entryList(QDir::Files | QDir::Hidden), QStringList{"IMG.DAT"});
}

}  // namespace
