// The batch crop as the window runs it, on a view without the rest of the
// main window: preconditions, the folder question, the names and files
// written, the progress window's steps, and the completion message.

#include "app/BatchCropRun.h"
#include "engine/ProgressDlg.h"
#include "engine/RecompressCrop.h"

#include "TestEnvironment.h"
#include "TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <iostream>

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

const auto* const kApp = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);
const QString kDone = QStringLiteral("The process has been completed.");

class PaintCountingView : public QWidget {
  public:
    int paints = 0;

  protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

class BatchCropRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* folder : {"a", "b", "out", "out2"})
            QDir(dir_.path()).mkpath(folder);
        // a/p0 .. a/p3 and b/p0: two sources with the same title.
        AddPhoto("a/p0.JPG", 64, 48);
        AddPhoto("a/p1.JPG", 80, 64);
        AddPhoto("a/p2.jpg", 64, 48);
        AddPhoto("a/p3.JPG", 32, 24);
        AddPhoto("b/p0.JPG", 96, 72);
        view_.resize(400, 300);
        view_.show();
        run_.SetFolderChooser([this](QWidget* owner, const QString& prompt, QString& folder) {
            ++folderQuestions_;
            promptSeen_ = prompt;
            ownerSeen_ = owner;
            if (chosenFolder_.isEmpty())
                return 0;
            folder = chosenFolder_;
            return 1;
        });
        chosenFolder_ = Out();
    }

    void AddPhoto(const QString& relative, int width, int height) {
        JpegSpec spec;
        spec.width = width;
        spec.height = height;
        spec.seed = static_cast<int>(input_.images.size()) + 1;
        const QString path = QDir::toNativeSeparators(dir_.path() + "/" + relative);
        WriteBytes(path, EncodeJpeg(spec));
        input_.images.push_back({path, width, height, 16, 16, {}});
    }

    QString Out() const { return QDir::toNativeSeparators(dir_.path() + "/out"); }
    QStringList Written(const QString& folder) const {
        QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
        return names;
    }

    // Runs one command, answering the message box it ends with; `message`
    // gets the box's text (empty when none came up).
    BatchRunSummary Command(bool all, QString* message = nullptr) {
        QString text;
        ModalScript script({ClickButton(QMessageBox::Ok, &text)});
        const BatchRunSummary summary = all ? run_.OnCropAll(input_) : run_.OnCropSelected(input_);
        if (message != nullptr)
            *message = text;
        EXPECT_LE(script.Answered(), 1);
        return summary;
    }

    QTemporaryDir dir_;
    PaintCountingView view_;
    CBatchCropRun run_{&view_};
    BatchRunInput input_;
    QString chosenFolder_;
    int folderQuestions_ = 0;
    QString promptSeen_;
    QWidget* ownerSeen_ = nullptr;
};

TEST_F(BatchCropRunTest, PreconditionsAnswerBeforeAnyFolderIsAsked) {
    ScopedLanguage language("en_US.UTF-8");
    BatchRunInput empty;
    QString message;
    for (const bool all : {true, false}) {
        std::swap(empty, input_);
        EXPECT_FALSE(Command(all, &message).started);
        std::swap(empty, input_);
        EXPECT_EQ(message, QStringLiteral("You can do this operation after you add jmages."));
    }
    input_.selected = {};
    EXPECT_FALSE(Command(false, &message).started);
    EXPECT_EQ(message, QStringLiteral("No images are selected."));
    input_.selected = {7, -1};  // nothing the collection holds
    EXPECT_FALSE(Command(false, &message).started);
    EXPECT_EQ(message, QStringLiteral("No images are selected."));
    EXPECT_EQ(folderQuestions_, 0);

    ScopedLanguage japanese("ja_JP.UTF-8");
    EXPECT_FALSE(Command(false, &message).started);
    EXPECT_EQ(message,
              QStringLiteral("画像が選択されていません。\n画像をクリックして選択してください。"));
    std::swap(empty, input_);
    EXPECT_FALSE(Command(true, &message).started);
    EXPECT_EQ(
        message,
        QStringLiteral("画像をドラッグアンドドロップで追加してから、この操作を行ってください。"));
    EXPECT_EQ(folderQuestions_, 0);
}

