#pragma once

// pelmora-crop as processes beside each other: photos to feed them, what
// they say they wrote, and the bytes each output must hold.

#include "platform/PixelRect.h"

#include "TestSupport.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <map>
#include <vector>

namespace testing_support {

// Different photos (one seed each) under `names` in `folder`.
QStringList MakePhotos(const QString& folder, const QStringList& names, int width = 64,
                       int height = 48, int firstSeed = 1);

// "SOURCE -> OUTPUT WxH+X+Y" lines of --verbose.
struct ReportedPair {
    QString source;
    QString output;
};
std::vector<ReportedPair> ReportedPairs(const QByteArray& out);

// The counts of every "N written, M failed, K skipped" line, added up.
struct Counts {
    int written = 0;
    int failed = 0;
    int lines = 0;
};
Counts SummaryCounts(const QByteArray& out);

// The file the lossless crop of `source` by `rect` gives, made once in
// `scratch` and remembered.
class ReferenceCrops {
  public:
    explicit ReferenceCrops(QString scratch) : scratch_(std::move(scratch)) {}
    QByteArray Of(const QString& source, const PixelRect& rect);

  private:
    QString scratch_;
    std::map<std::pair<QString, QString>, QByteArray> made_;
};

// pelmora-crop (or `program`) started now and waited for later.
class ToolRun {
  public:
    explicit ToolRun(const QStringList& arguments, const QByteArray& input = {},
                     const QString& program = QStringLiteral(PELMORA_CROP_TOOL));
    CommandResult Finish();
    void Kill() { process_.kill(); }
    bool Running() const { return process_.state() == QProcess::Running; }

  private:
    QProcess process_;
};

// The entries of a folder, hidden ones included, by name.
QStringList FolderEntries(const QString& folder);

// pelmora-crop of the photos p0000.jpg, p0001.jpg, ... in `photos` by three
// rectangles into `out`, killed at a sixth, a third, half and two thirds of
// its time, each time followed by a run of `after.jpg` in `afterFolder` into
// the same folder. After each, every entry of `out` must be the whole crop
// its name stands for (PHOTO-RECT.jpg, maybe numbered).
struct KillRounds {
    int killedMidRun = 0;  // rounds in which the run was still at work
    int leftovers = 0;     // rounds that left temporaries for the next run
};
KillRounds KillRunsAndRunAgain(const QString& photos, const QString& afterFolder,
                               const QString& out, ReferenceCrops& references);

}  // namespace testing_support
