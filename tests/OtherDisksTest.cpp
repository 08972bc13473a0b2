// The outputs on disks other than a local Linux one: exFAT through FUSE
// (names compared without letter case, no hard links, no unnamed files), as
// on an SD card or a USB stick, and a disk that fills up. The tests mount
// file systems of their own; where this machine cannot (no root, no FUSE, no
// loop devices) they are skipped and CTest lists them as skipped.

#include "CropRuns.h"
#include "ScratchDisk.h"

#include "app/CropPairs.h"
#include "croprects/RectFile.h"
#include "images/ImageListFile.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

#include <sys/statvfs.h>

namespace {

using namespace testing_support;

const QString kTool = QStringLiteral(PELMORA_CROP_TOOL);

// One name in every letter case, and names that the counter of the others
// reaches, without letter case.
const QStringList kCaseVariants = {"Photo1.jpg", "photo1.JPG", "PHOTO1.jpg",   "pHoTo1.jpg",
                                   "photo1.jpg", "PhOtO1.JpG", "PHOTO1_0.JPG", "photo1_1.jpg"};

class DiskTest : public ::testing::Test {
  protected:
    void Mount(ScratchDisk::Kind kind, long long bytes) {
        disk_ = std::make_unique<ScratchDisk>(kind, bytes);
        if (!disk_->SkipReason().isEmpty())
            GTEST_SKIP() << disk_->SkipReason().toStdString();
        ASSERT_TRUE(disk_->Mounted()) << disk_->Error().toStdString();
    }
    QString Disk(const QString& name) const { return disk_->Path() + u'/' + name; }
    QString Local(const QString& name) const { return dir_.path() + u'/' + name; }

    QTemporaryDir dir_;
    ReferenceCrops references_{dir_.path() + QStringLiteral("/reference")};
    std::unique_ptr<ScratchDisk> disk_;
};

class ExfatTest : public DiskTest {
  protected:
    void SetUp() override {
        Mount(ScratchDisk::Kind::kExfat, 256LL << 20);
        if (IsSkipped() || HasFatalFailure())
            return;
        photos_ = MakePhotos(Local(QStringLiteral("variants")), kCaseVariants);
    }
    QStringList photos_;
};

// Thirty runs in this process with four jobs, one and two rectangles in
// turn, then four runs of pelmora-crop: every pair in a file of its own,
// holding its own crop, as many files as the runs report written.
TEST_F(ExfatTest, SourcesDifferingInCaseGetAFileEachFromOneRunWithSeveralJobs) {
    std::vector<BatchImage> images;
    for (const QString& photo : photos_)
        images.push_back({photo, 64, 48, 16, 16, {}});
    std::vector<int> all(images.size());
    std::iota(all.begin(), all.end(), 0);
    const std::vector<CCropRect> rects = {PixelRectangle(0, 0, 32, 24),
                                          PixelRectangle(16, 16, 64, 48)};
    const PixelRect regions[] = {{0, 0, 32, 24}, {16, 16, 64, 48}};
    for (int round = 0; round < 30; ++round) {
        const QString folder = Disk(QStringLiteral("run%1").arg(round));
        QDir().mkdir(folder);
        const std::vector<CCropRect> used(rects.begin(), rects.begin() + 1 + round % 2);
        BatchControl control;
        control.jobs = 4;
        std::vector<CropOutcome> outcomes(images.size() * used.size());
        control.onDone = [&](std::size_t i, const CropOutcome& o) { outcomes[i] = o; };
        const BatchResult result = CropBatch(images, all, used, folder, {}, control);
        std::set<QString> outputs;
        for (std::size_t i = 0; i < outcomes.size(); ++i) {
            const CropPair& pair = result.plan.pairs[i];
            ASSERT_TRUE(outcomes[i].status.ok()) << outcomes[i].status.errorString().toStdString();
            EXPECT_TRUE(outputs.insert(outcomes[i].output.toLower()).second)
                << outcomes[i].output.toStdString();
            EXPECT_EQ(ReadBytes(outcomes[i].output),
                      references_.Of(pair.source, regions[pair.rectIndex]))
                << outcomes[i].output.toStdString();
        }
        EXPECT_EQ(FolderEntries(folder).size(), static_cast<qsizetype>(outcomes.size())) << round;
    }
    for (int round = 0; round < 4; ++round) {
        const QString folder = Disk(QStringLiteral("tool%1").arg(round));
        QDir().mkdir(folder);
        const CommandResult result = RunCommand(
            kTool, QStringList{"--quiet", "--verbose", "-j", "4", "-o", folder, "-r", "0,0,32,24"} +
                       photos_);
        EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
        const std::vector<ReportedPair> pairs = ReportedPairs(result.out);
        EXPECT_EQ(SummaryCounts(result.out).written, 8);
        EXPECT_EQ(pairs.size(), 8U);
        EXPECT_EQ(FolderEntries(folder).size(), 8);
        for (const ReportedPair& pair : pairs)
            EXPECT_EQ(ReadBytes(pair.output), references_.Of(pair.source, regions[0]));
    }
}

TEST_F(ExfatTest, TwoRunsAtOnceOfSourcesDifferingInCaseLoseNoCrop) {
    const PixelRect regions[] = {{0, 0, 32, 24}, {16, 16, 64, 48}};
    for (int round = 0; round < 6; ++round) {
        const QString folder = Disk(QStringLiteral("both%1").arg(round));
        QDir().mkdir(folder);
        ToolRun first(
            QStringList{"--quiet", "--verbose", "-j", "3", "-o", folder, "-r", "0,0,32,24"} +
            photos_);
        ToolRun second(
            QStringList{"--quiet", "--verbose", "-j", "3", "-o", folder, "-r", "16,16,64,48"} +
            photos_);
        const CommandResult results[] = {first.Finish(), second.Finish()};
        std::map<QString, QByteArray> expected;
        int written = 0;
        for (int run = 0; run < 2; ++run) {
            EXPECT_EQ(results[run].exitCode, 0) << results[run].err.toStdString();
            written += SummaryCounts(results[run].out).written;
            for (const ReportedPair& pair : ReportedPairs(results[run].out)) {
                EXPECT_EQ(expected.count(pair.output.toLower()), 0U) << pair.output.toStdString();
                expected[pair.output.toLower()] = references_.Of(pair.source, regions[run]);
                EXPECT_EQ(ReadBytes(pair.output), expected[pair.output.toLower()])
                    << pair.output.toStdString();
            }
        }
        EXPECT_EQ(written, 16) << round;
        EXPECT_EQ(expected.size(), 16U) << round;
        EXPECT_EQ(FolderEntries(folder).size(), 16) << round;
    }
}

// Without unnamed files a killed run leaves its temporaries, its mark and
// perhaps a name it had claimed but not filled; the next run removes them.
TEST_F(ExfatTest, RunsKilledAtSeveralPointsLeaveOnlyWholeCropsBehindTheNextRun) {
    QStringList names;
    for (int i = 0; i < 24; ++i)
        names.append(QStringLiteral("p%1.jpg").arg(i, 4, 10, QLatin1Char('0')));
    MakePhotos(Local(QStringLiteral("photos")), names, 320, 240);
    MakePhotos(Local(QStringLiteral("after")), {QStringLiteral("after.jpg")}, 320, 240, 99);
    QDir().mkdir(Disk(QStringLiteral("out")));
    const KillRounds rounds =
        KillRunsAndRunAgain(Local(QStringLiteral("photos")), Local(QStringLiteral("after")),
                            Disk(QStringLiteral("out")), references_);
    EXPECT_GE(rounds.killedMidRun, 2) << "the runs ended before they could be killed";
    EXPECT_GE(rounds.leftovers, 1) << "no kill left anything for the next run to remove";
}

class FullDiskTest : public DiskTest {
  protected:
    void SetUp() override { Mount(ScratchDisk::Kind::kTmpfs, 2LL << 20); }
    // Fills the disk up to `left` free bytes.
    void Fill(const QString& name, long long left) {
        struct statvfs status {};
        ASSERT_EQ(statvfs(QFile::encodeName(disk_->Path()).constData(), &status), 0);
        const long long free = static_cast<long long>(status.f_bavail) * status.f_frsize;
        QFile filler(Disk(name));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'f');
        for (long long n = 0; n + left < free; n += block.size())
            if (filler.write(block) != block.size())
                break;
    }
};