TEST_F(BatchCropRunTest, CancellingTheFolderQuestionEndsWithoutAWord) {
    ScopedLanguage language("en_US.UTF-8");
    input_.rects = {PixelRectangle(0, 0, 16, 16)};
    chosenFolder_.clear();
    QString message;
    const BatchRunSummary summary = Command(true, &message);
    EXPECT_FALSE(summary.started);
    EXPECT_TRUE(message.isEmpty());
    EXPECT_EQ(folderQuestions_, 1);
    EXPECT_EQ(promptSeen_,
              QStringLiteral("Select folder in which you want to save cropped images."));
    EXPECT_EQ(ownerSeen_, &view_);
    EXPECT_TRUE(Written(Out()).isEmpty());

    ScopedLanguage japanese("ja_JP.UTF-8");
    Command(true);
    EXPECT_TRUE(promptSeen_.startsWith(QStringLiteral("切り抜いた画像を保存するフォルダを選択")));
}

TEST_F(BatchCropRunTest, NoRectanglesStillAsksAndCompletes) {
    ScopedLanguage language("en_US.UTF-8");
    input_.selected = {0};
    for (const bool all : {true, false}) {
        QString message;
        const BatchRunSummary summary = Command(all, &message);
        EXPECT_TRUE(summary.started);
        EXPECT_EQ(summary.total, 0);
        EXPECT_EQ(summary.steps, 0);
        EXPECT_EQ(message, kDone);
    }
    EXPECT_EQ(folderQuestions_, 2);
    EXPECT_TRUE(Written(Out()).isEmpty());
    EXPECT_EQ(CProgressDlg::OpenCount(), 0);
}

TEST_F(BatchCropRunTest, OneRectangleHasNoSuffixAndSeveralCountFromZeroInOrder) {
    input_.selected = {1};
    input_.rects = {PixelRectangle(0, 0, 16, 16)};
    Command(false);
    EXPECT_EQ(Written(Out()), QStringList{"p1.JPG"});

    QDir(Out()).removeRecursively();
    QDir().mkpath(Out());
    input_.rects = {PixelRectangle(0, 0, 48, 16), PixelRectangle(0, 0, 16, 32),
                    PixelRectangle(16, 16, 80, 64)};
    Command(false);
    EXPECT_EQ(Written(Out()), (QStringList{"p1-0.JPG", "p1-1.JPG", "p1-2.JPG"}));
    const QSize sizes[] = {{48, 16}, {16, 32}, {64, 48}};
    for (int j = 0; j < 3; ++j) {
        const DecodedImage image =
            DecodeJpeg(ReadBytes(Out() + QStringLiteral("/p1-%1.JPG").arg(j)));
        EXPECT_EQ(QSize(image.width, image.height), sizes[j]) << j;
    }
}

