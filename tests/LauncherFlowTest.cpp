// The launcher and the main program as a user meets them: the built programs
// copied into a program folder of their own, started with a private home on
// a private X server, and driven through that server alone (xdotool finds the
// windows, focuses them, presses keys and clicks).

#include "app/ViewLayout.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <vector>

#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

// Long enough for a heavily loaded machine, where one step of the flow has
// taken 27 s; on an idle one most steps take well under a second.
constexpr int kWaitMs = 60000;
constexpr int kPollMs = 100;
constexpr int kToolMs = 10000;

const QString kAgreementTitle = QStringLiteral("End user license agreement");
// The main window's title, and the caption of the programs' message boxes.
const QString kProgramTitle = QStringLiteral("Quorvane Framewright");
const QString kProgramDir = QStringLiteral(PELMORA_PROGRAM_DIR "/");
const QStringList kProgramFiles = {"zureda", "pelmora.bin", "licensef.txt", "licensef_e.txt"};

// Calls `done` every kPollMs until it holds or time is up.
bool PollUntil(const std::function<bool()>& done, int timeoutMs = kWaitMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(kPollMs);
    }
    return true;
}

struct ToolResult {
    bool ok = false;
    QString out;
};

ToolResult RunTool(const QString& program, const QStringList& arguments,
                   const QProcessEnvironment& environment) {
    QProcess tool;
    tool.setProcessEnvironment(environment);
    tool.start(program, arguments);
    ToolResult result;
    if (!tool.waitForStarted(kToolMs))
        return result;
    if (!tool.waitForFinished(kToolMs))
        tool.kill();
    tool.waitForFinished(kToolMs);
    result.ok = tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
    result.out = QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
    return result;
}

// A private X server that only clients holding its cookie may use. Other
// test runs on this machine start servers too, so the display number is
// picked at random far above the usual ones.
class XServer {
  public:
    explicit XServer(QString authority) : authority_(std::move(authority)) {}
    ~XServer() { Stop(); }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // ":N" once the server accepts clients, empty when none could start.
    QString Start() {
        for (int attempt = 0; attempt < 5 && display_.isEmpty() && !missing_; ++attempt) {
            const QString display =
                u':' + QString::number(1000 + QRandomGenerator::global()->bounded(30000));
            if (Authorise(display) && Run(display))
                display_ = display;
        }
        return display_;
    }

    // What the server said, and how it ended if it has.
    QByteArray Report() {
        QByteArray report = failures_ + server_.readAllStandardError();
        if (server_.state() == QProcess::NotRunning || server_.waitForFinished(0)) {
            report += "X server ended: status " + QByteArray::number(server_.exitStatus()) +
                      ", code " + QByteArray::number(server_.exitCode()) + '\n';
        }
        return report;
    }

  private:
    bool Authorise(const QString& display) {
        QByteArray cookie;
        for (int i = 0; i < 4; ++i)
            cookie += QByteArray::number(QRandomGenerator::global()->generate(), 16)
                          .rightJustified(8, '0');
        const ToolResult added =
            RunTool(QStringLiteral("xauth"),
                    {"-f", authority_, "add", display, ".", QString::fromLatin1(cookie)},
                    QProcessEnvironment::systemEnvironment());
        if (!added.ok) {
            missing_ = true;
            failures_ += "xauth failed (tools/install-deps.sh installs it)\n";
        }
        return added.ok;
    }

    // Starts the server on `display`; it names the display on its output
    // once it listens, and ends at once when the display is taken.
    bool Run(const QString& display) {
        Stop();
        server_.start(QStringLiteral("Xvfb"),
                      {display, "-displayfd", "1", "-auth", authority_, "-screen", "0",
                       "1280x1024x24", "-nolisten", "tcp", "-noreset"});
        if (!server_.waitForStarted(kToolMs)) {
            missing_ = true;
            failures_ += "Xvfb cannot start (tools/install-deps.sh installs xvfb)\n";
            return false;
        }
        PollUntil([this] {
            server_.waitForReadyRead(kPollMs);
            return server_.canReadLine() || server_.state() != QProcess::Running;
        });
        if (server_.canReadLine() && u':' + server_.readLine().trimmed() == display)
            return true;
        failures_ += server_.readAllStandardError();
        return false;
    }

