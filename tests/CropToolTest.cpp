// The command line tool as a user meets it: names, counts, exit codes and
// messages, bad input and folders it may not touch.

#include "TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>

namespace {

using namespace testing_support;

const QString kTool = QStringLiteral(PELMORA_CROP_TOOL);

class CropToolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = dir_.path();
        QFile::setPermissions(
            root_, QFile::permissions(root_) | QFileDevice::ExeOther | QFileDevice::ReadOther);
        QDir(root_).mkdir("in");
        QDir(root_).mkdir("out");
        SetOpen(root_ + "/in");
        SetOpen(root_ + "/out");
    }

    static void SetOpen(const QString& folder) {
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                          QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                          QFileDevice::ExeGroup);
    }

    QString Photo(const QString& relative, int width = 64, int height = 48) {
        return testing_support::WritePhoto(root_ + "/in/" + relative, width, height);
    }

    CommandResult Run(QStringList arguments) {
        arguments.prepend(QStringLiteral("--quiet"));
        return RunCommand(kTool, arguments);
    }

    QStringList Outputs() const {
        QStringList names =
            QDir(root_ + "/out").entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
        names.sort();
        return names;
    }

    QString Out() const { return root_ + "/out"; }

    QTemporaryDir dir_;
    QString root_;
};

TEST_F(CropToolTest, NamesFollowTheBatchRunTables) {
    const QString beach = Photo("beach.JPG");
    ASSERT_EQ(Run({"-o", Out(), "-r", "0,0,16,16", beach}).exitCode, 0);
    ASSERT_EQ(Run({"-o", Out(), "-r", "0,0,16,16", beach}).exitCode, 0);
    ASSERT_EQ(Run({"-o", Out(), "-r", "0,0,16,16", beach}).exitCode, 0);
    EXPECT_EQ(Outputs(), (QStringList{"beach.JPG", "beach_0.JPG", "beach_1.JPG"}));

    QDir(Out()).removeRecursively();
    QDir(root_).mkdir("out");
    WriteBytes(Out() + "/beach-1.JPG", "keep me");
    const CommandResult three =
        Run({"-o", Out(), "-r", "0,0,16,16", "-r", "8,8,24,24", "-r", "10%,10%,90%,90%", beach});
    EXPECT_EQ(three.exitCode, 0) << three.err.toStdString();
    EXPECT_EQ(three.out, QByteArray("3 written, 0 failed, 0 skipped\n"));
    EXPECT_EQ(Outputs(),
              (QStringList{"beach-0.JPG", "beach-1.JPG", "beach-1_0.JPG", "beach-2.JPG"}));
    EXPECT_EQ(ReadBytes(Out() + "/beach-1.JPG"), QByteArray("keep me"));
}

TEST_F(CropToolTest, AFolderTakesANameAndNamesWithoutExtensionWork) {
    const QString readme = Photo("README.jpg");
    QDir(Out()).mkdir("README.jpg");
    ASSERT_EQ(Run({"-o", Out(), "-r", "0,0,8,8", readme}).exitCode, 0);
    EXPECT_TRUE(QFileInfo(Out() + "/README_0.jpg").isFile());
}

