#pragma once

// Test fixtures for code that reads the environment, the settings store and
// the runtime folder, and for driving modal windows from a test.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

class QWidget;

namespace testing_support {

// The QApplication of a test program with windows, made before the first
// test and deleted after the last. Register it once per program:
//   const auto* const kApp = AddGlobalTestEnvironment(new ApplicationEnvironment);
// It also keeps the modal watchdog: a modal window (other than a progress
// window) that stays up longer than kModalPatienceMs fails the running test
// and is closed, so a box nobody answers ends the test in seconds instead of
// hanging it to the CTest timeout. Expected boxes are answered (ModalScript)
// long before that.
class ApplicationEnvironment : public ::testing::Environment {
  public:
    void SetUp() override;
    void TearDown() override;
};

inline constexpr int kModalPatienceMs = 15000;

// Shortens the watchdog's patience while it lives, for a test of the watchdog.
class ScopedModalPatience {
  public:
    explicit ScopedModalPatience(int milliseconds);
    ~ScopedModalPatience();
    ScopedModalPatience(const ScopedModalPatience&) = delete;
    ScopedModalPatience& operator=(const ScopedModalPatience&) = delete;

  private:
    int saved_;
};

// Sets (or, with nullopt, unsets) an environment variable until destroyed.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, std::optional<QByteArray> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    QByteArray name_;
    std::optional<QByteArray> saved_;
};

// The system language as LANG gives it, with LC_ALL and LC_MESSAGES unset.
class ScopedLanguage {
  public:
    explicit ScopedLanguage(const QByteArray& lang);

  private:
    ScopedEnv all_;
    ScopedEnv messages_;
    ScopedEnv lang_;
};

// A private home for one test: the settings store and the runtime folder
// (locks, sockets) live in a temporary folder, never in the user's own.
// Child processes inherit it through the environment.
class TestHome {
  public:
    TestHome();
    QString Root() const { return dir_.path(); }
    QString ConfigFolder() const { return dir_.path() + QStringLiteral("/config"); }
    QString RuntimeFolder() const { return dir_.path() + QStringLiteral("/runtime"); }
    // The settings file of the branch Quorvane/<application>.
    QString SettingsFile(const QString& application) const;

  private:
    QTemporaryDir dir_;
    ScopedEnv config_;
    ScopedEnv runtime_;
};

// Answers modal windows as they come up, one answer each, in order. An
// answer gets the window and must close it. Unused answers are counted.
// Progress windows are passed over: their operation closes them.
class ModalScript {
  public:
    using Answer = std::function<void(QWidget*)>;
    explicit ModalScript(std::vector<Answer> answers);
    ~ModalScript();
    int Answered() const { return answered_; }
    int Pending() const { return static_cast<int>(answers_.size()) - answered_; }

  private:
    void Poll();

    std::vector<Answer> answers_;
    int answered_ = 0;
    QWidget* last_ = nullptr;
    QTimer timer_;
};

// Answers for common boxes.
ModalScript::Answer ClickButton(int standardButton, QString* textSeen = nullptr,
                                QString* titleSeen = nullptr);
ModalScript::Answer Accept(QString* titleSeen = nullptr);
ModalScript::Answer Reject(QString* titleSeen = nullptr);

// Runs the event loop until `done` or `timeoutMs`; returns `done()`.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

}  // namespace testing_support