TEST_F(BatchCropRunTest, CropSelectedAnnouncesAndWritesSelectedTimesRectangles) {
    ScopedLanguage language("en_US.UTF-8");
    input_.selected = {3, 1};  // two of five, in any order
    input_.rects = {PixelRectangle(0, 0, 16, 16), PixelRectangle(8, 8, 24, 24)};
    std::vector<int> steps;
    std::vector<int> positions;
    run_.SetStepObserver([&](const CProgressDlg& progress, int done) {
        steps.push_back(done);
        positions.push_back(progress.Position());
        // Steps come to the window's thread while the window stands over
        // the view and keeps it from input.
        EXPECT_EQ(QThread::currentThread(), QApplication::instance()->thread());
        EXPECT_TRUE(progress.isVisible());
        EXPECT_EQ(progress.parentWidget(), &view_);
        EXPECT_EQ(QApplication::activeModalWidget(), &progress);
    });
    QString message;
    const BatchRunSummary summary = Command(false, &message);
    EXPECT_EQ(summary.total, 4);
    EXPECT_EQ(steps, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(positions, (std::vector<int>{25, 50, 75, 100}));
    EXPECT_EQ(Written(Out()), (QStringList{"p1-0.JPG", "p1-1.JPG", "p3-0.JPG", "p3-1.JPG"}));
    EXPECT_EQ(summary.written, 4);
    EXPECT_EQ(message, kDone);
    EXPECT_EQ(CProgressDlg::OpenCount(), 0);  // gone before the message
}

TEST_F(BatchCropRunTest, TheViewKeepsPaintingDuringTheRun) {
    input_.rects = {PixelRectangle(0, 0, 16, 16), PixelRectangle(8, 8, 24, 24)};
    int paintsAtStep1 = -1;
    int paintsAtStep2 = -1;
    run_.SetStepObserver([&](const CProgressDlg&, int done) {
        if (done == 1) {
            paintsAtStep1 = view_.paints;
            view_.update();
        } else if (done == 2) {
            paintsAtStep2 = view_.paints;
        }
    });
    Command(true);
    EXPECT_GT(paintsAtStep2, paintsAtStep1);
}

TEST_F(BatchCropRunTest, AVanishedSourceIsSkippedAndNeverAdvancesTheBar) {
    ScopedLanguage language("en_US.UTF-8");
    input_.rects = {PixelRectangle(0, 0, 16, 16), PixelRectangle(8, 8, 24, 24)};
    ASSERT_TRUE(QFile::remove(input_.images[2].path));
    int lastPosition = -1;
    run_.SetStepObserver(
        [&](const CProgressDlg& progress, int) { lastPosition = progress.Position(); });
    QString message;
    const BatchRunSummary summary = Command(true, &message);
    EXPECT_EQ(summary.total, 10);
    EXPECT_EQ(summary.steps, 8);
    EXPECT_EQ(summary.lastStep, 8);
    EXPECT_EQ(lastPosition, 80);  // the bar stops short
    EXPECT_EQ(summary.failed, 0);
    EXPECT_EQ(message, kDone);  // skipped silently
    EXPECT_EQ(Written(Out()).size(), 8);
    EXPECT_FALSE(Written(Out()).contains("p2-0.jpg"));
}

TEST_F(BatchCropRunTest, ARectangleOffOneImageFailsThatPairOnlyAndIsReported) {
    // p3 is 32 x 24: the second rectangle misses it.
    input_.rects = {PixelRectangle(0, 0, 16, 16), PixelRectangle(40, 30, 60, 44)};
    QString message;
    {
        ScopedLanguage language("en_US.UTF-8");
        const BatchRunSummary summary = Command(true, &message);
        EXPECT_EQ(summary.steps, 10);  // the empty pair is handed on too
        EXPECT_EQ(summary.written, 9);
        EXPECT_EQ(summary.failed, 1);
        EXPECT_EQ(message, kDone + "\n\nCrops that could not be saved: 1\np3.JPG");
    }
    const QStringList names = Written(Out());
    EXPECT_EQ(names.size(), 9);
    EXPECT_TRUE(names.contains("p3-0.JPG"));
    EXPECT_FALSE(names.contains("p3-1.JPG"));
    // Its name was never taken: the next source titled p0 keeps its own.
    EXPECT_TRUE(names.contains("p0-1_0.JPG"));

    ScopedLanguage language("ja_JP.UTF-8");
    Command(true, &message);
    EXPECT_EQ(message,
              QStringLiteral("処理が完了しました。\n\n保存できなかった切り抜き: 1 件\np3.JPG"));
}

TEST_F(BatchCropRunTest, OutputIntoTheSourceFolderLeavesTheSourceUntouched) {
    const QByteArray before = ReadBytes(input_.images[0].path);
    chosenFolder_ = QDir::toNativeSeparators(dir_.path() + "/a");
    input_.selected = {0};
    input_.rects = {PixelRectangle(0, 0, 16, 16)};
    const BatchRunSummary summary = Command(false);
    EXPECT_EQ(summary.written, 1);
    EXPECT_EQ(ReadBytes(input_.images[0].path), before);
    EXPECT_EQ(DecodeJpeg(ReadBytes(chosenFolder_ + "/p0_0.JPG")).width, 16);
}

TEST_F(BatchCropRunTest, ParallelRunsWriteTheNamesAndBytesOfASequentialOne) {
    input_.rects = {PixelRectangle(3, 5, 40, 30), PixelRectangle(0, 0, 200, 200),
                    PixelRectangle(30, 20, 90, 70)};
    for (const bool recompress : {false, true}) {
        input_.settings = CropSettingsFrom({.jpegQuality = 70, .recompress = recompress});
        QStringList names[2];
        const QString folders[2] = {Out(), QDir::toNativeSeparators(dir_.path() + "/out2")};
        for (const int jobs : {1, 4}) {
            const int k = jobs == 1 ? 0 : 1;
            QDir(folders[k]).removeRecursively();
            QDir().mkpath(folders[k]);
            chosenFolder_ = folders[k];
            run_.SetJobs(jobs);
            const BatchRunSummary summary = Command(true);
            EXPECT_EQ(summary.total, 15);
            EXPECT_EQ(summary.written, 15) << recompress << " " << jobs;
            names[k] = Written(folders[k]);
        }
        EXPECT_EQ(names[0], names[1]);
        EXPECT_TRUE(names[0].contains("p0-0.JPG") && names[0].contains("p0-0_0.JPG"));
        for (const QString& name : names[0]) {
            EXPECT_EQ(ReadBytes(folders[0] + "/" + name), ReadBytes(folders[1] + "/" + name))
                << name.toStdString() << " recompress " << recompress;
        }
    }
}

TEST_F(BatchCropRunTest, TheSettingsChooseTheMethodAndTheQuality) {
    input_.selected = {1};
    input_.rects = {PixelRectangle(3, 5, 40, 30)};
    input_.settings = CropSettingsFrom({.jpegQuality = 250, .recompress = true});
    EXPECT_EQ(input_.settings.quality, 100);
    input_.settings = CropSettingsFrom({.jpegQuality = 35, .recompress = true});
    Command(false);
    const QString reference = dir_.path() + "/reference.jpg";
    ASSERT_EQ(RecompressCropFile(input_.images[1].path, reference, {3, 5, 40, 30}, 35), 1);
    EXPECT_EQ(ReadBytes(Out() + "/p1.JPG"), ReadBytes(reference));

    QFile::remove(Out() + "/p1.JPG");
    input_.settings = CropSettingsFrom({.jpegQuality = 35, .recompress = false});
    Command(false);
    // Lossless: the corner moves back to the 16 x 16 block grid.
    const DecodedImage lossless = DecodeJpeg(ReadBytes(Out() + "/p1.JPG"));
    EXPECT_EQ(QSize(lossless.width, lossless.height), QSize(40, 30));
}

// A batch long enough to be stopped: `images` copies of one photo, each cut
// by `rects` rectangles, on two threads.
class StoppedBatchTest : public BatchCropRunTest {
  protected:
    void MakeLongBatch(int images, int rects) {
        JpegSpec spec;
        spec.width = 320;
        spec.height = 240;
        const QByteArray photo = EncodeJpeg(spec);
        QDir(dir_.path()).mkpath("long");
        input_.images.clear();
        for (int i = 0; i < images; ++i) {
            const QString path =
                QDir::toNativeSeparators(dir_.path() + QStringLiteral("/long/q%1.jpg").arg(i));
            WriteBytes(path, photo);
            input_.images.push_back({path, spec.width, spec.height, 16, 16, {}});
        }
        input_.rects.clear();
        for (int j = 0; j < rects; ++j)
            input_.rects.push_back(
                PixelRectangle(16 * (j % 4), 16 * (j / 4), 16 * (j % 4) + 160, 16 * (j / 4) + 120));
        run_.SetJobs(kJobs);
    }

    // Sends the stop request (Esc, or a close request) to the progress
    // window from the event loop once `atStep` pairs are done, as a user
    // would between steps.
    void RequestStopAtStep(int atStep, bool byEscape) {
        run_.SetStepObserver([this, atStep, byEscape](const CProgressDlg& progress, int done) {
            if (done != atStep)
                return;
            QPointer<QWidget> window(const_cast<CProgressDlg*>(&progress));
            QTimer::singleShot(0, [window, byEscape] {
                if (window.isNull())
                    return;
                if (byEscape) {
                    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                    QApplication::sendEvent(window, &escape);
                } else {
                    window->close();
                }
            });
        });
    }

    struct Question {
        QString text;
        bool noIsDefault = false;
        bool overTheProgressWindow = false;
        int filesWhenAnswered = -1;
        int filesOnceStopped = -1;  // counted back in the run's loop, after the answer took effect
        QElapsedTimer sinceAnswer;
    };

    // Answers the stop question with `button`, noting what it showed and how
    // many crops had their names when it was answered.
    ModalScript::Answer AnswerStop(QMessageBox::StandardButton button, Question& seen) {
        return [this, button, &seen](QWidget* widget) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            ASSERT_NE(box, nullptr);
            seen.text = box->text();
            seen.noIsDefault = box->defaultButton() == box->button(QMessageBox::No);
            seen.overTheProgressWindow =
                box->parentWidget() != nullptr && box->parentWidget()->inherits("CProgressDlg");
            seen.filesWhenAnswered = static_cast<int>(Written(Out()).size());
            seen.sinceAnswer.start();
            box->button(button)->click();
            // Runs once the question's own loop has returned the answer.
            QTimer::singleShot(0, [this, &seen] {
                seen.filesOnceStopped = static_cast<int>(Written(Out()).size());
            });
        };
    }

    // Every file in the folder is a whole crop under a final name.
    void ExpectOnlyWholeCrops(int written) {
        const QStringList names = QDir(Out()).entryList(QDir::AllEntries | QDir::Hidden |
                                                        QDir::System | QDir::NoDotAndDotDot);
        EXPECT_EQ(names.size(), written) << names.join(' ').toStdString();
        static const QRegularExpression finalName(QStringLiteral("^q\\d+-\\d+\\.jpg$"));
        for (const QString& name : names) {
            EXPECT_TRUE(finalName.match(name).hasMatch()) << name.toStdString();
            const DecodedImage crop = DecodeJpeg(ReadBytes(Out() + "/" + name));
            EXPECT_TRUE(crop.ok && crop.width == 160 && crop.height == 120) << name.toStdString();
        }
    }

    static constexpr int kJobs = 2;
};

