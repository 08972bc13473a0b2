// The launcher and the main program as a user meets them: the built programs
// copied into a program folder of their own, started with a private home on
// a private X server, and driven through that server alone (xdotool finds the
// windows, focuses them, presses keys and clicks).

#include "XSession.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

using namespace xsession;

const QString kAgreementTitle = QStringLiteral("End user license agreement");
// The main window's title, and the caption of the programs' message boxes.
const QString kProgramTitle = QStringLiteral("Quorvane Framewright");

class LauncherFlowTest : public ProgramsOnX {
  protected:
    QString SettingsFile() const { return ProgramsOnX::SettingsFile(kProgramTitle); }
    QString AwaitMainWindow(qint64 program) {
        return ProgramsOnX::AwaitMainWindow(kProgramTitle, program);
    }
    void CloseMainWindow(const QString& window, qint64 program) {
        ProgramsOnX::CloseMainWindow(kProgramTitle, window, program);
    }
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
