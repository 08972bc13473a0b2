// Stopping a batch where users meet it: the main window (the window harness,
// which answers the folder question and the completion message) crops on a
// private Xvfb, and xdotool alone presses Esc on the progress window and
// answers the question that follows, in both languages. Without Xvfb the
// test reports itself skipped.

#include "XSession.h"

#include "croprects/RectFile.h"
#include "images/ImageListFile.h"

#include "TestSupport.h"

#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace testing_support;
using namespace xsession;

const QString kHarness = QStringLiteral(PELMORA_WINDOW_HARNESS);
constexpr int kRects = 8;

struct RunEnd {
    QString message;  // the completion message, on one line
    int written = -1;
    int notDone = 0;
};

class BatchStopOnXTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
            GTEST_SKIP() << "Xvfb is not installed (tools/install-deps.sh installs it)";
        display_ = server_.Start();
        ASSERT_FALSE(display_.isEmpty()) << "no X server: " << server_.Report().data();
    }

    // `photos` photos of 1280 x 960, each cut by kRects rectangles and
    // re-compressed: about 20 ms a photo on an idle core.
    void WriteData(int photos) {
        photos_ = photos;
        JpegSpec spec;
        spec.width = 1280;
        spec.height = 960;
        const QByteArray photo = EncodeJpeg(spec);
        QStringList paths;
        ASSERT_TRUE(QDir().mkpath(Root() + "/photos") && QDir().mkpath(Root() + "/data"));
        for (int i = 0; i < photos; ++i) {
            paths << QDir::toNativeSeparators(Root() + QStringLiteral("/photos/p%1.jpg").arg(i));
            WriteBytes(paths.back(), photo);
        }
        ASSERT_TRUE(WriteImageListFile(Root() + "/data/IMG.DAT", paths).ok());
        std::vector<CCropRect> rects;
        for (int j = 0; j < kRects; ++j)
            rects.push_back(PixelRectangle(16 * j, 16 * j, 16 * j + 640, 16 * j + 480));
        ASSERT_TRUE(WriteRectFile(Root() + "/data/RECT.DAT", rects).ok());
    }

    QString Root() const { return home_.path(); }
    QString Out() const { return Root() + "/out"; }

    QProcessEnvironment Environment(const QString& lang) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE", "WAYLAND_DISPLAY"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("HOME"), Root());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), Root() + "/config");
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), Root() + "/runtime");
        env.insert(QStringLiteral("LANG"), lang);
        env.insert(QStringLiteral("DISPLAY"), display_);
        env.insert(QStringLiteral("XAUTHORITY"), Root() + "/Xauthority");
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        return env;
    }

    QString Focused(const QProcessEnvironment& env) const {
        return RunTool(QStringLiteral("xdotool"), {"getwindowfocus"}, env).out.trimmed();
    }
    QSize SizeOf(const QString& window, const QProcessEnvironment& env) const {
        const QString out =
            RunTool(QStringLiteral("xdotool"), {"getwindowgeometry", window}, env).out;
        const QRegularExpressionMatch size =
            QRegularExpression(QStringLiteral("Geometry: (\\d+)x(\\d+)")).match(out);
        return size.hasMatch() ? QSize(size.captured(1).toInt(), size.captured(2).toInt())
                               : QSize();
    }
    int FilesWritten() const {
        return static_cast<int>(QDir(Out()).entryList(QDir::Files | QDir::Hidden).size());
    }

    // Crop all in the window; Esc once some crops are written, then `answer`
    // (a key for xdotool) on the question.
    RunEnd StopAndAnswer(const QString& lang, const QString& answer, QString* question) {
        QDir(Out()).removeRecursively();
        QDir().mkpath(Out());
        QDir().mkpath(Root() + "/runtime");
        QFile::setPermissions(Root() + "/runtime",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QProcessEnvironment env = Environment(lang);
        QProcess harness;
        harness.setProcessEnvironment(env);
        harness.setProcessChannelMode(QProcess::MergedChannels);
        harness.start(kHarness, {"--data", Root() + "/data", "--crop-all", Out(), "--mode",
                                 "recompress", "--questions-by-hand"});
        EXPECT_TRUE(harness.waitForStarted(kToolMs));
        // The progress window (166 x 18 dialog units) has the focus while
        // the crops are written.
        const QSize progress(249, 29);
        EXPECT_TRUE(PollUntil([&] {
            return FilesWritten() >= 3 && SizeOf(Focused(env), env) == progress;
        })) << "no focused progress window";
        const QString progressWindow = Focused(env);
        EXPECT_TRUE(RunTool(QStringLiteral("xdotool"), {"key", "Escape"}, env).ok);
        // The question takes the focus from the progress window.
        QString asked;
        EXPECT_TRUE(PollUntil([&] {
            asked = Focused(env);
            return !asked.isEmpty() && asked != progressWindow;
        })) << "Esc asked nothing";
        if (question != nullptr)
            *question = RunTool(QStringLiteral("xdotool"), {"getwindowname", asked}, env).out;
        const int before = FilesWritten();
        EXPECT_LT(before, photos_ * kRects) << "the batch ended before the question";
        EXPECT_TRUE(RunTool(QStringLiteral("xdotool"), {"key", answer}, env).ok);
        EXPECT_TRUE(harness.waitForFinished(kWaitMs));
        const QString out = QString::fromUtf8(harness.readAll());
        RunEnd end;
        const QRegularExpressionMatch message =
            QRegularExpression(QStringLiteral("message: (.*)\n")).match(out);
        end.message = message.captured(1);
        const QRegularExpressionMatch counts =
            QRegularExpression(
                QStringLiteral("(\\d+) pairs, (\\d+) written, (\\d+) failed(, (\\d+) not done)?"))
                .match(out);
        EXPECT_TRUE(counts.hasMatch()) << out.toStdString();
        end.written = counts.captured(2).toInt();
        end.notDone = counts.captured(5).toInt();
        EXPECT_EQ(counts.captured(3).toInt(), 0);
        return end;
    }

    int photos_ = 0;
    QTemporaryDir home_;
    XServer server_{home_.path() + "/Xauthority"};
    QString display_;
};

