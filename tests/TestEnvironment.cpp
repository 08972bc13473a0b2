#include "TestEnvironment.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QThread>

#include <memory>
#include <utility>

namespace testing_support {

namespace {

int g_argc = 1;
char g_program[] = "test";
char* g_argv[] = {g_program, nullptr};
std::unique_ptr<QApplication> g_application;

// Watches for a modal window nobody answers. It polls from the GUI thread's
// event loop, which a modal window's own loop keeps running.
class ModalWatchdog {
  public:
    ModalWatchdog() {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start(kPollMs);
    }

    int patienceMs = kModalPatienceMs;

  private:
    static constexpr int kPollMs = 100;

    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        // A progress window is modal while its operation runs; only the
        // operation ends it.
        if (modal == nullptr || modal->inherits("CProgressDlg")) {
            watched_ = nullptr;
            return;
        }
        if (modal != watched_) {
            watched_ = modal;
            since_.start();
            return;
        }
        if (since_.elapsed() < patienceMs)
            return;
        watched_ = nullptr;
        const auto* box = qobject_cast<QMessageBox*>(modal);
        ADD_FAILURE() << "unexpected modal window " << modal->metaObject()->className() << " \""
                      << modal->windowTitle().toStdString() << "\""
                      << (box != nullptr ? " saying \"" + box->text().toStdString() + '"' : "")
                      << " was up " << patienceMs << " ms unanswered; closed it";
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->done(QDialog::Rejected);
        } else {
            modal->close();
        }
    }

    QTimer timer_;
    QPointer<QWidget> watched_;
    QElapsedTimer since_;
};

std::unique_ptr<ModalWatchdog> g_watchdog;

}  // namespace

// Several files of one test program may each register the environment.
void ApplicationEnvironment::SetUp() {
    if (!g_application) {
        g_application = std::make_unique<QApplication>(g_argc, g_argv);
        g_watchdog = std::make_unique<ModalWatchdog>();
    }
}

void ApplicationEnvironment::TearDown() {
    g_watchdog.reset();
    g_application.reset();
}

ScopedModalPatience::ScopedModalPatience(int milliseconds)
    : saved_(g_watchdog ? g_watchdog->patienceMs : kModalPatienceMs) {
    if (g_watchdog)
        g_watchdog->patienceMs = milliseconds;
}

ScopedModalPatience::~ScopedModalPatience() {
    if (g_watchdog)
        g_watchdog->patienceMs = saved_;
}

ScopedEnv::ScopedEnv(const char* name, std::optional<QByteArray> value) : name_(name) {
    if (qEnvironmentVariableIsSet(name))
        saved_ = qgetenv(name);
    if (value) {
        qputenv(name, *value);
    } else {
        qunsetenv(name);
    }
}

ScopedEnv::~ScopedEnv() {
    if (saved_) {
        qputenv(name_.constData(), *saved_);
    } else {
        qunsetenv(name_.constData());
    }
}

ScopedLanguage::ScopedLanguage(const QByteArray& lang)
    : all_("LC_ALL", std::nullopt), messages_("LC_MESSAGES", std::nullopt), lang_("LANG", lang) {}

namespace {

QString MakePrivateFolder(const QString& path) {
    QDir().mkpath(path);
    QFile::setPermissions(path,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return path;
}

}  // namespace

TestHome::TestHome()
    : config_("XDG_CONFIG_HOME", MakePrivateFolder(dir_.path() + "/config").toLocal8Bit()),
      runtime_("XDG_RUNTIME_DIR", MakePrivateFolder(dir_.path() + "/runtime").toLocal8Bit()) {
    // QSettings reads XDG_CONFIG_HOME only once per process.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, ConfigFolder());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, ConfigFolder());
}

QString TestHome::SettingsFile(const QString& application) const {
    return ConfigFolder() + QStringLiteral("/Quorvane/") + application + QStringLiteral(".conf");
}

ModalScript::ModalScript(std::vector<Answer> answers) : answers_(std::move(answers)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(20);
}

ModalScript::~ModalScript() {
    timer_.stop();
}

void ModalScript::Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == last_ || answered_ >= static_cast<int>(answers_.size())) {
        return;
    }
    // A progress window is modal while its operation runs, and only the
    // operation ends it.
    if (modal->inherits("CProgressDlg"))
        return;
    last_ = modal;
    // Answered from the event loop, not from this timer: an answer may open
    // another modal window, and a timer does not fire inside its own handler.
    QTimer::singleShot(0, modal, [answer = answers_[static_cast<std::size_t>(answered_++)], modal] {
        answer(modal);
    });
}

ModalScript::Answer ClickButton(int standardButton, QString* textSeen, QString* titleSeen) {
    return [=](QWidget* widget) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (textSeen != nullptr)
            *textSeen = box != nullptr ? box->text() : QString();
        if (titleSeen != nullptr)
            *titleSeen = widget->windowTitle();
        QAbstractButton* button =
            box != nullptr ? box->button(static_cast<QMessageBox::StandardButton>(standardButton))
                           : nullptr;
        if (button != nullptr) {
            button->click();
        } else {
            widget->close();
        }
    };
}

ModalScript::Answer Accept(QString* titleSeen) {
    return [=](QWidget* widget) {
        if (titleSeen != nullptr)
            *titleSeen = widget->windowTitle();
        if (auto* dialog = qobject_cast<QDialog*>(widget))
            dialog->accept();
    };
}

ModalScript::Answer Reject(QString* titleSeen) {
    return [=](QWidget* widget) {
        if (titleSeen != nullptr)
            *titleSeen = widget->windowTitle();
        if (auto* dialog = qobject_cast<QDialog*>(widget))
            dialog->reject();
    };
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return done();
}

}  // namespace testing_support
