#include "images/CollectFiles.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using testing_support::WriteBytes;

class CollectFilesTest : public ::testing::Test {
  protected:
    void Make(const QString& relative) {
        const QString path = dir_.path() + "/" + relative;
        QDir().mkpath(QFileInfo(path).absolutePath());
        WriteBytes(path, "x");
    }
    QStringList Relative(const QStringList& files) const {
        QStringList out;
        for (const QString& f : files)
            out.append(f.mid(dir_.path().size() + 1));
        return out;
    }
    QTemporaryDir dir_;
};

TEST_F(CollectFilesTest, SkipsExactlyPageFoldersAndKeepsEverythingElse) {
    Make("a/one.jpg");
    Make("a/_PAGE_/hidden.jpg");
    Make("a/_PAGE_/deeper/hidden2.jpg");
    Make("a/b/_PAGE_/hidden3.jpg");
    Make("a/_page_/kept.jpg");
    Make("a/_PAGE_x/kept2.jpg");
    Make("a/c/_PAGE_");  // a file named _PAGE_ is collected
    Make("a/b/.dotfile");
    Make("a/notes.txt");
    const CollectedFiles collected = CollectFiles(dir_.path() + "/a");
    ASSERT_TRUE(collected.status.ok()) << collected.status.errorString().toStdString();
    const QStringList& files = collected.files;
    QStringList found = Relative(files);
    found.sort();
    EXPECT_EQ(found, (QStringList{"a/_PAGE_x/kept2.jpg", "a/_page_/kept.jpg", "a/b/.dotfile",
                                  "a/c/_PAGE_", "a/notes.txt", "a/one.jpg"}));
}

TEST_F(CollectFilesTest, SubFolderFilesStayTogetherWhereTheFolderWasMet) {
    Make("top/x.jpg");
    Make("top/sub/1.jpg");
    Make("top/sub/2.jpg");
    Make("top/sub/inner/3.jpg");
    Make("top/y.jpg");
    const CollectedFiles collected = CollectFiles(dir_.path() + "/top");
    ASSERT_TRUE(collected.status.ok()) << collected.status.errorString().toStdString();
    const QStringList& files = collected.files;
    const QStringList found = Relative(files);
    ASSERT_EQ(found.size(), 5);
    const qsizetype first = found.indexOf(QRegularExpression("top/sub/.*"));
    ASSERT_GE(first, 0);
    ASSERT_LE(first, 2);
    for (qsizetype i = first; i < first + 3; ++i)
        EXPECT_TRUE(found[i].startsWith("top/sub/"));
}

// A folder's entries come in name order, letter case ignored first, then
// minding it; sub-folders stand among the files where their names sort.
// The names are made in an order that sorts nothing, and there are enough
// of them that no file system lists them sorted by chance.
TEST_F(CollectFilesTest, EntriesComeInNameOrderIgnoringCaseFirst) {
    const QStringList made = {"p318.jpg",  "p093.jpg", "b.jpg",   "p183.jpg",  "B.jpg",
                              "c/z.jpg",   "c/A.jpg",  "c/a.jpg", "b.JPG",     "a.jpg",
                              "C2.jpg",    "p1.jpg",   "ä.jpg",   "p10.jpg",   "p2.jpg",
                              "d/e/1.jpg", "D.jpg",    "_x.jpg",  "p0999.jpg", "Z.jpg"};
    for (const QString& name : made)
        Make("sorted/" + name);
    const CollectedFiles collected = CollectFiles(dir_.path() + "/sorted");
    ASSERT_TRUE(collected.status.ok()) << collected.status.errorString().toStdString();
    const QStringList& files = collected.files;
    const QStringList expected = {"B.jpg",     "b.JPG",  "b.jpg",     "c/A.jpg",  "c/a.jpg",
                                  "c/z.jpg",   "C2.jpg", "d/e/1.jpg", "D.jpg",    "p093.jpg",
                                  "p0999.jpg", "p1.jpg", "p10.jpg",   "p183.jpg", "p2.jpg",
                                  "p318.jpg",  "Z.jpg",  "ä.jpg"};
    QStringList found = Relative(files);
    for (QString& path : found)
        path.remove(0, QStringLiteral("sorted/").size());
    // "_x.jpg" and "a.jpg": '_' sorts before letters once case is folded.
    EXPECT_EQ(found, QStringList({"_x.jpg", "a.jpg"}) + expected);
    EXPECT_TRUE(NameOrder("B", "b"));
    EXPECT_FALSE(NameOrder("b", "B"));
    EXPECT_TRUE(NameOrder("a", "B"));
    EXPECT_FALSE(NameOrder("a", "a"));
}