    void Stop() {
        if (server_.state() == QProcess::NotRunning)
            return;
        server_.terminate();
        if (!server_.waitForFinished(5000)) {
            server_.kill();
            server_.waitForFinished(5000);
        }
    }

    QString authority_;
    QString display_;
    QProcess server_;
    QByteArray failures_;
    bool missing_ = false;
};

// Notices opens of one file. Every start of a program opens its file, so a
// program file that nothing else reads shows any start, however short.
class OpenWatch {
  public:
    explicit OpenWatch(const QString& path) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (fd_ >= 0 && inotify_add_watch(fd_, QFile::encodeName(path).constData(), IN_OPEN) < 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~OpenWatch() {
        if (fd_ >= 0)
            close(fd_);
    }
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;

    bool Watching() const { return fd_ >= 0; }

    // Whether the file was opened since the last call. (Repeated events are
    // merged, so opens cannot be counted.)
    bool Opened() {
        // Events end in a flexible name (empty for a watch on the file
        // itself), so they are read as bytes, not as an array of events.
        alignas(inotify_event) char buffer[64 * sizeof(inotify_event)];
        bool opened = false;
        ssize_t bytes = 0;
        while ((bytes = read(fd_, buffer, sizeof buffer)) > 0) {
            for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= bytes;) {
                inotify_event event;
                std::memcpy(&event, buffer + at, sizeof event);
                opened = opened || (event.mask & IN_OPEN) != 0;
                at += static_cast<ssize_t>(sizeof event + event.len);
            }
        }
        return opened;
    }

  private:
    int fd_;
};

// Process ids of the programs running from `path`.
std::vector<qint64> ProcessesOf(const QString& path) {
    std::vector<qint64> pids;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (number && QFile::symLinkTarget("/proc/" + entry + "/exe") == path)
            pids.push_back(pid);
    }
    return pids;
}

qint64 ParentOf(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // "pid (name) state ppid ...": the name may hold spaces, so count from ')'.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() : -1;
}

