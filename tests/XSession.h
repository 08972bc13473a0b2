#pragma once

// The built programs as a user meets them: copied into a program folder of
// their own, started with a private home on a private X server, and driven
// through that server alone (xdotool finds the windows, moves the pointer,
// clicks and types). Shared by the launcher's flow and the whole job.

#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <vector>

namespace xsession {

// Long enough for a heavily loaded machine, where one step of a flow has
// taken 27 s; on an idle one most steps take well under a second.
constexpr int kWaitMs = 60000;
constexpr int kPollMs = 100;
constexpr int kToolMs = 10000;

// Calls `done` every kPollMs until it holds or time is up.
bool PollUntil(const std::function<bool()>& done, int timeoutMs = kWaitMs);

struct ToolResult {
    bool ok = false;
    QString out;
};

ToolResult RunTool(const QString& program, const QStringList& arguments,
                   const QProcessEnvironment& environment);

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
    QString Start();
    // What the server said, and how it ended if it has.
    QByteArray Report();

  private:
    bool Authorise(const QString& display);
    bool Run(const QString& display);
    void Stop();

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
    explicit OpenWatch(const QString& path);
    ~OpenWatch();
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;

    bool Watching() const { return fd_ >= 0; }
    // Whether the file was opened since the last call. (Repeated events are
    // merged, so opens cannot be counted.)
    bool Opened();

  private:
    int fd_;
};

// Process ids of the programs running from `path`.
std::vector<qint64> ProcessesOf(const QString& path);
qint64 ParentOf(qint64 pid);

// A shown top-level window of the server.
struct XWindow {
    QString id;
    QRect geometry;  // the client area, in screen coordinates
};

// The launcher and the main program on a private X server, in a private
// home. Derived tests choose the language (LANG) before SetUp runs. With
// PELMORA_TEST_WM holding a window manager's command line ("openbox",
// "dbus-run-session -- xfwm4 --compositor=off") it runs on the server too;
// without, the windows are where the programs put them.
class ProgramsOnX : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    QString lang_ = QStringLiteral("C");

    QProcessEnvironment ProgramEnvironment() const;
    QString Authority() const { return home_.path() + QStringLiteral("/Xauthority"); }
    QString MainProgram() const { return folder_ + QStringLiteral("pelmora.bin"); }
    QString SettingsFile(const QString& application) const;

    QProcess* StartLauncher();
    // Without an event loop a process learns of its end only when asked.
    static bool Ended(QProcess* process);
    // Waits for `launcher` to end by itself, with status 0, watching meanwhile.
    bool EndsQuietly(QProcess* launcher);

    ToolResult Xdo(const QStringList& arguments) const;
    // The programs' environment, with a UTF-8 locale for the X tools.
    QProcessEnvironment ToolEnvironment() const;
    // Shown (mapped) windows with exactly this title; a window still fully
    // transparent counts as shown.
    QStringList Windows(const QString& title) const;
    QString Title(const QString& window) const;
    qint64 OwnerOf(const QString& window) const;
    // Whether the window has been made fully opaque.
    bool Opaque(const QString& window) const;
    // Every shown top-level window that `owner` made.
    std::vector<XWindow> WindowsOf(qint64 owner) const;
    QRect Geometry(const QString& window) const;
    // The window's kind as the window manager sees it: "NORMAL" for a main
    // window, "DIALOG" for dialogs and message boxes, "UTILITY" for tool
    // windows (hint cards, progress windows); empty when it has none.
    QString Kind(const QString& window) const;

    // Notes which main programs run; called on every poll of a wait, and by
    // the waits of derived tests through `watch_`.
    void Watch();

    // The first shown window titled `title` that `owner` made, that is not
    // in `except` and, unless `kind` is empty, is of that kind; empty when
    // none comes. (Qt titles untitled windows with the application's name,
    // so the hint cards and the logo bear the main window's title.)
    QString AwaitWindow(const QString& title, qint64 owner, const QStringList& except = {},
                        const QString& kind = {});
    // The main program that `launcher` started, once it runs; -1 if none.
    qint64 AwaitMainProgram(QProcess* launcher);
    // The main program's window once its start-up logo has ended.
    QString AwaitMainWindow(const QString& title, qint64 program);

    bool PressKey(const QString& window, const QString& key) const;
    bool ClickAt(QPoint screen) const;
    // Clicks the close button in the window's top right corner, where the
    // view's layout puts it, and answers Yes to the question that follows.
    void CloseMainWindow(const QString& title, const QString& window, qint64 program);

    QTemporaryDir home_;
    QTemporaryDir programs_;
    XServer server_{Authority()};
    QString display_;
    QString folder_;
    QProcessEnvironment environment_;
    std::unique_ptr<OpenWatch> opens_;
    std::vector<std::unique_ptr<QProcess>> launchers_;
    std::unique_ptr<QProcess> windowManager_;
    std::set<qint64> programsSeen_;
    // Runs on every poll of the waits above, after Watch().
    std::function<void()> watch_;

  private:
    void StartWindowManager(const QString& name);
};

}  // namespace xsession
