// Message boxes and the folder chooser as the user meets them.

#include "platform/BrowseForFolder.h"
#include "platform/MessageBoxes.h"

#include "TestEnvironment.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

namespace {

using namespace testing_support;

const auto* const kApp = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

void WriteText(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("text");
}

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

// The shared test environment's watchdog: a box no test answers fails the
// test and is closed with the safe answer, instead of hanging the program.
TEST(ModalWatchdogTest, AnUnansweredQuestionFailsTheTestAndIsAnsweredNo) {
    const ScopedModalPatience patience(300);
    bool yes = true;
    EXPECT_NONFATAL_FAILURE(yes = AskQuestion(nullptr, QStringLiteral("Nobody answers this?")),
                            "unexpected modal window QMessageBox");
    EXPECT_FALSE(yes);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(ModalWatchdogTest, BoxesATestAnswersAreLeftToIt) {
    const ScopedModalPatience patience(300);
    ModalScript script({ClickButton(QMessageBox::Yes)});
    EXPECT_TRUE(AskQuestion(nullptr, QStringLiteral("Answered?")));
    EXPECT_EQ(script.Pending(), 0);
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

// Closes the chooser when an answer returns with it still open (a failed
// assertion returns early), so that a broken chooser fails the test instead
// of hanging it.
auto ClosedAfterwards(QWidget* chooser) {
    return qScopeGuard([chooser] {
        if (chooser->isVisible())
            chooser->close();
    });
}

// The parts of the folder chooser a user works with.
struct ChooserParts {
    QDialog* dialog = nullptr;
    QLabel* prompt = nullptr;
    QTreeView* tree = nullptr;
    QLineEdit* field = nullptr;
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
};

ChooserParts PartsOf(QWidget* widget) {
    ChooserParts parts;
    parts.dialog = qobject_cast<QDialog*>(widget);
    parts.prompt = widget->findChild<QLabel*>(QString::fromLatin1(kBrowsePromptName));
    parts.tree = widget->findChild<QTreeView*>(QString::fromLatin1(kBrowseTreeName));
    parts.field = widget->findChild<QLineEdit*>(QString::fromLatin1(kBrowseFieldName));
    if (auto* box = widget->findChild<QDialogButtonBox*>()) {
        parts.ok = box->button(QDialogButtonBox::Ok);
        parts.cancel = box->button(QDialogButtonBox::Cancel);
    }
    return parts;
}

// What the tree has selected, as a folder path.
QString TreeFolder(const ChooserParts& parts) {
    auto* model = qobject_cast<QFileSystemModel*>(parts.tree->model());
    return model == nullptr ? QString() : model->filePath(parts.tree->currentIndex());
}

void TypeInto(QLineEdit* field, const QString& text) {
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

// Every part is on the screen: a chooser whose tree or field is hidden
// cannot be used, whatever a test could do to it in code.
void ExpectShown(const ChooserParts& parts) {
    ASSERT_NE(parts.dialog, nullptr);
    for (QWidget* part : std::initializer_list<QWidget*>{parts.prompt, parts.tree, parts.field,
                                                         parts.ok, parts.cancel}) {
        ASSERT_NE(part, nullptr);
        EXPECT_TRUE(part->isVisible()) << part->metaObject()->className();
        EXPECT_FALSE(part->visibleRegion().isEmpty()) << part->metaObject()->className();
    }
    EXPECT_GT(parts.tree->height(), 100);
}

TEST(PlatformDialogsTest, ChooserShowsTreeFieldButtonsAndPromptAndOpensAtHome) {
    QTemporaryDir home;
    ASSERT_TRUE(QDir().mkpath(home.path() + "/photos/out"));
    ScopedEnv homeVariable("HOME", QFile::encodeName(home.path()));
    ScopedLanguage language("en_US.UTF-8");
    QString title;
    QString caption;
    ModalScript script({[&](QWidget* widget) {
        const auto closed = ClosedAfterwards(widget);
        const ChooserParts parts = PartsOf(widget);
        ASSERT_NO_FATAL_FAILURE(ExpectShown(parts));
        title = widget->windowTitle();
        EXPECT_EQ(parts.prompt->text(), QStringLiteral("Pick one.\nSecond line."));
        EXPECT_EQ(parts.field->text(), QDir::toNativeSeparators(home.path()));
        EXPECT_EQ(TreeFolder(parts), home.path());
        EXPECT_TRUE(parts.ok->isEnabled());
        EXPECT_TRUE(parts.field->hasFocus());
        for (const QLabel* label : widget->findChildren<QLabel*>()) {
            if (label->buddy() == parts.field)
                caption = label->text();
        }
        parts.cancel->click();
    }});
    QString folder = QStringLiteral("<unchanged>");
    EXPECT_EQ(BrowseForFolder(nullptr, QStringLiteral("Pick one.\nSecond line."), folder), 0);
    EXPECT_EQ(script.Answered(), 1);
    EXPECT_EQ(folder, QStringLiteral("<unchanged>"));
    EXPECT_EQ(title, QStringLiteral("Quorvane Framewright"));
    EXPECT_EQ(caption, QStringLiteral("Folder:"));
}

TEST(PlatformDialogsTest, TypedFoldersAreShownInTheTreeAndOnlyExistingOnesAccepted) {
    QTemporaryDir dir;
    const QString out = dir.path() + "/out";
    ASSERT_TRUE(QDir().mkpath(out + "/deeper"));
    WriteText(dir.path() + "/file.txt");
    ScopedEnv homeVariable("HOME", QFile::encodeName(dir.path()));
    ModalScript script({[&](QWidget* widget) {
        const auto closed = ClosedAfterwards(widget);
        const ChooserParts parts = PartsOf(widget);
        ASSERT_NO_FATAL_FAILURE(ExpectShown(parts));
        // Neither a file, nor a folder that is not there, nor a relative
        // name can be confirmed; Return then does nothing.
        for (const QString& typed : {dir.path() + "/file.txt", dir.path() + "/missing",
                                     QStringLiteral("out"), QString()}) {
            TypeInto(parts.field, typed);
            EXPECT_FALSE(parts.ok->isEnabled()) << typed.toStdString();
            QTest::keyClick(parts.field, Qt::Key_Return);
            EXPECT_TRUE(widget->isVisible()) << typed.toStdString();
        }
        // A typed folder (trailing separator and all) is selected in the tree
        // while the field keeps what was typed.
        TypeInto(parts.field, out + "/deeper/");
        EXPECT_TRUE(parts.ok->isEnabled());
        EXPECT_EQ(TreeFolder(parts), out + "/deeper");
        EXPECT_EQ(parts.field->text(), out + "/deeper/");
        // "~" is the home folder.
        TypeInto(parts.field, QStringLiteral("~/out"));
        EXPECT_TRUE(parts.ok->isEnabled());
        EXPECT_EQ(TreeFolder(parts), out);
        QTest::keyClick(parts.field, Qt::Key_Return);  // OK is the default button
    }});
    QString folder;
    EXPECT_EQ(BrowseForFolder(nullptr, QStringLiteral("Pick."), folder), 1);
    EXPECT_EQ(script.Answered(), 1);
    EXPECT_EQ(folder, QDir::toNativeSeparators(out));  // no trailing separator
}

TEST(PlatformDialogsTest, AFolderPickedInTheTreeFillsTheField) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.path() + "/a/b"));
    ScopedEnv homeVariable("HOME", QFile::encodeName(dir.path() + "/a"));
    ModalScript script({[&](QWidget* widget) {
        const auto closed = ClosedAfterwards(widget);
        const ChooserParts parts = PartsOf(widget);
        ASSERT_NE(parts.tree, nullptr);
        auto* model = qobject_cast<QFileSystemModel*>(parts.tree->model());
        ASSERT_NE(model, nullptr);
        parts.tree->setCurrentIndex(model->index(dir.path() + "/a/b"));
        EXPECT_EQ(parts.field->text(), QDir::toNativeSeparators(dir.path() + "/a/b"));
        parts.ok->click();
    }});
    QString folder;
    EXPECT_EQ(BrowseForFolder(nullptr, QStringLiteral("Pick."), folder), 1);
    EXPECT_EQ(folder, QDir::toNativeSeparators(dir.path() + "/a/b"));
}

TEST(PlatformDialogsTest, CancelAndVanishedFoldersLeaveTheOutputAlone) {
    QTemporaryDir dir;
    QString folder = QStringLiteral("<unchanged>");
    {
        ModalScript script({[](QWidget* widget) {
            const auto closed = ClosedAfterwards(widget);
            ASSERT_NE(PartsOf(widget).cancel, nullptr);
            PartsOf(widget).cancel->click();
        }});
        EXPECT_EQ(BrowseForFolder(nullptr, QStringLiteral("Pick."), folder), 0);
    }
    {
        ModalScript script({[](QWidget* widget) { widget->close(); }});
        EXPECT_EQ(BrowseForFolder(nullptr, QStringLiteral("Pick."), folder), 0);
    }
    // A folder that is gone by the time OK is pressed.
    const QString doomed = dir.path() + "/doomed";
    ASSERT_TRUE(QDir().mkpath(doomed));
    {
        ModalScript script({[&](QWidget* widget) {
            const auto closed = ClosedAfterwards(widget);
            const ChooserParts parts = PartsOf(widget);
            ASSERT_NE(parts.field, nullptr);
            TypeInto(parts.field, doomed);
            ASSERT_TRUE(parts.ok->isEnabled());
            QDir(doomed).removeRecursively();
            parts.ok->click();
            EXPECT_TRUE(widget->isVisible());  // refused: still open
            parts.cancel->click();
        }});
        EXPECT_EQ(BrowseForFolder(nullptr, QStringLiteral("Pick."), folder), 0);
        EXPECT_EQ(script.Answered(), 1);
    }
    EXPECT_EQ(folder, QStringLiteral("<unchanged>"));
}

}  // namespace
