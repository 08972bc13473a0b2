#include "XSession.h"

#include "app/ViewLayout.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <cstdio>
#include <cstring>

#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace xsession {

namespace {

const QString kProgramDir = QStringLiteral(PELMORA_PROGRAM_DIR "/");
const QStringList kProgramFiles = {"zureda", "pelmora.bin", "licensef.txt", "licensef_e.txt"};

QString PrivateFolder(const QString& path) {
    QDir().mkpath(path);
    QFile::setPermissions(path,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return path;
}

}  // namespace

bool PollUntil(const std::function<bool()>& done, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(kPollMs);
    }
    return true;
}

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

QString XServer::Start() {
    for (int attempt = 0; attempt < 5 && display_.isEmpty() && !missing_; ++attempt) {
        const QString display =
            u':' + QString::number(1000 + QRandomGenerator::global()->bounded(30000));
        if (Authorise(display) && Run(display))
            display_ = display;
    }
    return display_;
}

QByteArray XServer::Report() {
    QByteArray report = failures_ + server_.readAllStandardError();
    if (server_.state() == QProcess::NotRunning || server_.waitForFinished(0)) {
        report += "X server ended: status " + QByteArray::number(server_.exitStatus()) + ", code " +
                  QByteArray::number(server_.exitCode()) + '\n';
    }
    return report;
}

bool XServer::Authorise(const QString& display) {
    QByteArray cookie;
    for (int i = 0; i < 4; ++i)
        cookie +=
            QByteArray::number(QRandomGenerator::global()->generate(), 16).rightJustified(8, '0');
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

// Starts the server on `display`; it names the display on its output once
// it listens, and ends at once when the display is taken.
bool XServer::Run(const QString& display) {
    Stop();
    server_.start(QStringLiteral("Xvfb"),
                  {display, "-displayfd", "1", "-auth", authority_, "-screen", "0", "1280x1024x24",
                   "-nolisten", "tcp", "-noreset"});
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

void XServer::Stop() {
    if (server_.state() == QProcess::NotRunning)
        return;
    server_.terminate();
    if (!server_.waitForFinished(5000)) {
        server_.kill();
        server_.waitForFinished(5000);
    }
}

OpenWatch::OpenWatch(const QString& path) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fd_ >= 0 && inotify_add_watch(fd_, QFile::encodeName(path).constData(), IN_OPEN) < 0) {
        close(fd_);
        fd_ = -1;
    }
}

OpenWatch::~OpenWatch() {
    if (fd_ >= 0)
        close(fd_);
}

