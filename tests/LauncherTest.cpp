// The launcher: the agreement on first use in the system's language, refusal,
// starting and waiting for the main program, and never two launchers.

#include "launcher/LicenseDlg.h"
#include "launcher/ZuredaApp.h"
#include "platform/InstanceMarker.h"
#include "platform/Language.h"
#include "platform/ResourceIds.h"
#include "platform/StringTable.h"

#include "TestEnvironment.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

const auto* const kApp = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);
const QString kEnglish = QStringLiteral("Quorvane Framewright");

// Stands in for the main program: notes its start and end in started.log
// and runs until a file named "stop" appears next to it (30 s at most).
const QByteArray kFakeProgram =
    "#!/bin/sh\n"
    "dir=$(dirname \"$0\")\n"
    "echo started >> \"$dir/started.log\"\n"
    "i=0\n"
    "while [ ! -e \"$dir/stop\" ] && [ $i -lt 300 ]; do sleep 0.1; i=$((i+1)); done\n"
    "echo ended >> \"$dir/started.log\"\n";

class LauncherTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = dir_.path() + u'/';
        for (const char* name : {"licensef.txt", "licensef_e.txt"}) {
            const QString built = QStringLiteral(PELMORA_PROGRAM_DIR "/") + name;
            ASSERT_TRUE(QFile::copy(built, folder_ + name));
        }
        WriteBytes(folder_ + "pelmora.bin", kFakeProgram);
        QFile::setPermissions(folder_ + "pelmora.bin", QFileDevice::ReadOwner |
                                                           QFileDevice::WriteOwner |
                                                           QFileDevice::ExeOwner);
    }

    void LetProgramEnd() { WriteBytes(folder_ + "stop", ""); }
    QByteArray Log() const { return ReadBytes(folder_ + "started.log"); }
    void SetNotFirst(const QString& application) {
        const QString path = home_.SettingsFile(application);
        QDir().mkpath(QFileInfo(path).absolutePath());
        WriteBytes(path, "[app]\nnotfirst=1\n");
    }
    bool Launch() { return CZuredaApp(folder_).InitInstance(); }

    TestHome home_;
    QTemporaryDir dir_;
    QString folder_;
};

// What the agreement dialog showed.
struct AgreementSeen {
    QString title;
    QString text;
    QStringList buttons;
    QString defaultButton;
    bool readOnly = false;
    bool bothScrollBars = false;
    QSize size;
};

ModalScript::Answer SeeAgreement(AgreementSeen& seen, bool agree) {
    return [&seen, agree](QWidget* widget) {
        seen.title = widget->windowTitle();
        seen.size = widget->size();
        auto* text = widget->findChild<QPlainTextEdit*>(ControlName(control::kAgreementText));
        ASSERT_NE(text, nullptr);
        seen.text = text->toPlainText();
        seen.readOnly = text->isReadOnly();
        seen.bothScrollBars = text->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOn &&
                              text->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn;
        QPushButton* agreeButton = nullptr;
        QPushButton* disagreeButton = nullptr;
        for (QPushButton* button : widget->findChildren<QPushButton*>()) {
            seen.buttons.append(button->text());
            if (button->isDefault())
                seen.defaultButton = button->text();
            (seen.buttons.size() == 1 ? agreeButton : disagreeButton) = button;
        }
        ASSERT_NE(disagreeButton, nullptr);
        (agree ? agreeButton : disagreeButton)->click();
    };
}

QString FileText(const QString& path) {
    QString text;
    EXPECT_TRUE(ReadAgreementText(path, text)) << path.toStdString();
    return text;
}