TEST_F(StoppedBatchTest, YesStartsNoFurtherPairAndTheMessageCountsBoth) {
    MakeLongBatch(150, 12);
    for (const bool byEscape : {true, false}) {
        SCOPED_TRACE(byEscape ? "Esc" : "close request");
        ScopedLanguage language("en_US.UTF-8");
        QDir(Out()).removeRecursively();
        QDir().mkpath(Out());
        RequestStopAtStep(3, byEscape);
        Question question;
        QString message;
        qint64 msFromYesToEnd = -1;
        BatchRunSummary summary;
        {
            ModalScript script({AnswerStop(QMessageBox::Yes, question), [&](QWidget* widget) {
                                    msFromYesToEnd = question.sinceAnswer.elapsed();
                                    ClickButton(QMessageBox::Ok, &message)(widget);
                                }});
            summary = run_.OnCropAll(input_);
            EXPECT_EQ(script.Answered(), 2);
        }
        EXPECT_EQ(question.text, QStringLiteral("Do you want to stop cropping?\n"
                                                "The crops in progress are finished first."));
        EXPECT_TRUE(question.noIsDefault);
        EXPECT_TRUE(question.overTheProgressWindow);

        EXPECT_EQ(summary.total, 1800);
        EXPECT_TRUE(summary.stopped);
        EXPECT_EQ(summary.failed, 0);
        EXPECT_GT(summary.notDone, 0);
        EXPECT_EQ(summary.written + summary.notDone, summary.total);
        // Once Yes has taken effect each thread finishes at most the crop it
        // was writing (and one more that raced the flag).
        ASSERT_GE(question.filesOnceStopped, question.filesWhenAnswered);
        EXPECT_LE(summary.written, question.filesOnceStopped + 2 * kJobs);
        EXPECT_EQ(message, QStringLiteral("The process has been stopped.\nCrops saved: %1\n"
                                          "Crops not done: %2")
                               .arg(summary.written)
                               .arg(summary.notDone));
        ExpectOnlyWholeCrops(summary.written);
        EXPECT_EQ(CProgressDlg::OpenCount(), 0);
        // Not a limit the test holds: how long the end took, for the record.
        std::cout << "[ stopped  ] " << summary.written << " written, " << summary.notDone
                  << " not done, " << msFromYesToEnd << " ms from Yes to the message\n";
    }
}

