// The main program's start-up and exit: the window, the settings read and
// written back, the version, and the one running copy, in this process and
// as real processes started side by side.

#include "app/PelmoraApp.h"
#include "platform/InstanceMarker.h"

#include "TestEnvironment.h"
#include "TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace testing_support;

const auto* const kApp = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);
const QString kEnglish = QStringLiteral("Quorvane Framewright");
const QString kJapanese = QStringLiteral("ペルモラ");

void WriteSettings(const TestHome& home, const QString& application, const QByteArray& text) {
    const QString path = home.SettingsFile(application);
    QDir().mkpath(QFileInfo(path).absolutePath());
    WriteBytes(path, text);
}

// Data files in the test's home, and no logo to wait for.
void KeepInHome(CPelmoraApp& app, const TestHome& home) {
    app.dataFolder = home.Root() + QLatin1Char('/');
    app.logoTiming = LogoTiming{{}, {}, {}};
}

TEST(PelmoraAppTest, StartsWithItsWindowAndSavesClampedSettingsAtExit) {
    TestHome home;
    ScopedLanguage language("en_US.UTF-8");
    WriteSettings(home, kEnglish, "[param]\njpegquality=150\nrecomp=1\n");
    CPelmoraApp app;
    KeepInHome(app, home);
    EXPECT_EQ(CPelmoraApp::Instance(), &app);
    ASSERT_TRUE(app.InitInstance());
    EXPECT_FALSE(app.appActive);
    // This start is the first completed one once the window has loaded.
    EXPECT_EQ(app.settings.notFirst, 0);
    ASSERT_TRUE(WaitUntil([&] { return app.settings.notFirst == 1; }));
    EXPECT_EQ(app.appName, kEnglish);
    EXPECT_EQ(app.settings.jpegQuality, 100);
    EXPECT_TRUE(app.settings.recompress);
    EXPECT_EQ(app.fileVersionMS,
              static_cast<quint32>(PELMORA_VERSION_MAJOR << 16 | PELMORA_VERSION_MINOR));
    EXPECT_EQ(app.fileVersionLS,
              static_cast<quint32>(PELMORA_VERSION_PATCH << 16 | PELMORA_VERSION_TWEAK));
    QWidget* window = app.MainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), kEnglish);
    EXPECT_EQ(window->size(), QSize(984, 728));

    app.settings.jpegQuality = -5;
    EXPECT_EQ(app.ExitInstance(), 0);
    EXPECT_EQ(app.settings.jpegQuality, 1);
    const QByteArray saved = ReadBytes(home.SettingsFile(kEnglish));
    EXPECT_TRUE(saved.contains("[app]\nnotfirst=1\n")) << saved.constData();
    EXPECT_TRUE(saved.contains("jpegquality=1\nrecomp=1\n")) << saved.constData();
    // The mark is given up: the next start is the only copy again.
    CInstanceMarker next(kEnglish);
    EXPECT_EQ(next.Acquire(), CInstanceMarker::Result::kAcquired);
}

TEST(PelmoraAppTest, JapaneseSystemUsesItsOwnNameAndBranch) {
    TestHome home;
    ScopedLanguage language("ja_JP.UTF-8");
    WriteSettings(home, kEnglish, "[app]\nnotfirst=1\n[param]\njpegquality=55\n");
    CPelmoraApp app;
    KeepInHome(app, home);
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(app.appName, kJapanese);
    EXPECT_EQ(app.MainWindow()->windowTitle(), kJapanese);
    EXPECT_EQ(app.settings.jpegQuality, 80);  // the English branch is not read
    app.ExitInstance();
    EXPECT_TRUE(QFile::exists(home.SettingsFile(kJapanese)));
    EXPECT_TRUE(ReadBytes(home.SettingsFile(kEnglish)).contains("jpegquality=55"));
}

TEST(PelmoraAppTest, RunEndsWhenTheWindowClosesAndSaves) {
    TestHome home;
    ScopedLanguage language("C");
    CPelmoraApp app;
    KeepInHome(app, home);
    QTimer::singleShot(0, [&app] {
        app.settings.recompress = true;
        app.MainWindow()->close();
    });
    QString asked;
    ModalScript answers({ClickButton(QMessageBox::Yes, &asked)});
    EXPECT_EQ(app.Run(), 0);
    EXPECT_EQ(asked, QStringLiteral("Are you sure to exit?"));
    EXPECT_TRUE(ReadBytes(home.SettingsFile(kEnglish)).contains("recomp=1"));
}