TEST_F(CropToolTest, FolderSearchCountsSkipsAndFailures) {
    Photo("trip/a.jpg");
    Photo("trip/day2/b.jpeg");
    Photo("trip/_PAGE_/c.jpg");
    WriteBytes(root_ + "/in/trip/notes.txt", "text");
    WriteBytes(root_ + "/in/trip/broken.jpg", "not a jpeg");
    const CommandResult result = Run({"-o", Out(), "-r", "0,0,16,16", root_ + "/in/trip"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, QByteArray("2 written, 1 failed, 1 skipped (not named .jpg or .jpeg)\n"));
    EXPECT_TRUE(result.err.contains("broken.jpg")) << result.err.toStdString();
    EXPECT_EQ(Outputs(), (QStringList{"a.jpg", "b.jpeg"}));
    // --verbose names what was skipped.
    QDir(Out()).removeRecursively();
    QDir(root_).mkdir("out");
    const CommandResult verbose =
        Run({"--verbose", "-o", Out(), "-r", "0,0,16,16", root_ + "/in/trip"});
    EXPECT_TRUE(verbose.out.contains(
        (root_ + "/in/trip/notes.txt skipped: not named .jpg or .jpeg\n").toLocal8Bit()))
        << verbose.out.toStdString();
}

TEST_F(CropToolTest, APathGivenTwiceIsCroppedOnce) {
    const QString photo = Photo("once.jpg");
    const QString same = root_ + "/in/../in/once.jpg";
    const CommandResult result = Run({"-o", Out(), "-r", "0,0,8,8", photo, same, root_ + "/in"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(Outputs(), QStringList{"once.jpg"});
}

TEST_F(CropToolTest, VerboseReportsTheRegionActuallyWritten) {
    const QString photo = Photo("v.jpg", 1000, 750);
    const CommandResult result = Run({"--verbose", "-o", Out(), "-r", "100x50+20+37", photo});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out,
              (photo + " -> " + Out() + "/v.jpg 104x55+16+32\n1 written, 0 failed, 0 skipped\n")
                  .toLocal8Bit());
}

TEST_F(CropToolTest, VerboseRegionsFollowEachSamplingsBlockGrid) {
    struct Kind {
        const char* name;
        int components, h0, v0;
        const char* region;  // for 100x50+27+13
    };
    const Kind kinds[] = {{"420", 3, 2, 2, "111x63+16+0"},
                          {"422", 3, 2, 1, "111x55+16+8"},
                          {"444", 3, 1, 1, "103x55+24+8"},
                          {"411", 3, 4, 1, "127x55+0+8"},
                          {"gray", 1, 2, 2, "103x55+24+8"}};
    for (const Kind& kind : kinds) {
        JpegSpec spec;
        spec.width = 300;
        spec.height = 200;
        spec.components = kind.components;
        spec.hSamp[0] = kind.h0;
        spec.vSamp[0] = kind.v0;
        const QString path = root_ + "/in/" + kind.name + ".jpg";
        WriteBytes(path, EncodeJpeg(spec));
        const CommandResult result = Run({"--verbose", "-o", Out(), "-r", "100x50+27+13", path});
        EXPECT_TRUE(result.out.contains(QByteArray(kind.name) + ".jpg " + kind.region))
            << kind.name << ": " << result.out.toStdString();
    }
}

TEST_F(CropToolTest, CtrlCStopsCleanlyInTheMiddleOfALongRun) {
    for (int i = 0; i < 10; ++i)
        Photo(QStringLiteral("big%1.jpg").arg(i), 1600, 1200);
    QStringList arguments{"-j", "1", "-o", Out()};
    for (int r = 0; r < 50; ++r) {
        arguments << "-r"
                  << QStringLiteral("%1,%2,%3,%4")
                         .arg(r * 7)
                         .arg(r * 5)
                         .arg(800 + r * 7)
                         .arg(700 + r * 5);
    }
    arguments << root_ + "/in";
    QProcess process;
    process.start(kTool, arguments);
    ASSERT_TRUE(process.waitForStarted());
    QElapsedTimer waited;
    waited.start();
    while (Outputs().size() < 3 && waited.elapsed() < 60000)
        QThread::msleep(5);
    ASSERT_GE(Outputs().size(), 3) << "the run did not start writing";
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 130);
    const QByteArray summary = process.readAllStandardOutput();
    EXPECT_TRUE(summary.contains("not done")) << summary.toStdString();
    const QStringList written = Outputs();
    EXPECT_LT(written.size(), 500);
    EXPECT_EQ(written.filter(".part").size(), 0);
    for (const QString& name : written) {
        EXPECT_TRUE(DecodeJpeg(ReadBytes(Out() + "/" + name)).ok) << name.toStdString();
    }
    const QByteArray count =
        QByteArray::number(static_cast<int>(written.size())) + " written, 0 failed";
    EXPECT_TRUE(summary.startsWith(count)) << summary.toStdString();
}

TEST_F(CropToolTest, ExactRefusesAMovedCornerAndWritesNothingForIt) {
    const QString photo = Photo("e.jpg", 1000, 750);
    const CommandResult result =
        Run({"--exact", "-o", Out(), "-r", "100x50+20+37", "-r", "32x32+16+32", photo});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, QByteArray("1 written, 1 failed, 0 skipped\n"));
    EXPECT_TRUE(result.err.contains("(16, 32)")) << result.err.toStdString();
    EXPECT_EQ(Outputs(), QStringList{"e-1.jpg"});
}