TEST_F(StoppedBatchTest, NoLetsTheBatchRunToTheEnd) {
    MakeLongBatch(40, 10);
    ScopedLanguage language("ja_JP.UTF-8");
    RequestStopAtStep(2, true);
    Question question;
    QString message;
    BatchRunSummary summary;
    {
        ModalScript script(
            {AnswerStop(QMessageBox::No, question), ClickButton(QMessageBox::Ok, &message)});
        summary = run_.OnCropAll(input_);
        EXPECT_EQ(script.Answered(), 2);
    }
    EXPECT_EQ(question.text, QStringLiteral("切り抜きを中止しますか？\n"
                                            "処理中の画像は保存してから中止します。"));
    EXPECT_TRUE(question.noIsDefault);
    EXPECT_LT(question.filesWhenAnswered, 400);  // asked while the batch ran
    EXPECT_FALSE(summary.stopped);
    EXPECT_EQ(summary.notDone, 0);
    EXPECT_EQ(summary.written, 400);
    EXPECT_EQ(summary.steps, 400);
    EXPECT_EQ(message, QStringLiteral("処理が完了しました。"));
    ExpectOnlyWholeCrops(400);
}

TEST_F(StoppedBatchTest, EnterOnTheQuestionMeansNo) {
    MakeLongBatch(40, 10);
    ScopedLanguage language("en_US.UTF-8");
    RequestStopAtStep(2, true);
    QString message;
    BatchRunSummary summary;
    {
        ModalScript script({[](QWidget* widget) {
                                QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                                QApplication::sendEvent(widget, &enter);
                            },
                            ClickButton(QMessageBox::Ok, &message)});
        summary = run_.OnCropAll(input_);
        EXPECT_EQ(script.Answered(), 2);
    }
    EXPECT_EQ(summary.written, 400);
    EXPECT_EQ(message, kDone);
}

