#include "app/BatchRun.h"

#include "platform/PathUtils.h"
#include "platform/StringTable.h"

#include <QSet>

#include <algorithm>

std::vector<int> ChosenImages(const BatchRunInput& input, bool allImages) {
    const int count = static_cast<int>(input.images.size());
    std::vector<int> chosen;
    if (allImages) {
        for (int i = 0; i < count; ++i)
            chosen.push_back(i);
        return chosen;
    }
    std::vector<bool> isSelected(input.images.size(), false);
    for (const int i : input.selected) {
        if (i >= 0 && i < count)
            isSelected[static_cast<std::size_t>(i)] = true;
    }
    for (int i = 0; i < count; ++i) {
        if (isSelected[static_cast<std::size_t>(i)])
            chosen.push_back(i);
    }
    return chosen;
}

CropSettings CropSettingsFrom(const AppSettings& settings) {
    CropSettings crop;
    crop.mode = settings.recompress ? CropMode::kRecompress : CropMode::kLossless;
    crop.quality = ClampJpegQuality(settings.jpegQuality);
    return crop;
}

void TallyOutcomes(const BatchPlan& plan, const std::vector<CropOutcome>& outcomes,
                   BatchRunSummary& summary) {
    QSet<QString> named;
    const std::size_t count = std::min(plan.pairs.size(), outcomes.size());
    for (std::size_t i = 0; i < count; ++i) {
        const CropOutcome& outcome = outcomes[i];
        if (outcome.notDone) {
            ++summary.notDone;
            continue;
        }
        if (outcome.status.ok()) {
            ++summary.written;
            continue;
        }
        ++summary.failed;
        const QString& source = plan.pairs[i].source;
        if (!named.contains(source)) {
            named.insert(source);
            summary.failedSources.append(source);
        }
    }
}

QString CompletionMessage(const BatchRunSummary& summary) {
    QString message =
        summary.stopped ? LangString(text::kCropsStopped).arg(summary.written).arg(summary.notDone)
                        : LangString(text::kCropsDone);
    if (!summary.flushError.isEmpty())
        message += QStringLiteral("\n\n") + LangString(text::kFlushFailed).arg(summary.flushError);
    if (summary.failed == 0)
        return message;
    message += QStringLiteral("\n\n") + LangString(text::kCropsFailed).arg(summary.failed);
    const auto shown = std::min<qsizetype>(summary.failedSources.size(), kFailedFilesShown);
    for (qsizetype i = 0; i < shown; ++i) {
        QString fileName;
        GetPathFileName(summary.failedSources[i], fileName);
        message += u'\n' + fileName;
    }
    if (summary.failedSources.size() > shown) {
        message +=
            u'\n' + LangString(text::kMoreFailedFiles).arg(summary.failedSources.size() - shown);
    }
    return message;
}