// Both corners' coordinates must lie on the grid: one aligned axis is not enough.
TEST_F(CropToolTest, ExactRefusesACornerOffTheGridOnOneAxisOnly) {
    const QString photo = Photo("a.jpg", 1000, 750);
    const CommandResult result = Run({"--exact", "-o", Out(), "-r", "32x32+32+37", "-r",
                                      "32x32+20+32", "-r", "32x32+48+64", photo});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, QByteArray("1 written, 2 failed, 0 skipped\n"));
    EXPECT_TRUE(result.err.contains("(32, 32), not (32, 37)")) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains("(16, 32), not (20, 32)")) << result.err.toStdString();
    EXPECT_EQ(Outputs().size(), 1);
}

TEST_F(CropToolTest, RectanglesOutsideTheImageFailWithoutAFile) {
    const QString photo = Photo("small.jpg", 64, 48);
    const CommandResult result = Run({"-o", Out(), "-r", "100,100,200,200", photo});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains("misses the image"));
    EXPECT_TRUE(Outputs().isEmpty());
}

TEST_F(CropToolTest, RectanglesComeFromARectFile) {
    const QString photo = Photo("r.jpg");
    QByteArray record(264, '\0');
    record[0] = 1;
    const double coordinates[4] = {0, 0, 16, 8};
    std::memcpy(record.data() + 8, coordinates, sizeof coordinates);
    WriteBytes(root_ + "/RECT.DAT", record + record);
    const CommandResult result = Run({"--rects", root_ + "/RECT.DAT", "-o", Out(), photo});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(Outputs(), (QStringList{"r-0.jpg", "r-1.jpg"}));
    EXPECT_EQ(DecodeJpeg(ReadBytes(Out() + "/r-0.jpg")).width, 16);
}

// A RECT.DAT written by an older program holds the conversion dust of a
// unit switch; it is cut where the window showed it.
TEST_F(CropToolTest, RectFileEdgesWithConversionDustAreCutWhereShown) {
    const QString photo = Photo("dust.jpg", 64, 48);
    QByteArray record(264, '\0');
    record[0] = 1;
    const double coordinates[4] = {0, 0, 40.99999999999999, 16.000000000000004};
    std::memcpy(record.data() + 8, coordinates, sizeof coordinates);
    WriteBytes(root_ + "/RECT.DAT", record);
    const CommandResult result =
        Run({"-m", "recompress", "--rects", root_ + "/RECT.DAT", "-o", Out(), photo});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    const DecodedImage image = DecodeJpeg(ReadBytes(Out() + "/dust.jpg"));
    EXPECT_EQ(image.width, 41);
    EXPECT_EQ(image.height, 16);
}