TEST(CompletionMessageTest, AStoppedRunCountsSavedAndNotDoneThenNamesTheFailures) {
    BatchRunSummary summary;
    summary.stopped = true;
    summary.written = 7;
    summary.notDone = 30;
    summary.failed = 1;
    summary.failedSources = {QStringLiteral("/in/a.jpg")};
    {
        ScopedLanguage language("en_US.UTF-8");
        EXPECT_EQ(CompletionMessage(summary),
                  "The process has been stopped.\nCrops saved: 7\nCrops not done: 30"
                  "\n\nCrops that could not be saved: 1\na.jpg");
    }
    ScopedLanguage japanese("ja_JP.UTF-8");
    EXPECT_EQ(
        CompletionMessage(summary),
        QStringLiteral("処理を中止しました。\n保存した切り抜き: 7 件\n"
                       "行わなかった切り抜き: 30 件\n\n保存できなかった切り抜き: 1 件\na.jpg"));
}

TEST(CompletionMessageTest, NamesTheFirstFewFailedSourcesOnce) {
    ScopedLanguage language("en_US.UTF-8");
    BatchRunSummary summary;
    EXPECT_EQ(CompletionMessage(summary), kDone);
    summary.failed = 9;
    for (int i = 0; i < 7; ++i) {
        summary.failedSources.append(
            QDir::toNativeSeparators(QStringLiteral("/in/f%1.jpg").arg(i)));
    }
    EXPECT_EQ(CompletionMessage(summary),
              kDone +
                  "\n\nCrops that could not be saved: 9\n"
                  "f0.jpg\nf1.jpg\nf2.jpg\nf3.jpg\nf4.jpg\nand 2 more files");
    ScopedLanguage japanese("ja_JP.UTF-8");
    EXPECT_TRUE(CompletionMessage(summary).endsWith(QStringLiteral("f4.jpg\nほか 2 ファイル")));
}

TEST(CompletionMessageTest, AFlushTheDiskRefusedIsSaidBeforeTheFailures) {
    ScopedLanguage language("en_US.UTF-8");
    BatchRunSummary summary;
    summary.flushError = QStringLiteral("cannot flush /out to its disk: Input/output error");
    EXPECT_EQ(CompletionMessage(summary),
              kDone +
                  "\n\nThe disk could not confirm that the crops were saved.\n"
                  "cannot flush /out to its disk: Input/output error");
    summary.failed = 1;
    summary.failedSources = {QStringLiteral("/in/a.jpg")};
    EXPECT_TRUE(CompletionMessage(summary).endsWith(
        QStringLiteral("Input/output error\n\nCrops that could not be saved: 1\na.jpg")));
}

TEST(CompletionMessageTest, TallyCountsEachSourceOnceInPlanOrder) {
    BatchPlan plan;
    for (const char* source : {"/x/b.jpg", "/x/a.jpg", "/x/b.jpg", "/x/c.jpg"}) {
        CropPair pair;
        pair.source = QString::fromLatin1(source);
        plan.pairs.push_back(pair);
    }
    std::vector<CropOutcome> outcomes(4);
    outcomes[1].status = Status();
    outcomes[3].notDone = true;  // never attempted: neither written nor failed
    BatchRunSummary summary;
    TallyOutcomes(plan, outcomes, summary);
    EXPECT_EQ(summary.written, 1);
    EXPECT_EQ(summary.failed, 2);
    EXPECT_EQ(summary.notDone, 1);
    EXPECT_EQ(summary.failedSources, QStringList{"/x/b.jpg"});
}

TEST(ChosenImagesTest, AllOrTheSelectedInCollectionOrder) {
    BatchRunInput input;
    input.images.resize(5);
    input.selected = {4, 1, 1, 9, -3};
    EXPECT_EQ(ChosenImages(input, false), (std::vector<int>{1, 4}));
    EXPECT_EQ(ChosenImages(input, true), (std::vector<int>{0, 1, 2, 3, 4}));
}

}  // namespace
