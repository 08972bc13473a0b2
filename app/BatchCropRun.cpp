#include "app/BatchCropRun.h"

#include "engine/ProgressDlg.h"
#include "platform/BrowseForFolder.h"
#include "platform/MessageBoxes.h"
#include "platform/StringTable.h"
#include "platform/Workers.h"

#include <QEventLoop>
#include <QFutureWatcher>

#include <algorithm>
#include <atomic>
#include <climits>
#include <deque>
#include <mutex>
#include <utility>

CBatchCropRun::CBatchCropRun(QWidget* view) : view_(view), chooseFolder_(&BrowseForFolder) {}

BatchRunSummary CBatchCropRun::OnCropSelected(const BatchRunInput& input) {
    last_ = {};
    if (input.images.empty()) {
        ShowNotice(view_, LangString(text::kNoImages));
        return {};
    }
    if (ChosenImages(input, false).empty()) {
        ShowNotice(view_, LangString(text::kNoImageSelected));
        return {};
    }
    return CropImages(input, false);
}

BatchRunSummary CBatchCropRun::OnCropAll(const BatchRunInput& input) {
    last_ = {};
    if (input.images.empty()) {
        ShowNotice(view_, LangString(text::kNoImages));
        return {};
    }
    return CropImages(input, true);
}

BatchRunSummary CBatchCropRun::CropImages(const BatchRunInput& input, bool allImages) {
    last_ = {};
    QString folder;
    if (chooseFolder_(view_, LangString(text::kChooseOutputFolder), folder) == 0)
        return {};
    last_ = RunWithProgress(input, ChosenImages(input, allImages), folder);
    ShowNotice(view_, CompletionMessage(last_));
    return last_;
}

// Plans and crops on a worker group while this thread runs an event loop
// until the group's end: the progress window over the view is window-modal,
// so the view keeps painting and takes no input. Finished pairs queue up in
// a mailbox that this thread empties, in the order they finished; a wake-up
// that arrives while a step's paint pump is running leaves the emptying to
// the loop already at work, so steps never nest and always go up. Esc or a
// close request on the progress window asks whether to stop; Yes starts no
// further pair, and the pairs at work finish. The run goes on while the
// question is up.
BatchRunSummary CBatchCropRun::RunWithProgress(const BatchRunInput& input,
                                               const std::vector<int>& chosen,
                                               const QString& folder) {
    BatchRunSummary summary;
    summary.started = true;
    const long long pairs =
        static_cast<long long>(chosen.size()) * static_cast<long long>(input.rects.size());
    summary.total = static_cast<int>(std::min<long long>(pairs, INT_MAX));

    CProgressDlg progress(view_, summary.total);
    BatchPlan plan;
    std::vector<std::pair<std::size_t, CropOutcome>> finished;
    std::mutex mailLock;
    std::deque<std::pair<std::size_t, CropOutcome>> mail;
    bool emptying = false;
    const auto emptyMailbox = [&] {
        if (emptying)
            return;
        emptying = true;
        for (;;) {
            std::unique_lock<std::mutex> guard(mailLock);
            if (mail.empty())
                break;
            finished.push_back(std::move(mail.front()));
            mail.pop_front();
            guard.unlock();
            const int done = ++summary.steps;
            summary.lastStep = done;
            progress.Step(done);
            if (observeStep_)
                observeStep_(progress, done);
        }
        emptying = false;
    };

    QEventLoop loop;
    QObject receiver;  // lives on this thread: queued calls run here
    QString flushError;
    std::atomic<bool> stop{false};
    progress.SetStopRequest([&] {
        if (stop.load())
            return;  // stopping already
        if (AskQuestion(&progress, LangString(text::kConfirmStopCrops), DefaultAnswer::kNo))
            stop.store(true);
    });
    BatchControl control;
    control.jobs = Jobs();
    control.stop = &stop;
    control.onDone = [&](std::size_t index, const CropOutcome& outcome) {
        {
            const std::lock_guard<std::mutex> guard(mailLock);
            mail.emplace_back(index, outcome);
        }
        QMetaObject::invokeMethod(&receiver, emptyMailbox, Qt::QueuedConnection);
    };
    {
        const WorkerGroup driver(1, [&] {
            BatchResult result =
                CropBatch(input.images, chosen, input.rects, folder, input.settings, control);
            plan = std::move(result.plan);
            flushError = std::move(result.flushError);
        });
        QFutureWatcher<void> ended;
        QObject::connect(&ended, &QFutureWatcher<void>::finished, &loop, &QEventLoop::quit);
        ended.setFuture(driver.Finished());
        loop.exec();
    }                // the driver has ended: `plan` is complete and this thread's alone
    emptyMailbox();  // anything left when the loop was ended from outside

    std::vector<CropOutcome> outcomes(plan.pairs.size());
    for (CropOutcome& outcome : outcomes)
        outcome.notDone = true;
    for (auto& [index, outcome] : finished)
        outcomes[index] = std::move(outcome);
    TallyOutcomes(plan, outcomes, summary);
    summary.stopped = stop.load() && summary.notDone > 0;
    summary.flushError = flushError;
    return summary;
}

int CBatchCropRun::Jobs() const {
    return WorkerThreadCount(jobs_);
}
