#include "app/OutputNames.h"
#include "platform/PathUtils.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using testing_support::RunInChildAsNobody;
using testing_support::WriteBytes;

struct Split {
    QString extension, withoutExtension, fileName;
};

Split SplitPath(const QString& path) {
    Split s{QStringLiteral("<unchanged>"), QStringLiteral("<unchanged>"),
            QStringLiteral("<unchanged>")};
    GetPathExtension(path, s.extension);
    RemovePathExtension(path, s.withoutExtension);
    GetPathFileName(path, s.fileName);
    return s;
}

TEST(PathUtilsTest, SplitsAtTheLastDotOfTheLastComponent) {
    struct Case {
        const char* path;
        const char* extension;
        const char* withoutExtension;
        const char* fileName;
    };
    const Case cases[] = {
        {"/photos/beach.JPG", ".JPG", "/photos/beach", "beach.JPG"},
        {"/photos/archive.tar.jpg", ".jpg", "/photos/archive.tar", "archive.tar.jpg"},
        {"/photos/README", "", "/photos/README", "README"},
        {"/album.old/README", "", "/album.old/README", "README"},
        {"beach.jpeg", ".jpeg", "beach", "beach.jpeg"},
        {"/photos/.hidden", ".hidden", "/photos/", ".hidden"},
        {"/photos/trailing.", ".", "/photos/trailing", "trailing."},
    };
    for (const Case& c : cases) {
        const Split s = SplitPath(QString::fromUtf8(c.path));
        EXPECT_EQ(s.extension, QString::fromUtf8(c.extension)) << c.path;
        EXPECT_EQ(s.withoutExtension, QString::fromUtf8(c.withoutExtension)) << c.path;
        EXPECT_EQ(s.fileName, QString::fromUtf8(c.fileName)) << c.path;
    }
}

TEST(PathUtilsTest, EmptyPathLeavesOutputsUnchanged) {
    const Split s = SplitPath(QString());
    EXPECT_EQ(s.extension, QStringLiteral("<unchanged>"));
    EXPECT_EQ(s.withoutExtension, QStringLiteral("<unchanged>"));
    EXPECT_EQ(s.fileName, QStringLiteral("<unchanged>"));
    EXPECT_EQ(GetPathKind(QString()), kPathNothing);
}

TEST(PathUtilsTest, PathKindIgnoresOneTrailingSeparator) {
    QTemporaryDir dir;
    const QString folder = dir.path();
    WriteBytes(folder + "/file.jpg", "x");
    EXPECT_EQ(GetPathKind(folder), kPathFolder);
    EXPECT_EQ(GetPathKind(folder + "/"), kPathFolder);
    EXPECT_EQ(GetPathKind(folder + "/file.jpg"), kPathFile);
    EXPECT_EQ(GetPathKind(folder + "/file.jpg/"), kPathFile);
    EXPECT_EQ(GetPathKind(folder + "/missing"), kPathNothing);
    EXPECT_EQ(GetPathKind(QStringLiteral("/")), kPathFolder);
    // A dangling link still occupies its name.
    ASSERT_TRUE(QFile::link(folder + "/nowhere", folder + "/dangling.jpg"));
    EXPECT_EQ(GetPathKind(folder + "/dangling.jpg"), kPathFile);
}

TEST(PathUtilsTest, MakeUniquePathNumbersBeforeTheExtension) {
    QTemporaryDir dir;
    const QString out = dir.path();
    QString path = out + "/readme";
    MakeUniquePath(path);
    EXPECT_EQ(path, out + "/readme");  // free: unchanged

    WriteBytes(out + "/readme", "x");
    MakeUniquePath(path);
    EXPECT_EQ(path, out + "/readme_0");

    QDir(out).mkdir(QStringLiteral("beach.JPG"));  // a folder takes the name too
    path = out + "/beach.JPG";
    MakeUniquePath(path);
    EXPECT_EQ(path, out + "/beach_0.JPG");

    WriteBytes(out + "/beach_0.JPG", "x");
    path = out + "/beach.JPG";
    MakeUniquePath(path);
    EXPECT_EQ(path, out + "/beach_1.JPG");
}

TEST(PathUtilsTest, MakeUniquePathAsksTheGivenTest) {
    QString path = QStringLiteral("/x/a.jpg");
    int probes = 0;
    MakeUniquePath(path, [&](const QString&) { return ++probes <= 12; });
    EXPECT_EQ(path, QStringLiteral("/x/a_11.jpg"));  // 12 taken: a.jpg, a_0 .. a_10
}

TEST(PathUtilsTest, ToAnsiRoundTripsThroughTheLocalEncoding) {
    const QString name = QStringLiteral("/tmp/写真-été.jpg");
    const QByteArray ansi = ToAnsi(name);
    EXPECT_EQ(ansi.constData()[ansi.size()], '\0');
    EXPECT_EQ(QString::fromLocal8Bit(ansi), name);
}

TEST(PathUtilsTest, ModuleFolderEndsWithSeparator) {
    QString folder;
    GetModuleFolder(folder);
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_TRUE(IsPathSeparator(folder.back()));
    EXPECT_EQ(GetPathKind(folder), kPathFolder);
}