TEST_F(LauncherTest, FirstUseShowsTheEnglishAgreementThenStartsAndWaits) {
    ScopedLanguage language("en_US.UTF-8");
    AgreementSeen seen;
    ModalScript script({SeeAgreement(seen, true)});
    LetProgramEnd();
    EXPECT_FALSE(Launch());
    EXPECT_EQ(seen.title, QStringLiteral("End user license agreement"));
    EXPECT_EQ(seen.buttons,
              QStringList({"I agree and continue", "I disagree and uninstall this program"}));
    EXPECT_EQ(seen.defaultButton, QStringLiteral("I agree and continue"));
    EXPECT_EQ(seen.text, FileText(folder_ + "licensef_e.txt"));
    EXPECT_TRUE(seen.text.startsWith(QStringLiteral("Quorvane Framewright")));
    EXPECT_TRUE(seen.readOnly);
    EXPECT_TRUE(seen.bothScrollBars);
    EXPECT_GE(seen.size.width(), 698);
    EXPECT_GE(seen.size.height(), 371);
    // Started once, and waited for until it ended.
    EXPECT_EQ(Log(), QByteArray("started\nended\n"));
    // Agreeing is not remembered by the launcher: the main program does that.
    EXPECT_FALSE(QFile::exists(home_.SettingsFile(kEnglish)));
}

TEST_F(LauncherTest, FirstUseOnAJapaneseSystemShowsTheJapaneseAgreement) {
    ScopedLanguage language("ja_JP.UTF-8");
    AgreementSeen seen;
    ModalScript script({SeeAgreement(seen, true)});
    LetProgramEnd();
    Launch();
    EXPECT_EQ(seen.title, QStringLiteral("ソフトウェア使用契約"));
    EXPECT_EQ(seen.defaultButton, QStringLiteral("上記契約に同意してソフトウェアを使用する"));
    EXPECT_TRUE(seen.buttons.contains(
        QStringLiteral("上記契約に同意しないでソフトウェアをアンインストールする")));
    EXPECT_EQ(seen.text, FileText(folder_ + "licensef.txt"));
    EXPECT_TRUE(seen.text.startsWith(QStringLiteral("ペルモラ")));
    EXPECT_EQ(Log(), QByteArray("started\nended\n"));
}

TEST_F(LauncherTest, RefusalShowsTheNoticeAndStartsNothing) {
    for (const char* lang : {"en_US.UTF-8", "ja_JP.UTF-8"}) {
        ScopedLanguage language(lang);
        AgreementSeen seen;
        QString notice;
        QString caption;
        ModalScript script(
            {SeeAgreement(seen, false), ClickButton(QMessageBox::Ok, &notice, &caption)});
        EXPECT_FALSE(Launch());
        EXPECT_EQ(script.Answered(), 2) << lang;
        EXPECT_EQ(notice, LangString(text::kAgreementRefused)) << lang;
        EXPECT_EQ(caption, ApplicationName()) << lang;
    }
    // Closing the dialog any other way is a refusal too.
    ScopedLanguage language("C");
    ModalScript script({Reject(), ClickButton(QMessageBox::Ok)});
    Launch();
    EXPECT_EQ(script.Answered(), 2);
    EXPECT_FALSE(QFile::exists(folder_ + "started.log"));
}

TEST_F(LauncherTest, AfterTheFirstCompletedStartThereIsNoAgreement) {
    ScopedLanguage language("C");
    SetNotFirst(kEnglish);
    const QByteArray settings = ReadBytes(home_.SettingsFile(kEnglish));
    LetProgramEnd();
    {
        ModalScript script({Reject()});
        Launch();
        EXPECT_EQ(script.Answered(), 0);
    }
    EXPECT_EQ(Log(), QByteArray("started\nended\n"));
    EXPECT_EQ(ReadBytes(home_.SettingsFile(kEnglish)), settings);
    // The Japanese branch has not seen a first start: agreement again.
    ScopedLanguage japanese("ja_JP.UTF-8");
    AgreementSeen seen;
    ModalScript again({SeeAgreement(seen, true)});
    Launch();
    EXPECT_EQ(seen.title, QStringLiteral("ソフトウェア使用契約"));
}