TEST_F(CropToolTest, ParallelAndSequentialRunsWriteTheSameFiles) {
    for (int i = 0; i < 6; ++i)
        Photo(QStringLiteral("p%1.jpg").arg(i), 120 + i, 90);
    QDir(root_).mkdir("out2");
    const QStringList common{"-r", "5,5,60,60", "-r", "50%,0%,100%,50%", root_ + "/in"};
    ASSERT_EQ(Run(QStringList{"-j", "1", "-o", Out()} + common).exitCode, 0);
    ASSERT_EQ(Run(QStringList{"-j", "4", "-o", root_ + "/out2"} + common).exitCode, 0);
    const QStringList names = Outputs();
    EXPECT_EQ(names.size(), 12);
    for (const QString& name : names) {
        EXPECT_EQ(ReadBytes(Out() + "/" + name), ReadBytes(root_ + "/out2/" + name))
            << name.toStdString();
    }
}

TEST_F(CropToolTest, RecompressCutsToThePixelWithTheGivenQuality) {
    const QString photo = Photo("rc.jpg", 1000, 750);
    const CommandResult result = Run({"--verbose", "-m", "recompress", "-q", "95", "-o", Out(),
                                      "-r", "100x50+20+37", "-r", "0,0,2000,10", photo});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(result.out.contains("rc-0.jpg 100x50+20+37")) << result.out.toStdString();
    EXPECT_TRUE(result.out.contains("rc-1.jpg 1000x10+0+0")) << result.out.toStdString();
    const DecodedImage image = DecodeJpeg(ReadBytes(Out() + "/rc-0.jpg"));
    EXPECT_EQ(image.width, 100);
    EXPECT_EQ(image.height, 50);
    // A PNG saved under a JPEG name is taken in this mode only.
    QImage png(30, 20, QImage::Format_RGB32);
    png.fill(Qt::red);
    ASSERT_TRUE(png.save(root_ + "/in/fake.jpg", "PNG"));
    EXPECT_EQ(
        Run({"-m", "recompress", "-o", Out(), "-r", "0,0,10,10", root_ + "/in/fake.jpg"}).exitCode,
        0);
    EXPECT_EQ(Run({"-o", Out(), "-r", "0,0,10,10", root_ + "/in/fake.jpg"}).exitCode, 1);
}

TEST_F(CropToolTest, BadUsageExitsWithTwoAndNamesTheArgument) {
    const QString photo = Photo("u.jpg");
    struct Case {
        QStringList arguments;
        const char* named;
    };
    const Case cases[] = {
        {{}, "PATH"},
        {{"--bogus", photo}, "--bogus"},
        {{"-o", Out(), "-r", "1,2,3", photo}, "1,2,3"},
        {{"-o", Out(), photo}, "--rect"},
        {{"-r", "0,0,8,8", photo}, "--output"},
        {{"-o", root_ + "/nowhere", "-r", "0,0,8,8", photo}, "nowhere"},
        {{"-o", photo, "-r", "0,0,8,8", photo}, "u.jpg"},
        {{"-o", Out(), "-r", "0,0,8,8", "-q", "0", photo}, "-q"},
        {{"-o", Out(), "-r", "0,0,8,8", "-j", "zero", photo}, "-j"},
        {{"-o", Out(), "-r", "0,0,8,8", "-m", "fast", photo}, "fast"},
        {{"-o", Out(), "--rects", root_ + "/missing.dat", photo}, "missing.dat"},
        {{"-o"}, "-o"},
        {{"--quiet=yes", photo}, "--quiet"},
        // Empty or inverted rectangles are mistakes on the command line.
        {{"-o", Out(), "-r", "10,10,5,5", photo}, "10,10,5,5"},
        {{"-o", Out(), "-r", "0,10,8,10", photo}, "0,10,8,10"},
        {{"-o", Out(), "-r", "50%,0%,50%,100%", photo}, "50%,0%,50%,100%"},
        {{"-o", Out(), "-r", "0x8+0+0", photo}, "0x8+0+0"},
    };
    for (const Case& c : cases) {
        const CommandResult result = RunCommand(kTool, c.arguments);
        EXPECT_EQ(result.exitCode, 2) << c.named;
        EXPECT_TRUE(result.err.contains(c.named)) << c.named << ": " << result.err.toStdString();
    }
    EXPECT_TRUE(Outputs().isEmpty());
    EXPECT_EQ(RunCommand(kTool, {"--help"}).exitCode, 0);
}