TEST_F(FullDiskTest, APairThatDoesNotFitFailsWithTheReasonAndLeavesNoFile) {
    const QString photo =
        MakePhotos(Local(QStringLiteral("in")), {QStringLiteral("big.jpg")}, 512, 512)[0];
    Fill(QStringLiteral("filler"), 64 << 10);
    const CommandResult result = RunCommand(
        kTool, {"--quiet", "-o", disk_->Path(), "-r", "0,0,16,16", "-r", "0,0,512,512", photo});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, QByteArray("1 written, 1 failed, 0 skipped\n"));
    EXPECT_TRUE(result.err.contains("rectangle 2") &&
                (result.err.contains("No space left") || result.err.contains("out of disk space")))
        << result.err.toStdString();
    EXPECT_EQ(FolderEntries(disk_->Path()), (QStringList{"big-0.jpg", "filler"}));
    EXPECT_EQ(ReadBytes(Disk(QStringLiteral("big-0.jpg"))), references_.Of(photo, {0, 0, 16, 16}));
}

TEST_F(FullDiskTest, DataFilesThatDoNotFitKeepTheirPreviousContentsAndSayWhy) {
    const QString rects = Disk(QStringLiteral("RECT.DAT"));
    const QString images = Disk(QStringLiteral("IMG.DAT"));
    ASSERT_TRUE(WriteRectFile(rects, {PixelRectangle(1, 2, 3, 4)}).ok());
    ASSERT_TRUE(WriteImageListFile(images, {QStringLiteral("/photos/a.jpg")}).ok());
    const QByteArray oldRects = ReadBytes(rects);
    const QByteArray oldImages = ReadBytes(images);
    Fill(QStringLiteral("filler"), 0);
    for (const Status& status :
         {WriteRectFile(rects, std::vector<CCropRect>(3)),
          WriteImageListFile(images, QStringList(40, QStringLiteral("/photos/b.jpg")))}) {
        EXPECT_FALSE(status.ok());
        EXPECT_TRUE(status.errorString().contains(QStringLiteral("No space left on device")))
            << status.errorString().toStdString();
    }
    EXPECT_EQ(ReadBytes(rects), oldRects);
    EXPECT_EQ(ReadBytes(images), oldImages);
    EXPECT_EQ(FolderEntries(disk_->Path()), (QStringList{"IMG.DAT", "RECT.DAT", "filler"}));
}

}  // namespace