TEST_F(CollectFilesTest, FileAndMissingPaths) {
    Make("file.jpg");
    const CollectedFiles file = CollectFiles(dir_.path() + "/file.jpg");
    EXPECT_TRUE(file.status.ok());
    EXPECT_EQ(file.files, QStringList{dir_.path() + "/file.jpg"});
    const CollectedFiles missing = CollectFiles(dir_.path() + "/missing");
    EXPECT_FALSE(missing.status.ok());
    EXPECT_EQ(missing.status.errorString(), QStringLiteral("no such file or folder"));
    EXPECT_TRUE(missing.files.isEmpty());
    EXPECT_TRUE(missing.unsearchable.isEmpty());
}

// Run as nobody, since root searches any folder: the search ends at the
// folder it cannot read, keeps what it found before and names that folder.
TEST_F(CollectFilesTest, AFolderThatCannotBeSearchedEndsTheSearchAndIsNamed) {
    Make("open/a.jpg");
    Make("open/b/hidden.jpg");
    Make("open/c.jpg");
    const QString open = dir_.path() + "/open";
    const auto everyone = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                          QFileDevice::ReadOther | QFileDevice::ExeOther;
    QFile::setPermissions(dir_.path(), everyone);
    QFile::setPermissions(open, everyone);
    QFile::setPermissions(open + "/b",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const int outcome = testing_support::RunInChildAsNobody([&] {
        const CollectedFiles found = CollectFiles(open);
        if (found.status.ok())
            return 1;
        if (found.unsearchable != open + "/b")
            return 2;
        if (!found.status.errorString().contains(found.unsearchable))
            return 3;
        return found.files == QStringList{open + "/a.jpg"} ? 0 : 4;
    });
    EXPECT_EQ(outcome, 0) << "-1: could not become nobody; 1: searched; 2: another folder "
                             "named; 3: reason without it; 4: other files";
}

TEST_F(CollectFilesTest, LinksBackIntoTheSearchDoNotLoop) {
    Make("loop/a.jpg");
    Make("loop/sub/b.jpg");
    ASSERT_TRUE(QFile::link(dir_.path() + "/loop", dir_.path() + "/loop/sub/back"));
    ASSERT_TRUE(QFile::link(dir_.path() + "/loop/sub", dir_.path() + "/loop/sub/self"));
    const CollectedFiles collected = CollectFiles(dir_.path() + "/loop");
    ASSERT_TRUE(collected.status.ok()) << collected.status.errorString().toStdString();
    const QStringList& files = collected.files;
    QStringList found = Relative(files);
    found.sort();
    EXPECT_EQ(found, (QStringList{"loop/a.jpg", "loop/sub/b.jpg"}));
}

TEST_F(CollectFilesTest, ALinkToAFolderOutsideIsSearched) {
    Make("elsewhere/c.jpg");
    Make("start/a.jpg");
    ASSERT_TRUE(QFile::link(dir_.path() + "/elsewhere", dir_.path() + "/start/linked"));
    const CollectedFiles collected = CollectFiles(dir_.path() + "/start");
    ASSERT_TRUE(collected.status.ok()) << collected.status.errorString().toStdString();
    const QStringList& files = collected.files;
    EXPECT_EQ(files.size(), 2);
}

TEST(JpegNameTest, OnlyJpgAndJpegInAnyCase) {
    for (const char* yes : {"a.jpg", "a.JPG", "a.Jpeg", "/x.y/a.jPeG"}) {
        EXPECT_TRUE(HasJpegExtension(QString::fromUtf8(yes))) << yes;
    }
    for (const char* no : {"a.jpe", "a.jfif", "a.jpg.bak", "jpg", "/x.jpg/readme", "a"}) {
        EXPECT_FALSE(HasJpegExtension(QString::fromUtf8(no))) << no;
    }
}

}  // namespace