// A rectangle that cannot be read is answered with the three forms that can.
TEST_F(CropToolTest, AnUnreadableRectangleNamesEveryAcceptedForm) {
    const QString photo = Photo("f.jpg");
    for (const char* bad : {"1,2,3", "100x50", "a,b,c,d", "10%,0,50%,50%", "garbage"}) {
        const CommandResult result = RunCommand(kTool, {"-o", Out(), "-r", bad, photo});
        EXPECT_EQ(result.exitCode, 2) << bad;
        for (const char* form : {"L,T,R,B", "L%,T%,R%,B%", "WxH+X+Y"}) {
            EXPECT_TRUE(result.err.contains(form)) << bad << ": " << result.err.toStdString();
        }
    }
    const CommandResult empty = RunCommand(kTool, {"-o", Out(), "-r", "10,10,5,5", photo});
    EXPECT_TRUE(empty.err.contains("empty rectangle")) << empty.err.toStdString();
}

TEST_F(CropToolTest, MissingPathIsNamedAndTheRestIsStillCropped) {
    const QString photo = Photo("ok.jpg");
    const CommandResult result = Run({"-o", Out(), "-r", "0,0,8,8", root_ + "/gone.jpg", photo});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains("gone.jpg"));
    EXPECT_EQ(Outputs(), QStringList{"ok.jpg"});
}

// Root may read and write anything, so these run the tool as user nobody.
class CropToolAsNobodyTest : public CropToolTest {
  protected:
    void SetUp() override {
        CropToolTest::SetUp();
        tool_ = root_ + "/pelmora-crop";
        ASSERT_TRUE(QFile::copy(kTool, tool_));
        QFile::setPermissions(tool_, QFile::permissions(tool_) | QFileDevice::ExeOther);
    }
    CommandResult RunAsUser(const QStringList& arguments) {
        return RunAsNobody(tool_, QStringList{"--quiet"} + arguments);
    }
    QString tool_;
};

TEST_F(CropToolAsNobodyTest, UnwritableOutputFolderFailsEveryPairAndLeavesNothing) {
    const QString photo = Photo("w.jpg");
    const CommandResult result =
        RunAsUser({"-o", Out(), "-r", "0,0,8,8", "-r", "8,8,16,16", photo});
    ASSERT_NE(result.exitCode, -1) << "setpriv could not run the tool";
    EXPECT_EQ(result.exitCode, 1) << result.err.toStdString();
    EXPECT_EQ(result.out, QByteArray("0 written, 2 failed, 0 skipped\n"));
    EXPECT_TRUE(result.err.contains("cannot create")) << result.err.toStdString();
    EXPECT_TRUE(Outputs().isEmpty());
}

TEST_F(CropToolAsNobodyTest, UnreadableSourceAndUnsearchableFolderAreReported) {
    QDir(root_).mkdir("shared");
    const QString shared = root_ + "/shared";
    QFile::setPermissions(shared, QFile::permissions(shared) | QFileDevice::WriteOther |
                                      QFileDevice::ExeOther | QFileDevice::ReadOther);
    const QString secret = Photo("secret.jpg");
    QFile::setPermissions(secret, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    Photo("tree/locked/x.jpg");
    QFile::setPermissions(root_ + "/in/tree/locked",
                          QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    SetOpen(root_ + "/in/tree");
    const CommandResult result =
        RunAsUser({"-o", shared, "-r", "0,0,8,8", secret, root_ + "/in/tree"});
    ASSERT_NE(result.exitCode, -1) << "setpriv could not run the tool";
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains("secret.jpg")) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains("locked")) << result.err.toStdString();
    EXPECT_TRUE(QDir(shared).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

}  // namespace
