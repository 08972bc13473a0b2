// pelmora-crop runs beside each other and killed ones, on the local disk:
// two runs of 150 photos into one folder at once, runs killed at several
// points and the run after them, and one job spread over several runs by
// GNU parallel as the README shows it.

#include "CropRuns.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

namespace {

using namespace testing_support;

const QString kTool = QStringLiteral(PELMORA_CROP_TOOL);

class ConcurrentRunsTest : public ::testing::Test {
  protected:
    void SetUp() override { QDir(dir_.path()).mkdir(QStringLiteral("out")); }
    QString Root() const { return dir_.path(); }
    QString Out() const { return dir_.path() + QStringLiteral("/out"); }

    // Every entry of the output folder is a file some run reported, holding
    // the crop that run asked for; nothing else is there.
    void ExpectOnlyReportedCrops(const std::map<QString, QByteArray>& expected) {
        const QStringList entries = FolderEntries(Out());
        EXPECT_EQ(entries.size(), static_cast<qsizetype>(expected.size()))
            << entries.filter(QStringLiteral(".pelmora-")).join(' ').toStdString();
        for (const auto& [output, bytes] : expected) {
            EXPECT_FALSE(bytes.isEmpty()) << output.toStdString();
            EXPECT_EQ(ReadBytes(output), bytes) << output.toStdString();
        }
    }

    QTemporaryDir dir_;
    ReferenceCrops references_{dir_.path() + QStringLiteral("/reference")};
};

QStringList NumberedNames(const QString& pattern, int count) {
    QStringList names;
    for (int i = 0; i < count; ++i)
        names.append(pattern.arg(i, 4, 10, QLatin1Char('0')));
    return names;
}

TEST_F(ConcurrentRunsTest, TwoRunsOf150PhotosAtOnceWriteThreeHundredCrops) {
    MakePhotos(Root() + QStringLiteral("/photos"),
               NumberedNames(QStringLiteral("IMG_%1.JPG"), 150));
    const PixelRect rects[] = {{0, 0, 32, 24}, {16, 16, 64, 48}};
    const QStringList rectArguments = {QStringLiteral("0,0,32,24"), QStringLiteral("16,16,64,48")};
    ToolRun first({"--quiet", "--verbose", "-j", "2", "-o", Out(), "-r", rectArguments[0],
                   Root() + QStringLiteral("/photos")});
    ToolRun second({"--quiet", "--verbose", "-j", "2", "-o", Out(), "-r", rectArguments[1],
                    Root() + QStringLiteral("/photos")});
    const CommandResult results[] = {first.Finish(), second.Finish()};
    std::map<QString, QByteArray> expected;
    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(results[run].exitCode, 0) << results[run].err.toStdString();
        EXPECT_TRUE(results[run].out.endsWith("150 written, 0 failed, 0 skipped\n"))
            << results[run].out.right(200).toStdString();
        for (const ReportedPair& pair : ReportedPairs(results[run].out)) {
            EXPECT_EQ(expected.count(pair.output), 0U) << pair.output.toStdString();
            expected[pair.output] = references_.Of(pair.source, rects[run]);
        }
    }
    EXPECT_EQ(expected.size(), 300U);
    ExpectOnlyReportedCrops(expected);
}

// Killed at several points, each time into the same folder and followed by
// another run: no temporary stays, and every file under a crop's name is
// that whole crop.
TEST_F(ConcurrentRunsTest, RunsKilledAtSeveralPointsLeaveOnlyWholeCropsBehindTheNextRun) {
    MakePhotos(Root() + QStringLiteral("/photos"), NumberedNames(QStringLiteral("p%1.jpg"), 40),
               320, 240);
    MakePhotos(Root() + QStringLiteral("/after"), {QStringLiteral("after.jpg")}, 320, 240, 99);
    const KillRounds rounds = KillRunsAndRunAgain(
        Root() + QStringLiteral("/photos"), Root() + QStringLiteral("/after"), Out(), references_);
    EXPECT_GE(rounds.killedMidRun, 2) << "the runs ended before they could be killed";
}

// The README's scale-out with local jobs: photos of the same names in two
// folders, listed in turn and handed out seven at a time to three runs at
// once, so that runs working side by side want the same names.
TEST_F(ConcurrentRunsTest, GnuParallelSpreadsOneJobOverRunsIntoOneFolder) {
    const QStringList names = NumberedNames(QStringLiteral("IMG_%1.jpg"), 30);
    const QStringList a = MakePhotos(Root() + QStringLiteral("/a"), names, 320, 240);
    const QStringList b = MakePhotos(Root() + QStringLiteral("/b"), names, 320, 240, 100);
    QByteArray list;
    for (qsizetype i = 0; i < names.size(); ++i)
        list += (a[i] + u'\n' + b[i] + u'\n').toLocal8Bit();
    ToolRun parallel({"--will-cite", "-S", ":", "-j", "3", "-n", "7", kTool, "--quiet", "--verbose",
                      "-o", Out(), "-r", "8,8,312,232"},
                     list, QStringLiteral("parallel"));
    const CommandResult result = parallel.Finish();
    ASSERT_EQ(result.exitCode, 0) << "GNU parallel (tools/install-deps.sh): "
                                  << result.err.toStdString();
    const Counts counts = SummaryCounts(result.out);
    EXPECT_EQ(counts.lines, 9);
    EXPECT_EQ(counts.written, 60);
    EXPECT_EQ(counts.failed, 0);
    std::map<QString, QByteArray> expected;
    for (const ReportedPair& pair : ReportedPairs(result.out)) {
        EXPECT_EQ(expected.count(pair.output), 0U) << pair.output.toStdString();
        expected[pair.output] = references_.Of(pair.source, {8, 8, 312, 232});
    }
    EXPECT_EQ(expected.size(), 60U);
    ExpectOnlyReportedCrops(expected);
}

}  // namespace
