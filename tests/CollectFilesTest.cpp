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
        for (const QString& f : files) out.append(f.mid(dir_.path().size() + 1));
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
    QStringList files;
    ASSERT_TRUE(CollectFiles(dir_.path() + "/a", files));
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
    QStringList files;
    ASSERT_TRUE(CollectFiles(dir_.path() + "/top", files));
    const QStringList found = Relative(files);
    ASSERT_EQ(found.size(), 5);
    const qsizetype first = found.indexOf(QRegularExpression("top/sub/.*"));
    ASSERT_GE(first, 0);
    ASSERT_LE(first, 2);
    for (qsizetype i = first; i < first + 3; ++i) EXPECT_TRUE(found[i].startsWith("top/sub/"));
}

TEST_F(CollectFilesTest, FileAndMissingPaths) {
    Make("file.jpg");
    QStringList files;
    EXPECT_TRUE(CollectFiles(dir_.path() + "/file.jpg", files));
    EXPECT_EQ(files, QStringList{dir_.path() + "/file.jpg"});
    QString unsearchable = QStringLiteral("unchanged");
    EXPECT_FALSE(CollectFiles(dir_.path() + "/missing", files, &unsearchable));
    EXPECT_EQ(files.size(), 1);
    EXPECT_EQ(unsearchable, QStringLiteral("unchanged"));
}

TEST_F(CollectFilesTest, LinksBackIntoTheSearchDoNotLoop) {
    Make("loop/a.jpg");
    Make("loop/sub/b.jpg");
    ASSERT_TRUE(QFile::link(dir_.path() + "/loop", dir_.path() + "/loop/sub/back"));
    ASSERT_TRUE(QFile::link(dir_.path() + "/loop/sub", dir_.path() + "/loop/sub/self"));
    QStringList files;
    ASSERT_TRUE(CollectFiles(dir_.path() + "/loop", files));
    QStringList found = Relative(files);
    found.sort();
    EXPECT_EQ(found, (QStringList{"loop/a.jpg", "loop/sub/b.jpg"}));
}

TEST_F(CollectFilesTest, ALinkToAFolderOutsideIsSearched) {
    Make("elsewhere/c.jpg");
    Make("start/a.jpg");
    ASSERT_TRUE(QFile::link(dir_.path() + "/elsewhere", dir_.path() + "/start/linked"));
    QStringList files;
    ASSERT_TRUE(CollectFiles(dir_.path() + "/start", files));
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