TEST_F(BatchStopOnXTest, EscThenYesStopsWithWholeCropsOnly) {
    // Long enough that the question is answered well before the end even on
    // an idle machine; stopped, it ends early.
    WriteData(1000);
    QString question;
    const RunEnd end = StopAndAnswer(QStringLiteral("en_US.UTF-8"), QStringLiteral("y"), &question);
    EXPECT_EQ(question.trimmed(), QStringLiteral("Quorvane Framewright"));
    EXPECT_GT(end.notDone, 0);
    EXPECT_EQ(end.written + end.notDone, photos_ * kRects);
    EXPECT_EQ(end.message, QStringLiteral("The process has been stopped. Crops saved: %1 "
                                          "Crops not done: %2")
                               .arg(end.written)
                               .arg(end.notDone));
    // Nothing but whole crops under final names: no temporary, no mark.
    const QStringList names = QDir(Out()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                                    QDir::NoDotAndDotDot);
    EXPECT_EQ(names.size(), end.written);
    for (const QString& name : names) {
        const DecodedImage crop = DecodeJpeg(ReadBytes(Out() + "/" + name));
        EXPECT_TRUE(crop.ok && crop.width == 640 && crop.height == 480) << name.toStdString();
    }
}

TEST_F(BatchStopOnXTest, EscThenEnterGoesOnToTheEnd) {
    WriteData(100);
    const RunEnd end =
        StopAndAnswer(QStringLiteral("ja_JP.UTF-8"), QStringLiteral("Return"), nullptr);
    EXPECT_EQ(end.notDone, 0);
    EXPECT_EQ(end.written, photos_ * kRects);
    EXPECT_EQ(end.message, QStringLiteral("処理が完了しました。"));
    EXPECT_EQ(FilesWritten(), photos_ * kRects);
}

}  // namespace
