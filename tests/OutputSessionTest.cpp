// How outputs reach their names: every way of taking a name that a file
// system may offer (the local disk is made to pretend it lacks the better
// ones), names taken meanwhile, many writers of one name at once, runs killed
// anywhere, what they leave and which run removes it, and IMG.DAT and
// RECT.DAT on a full disk.

#include "croprects/RectFile.h"
#include "images/ImageListFile.h"
#include "platform/AtomicOutputFile.h"
#include "platform/OutputSession.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <memory>
#include <thread>

#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace testing_support;

struct Written {
    bool ok = false;
    QString path;
    QString error;
};

Written WriteThrough(OutputSession* session, const QString& path, const QByteArray& data,
                     OutputPolicy policy) {
    policy.session = session;
    AtomicOutputFile output(path, policy);
    Written written;
    const auto size = static_cast<std::size_t>(data.size());
    written.ok = output.Open() && std::fwrite(data.constData(), 1, size, output.Stream()) == size &&
                 output.Commit();
    written.path = output.FinalPath();
    written.error = output.ErrorText();
    return written;
}

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Content whose completeness can be seen: `length` times one letter.
QByteArray Letters(int index) {
    return QByteArray(20000 + (index % 7) * 1000, static_cast<char>('a' + index % 7));
}

bool IsWholeLetters(const QByteArray& data) {
    if (data.isEmpty())
        return false;
    const int index = data[0] - 'a';
    return index >= 0 && index < 7 && data == Letters(index);
}

struct WayCase {
    const char* name;
    unsigned ways;
};

void PrintTo(const WayCase& way, std::ostream* os) {
    *os << way.name;
}

// The local disk as it is, then pretending to lack the better ways in turn.
const WayCase kWayCases[] = {
    {"UnnamedTemporary", OutputSession::kAllWays},
    {"RenameNoReplace", OutputSession::kRenameNoReplace | OutputSession::kHardLink},
    {"HardLink", OutputSession::kHardLink},
    {"ExclusiveCreate", 0},
};

class OutputWayTest : public ::testing::TestWithParam<WayCase> {
  protected:
    QString Path(const QString& name) const { return dir_.path() + u'/' + name; }
    QStringList Entries() const { return ::Entries(dir_.path()); }
    std::unique_ptr<OutputSession> NewSession() const {
        auto session = std::make_unique<OutputSession>(dir_.path());
        session->LimitWays(GetParam().ways);
        return session;
    }
    Written Write(OutputSession& session, const QString& name, const QByteArray& data,
                  const OutputPolicy& policy = ExistingOutput::kNextFreeName) const {
        return WriteThrough(&session, Path(name), data, policy);
    }
    QTemporaryDir dir_;
};

TEST_P(OutputWayTest, AFreeNameIsTakenAsPlannedAndNothingElseStays) {
    {
        const auto session = NewSession();
        const Written written = Write(*session, QStringLiteral("beach.JPG"), "crop");
        ASSERT_TRUE(written.ok) << written.error.toStdString();
        EXPECT_EQ(written.path, Path(QStringLiteral("beach.JPG")));
        EXPECT_EQ(ReadBytes(written.path), QByteArray("crop"));
    }
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("beach.JPG")});
}

TEST_P(OutputWayTest, ATakenNameMovesOnByTheCounterAndItsHoldersStayAsTheyWere) {
    WriteBytes(Path(QStringLiteral("beach.JPG")), "old");
    QDir(dir_.path()).mkdir(QStringLiteral("beach_0.JPG"));
    // A dangling link holds its name too.
    ASSERT_EQ(
        symlink("nowhere", QFile::encodeName(Path(QStringLiteral("beach_1.JPG"))).constData()), 0);
    WriteBytes(Path(QStringLiteral("readme")), "old");
    {
        const auto session = NewSession();
        const Written beach = Write(*session, QStringLiteral("beach.JPG"), "new");
        ASSERT_TRUE(beach.ok) << beach.error.toStdString();
        EXPECT_EQ(beach.path, Path(QStringLiteral("beach_2.JPG")));
        EXPECT_EQ(ReadBytes(beach.path), QByteArray("new"));
        EXPECT_EQ(Write(*session, QStringLiteral("readme"), "new").path,
                  Path(QStringLiteral("readme_0")));
    }
    EXPECT_EQ(ReadBytes(Path(QStringLiteral("beach.JPG"))), QByteArray("old"));
    EXPECT_TRUE(QFileInfo(Path(QStringLiteral("beach_0.JPG"))).isDir());
    EXPECT_TRUE(QFileInfo(Path(QStringLiteral("beach_1.JPG"))).isSymLink());
    EXPECT_EQ(ReadBytes(Path(QStringLiteral("readme"))), QByteArray("old"));
    EXPECT_EQ(Entries(), (QStringList{"beach.JPG", "beach_0.JPG", "beach_1.JPG", "beach_2.JPG",
                                      "readme", "readme_0"}));
}

