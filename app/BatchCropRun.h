#pragma once

// The batch crop as the main view runs it: the preconditions and their
// messages, the output folder, the progress window over a run on worker
// threads, and the completion message. The view's two crop commands are
// thin callers of OnCropSelected and OnCropAll.

#include "app/BatchRun.h"

#include <QString>

#include <functional>

class CProgressDlg;
class QWidget;

class CBatchCropRun {
  public:
    // Asks for a folder as BrowseForFolder does: 1 and the folder, or 0.
    using FolderChooser =
        std::function<int(QWidget* owner, const QString& prompt, QString& folder)>;
    // Sees the progress window after each step, on the thread that owns it.
    using StepObserver = std::function<void(const CProgressDlg& progress, int done)>;

    // `view` owns the message boxes and the folder chooser, and the progress
    // window stands over it.
    explicit CBatchCropRun(QWidget* view);

    void SetFolderChooser(FolderChooser chooser) { chooseFolder_ = std::move(chooser); }
    // Worker threads; 0 (the default) means one per core.
    void SetJobs(int jobs) { jobs_ = jobs; }
    void SetStepObserver(StepObserver observer) { observeStep_ = std::move(observer); }

    // Command 154: needs images and a selection.
    BatchRunSummary OnCropSelected(const BatchRunInput& input);
    // Command 201: needs images.
    BatchRunSummary OnCropAll(const BatchRunInput& input);

    // The run itself: asks for the output folder (a cancel ends it without a
    // word), then cuts every chosen image by every rectangle and tells the
    // user how it went. The view stays painted meanwhile and takes no input.
    BatchRunSummary CropImages(const BatchRunInput& input, bool allImages);

    // What the last command ended with (empty before the first).
    const BatchRunSummary& LastSummary() const { return last_; }

  private:
    BatchRunSummary RunWithProgress(const BatchRunInput& input, const std::vector<int>& chosen,
                                    const QString& folder);
    int Jobs() const;

    QWidget* view_;
    FolderChooser chooseFolder_;
    StepObserver observeStep_;
    int jobs_ = 0;
    BatchRunSummary last_;
};
