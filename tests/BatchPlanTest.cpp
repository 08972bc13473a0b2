#include "app/CropPairs.h"

#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

class BatchPlanTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QDir(dir_.path()).mkpath("a");
        QDir(dir_.path()).mkpath("b");
        QDir(dir_.path()).mkpath("out");
        JpegSpec spec;
        for (int i = 0; i < 5; ++i) {
            const QString folder = i == 4 ? "b" : "a";
            const QString path =
                dir_.path() + "/" + folder + QStringLiteral("/p%1.JPG").arg(i == 4 ? 0 : i);
            WriteBytes(path, EncodeJpeg(spec));
            images_.push_back({path, spec.width, spec.height, 16, 16, {}});
        }
    }
    QString Out() const { return dir_.path() + "/out"; }
    QStringList Names(const BatchPlan& plan) const {
        QStringList names;
        for (const CropPair& pair : plan.pairs)
            names.append(pair.output.mid(Out().size() + 1));
        return names;
    }
    QTemporaryDir dir_;
    std::vector<BatchImage> images_;
};

TEST_F(BatchPlanTest, SelectedImagesTimesRectanglesInOrder) {
    const std::vector<CCropRect> rects = {PixelRectangle(0, 0, 8, 8), PixelRectangle(8, 8, 16, 16),
                                          PixelRectangle(0, 0, 64, 48)};
    const BatchPlan plan = PlanBatch(images_, {1, 3}, rects, Out(), CropSettings{});
    EXPECT_EQ(plan.total, 6);
    EXPECT_EQ(Names(plan), (QStringList{"p1-0.JPG", "p1-1.JPG", "p1-2.JPG", "p3-0.JPG", "p3-1.JPG",
                                        "p3-2.JPG"}));
}

TEST_F(BatchPlanTest, SameTitleInTwoFoldersGetsTheNextFreeName) {
    const BatchPlan plan = PlanBatch(images_, {0, 4}, {PixelRectangle(0, 0, 8, 8)}, Out(), {});
    EXPECT_EQ(Names(plan), (QStringList{"p0.JPG", "p0_0.JPG"}));
}

TEST_F(BatchPlanTest, VanishedSourceGivesNoPairsButStaysInTheTotal) {
    QFile::remove(images_[2].path);
    const BatchPlan plan =
        PlanBatch(images_, {1, 2, 3}, {PixelRectangle(0, 0, 8, 8)}, Out(), CropSettings{});
    EXPECT_EQ(plan.total, 3);
    EXPECT_EQ(Names(plan), (QStringList{"p1.JPG", "p3.JPG"}));
}

TEST_F(BatchPlanTest, RectangleOffTheImageFailsThatPairOnlyAndReservesNothing) {
    const std::vector<CCropRect> rects = {PixelRectangle(100, 100, 200, 200),
                                          PixelRectangle(0, 0, 8, 8)};
    const BatchPlan plan = PlanBatch(images_, {0}, rects, Out(), CropSettings{});
    ASSERT_EQ(plan.pairs.size(), 2U);
    EXPECT_FALSE(plan.pairs[0].failure.isEmpty());
    EXPECT_TRUE(plan.pairs[0].output.isEmpty());
    EXPECT_TRUE(plan.pairs[1].output.endsWith("p0-1.JPG"));
}

TEST_F(BatchPlanTest, NoRectanglesMeansNothingToDo) {
    const BatchPlan plan = PlanBatch(images_, {0, 1}, {}, Out(), CropSettings{});
    EXPECT_EQ(plan.total, 0);
    EXPECT_TRUE(plan.pairs.empty());
    int calls = 0;
    RunCropPairs(plan.pairs, {}, 2, [&](std::size_t, const CropOutcome&) { ++calls; });
    EXPECT_EQ(calls, 0);
}

TEST_F(BatchPlanTest, OutputIntoTheSourceFolderLeavesTheSourceAlone) {
    const QByteArray before = ReadBytes(images_[0].path);
    const BatchPlan plan =
        PlanBatch(images_, {0}, {PixelRectangle(0, 0, 8, 8)}, dir_.path() + "/a", {});
    ASSERT_EQ(plan.pairs.size(), 1U);
    EXPECT_TRUE(plan.pairs[0].output.endsWith("/a/p0_0.JPG"));
    int written = 0;
    RunCropPairs(plan.pairs, {}, 1,
                 [&](std::size_t, const CropOutcome& o) { written += o.status.ok(); });
    EXPECT_EQ(written, 1);
    EXPECT_EQ(ReadBytes(images_[0].path), before);
}