TEST(PelmoraAppTest, SecondCopyRaisesTheFirstAndEndsWithoutSaving) {
    TestHome home;
    ScopedLanguage language("C");
    CPelmoraApp first;
    KeepInHome(first, home);
    ASSERT_TRUE(first.InitInstance());
    ASSERT_TRUE(WaitUntil([&] { return first.settings.notFirst == 1; }));  // loaded
    QWidget elsewhere;
    elsewhere.setWindowTitle(QStringLiteral("another program"));
    elsewhere.show();
    elsewhere.activateWindow();
    // Asked again until it holds: the first window's hints may still be
    // settling the activation when the other program comes up.
    ASSERT_TRUE(WaitUntil([&] {
        elsewhere.activateWindow();
        return QApplication::activeWindow() == &elsewhere;
    }));

    auto second = std::make_unique<CPelmoraApp>();
    EXPECT_FALSE(second->InitInstance());
    EXPECT_EQ(second->MainWindow(), nullptr);
    EXPECT_TRUE(WaitUntil([&] { return QApplication::activeWindow() == first.MainWindow(); }));
    second->settings.jpegQuality = 5;
    second->ExitInstance();
    second.reset();
    EXPECT_FALSE(QFile::exists(home.SettingsFile(kEnglish)));  // nothing written by it
    first.ExitInstance();
    EXPECT_TRUE(QFile::exists(home.SettingsFile(kEnglish)));
}

// Real copies of the program, each in its own process.
class PelmoraProcessTest : public ::testing::Test {
  protected:
    PelmoraProcessTest() : language_("C") {}
    ~PelmoraProcessTest() override {
        for (auto& process : processes_) {
            process->kill();
            process->waitForFinished(5000);
        }
    }

    QProcess* Start() {
        auto process = std::make_unique<QProcess>();
        process->setProgram(QStringLiteral(PELMORA_APP));
        process->start();
        processes_.push_back(std::move(process));
        return processes_.back().get();
    }

    static bool Running(QProcess* process) { return process->state() == QProcess::Running; }

    // Ended by itself, normally, with status 0.
    static bool EndedQuietly(QProcess* process, int timeoutMs) {
        return (process->state() == QProcess::NotRunning || process->waitForFinished(timeoutMs)) &&
               process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
    }

    bool LockExists() const {
        return QFile::exists(home_.RuntimeFolder() + QStringLiteral("/Quorvane Framewright.lock"));
    }

    TestHome home_;
    ScopedLanguage language_;
    std::vector<std::unique_ptr<QProcess>> processes_;
};

TEST_F(PelmoraProcessTest, TwoCopiesStartedTogetherLeaveOneRunning) {
    QProcess* a = Start();
    QProcess* b = Start();
    ASSERT_TRUE(a->waitForStarted(10000));
    ASSERT_TRUE(b->waitForStarted(10000));
    ASSERT_TRUE(WaitUntil([&] { return !Running(a) || !Running(b); }, 30000));
    QProcess* ended = Running(a) ? b : a;
    QProcess* kept = ended == a ? b : a;
    const QByteArray said = ended->readAllStandardError();
    EXPECT_TRUE(EndedQuietly(ended, 1000))
        << ended->exitStatus() << " " << ended->exitCode() << " " << said.constData();
    EXPECT_TRUE(said.isEmpty()) << said.constData();
    // The other one stays.
    EXPECT_FALSE(kept->waitForFinished(1500));
    EXPECT_TRUE(Running(kept));
}

TEST_F(PelmoraProcessTest, SecondCopyLeavesTheSettingsAlone) {
    WriteSettings(home_, kEnglish, "[param]\njpegquality=150\n");
    const QByteArray before = ReadBytes(home_.SettingsFile(kEnglish));
    QProcess* first = Start();
    ASSERT_TRUE(WaitUntil([&] { return LockExists(); }, 30000));
    QProcess* second = Start();
    EXPECT_TRUE(EndedQuietly(second, 30000));
    EXPECT_TRUE(Running(first));
    EXPECT_EQ(ReadBytes(home_.SettingsFile(kEnglish)), before);
}

TEST_F(PelmoraProcessTest, ACopyThatDiedDoesNotBlockTheNextStart) {
    QProcess* crashed = Start();
    ASSERT_TRUE(WaitUntil([&] { return LockExists(); }, 30000));
    QThread::msleep(300);  // let it get as far as listening
    crashed->kill();
    ASSERT_TRUE(crashed->waitForFinished(5000));
    ASSERT_TRUE(LockExists());  // what the crash left behind

    QProcess* next = Start();
    ASSERT_TRUE(next->waitForStarted(10000));
    EXPECT_FALSE(next->waitForFinished(3000)) << next->readAllStandardError().constData();
    ASSERT_TRUE(Running(next));
    // It holds the mark now: a further copy steps aside.
    QProcess* third = Start();
    EXPECT_TRUE(EndedQuietly(third, 30000));
    EXPECT_TRUE(Running(next));
}

}  // namespace