TEST_F(LauncherTest, UnreadableAgreementIsReportedAndNothingStarts) {
    ScopedLanguage language("C");
    ASSERT_TRUE(QFile::remove(folder_ + "licensef_e.txt"));
    QString notice;
    ModalScript script({ClickButton(QMessageBox::Ok, &notice)});
    Launch();
    EXPECT_EQ(script.Answered(), 1);
    EXPECT_TRUE(notice.startsWith(QStringLiteral("The license agreement cannot be read")))
        << notice.toStdString();
    EXPECT_TRUE(notice.contains(folder_ + "licensef_e.txt"));
    EXPECT_FALSE(QFile::exists(folder_ + "started.log"));
}

TEST_F(LauncherTest, MissingMainProgramEndsWithoutAWord) {
    ScopedLanguage language("C");
    SetNotFirst(kEnglish);
    ASSERT_TRUE(QFile::remove(folder_ + "pelmora.bin"));
    ModalScript script({Accept()});
    EXPECT_FALSE(Launch());
    EXPECT_EQ(script.Answered(), 0);
    EXPECT_EQ(StartAndWait(folder_ + "pelmora.bin"), 0);
}

TEST_F(LauncherTest, WhileAnotherLauncherRunsNothingHappens) {
    ScopedLanguage language("C");
    CInstanceMarker other(QString::fromLatin1(CZuredaApp::kMarkerName));
    ASSERT_EQ(other.Acquire(), CInstanceMarker::Result::kAcquired);
    ModalScript script({Accept()});
    LetProgramEnd();
    EXPECT_FALSE(Launch());
    EXPECT_EQ(script.Answered(), 0);
    EXPECT_FALSE(QFile::exists(folder_ + "started.log"));
}

TEST(AgreementTextTest, ReadsUtf8AndLocalTextWhole) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/licensef.txt";
    QString text;
    WriteBytes(path,
               "\xEF\xBB\xBF"
               "第1条\r\nline two\r\n");
    ASSERT_TRUE(ReadAgreementText(path, text));
    EXPECT_EQ(text, QStringLiteral("第1条\nline two\n"));
    // Not UTF-8: taken in the local encoding rather than refused.
    WriteBytes(path, "caf\xE9\n");
    ASSERT_TRUE(ReadAgreementText(path, text));
    EXPECT_TRUE(text.startsWith(QStringLiteral("caf")));
    WriteBytes(path, "");
    ASSERT_TRUE(ReadAgreementText(path, text));
    EXPECT_EQ(text, QString());
}

TEST(AgreementTextTest, RefusesWhatIsNoAgreement) {
    QTemporaryDir dir;
    QString text = QStringLiteral("<unchanged>");
    EXPECT_FALSE(ReadAgreementText(dir.path() + "/missing.txt", text));
    EXPECT_FALSE(ReadAgreementText(dir.path(), text));  // a folder
    QFile huge(dir.path() + "/huge.txt");
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(64LL * 1024 * 1024));
    huge.close();
    EXPECT_FALSE(ReadAgreementText(huge.fileName(), text));
    EXPECT_EQ(text, QStringLiteral("<unchanged>"));
}

// The launcher program itself, copied next to a stand-in main program.
TEST_F(LauncherTest, SecondLauncherEndsAtOnceAndStartsNothing) {
    ScopedLanguage language("C");
    SetNotFirst(kEnglish);
    const QString launcher = folder_ + "zureda";
    ASSERT_TRUE(QFile::copy(QStringLiteral(ZUREDA_PROGRAM), launcher));
    QFile::setPermissions(launcher, QFileDevice::ReadOwner | QFileDevice::ExeOwner);

    QProcess first;
    first.start(launcher, {});
    ASSERT_TRUE(WaitUntil([&] { return Log() == "started\n"; }, 30000));
    QProcess second;
    second.start(launcher, {});
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(Log(), QByteArray("started\n"));
    // The first one waits for its program.
    EXPECT_EQ(first.state(), QProcess::Running);
    LetProgramEnd();
    EXPECT_TRUE(first.waitForFinished(30000));
    EXPECT_EQ(Log(), QByteArray("started\nended\n"));
}

}  // namespace