QString PrivateFolder(const QString& path) {
    QDir().mkpath(path);
    QFile::setPermissions(path,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return path;
}

class LauncherFlowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(home_.isValid() && programs_.isValid());
        display_ = server_.Start();
        ASSERT_FALSE(display_.isEmpty()) << "no X server: " << server_.Report().data();
        folder_ = programs_.path() + u'/';
        for (const QString& name : kProgramFiles)
            ASSERT_TRUE(QFile::copy(kProgramDir + name, folder_ + name)) << name.toStdString();
        environment_ = ProgramEnvironment();
        ASSERT_TRUE(Xdo({"version"}).ok) << "xdotool is missing: tools/install-deps.sh installs it";
        opens_ = std::make_unique<OpenWatch>(MainProgram());
        ASSERT_TRUE(opens_->Watching());
    }

    void TearDown() override {
        if (HasFailure())
            std::fprintf(stderr, "X server %s: %s\n", qPrintable(display_),
                         server_.Report().data());
        for (auto& launcher : launchers_) {
            launcher->kill();
            launcher->waitForFinished(5000);
            if (HasFailure())
                std::fprintf(stderr, "launcher said: %s\n", launcher->readAll().constData());
        }
        // The main program outlives a killed launcher.
        for (qint64 pid : ProcessesOf(MainProgram()))
            ::kill(static_cast<pid_t>(pid), SIGKILL);
        PollUntil([this] { return ProcessesOf(MainProgram()).empty(); }, 5000);
    }

    QProcessEnvironment ProgramEnvironment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE", "WAYLAND_DISPLAY",
                                 "DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER"})
            env.remove(QString::fromLatin1(name));
        const QString root = home_.path();
        env.insert(QStringLiteral("HOME"), root);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), PrivateFolder(root + "/config"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), PrivateFolder(root + "/runtime"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), PrivateFolder(root + "/data"));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), PrivateFolder(root + "/cache"));
        env.insert(QStringLiteral("LANG"), QStringLiteral("C"));
        env.insert(QStringLiteral("DISPLAY"), display_);
        env.insert(QStringLiteral("XAUTHORITY"), Authority());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        return env;
    }

    QString Authority() const { return home_.path() + QStringLiteral("/Xauthority"); }
    QString MainProgram() const { return folder_ + QStringLiteral("pelmora.bin"); }
    QString SettingsFile() const {
        return home_.path() + QStringLiteral("/config/Quorvane/") + kProgramTitle +
               QStringLiteral(".conf");
    }

    QProcess* StartLauncher() {
        auto launcher = std::make_unique<QProcess>();
        launcher->setProcessEnvironment(environment_);
        launcher->setProcessChannelMode(QProcess::MergedChannels);
        launcher->setWorkingDirectory(home_.path());
        launcher->start(folder_ + QStringLiteral("zureda"), {});
        EXPECT_TRUE(launcher->waitForStarted(kToolMs));
        launchers_.push_back(std::move(launcher));
        return launchers_.back().get();
    }

    // Without an event loop a process learns of its end only when asked.
    static bool Ended(QProcess* launcher) {
        return launcher->state() == QProcess::NotRunning || launcher->waitForFinished(0);
    }

    // Waits for `launcher` to end by itself, with status 0, watching meanwhile.
    bool EndsQuietly(QProcess* launcher) {
        PollUntil([&] {
            Watch();
            return Ended(launcher);
        });
        return Ended(launcher) && launcher->exitStatus() == QProcess::NormalExit &&
               launcher->exitCode() == 0;
    }

    ToolResult Xdo(const QStringList& arguments) const {
        return RunTool(QStringLiteral("xdotool"), arguments, environment_);
    }

    // Shown (mapped) windows with exactly this title; a window still fully
    // transparent counts as shown.
    QStringList Windows(const QString& title) const {
        const ToolResult found = Xdo(
            {"search", "--onlyvisible", "--name", u'^' + QRegularExpression::escape(title) + u'$'});
        return found.out.split(u'\n', Qt::SkipEmptyParts);
    }
    qint64 OwnerOf(const QString& window) const {
        return Xdo({"getwindowpid", window}).out.toLongLong();
    }
    // Whether the window has been made fully opaque.
    bool Opaque(const QString& window) const {
        const ToolResult property =
            RunTool(QStringLiteral("xprop"), {"-id", window, "-notype", "_NET_WM_WINDOW_OPACITY"},
                    environment_);
        return property.out.endsWith(QStringLiteral(" = 4294967295"));
    }

    // Notes which main programs run; called on every poll of a wait.
    void Watch() {
        for (qint64 pid : ProcessesOf(MainProgram()))
            programsSeen_.insert(pid);
    }

    // The first shown window titled `title` that `owner` made and that is
    // not in `except`; empty when none comes.
    QString AwaitWindow(const QString& title, qint64 owner, const QStringList& except = {}) {
        QString window;
        PollUntil([&] {
            Watch();
            for (const QString& candidate : Windows(title)) {
                if (!except.contains(candidate) && OwnerOf(candidate) == owner) {
                    window = candidate;
                    return true;
                }
            }
            return false;
        });
        return window;
    }

    // The main program that `launcher` started, once it runs; -1 if none.
    qint64 AwaitMainProgram(QProcess* launcher) {
        qint64 program = -1;
        PollUntil([&] {
            Watch();
            for (qint64 pid : ProcessesOf(MainProgram())) {
                if (ParentOf(pid) == launcher->processId())
                    program = pid;
            }
            return program > 0;
        });
        return program;
    }

    // The main program's window once its start-up logo has ended.
    QString AwaitMainWindow(qint64 program) {
        const QString window = AwaitWindow(kProgramTitle, program);
        const bool shown = !window.isEmpty() && PollUntil([&] {
            Watch();
            return Opaque(window);
        });
        return shown ? window : QString();
    }

    bool PressKey(const QString& window, const QString& key) const {
        return Xdo({"windowfocus", "--sync", window, "key", key}).ok;
    }

    // Clicks the close button in the window's top right corner, where the
    // view's layout puts it, and answers Yes to the question that follows.
    void CloseMainWindow(const QString& window, qint64 program) {
        const QString size =
            Xdo({"getwindowgeometry", window}).out.section(QStringLiteral("Geometry: "), 1);
        const int width = size.section(u'x', 0, 0).toInt();
        const int height = size.section(u'x', 1, 1).toInt();
        ASSERT_GT(width, 0) << size.toStdString();
        const QPoint button = ComputeViewLayout(width, height, SheetSizes{}).close.center();
        ASSERT_TRUE(Xdo({"mousemove", "--window", window, QString::number(button.x()),
                         QString::number(button.y()), "click", "1"})
                        .ok);
        const QString question = AwaitWindow(kProgramTitle, program, {window});
        ASSERT_FALSE(question.isEmpty()) << "no question before closing";
        ASSERT_TRUE(PressKey(question, QStringLiteral("Return")));  // Yes is the default
    }

    QTemporaryDir home_;
    QTemporaryDir programs_;
    XServer server_{Authority()};
    QString display_;
    QString folder_;
    QProcessEnvironment environment_;
    std::unique_ptr<OpenWatch> opens_;
    std::vector<std::unique_ptr<QProcess>> launchers_;
    std::set<qint64> programsSeen_;
};