TEST_P(OutputWayTest, NamesHeldForOtherOutputsArePassedOverButNeverTheOwnPlannedOne) {
    WriteBytes(Path(QStringLiteral("p.jpg")), "old");
    const QSet<QString> held = {Path(QStringLiteral("p_0.jpg")), Path(QStringLiteral("p_1.jpg"))};
    OutputPolicy policy(ExistingOutput::kNextFreeName);
    policy.heldForOthers = [&held](const QString& path) { return held.contains(path); };
    const auto session = NewSession();
    EXPECT_EQ(Write(*session, QStringLiteral("p.jpg"), "a", policy).path,
              Path(QStringLiteral("p_2.jpg")));
    EXPECT_EQ(Write(*session, QStringLiteral("p_0.jpg"), "b", policy).path,
              Path(QStringLiteral("p_0.jpg")));
}

TEST_P(OutputWayTest, KeepFailsOnATakenNameAndLeavesNoTrace) {
    WriteBytes(Path(QStringLiteral("k.jpg")), "old");
    {
        const auto session = NewSession();
        const Written written =
            Write(*session, QStringLiteral("k.jpg"), "new", ExistingOutput::kKeep);
        EXPECT_FALSE(written.ok);
        EXPECT_TRUE(written.error.contains(QStringLiteral("already exists")))
            << written.error.toStdString();
    }
    EXPECT_EQ(ReadBytes(Path(QStringLiteral("k.jpg"))), QByteArray("old"));
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("k.jpg")});
}

TEST_P(OutputWayTest, ReplaceTakesTheNameWhateverHoldsIt) {
    WriteBytes(Path(QStringLiteral("RECT.DAT")), "old");
    {
        const auto session = NewSession();
        OutputPolicy policy(ExistingOutput::kReplace);
        policy.durable = true;
        EXPECT_TRUE(Write(*session, QStringLiteral("RECT.DAT"), "new", policy).ok);
    }
    EXPECT_EQ(ReadBytes(Path(QStringLiteral("RECT.DAT"))), QByteArray("new"));
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("RECT.DAT")});
}

// Two runs, four writers each, all planning the same name: every output
// ends in a file of its own, holding its own data, under the name reported.
TEST_P(OutputWayTest, WritersOfOneNameAtOnceEachGetAFileOfTheirOwn) {
    constexpr int kWriters = 8;
    constexpr int kEach = 25;
    auto first = NewSession();
    auto second = NewSession();
    std::vector<std::vector<Written>> results(kWriters);
    std::vector<std::thread> writers;
    const auto data = [](int writer, int i) {
        return QByteArray::number(writer * 1000 + i) + QByteArray(100 + i, 'x');
    };
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&, w] {
            OutputSession& session = w % 2 == 0 ? *first : *second;
            for (int i = 0; i < kEach; ++i)
                results[w].push_back(Write(session, QStringLiteral("same.jpg"), data(w, i)));
        });
    }
    for (std::thread& writer : writers)
        writer.join();
    first.reset();
    second.reset();
    QSet<QString> names;
    for (int w = 0; w < kWriters; ++w) {
        for (int i = 0; i < kEach; ++i) {
            const Written& written = results[w][i];
            ASSERT_TRUE(written.ok) << written.error.toStdString();
            EXPECT_FALSE(names.contains(written.path)) << written.path.toStdString();
            names.insert(written.path);
            EXPECT_EQ(ReadBytes(written.path), data(w, i)) << written.path.toStdString();
        }
    }
    EXPECT_EQ(Entries().size(), kWriters * kEach);
}

// A run killed anywhere in its work, again and again: the next run into the
// folder leaves no temporary, and every file under a name is complete.
TEST_P(OutputWayTest, KilledAnywhereTheNextRunLeavesOnlyCompleteFiles) {
    // Some forty kills catch the exclusive-create way between its claim and
    // its rename a few times.
    constexpr int kRounds = 40;
    int kills = 0;
    for (int round = 0; round < kRounds; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const auto session = NewSession();
            for (int i = 0;; ++i)
                Write(*session, QStringLiteral("k.jpg"), Letters(i));
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500 + (round % 12) * 900));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        kills += WIFSIGNALED(status) ? 1 : 0;
        OutputSession next(dir_.path());
        next.RemoveLeftovers();
        for (const QString& name : Entries()) {
            EXPECT_FALSE(name.startsWith(QStringLiteral(".pelmora-"))) << name.toStdString();
            EXPECT_TRUE(IsWholeLetters(ReadBytes(Path(name)))) << name.toStdString();
            QFile::remove(Path(name));
        }
    }
    EXPECT_EQ(kills, kRounds);
}

