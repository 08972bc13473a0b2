#include "CropRuns.h"

#include "engine/LosslessCrop.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace testing_support {

QStringList MakePhotos(const QString& folder, const QStringList& names, int width, int height,
                       int firstSeed) {
    QDir().mkpath(folder);
    QStringList paths;
    JpegSpec spec;
    spec.width = width;
    spec.height = height;
    for (const QString& name : names) {
        spec.seed = firstSeed++;
        paths.append(folder + u'/' + name);
        WriteBytes(paths.back(), EncodeJpeg(spec));
    }
    return paths;
}

std::vector<ReportedPair> ReportedPairs(const QByteArray& out) {
    static const QRegularExpression line(QStringLiteral("^(.*) -> (.*) \\d+x\\d+\\+\\d+\\+\\d+$"));
    std::vector<ReportedPair> pairs;
    for (const QByteArray& text : out.split('\n')) {
        const QRegularExpressionMatch match = line.match(QString::fromLocal8Bit(text));
        if (match.hasMatch())
            pairs.push_back({match.captured(1), match.captured(2)});
    }
    return pairs;
}

Counts SummaryCounts(const QByteArray& out) {
    static const QRegularExpression line(QStringLiteral("^(\\d+) written, (\\d+) failed, "));
    Counts counts;
    for (const QByteArray& text : out.split('\n')) {
        const QRegularExpressionMatch match = line.match(QString::fromLocal8Bit(text));
        if (!match.hasMatch())
            continue;
        counts.written += match.captured(1).toInt();
        counts.failed += match.captured(2).toInt();
        ++counts.lines;
    }
    return counts;
}

QByteArray ReferenceCrops::Of(const QString& source, const PixelRect& rect) {
    const QString key =
        QStringLiteral("%1,%2,%3,%4").arg(rect.left).arg(rect.top).arg(rect.right).arg(rect.bottom);
    auto found = made_.find({source, key});
    if (found != made_.end())
        return found->second;
    const QString path = scratch_ + QStringLiteral("/reference.jpg");
    QDir().mkpath(scratch_);
    const CropOutcome result = LosslessCrop(
        source, path, static_cast<std::uint32_t>(rect.left), static_cast<std::uint32_t>(rect.top),
        static_cast<std::uint32_t>(rect.Width()), static_cast<std::uint32_t>(rect.Height()));
    const QByteArray bytes = result.status.ok() ? ReadBytes(path) : QByteArray();
    made_[{source, key}] = bytes;
    return bytes;
}

ToolRun::ToolRun(const QStringList& arguments, const QByteArray& input, const QString& program) {
    process_.start(program, arguments);
    process_.waitForStarted(10000);
    if (!input.isEmpty())
        process_.write(input);
    process_.closeWriteChannel();
}

CommandResult ToolRun::Finish() {
    process_.waitForFinished(240000);
    CommandResult result;
    result.exitCode = process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    result.out = process_.readAllStandardOutput();
    result.err = process_.readAllStandardError();
    return result;
}

QStringList FolderEntries(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

KillRounds KillRunsAndRunAgain(const QString& photos, const QString& afterFolder,
                               const QString& out, ReferenceCrops& references) {
    const PixelRect rects[] = {{0, 0, 160, 120}, {80, 64, 240, 184}, {160, 112, 320, 240}};
    const QStringList crop = {
        "--quiet", "-j", "2", "-r", "0,0,160,120", "-r", "80,64,240,184", "-r", "160,112,320,240"};
    const QString tool = QStringLiteral(PELMORA_CROP_TOOL);
    const QString timing = out + QStringLiteral("-timing");
    QDir().mkpath(timing);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(RunCommand(tool, crop + QStringList{"-o", timing, photos}).exitCode, 0);
    const qint64 whole = std::max<qint64>(timer.elapsed(), 60);
    QDir(timing).removeRecursively();

    static const QRegularExpression name(QStringLiteral("^(p\\d{4}|after)-(\\d)(_\\d+)?\\.jpg$"));
    const QString after = afterFolder + QStringLiteral("/after.jpg");
    KillRounds rounds;
    for (const int sixths : {1, 2, 3, 4}) {
        ToolRun killed(crop + QStringList{"-o", out, photos});
        std::this_thread::sleep_for(std::chrono::milliseconds(whole * sixths / 6));
        rounds.killedMidRun += killed.Running() ? 1 : 0;
        killed.Kill();
        killed.Finish();
        rounds.leftovers +=
            FolderEntries(out).filter(QStringLiteral(".pelmora-")).isEmpty() ? 0 : 1;
        const CommandResult next = RunCommand(tool, crop + QStringList{"-o", out, after});
        EXPECT_EQ(next.exitCode, 0) << next.err.toStdString();
        for (const QString& entry : FolderEntries(out)) {
            const QRegularExpressionMatch match = name.match(entry);
            EXPECT_TRUE(match.hasMatch())
                << "after a kill at " << sixths << "/6: " << entry.toStdString();
            if (!match.hasMatch())
                continue;
            const QString source = match.captured(1) == QStringLiteral("after")
                                       ? after
                                       : photos + u'/' + match.captured(1) + QStringLiteral(".jpg");
            EXPECT_EQ(ReadBytes(out + u'/' + entry),
                      references.Of(source, rects[match.captured(2).toInt()]))
                << entry.toStdString();
        }
    }
    return rounds;
}

}  // namespace testing_support