TEST_F(LauncherFlowTest, RefusingTheAgreementStartsNothing) {
    QProcess* launcher = StartLauncher();
    const QString dialog = AwaitWindow(kAgreementTitle, launcher->processId());
    ASSERT_FALSE(dialog.isEmpty()) << "no agreement on the first start";
    ASSERT_TRUE(PressKey(dialog, QStringLiteral("Escape")));
    // The launcher's notice of the refusal.
    const QString notice = AwaitWindow(kProgramTitle, launcher->processId());
    ASSERT_FALSE(notice.isEmpty()) << "no notice after the refusal";
    EXPECT_TRUE(Windows(kAgreementTitle).isEmpty());
    ASSERT_TRUE(PressKey(notice, QStringLiteral("Return")));
    EXPECT_TRUE(EndsQuietly(launcher));
    EXPECT_FALSE(opens_->Opened()) << "the main program was started";
    EXPECT_TRUE(programsSeen_.empty());
    EXPECT_FALSE(QFile::exists(folder_ + QStringLiteral("IMG.DAT")));
    EXPECT_FALSE(QFile::exists(SettingsFile()));
}

TEST_F(LauncherFlowTest, AgreeingOpensTheMainWindowAndLaterStartsGoStraightToIt) {
    QProcess* first = StartLauncher();
    const QString dialog = AwaitWindow(kAgreementTitle, first->processId());
    ASSERT_FALSE(dialog.isEmpty()) << "no agreement on the first start";
    ASSERT_TRUE(PressKey(dialog, QStringLiteral("Return")));  // agreeing is the default
    qint64 program = AwaitMainProgram(first);
    ASSERT_GT(program, 0) << "agreeing started no main program";
    EXPECT_TRUE(opens_->Opened());  // the watch sees a start
    QString window = AwaitMainWindow(program);
    ASSERT_FALSE(window.isEmpty()) << "no opaque main window";
    EXPECT_TRUE(Windows(kAgreementTitle).isEmpty());
    CloseMainWindow(window, program);
    ASSERT_TRUE(EndsQuietly(first));
    EXPECT_TRUE(ProcessesOf(MainProgram()).empty());
    EXPECT_TRUE(QFile::exists(folder_ + QStringLiteral("IMG.DAT")));
    EXPECT_TRUE(QFile::exists(folder_ + QStringLiteral("RECT.DAT")));
    QFile settings(SettingsFile());
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    EXPECT_TRUE(settings.readAll().contains("[app]\nnotfirst=1\n"));

    // The next start goes straight to the main window: a launcher waiting
    // for an answer would start no program.
    QProcess* next = StartLauncher();
    program = AwaitMainProgram(next);
    ASSERT_GT(program, 0);
    window = AwaitMainWindow(program);
    ASSERT_FALSE(window.isEmpty());
    EXPECT_TRUE(Windows(kAgreementTitle).isEmpty());

    // A further launcher meanwhile ends at once and starts nothing.
    programsSeen_.clear();
    opens_->Opened();
    EXPECT_TRUE(EndsQuietly(StartLauncher()));
    EXPECT_FALSE(opens_->Opened()) << "a second main program was started";
    EXPECT_EQ(programsSeen_, std::set<qint64>{program});
    EXPECT_FALSE(Ended(next));

    CloseMainWindow(window, program);
    EXPECT_TRUE(EndsQuietly(next));
}

}  // namespace
