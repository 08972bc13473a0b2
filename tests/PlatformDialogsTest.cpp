// Message boxes and the folder chooser as the user meets them.

#include "platform/BrowseForFolder.h"
#include "platform/MessageBoxes.h"

#include "TestEnvironment.h"

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QAbstractButton>
#include <QMessageBox>

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

const auto* const kApp = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

// Records what a message box shows, then presses one of its buttons.
struct BoxSeen {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

ModalScript::Answer Press(QMessageBox::StandardButton button, BoxSeen& seen) {
    return [button, &seen](QWidget* widget) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        ASSERT_NE(box, nullptr);
        seen = {box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
        box->button(button)->click();
    };
}

TEST(PlatformDialogsTest, NoticeHasOkAndTheInformationIcon) {
    ScopedLanguage language("en_US.UTF-8");
    BoxSeen seen;
    ModalScript script({Press(QMessageBox::Ok, seen)});
    ShowNotice(nullptr, QStringLiteral("Done."));
    EXPECT_EQ(script.Answered(), 1);
    EXPECT_EQ(seen.caption, QStringLiteral("Quorvane Framewright"));
    EXPECT_EQ(seen.text, QStringLiteral("Done."));
    EXPECT_EQ(seen.icon, QMessageBox::Information);
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

TEST(PlatformDialogsTest, OnlyYesAnswersAQuestion) {
    ScopedLanguage language("ja_JP.UTF-8");
    BoxSeen seen;
    {
        ModalScript script({Press(QMessageBox::Yes, seen)});
        EXPECT_TRUE(AskQuestion(nullptr, QStringLiteral("終了しますか？")));
    }
    EXPECT_EQ(seen.caption, QStringLiteral("ペルモラ"));
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);
    {
        ModalScript script({Press(QMessageBox::No, seen)});
        EXPECT_FALSE(AskQuestion(nullptr, QStringLiteral("終了しますか？")));
    }
    {
        ModalScript script({[](QWidget* widget) { widget->close(); }});
        EXPECT_FALSE(AskQuestion(nullptr, QStringLiteral("終了しますか？")));
    }
}

// Drives the folder chooser: checks the prompt, then lets `choose` act on the
// file dialog inside it.
ModalScript::Answer InChooser(QString* prompt, std::function<void(QFileDialog*)> choose) {
    return [prompt, choose](QWidget* widget) {
        if (auto* label = widget->findChild<QLabel*>(QString::fromLatin1(kBrowsePromptName))) {
            *prompt = label->text();
        }
        auto* tree = widget->findChild<QFileDialog*>();
        ASSERT_NE(tree, nullptr);
        choose(tree);
    };
}

TEST(PlatformDialogsTest, ChoosingAFolderGivesItsPath) {
    QTemporaryDir dir;
    const QString chosen = QDir::toNativeSeparators(dir.path() + "/out");
    ASSERT_TRUE(QDir().mkpath(chosen));
    QString prompt;
    ModalScript script({InChooser(&prompt, [&](QFileDialog* tree) {
        tree->setDirectory(chosen + "/");
        static_cast<QDialog*>(tree)->accept();
    })});
    QString folder = QStringLiteral("<unchanged>");
    EXPECT_EQ(BrowseForFolder(nullptr, QStringLiteral("Pick one.\nSecond line."), folder), 1);
    EXPECT_EQ(folder, chosen);  // no trailing separator
    EXPECT_EQ(prompt, QStringLiteral("Pick one.\nSecond line."));
}

TEST(PlatformDialogsTest, CancelAndVanishedFoldersLeaveTheOutputAlone) {
    QTemporaryDir dir;
    QString folder = QStringLiteral("<unchanged>");
    QString prompt;
    {
        ModalScript script({InChooser(&prompt, [](QFileDialog* tree) { tree->reject(); })});
        EXPECT_EQ(BrowseForFolder(nullptr, QStringLiteral("Pick."), folder), 0);
    }
    // A folder that is gone by the time the chooser returns it.
    const QString doomed = dir.path() + "/doomed";
    ASSERT_TRUE(QDir().mkpath(doomed));
    {
        ModalScript script({InChooser(&prompt, [&](QFileDialog* tree) {
            tree->setDirectory(doomed);
            static_cast<QDialog*>(tree)->accept();
            QDir(doomed).removeRecursively();
        })});
        EXPECT_EQ(BrowseForFolder(nullptr, QStringLiteral("Pick."), folder), 0);
        EXPECT_EQ(script.Answered(), 1);
    }
    EXPECT_EQ(folder, QStringLiteral("<unchanged>"));
}

}  // namespace