bool OpenWatch::Opened() {
    // Events end in a flexible name (empty for a watch on the file itself),
    // so they are read as bytes, not as an array of events.
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

void ProgramsOnX::SetUp() {
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
        GTEST_SKIP() << "Xvfb is not installed (tools/install-deps.sh installs it)";
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
    const QString manager = qEnvironmentVariable("PELMORA_TEST_WM");
    if (!manager.isEmpty())
        StartWindowManager(manager);
}

void ProgramsOnX::StartWindowManager(const QString& name) {
    windowManager_ = std::make_unique<QProcess>();
    windowManager_->setProcessEnvironment(environment_);
    windowManager_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // A command line: "openbox", or "dbus-run-session -- xfwm4" for a manager
    // that wants a session bus.
    QStringList command = QProcess::splitCommand(name);
    const QString program = command.takeFirst();
    windowManager_->start(program, command);
    ASSERT_TRUE(windowManager_->waitForStarted(kToolMs)) << "cannot start " << name.toStdString();
    // A manager announces itself on the root window once it manages.
    ASSERT_TRUE(PollUntil([this] {
        return RunTool(QStringLiteral("xprop"), {"-root", "_NET_SUPPORTING_WM_CHECK"}, environment_)
            .out.contains(QStringLiteral("window id"));
    })) << name.toStdString()
        << " never took over the screen";
}

void ProgramsOnX::TearDown() {
    if (HasFailure())
        std::fprintf(stderr, "X server %s: %s\n", qPrintable(display_), server_.Report().data());
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
    if (windowManager_) {
        windowManager_->terminate();
        if (!windowManager_->waitForFinished(5000)) {
            windowManager_->kill();
            windowManager_->waitForFinished(5000);
        }
    }
}

QProcessEnvironment ProgramsOnX::ProgramEnvironment() const {
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
    env.insert(QStringLiteral("LANG"), lang_);
    env.insert(QStringLiteral("DISPLAY"), display_);
    env.insert(QStringLiteral("XAUTHORITY"), Authority());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return env;
}

QString ProgramsOnX::SettingsFile(const QString& application) const {
    return home_.path() + QStringLiteral("/config/Quorvane/") + application +
           QStringLiteral(".conf");
}

QProcess* ProgramsOnX::StartLauncher() {
    auto launcher = std::make_unique<QProcess>();
    launcher->setProcessEnvironment(environment_);
    launcher->setProcessChannelMode(QProcess::MergedChannels);
    launcher->setWorkingDirectory(home_.path());
    launcher->start(folder_ + QStringLiteral("zureda"), {});
    EXPECT_TRUE(launcher->waitForStarted(kToolMs));
    launchers_.push_back(std::move(launcher));
    return launchers_.back().get();
}

bool ProgramsOnX::Ended(QProcess* process) {
    return process->state() == QProcess::NotRunning || process->waitForFinished(0);
}

bool ProgramsOnX::EndsQuietly(QProcess* launcher) {
    PollUntil([&] {
        Watch();
        return Ended(launcher);
    });
    return Ended(launcher) && launcher->exitStatus() == QProcess::NormalExit &&
           launcher->exitCode() == 0;
}

ToolResult ProgramsOnX::Xdo(const QStringList& arguments) const {
    return RunTool(QStringLiteral("xdotool"), arguments, ToolEnvironment());
}

QStringList ProgramsOnX::Windows(const QString& title) const {
    // xdotool matches names it cannot convert (Japanese ones) against
    // nothing, so it lists every shown window and the titles are compared
    // here, as UTF-8.
    QStringList matching;
    const ToolResult shown = Xdo({"search", "--onlyvisible", "--name", "."});
    for (const QString& window : shown.out.split(u'\n', Qt::SkipEmptyParts)) {
        if (Title(window) == title)
            matching << window;
    }
    return matching;
}

QString ProgramsOnX::Title(const QString& window) const {
    // _NET_WM_NAME(UTF8_STRING) = "title"
    const QString text =
        RunTool(QStringLiteral("xprop"), {"-id", window, "_NET_WM_NAME"}, ToolEnvironment()).out;
    const qsizetype first = text.indexOf(u'"');
    return first < 0 ? QString() : text.mid(first + 1, text.lastIndexOf(u'"') - first - 1);
}

QProcessEnvironment ProgramsOnX::ToolEnvironment() const {
    QProcessEnvironment tools = environment_;
    tools.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    return tools;
}

qint64 ProgramsOnX::OwnerOf(const QString& window) const {
    return Xdo({"getwindowpid", window}).out.toLongLong();
}

bool ProgramsOnX::Opaque(const QString& window) const {
    const ToolResult property =
        RunTool(QStringLiteral("xprop"), {"-id", window, "-notype", "_NET_WM_WINDOW_OPACITY"},
                environment_);
    return property.out.endsWith(QStringLiteral(" = 4294967295"));
}

QRect ProgramsOnX::Geometry(const QString& window) const {
    // xwininfo gives the client area's place on the screen even when a
    // window manager has framed it.
    const QString text = RunTool(QStringLiteral("xwininfo"), {"-id", window}, environment_).out;
    const auto field = [&text](const char* name) {
        const QRegularExpression form(QString::fromLatin1(name) + QStringLiteral(R"(:\s+(-?\d+))"));
        const QRegularExpressionMatch match = form.match(text);
        return match.hasMatch() ? match.captured(1).toInt() : -1;
    };
    const int width = field("Width");
    const int height = field("Height");
    if (width <= 0 || height <= 0)
        return {};
    return QRect(field("Absolute upper-left X"), field("Absolute upper-left Y"), width, height);
}

std::vector<XWindow> ProgramsOnX::WindowsOf(qint64 owner) const {
    std::vector<XWindow> windows;
    // Only one condition: several are or-ed unless --all says otherwise, and
    // the cards have no name xdotool can match.
    const ToolResult found = Xdo({"search", "--onlyvisible", "--pid", QString::number(owner)});
    const QStringList ids = found.out.split(u'\n', Qt::SkipEmptyParts);
    for (const QString& id : ids) {
        // Every window the programs show has a kind; what has none is not
        // theirs to show (xdotool may list the root window).
        const QRect geometry = Geometry(id);
        if (!geometry.isEmpty() && !Kind(id).isEmpty())
            windows.push_back({id, geometry});
    }
    return windows;
}

void ProgramsOnX::Watch() {
    for (qint64 pid : ProcessesOf(MainProgram()))
        programsSeen_.insert(pid);
    if (watch_)
        watch_();
}

QString ProgramsOnX::Kind(const QString& window) const {
    // "_NET_WM_WINDOW_TYPE = _KDE_NET_WM_WINDOW_TYPE_OVERRIDE, _NET_WM_WINDOW_TYPE_NORMAL":
    // the first standard type is the one that counts.
    const QString listed = RunTool(QStringLiteral("xprop"),
                                   {"-id", window, "-notype", "_NET_WM_WINDOW_TYPE"}, environment_)
                               .out.section(u'=', 1);
    const QString prefix = QStringLiteral("_NET_WM_WINDOW_TYPE_");
    for (const QString& type : listed.split(u',')) {
        if (type.trimmed().startsWith(prefix))
            return type.trimmed().mid(prefix.size());
    }
    return {};
}

QString ProgramsOnX::AwaitWindow(const QString& title, qint64 owner, const QStringList& except,
                                 const QString& kind) {
    QString window;
    PollUntil([&] {
        Watch();
        for (const QString& candidate : Windows(title)) {
            if (!except.contains(candidate) && OwnerOf(candidate) == owner &&
                (kind.isEmpty() || Kind(candidate) == kind)) {
                window = candidate;
                return true;
            }
        }
        return false;
    });
    return window;
}

qint64 ProgramsOnX::AwaitMainProgram(QProcess* launcher) {
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

QString ProgramsOnX::AwaitMainWindow(const QString& title, qint64 program) {
    const QString window = AwaitWindow(title, program, {}, QStringLiteral("NORMAL"));
    const bool shown = !window.isEmpty() && PollUntil([&] {
        Watch();
        return Opaque(window);
    });
    return shown ? window : QString();
}

bool ProgramsOnX::PressKey(const QString& window, const QString& key) const {
    return Xdo({"windowfocus", "--sync", window, "key", key}).ok;
}

bool ProgramsOnX::ClickAt(QPoint screen) const {
    // No --sync: it waits for a motion that never comes when the pointer is there already.
    return Xdo({"mousemove", QString::number(screen.x()), QString::number(screen.y()), "click",
                "1"})
        .ok;
}

void ProgramsOnX::CloseMainWindow(const QString& title, const QString& window, qint64 program) {
    const QRect frame = Geometry(window);
    ASSERT_GT(frame.width(), 0);
    const QPoint button =
        ComputeViewLayout(frame.width(), frame.height(), SheetSizes{}).close.center();
    ASSERT_TRUE(ClickAt(frame.topLeft() + button));
    const QString question = AwaitWindow(title, program, {window}, QStringLiteral("DIALOG"));
    ASSERT_FALSE(question.isEmpty()) << "no question before closing";
    ASSERT_TRUE(PressKey(question, QStringLiteral("Return")));  // Yes is the default
}

}  // namespace xsession