TEST_F(BatchPlanTest, EveryPairIsReportedOnceWhateverTheJobs) {
    const std::vector<CCropRect> rects = {
        PixelRectangle(0, 0, 8, 8), PixelRectangle(500, 0, 600, 8), PixelRectangle(0, 0, 64, 48)};
    for (const int jobs : {1, 2, 4}) {
        QDir(Out()).removeRecursively();
        QDir(dir_.path()).mkpath("out");
        const BatchPlan plan = PlanBatch(images_, {0, 1, 2, 3, 4}, rects, Out(), {});
        std::vector<int> seen(plan.pairs.size(), 0);
        int ok = 0;
        RunCropPairs(plan.pairs, {}, jobs, [&](std::size_t i, const CropOutcome& o) {
            ++seen[i];
            ok += o.status.ok();
        });
        EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), static_cast<long>(seen.size()));
        EXPECT_EQ(ok, 10) << jobs;
    }
}

// A name that appears after planning (another run, a copy) moves its pair on
// to the next free name; the entry put there is left as it was, and the run
// reports where each crop went. Names that stay free are the planned ones,
// whatever the jobs.
TEST_F(BatchPlanTest, ANameTakenAfterPlanningMovesThePairOnAndIsLeftAlone) {
    const std::vector<CCropRect> rects = {PixelRectangle(0, 0, 8, 8), PixelRectangle(8, 8, 24, 24)};
    for (const CropMode mode : {CropMode::kLossless, CropMode::kRecompress}) {
        QDir(Out()).removeRecursively();
        QDir(dir_.path()).mkpath("out");
        CropSettings settings;
        settings.mode = mode;
        BatchControl control;
        control.jobs = 2;
        control.onPlanned = [&](const BatchPlan& plan) {
            WriteBytes(plan.pairs[0].output, "copied in meanwhile");
            QDir().mkdir(plan.pairs[3].output);
        };
        std::vector<CropOutcome> outcomes(4);
        control.onDone = [&](std::size_t i, const CropOutcome& o) { outcomes[i] = o; };
        const BatchResult result = CropBatch(images_, {0, 1}, rects, Out(), settings, control);
        EXPECT_TRUE(result.flushError.isEmpty()) << result.flushError.toStdString();
        ASSERT_EQ(result.plan.pairs.size(), 4U);
        EXPECT_EQ(ReadBytes(Out() + "/p0-0.JPG"), QByteArray("copied in meanwhile"));
        EXPECT_TRUE(QFileInfo(Out() + "/p1-1.JPG").isDir());
        QStringList written;
        for (const CropOutcome& outcome : outcomes) {
            EXPECT_TRUE(outcome.status.ok()) << outcome.status.errorString().toStdString();
            written.append(outcome.output.mid(Out().size() + 1));
            EXPECT_TRUE(DecodeJpeg(ReadBytes(outcome.output)).ok);
        }
        EXPECT_EQ(written, (QStringList{"p0-0_0.JPG", "p0-1.JPG", "p1-0.JPG", "p1-1_0.JPG"}));
        EXPECT_EQ(
            QDir(Out()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(),
            6);
    }
}

TEST_F(BatchPlanTest, EveryPairIsWrittenUnderItsPlannedNameWhateverTheJobs) {
    const std::vector<CCropRect> rects = {PixelRectangle(0, 0, 8, 8), PixelRectangle(8, 8, 24, 24),
                                          PixelRectangle(0, 0, 64, 48)};
    WriteBytes(Out() + "/p2-1.JPG", "there before");
    for (const int jobs : {1, 3}) {
        BatchControl control;
        control.jobs = jobs;
        std::vector<QString> outputs(15);
        control.onDone = [&](std::size_t i, const CropOutcome& o) { outputs[i] = o.output; };
        const BatchResult result = CropBatch(images_, {0, 1, 2, 3, 4}, rects, Out(), {}, control);
        ASSERT_EQ(result.plan.pairs.size(), 15U);
        for (std::size_t i = 0; i < outputs.size(); ++i)
            EXPECT_EQ(outputs[i], result.plan.pairs[i].output) << jobs;
    }
    // The second run numbered its whole set, as a sequential one does.
    EXPECT_TRUE(QFileInfo::exists(Out() + "/p2-1_0.JPG"));
    EXPECT_TRUE(QFileInfo::exists(Out() + "/p2-1_1.JPG"));
    EXPECT_TRUE(QFileInfo::exists(Out() + "/p0-0_2.JPG"));
}

}  // namespace