INSTANTIATE_TEST_SUITE_P(Ways, OutputWayTest, ::testing::ValuesIn(kWayCases),
                         [](const ::testing::TestParamInfo<WayCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(OutputSessionTest, AnUnnamedTemporaryLeavesNoEntryWhileItIsWritten) {
    QTemporaryDir dir;
    OutputSession session(dir.path());
    AtomicOutputFile output(dir.path() + QStringLiteral("/a.jpg"), ExistingOutput::kNextFreeName);
    ASSERT_TRUE(output.Open());
    if ((session.Ways() & OutputSession::kUnnamedTemporary) != 0) {
        std::fputs("data", output.Stream());
        std::fflush(output.Stream());
        EXPECT_TRUE(Entries(dir.path()).isEmpty()) << Entries(dir.path()).join(' ').toStdString();
    }
    ASSERT_TRUE(output.Commit());
    EXPECT_EQ(Entries(dir.path()), QStringList{QStringLiteral("a.jpg")});
}

TEST(OutputSessionTest, FlushingTheFileSystemNamesAFolderThatIsGone) {
    QTemporaryDir dir;
    EXPECT_TRUE(OutputSession(dir.path()).SyncFileSystem().ok());
    const QString gone = dir.path() + QStringLiteral("/gone");
    const Status flushed = OutputSession(gone).SyncFileSystem();
    EXPECT_FALSE(flushed.ok());
    EXPECT_TRUE(flushed.errorString().contains(gone)) << flushed.errorString().toStdString();
}

class LeftoversTest : public ::testing::Test {
  protected:
    static constexpr char kRun[] = "0123456789abcdef";

    QString Path(const QString& name) const { return dir_.path() + u'/' + name; }
    QStringList Entries() const { return ::Entries(dir_.path()); }
    QString Mark() const { return Path(QStringLiteral(".pelmora-%1.run").arg(kRun)); }
    QString Part(int n) const {
        return Path(QStringLiteral(".pelmora-%1-%2.part").arg(kRun).arg(n));
    }
    void WriteMark(const QByteArray& boot, const QList<QByteArray>& lines) const {
        QByteArray content = "pelmora run\nboot " + boot + '\n';
        for (const QByteArray& line : lines)
            content += line + '\n';
        WriteBytes(Mark(), content);
    }
    static void Age(const QString& path, int seconds) {
        timeval times[2] = {};
        gettimeofday(&times[0], nullptr);
        times[0].tv_sec -= seconds;
        times[1] = times[0];
        ASSERT_EQ(utimes(QFile::encodeName(path).constData(), times), 0);
    }
    QTemporaryDir dir_;
};

TEST_F(LeftoversTest, ARunOfThisMachineThatIsGoneLeavesNothingForItsNextRun) {
    const QByteArray oddName = "odd name\nwith a line break.jpg";
    WriteMark(QSysInfo::bootUniqueId(), {"claim a.jpg", "claim b.jpg", "lost b.jpg", "claim c.jpg",
                                         "claim " + oddName.toPercentEncoding()});
    WriteBytes(Path(QStringLiteral("a.jpg")), "");      // claimed, never filled
    WriteBytes(Path(QStringLiteral("b.jpg")), "");      // someone else's: the claim was lost
    WriteBytes(Path(QStringLiteral("c.jpg")), "full");  // claimed and filled
    WriteBytes(Path(QString::fromUtf8(oddName)), "");
    WriteBytes(Part(0), "half");
    WriteBytes(Part(17), "");
    OutputSession next(dir_.path());
    EXPECT_EQ(next.RemoveLeftovers(), 5);
    EXPECT_EQ(Entries(), (QStringList{"b.jpg", "c.jpg"}));
    EXPECT_EQ(ReadBytes(Path(QStringLiteral("c.jpg"))), QByteArray("full"));
}

TEST_F(LeftoversTest, ARunAtWorkKeepsEverything) {
    auto working = std::make_unique<OutputSession>(dir_.path());
    working->LimitWays(0);
    OutputSession::Temporary temporary;
    QString error;
    ASSERT_TRUE(working->OpenTemporary(true, temporary, error)) << error.toStdString();
    std::fputs("half", temporary.stream);
    const QStringList during = Entries();
    ASSERT_EQ(during.size(), 2) << during.join(' ').toStdString();  // its mark and its temporary
    EXPECT_EQ(OutputSession(dir_.path()).RemoveLeftovers(), 0);
    EXPECT_EQ(Entries(), during);
    working->Discard(temporary);
    working.reset();
    EXPECT_TRUE(Entries().isEmpty()) << Entries().join(' ').toStdString();
}

TEST_F(LeftoversTest, AMarkKilledBeforeItsFirstLineIsGoneAtOnce) {
    WriteBytes(Mark(), "");
    WriteBytes(Part(0), "");
    EXPECT_EQ(OutputSession(dir_.path()).RemoveLeftovers(), 2);
    EXPECT_TRUE(Entries().isEmpty()) << Entries().join(' ').toStdString();
}

TEST_F(LeftoversTest, AMarkItsLockCannotVouchForCountsAsGoneOnlyOnceStale) {
    // Another machine's run on a share, or one from before a restart.
    WriteMark("another-machine", {"claim a.jpg"});
    WriteBytes(Path(QStringLiteral("a.jpg")), "");
    WriteBytes(Part(3), "half");
    OutputSession next(dir_.path());
    EXPECT_EQ(next.RemoveLeftovers(), 0);
    EXPECT_EQ(Entries().size(), 3);
    Age(Mark(), 2 * 3600);
    EXPECT_EQ(next.RemoveLeftovers(), 3);
    EXPECT_TRUE(Entries().isEmpty()) << Entries().join(' ').toStdString();
}

TEST_F(LeftoversTest, TemporariesWithoutAMarkGoOnlyOnceOldAndNothingElseIsTouched) {
    const QStringList kept = {".pelmora-notes.txt", ".pelmora-0123456789ABCDEF.part",
                              ".pelmora-0123.part", "pelmora-0123456789abcdef-1.part"};
    const QStringList old = {".pelmora-00112233445566aa.part", ".pelmora-fedcba9876543210-3.part"};
    for (const QString& name : kept + old)
        WriteBytes(Path(name), "x");
    OutputSession next(dir_.path());
    EXPECT_EQ(next.RemoveLeftovers(), 0);
    for (const QString& name : kept + old)
        Age(Path(name), 2 * 3600);
    EXPECT_EQ(next.RemoveLeftovers(), 2);
    QStringList expected = kept;
    expected.sort();
    EXPECT_EQ(Entries(), expected);
}

// RECT.DAT and IMG.DAT on a disk that fills up while they are written: the
// previous file stays as it was, the failure says why, nothing else stays.
// Three rectangles are held in the stream's buffer until the flush; a
// hundred overflow it while they are written.
TEST(DataFileTest, AFullDiskKeepsThePreviousFilesAndSaysWhy) {
    QTemporaryDir dir;
    const QString rects = dir.path() + QStringLiteral("/RECT.DAT");
    const QString images = dir.path() + QStringLiteral("/IMG.DAT");
    ASSERT_TRUE(WriteRectFile(rects, {CCropRect()}).ok());
    ASSERT_TRUE(WriteImageListFile(images, {QStringLiteral("/photos/a.jpg")}).ok());
    const QByteArray oldRects = ReadBytes(rects);
    const QByteArray oldImages = ReadBytes(images);
    const auto failsForTheReason = [](const Status& written) {
        return written.ok()                                                       ? 0
               : written.errorString().contains(QStringLiteral("File too large")) ? 1
                                                                                  : 2;
    };
    for (const int count : {3, 100}) {
        EXPECT_EQ(RunInChildWithFileSizeLimit(600,
                                              [&] {
                                                  return failsForTheReason(WriteRectFile(
                                                      rects, std::vector<CCropRect>(count)));
                                              }),
                  1)
            << count << " rectangles";
        EXPECT_EQ(RunInChildWithFileSizeLimit(
                      600,
                      [&] {
                          const QStringList paths(count, QStringLiteral("/photos/b.jpg"));
                          return failsForTheReason(WriteImageListFile(images, paths));
                      }),
                  1)
            << count << " images";
        EXPECT_EQ(ReadBytes(rects), oldRects);
        EXPECT_EQ(ReadBytes(images), oldImages);
        EXPECT_EQ(Entries(dir.path()), (QStringList{"IMG.DAT", "RECT.DAT"}));
    }
}

}  // namespace