// The batch run's names, for a source beach.JPG.
TEST(PathUtilsTest, DataFilesMoveToTheUsersFolderOnlyWhenTheProgramFolderIsNotWritable) {
    QTemporaryDir dir;
    const QString program = dir.path() + "/program/";
    const QString user = dir.path() + "/user/data";
    QDir().mkpath(program);
    EXPECT_EQ(DataFileFolder(program, user), program);
    EXPECT_FALSE(QFileInfo::exists(user));
    // Installed for all users: the folder belongs to root and others may only read it.
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadOther | QFile::ExeOther | QFile::WriteOther);
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                       QFile::ReadOther | QFile::ExeOther);
    const int asNobody = RunInChildAsNobody([&] {
        const QString folder = DataFileFolder(program, user);
        return folder == user + "/" && QFileInfo(user).isDir() ? 0 : 1;
    });
    EXPECT_EQ(asNobody, 0);
}

// Root may write under /usr, but a package's program folder must not
// collect data files that removing the package would leave behind.
TEST(PathUtilsTest, AProgramFolderSharedByAllUsersIsNeverTheDataFolder) {
    QTemporaryDir dir;
    const QString program = dir.path() + "/usr/lib/pelmora/";
    const QString user = dir.path() + "/home/data";
    QDir().mkpath(program);
    ASSERT_TRUE(QFileInfo(program).isWritable());
    EXPECT_EQ(DataFileFolder(program, user, true), user + "/");
    EXPECT_TRUE(QFileInfo(user).isDir());
    EXPECT_TRUE(QDir(program).isEmpty());
}

TEST(PathUtilsTest, TheSharedProgramFolderIsRecognisedUnderAnyPrefix) {
    const QString dir = QStringLiteral("lib/pelmora");
    EXPECT_TRUE(IsProgramFolderInstalledAs("/usr/lib/pelmora/", dir));
    EXPECT_TRUE(IsProgramFolderInstalledAs("/usr/lib/pelmora", dir));
    EXPECT_TRUE(IsProgramFolderInstalledAs("/opt/x/lib/./pelmora/", dir));
    EXPECT_TRUE(IsProgramFolderInstalledAs("/home/a/.local/lib/pelmora/", dir));
    EXPECT_FALSE(IsProgramFolderInstalledAs("/usr/mylib/pelmora/", dir));
    EXPECT_FALSE(IsProgramFolderInstalledAs("/usr/lib/pelmora/bin/", dir));
    EXPECT_FALSE(IsProgramFolderInstalledAs("/home/a/Pelmora/", dir));
    EXPECT_FALSE(IsProgramFolderInstalledAs("/work/build/bin/", dir));
    // Installed into a folder of its own: nothing is shared.
    EXPECT_FALSE(IsProgramFolderInstalledAs("/home/a/Pelmora/", QString()));
    EXPECT_FALSE(IsProgramFolderInstalledAs("/home/a/Pelmora/", QStringLiteral(".")));
    EXPECT_FALSE(IsProgramFolderInstalledAs("/", QStringLiteral("/")));
}

TEST(OutputNamesTest, CandidatesCarryTheRectangleSuffixOnlyForSeveralRectangles) {
    const QString source = QStringLiteral("/photos/beach.JPG");
    EXPECT_EQ(FormOutputCandidate("/out", source, 0, 1), QStringLiteral("/out/beach.JPG"));
    EXPECT_EQ(FormOutputCandidate("/out", source, 2, 3), QStringLiteral("/out/beach-2.JPG"));
    EXPECT_EQ(FormOutputCandidate("/out", QStringLiteral("/p/README"), 0, 1),
              QStringLiteral("/out/README"));
    EXPECT_EQ(FormOutputCandidate("/out", QStringLiteral("/p/a.b.jpeg"), 1, 2),
              QStringLiteral("/out/a.b-1.jpeg"));
}

TEST(OutputNamesTest, ReservedNamesFollowTheTablesOfTheBatchRun) {
    QTemporaryDir dir;
    const QString out = dir.path();
    const QString source = QStringLiteral("/photos/beach.JPG");
    {
        OutputNameReserver names;
        EXPECT_EQ(names.Reserve(FormOutputCandidate(out, source, 0, 1)), out + "/beach.JPG");
        // The same candidate again within one run gets the next free name.
        EXPECT_EQ(names.Reserve(FormOutputCandidate(out, source, 0, 1)), out + "/beach_0.JPG");
    }
    WriteBytes(out + "/beach.JPG", "x");
    WriteBytes(out + "/beach_0.JPG", "x");
    EXPECT_EQ(OutputNameReserver().Reserve(FormOutputCandidate(out, source, 0, 1)),
              out + "/beach_1.JPG");

    WriteBytes(out + "/beach-1.JPG", "x");
    OutputNameReserver three;
    EXPECT_EQ(three.Reserve(FormOutputCandidate(out, source, 0, 3)), out + "/beach-0.JPG");
    EXPECT_EQ(three.Reserve(FormOutputCandidate(out, source, 1, 3)), out + "/beach-1_0.JPG");
    EXPECT_EQ(three.Reserve(FormOutputCandidate(out, source, 2, 3)), out + "/beach-2.JPG");
}

}  // namespace
