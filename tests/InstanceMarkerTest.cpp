// The running-copy mark: one holder at a time, a dead holder's mark taken
// over, and a second copy's request reaching the first.

#include "platform/InstanceMarker.h"

#include "TestEnvironment.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace testing_support;

const auto* const kApp = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

TEST(InstanceMarkerTest, OneHolderAtATime) {
    TestHome home;
    CInstanceMarker first(QStringLiteral("Quorvane Framewright"));
    CInstanceMarker second(QStringLiteral("Quorvane Framewright"));
    CInstanceMarker other(QStringLiteral("ペルモラ"));
    EXPECT_EQ(first.Acquire(), CInstanceMarker::Result::kAcquired);
    EXPECT_TRUE(QFile::exists(home.RuntimeFolder() + "/Quorvane Framewright.lock"));
    EXPECT_EQ(second.Acquire(), CInstanceMarker::Result::kAlreadyRunning);
    EXPECT_EQ(other.Acquire(), CInstanceMarker::Result::kAcquired);
    first.Release();
    EXPECT_FALSE(QFile::exists(home.RuntimeFolder() + "/Quorvane Framewright.lock"));
    EXPECT_EQ(second.Acquire(), CInstanceMarker::Result::kAcquired);
}

TEST(InstanceMarkerTest, MarkOfACopyThatDiedIsTakenOver) {
    TestHome home;
    const QString name = QStringLiteral("PelmoraZureda");
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        // Dies holding the mark, as a crash would leave it.
        CInstanceMarker marker(name);
        _exit(marker.Acquire() == CInstanceMarker::Result::kAcquired ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_TRUE(QFile::exists(CInstanceMarker::LockPath(name)));
    CInstanceMarker next(name);
    EXPECT_EQ(next.Acquire(), CInstanceMarker::Result::kAcquired);
}

TEST(InstanceMarkerTest, SecondCopyAsksTheFirstToRaiseItsWindow) {
    TestHome home;
    const QString name = QStringLiteral("Quorvane Framewright");
    EXPECT_FALSE(CInstanceMarker::AskToRaise(name, 500));  // nobody listens yet
    // A socket file left where the server belongs by a copy that died.
    QFile stale(CInstanceMarker::ServerName(name));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    CInstanceMarker first(name);
    ASSERT_EQ(first.Acquire(), CInstanceMarker::Result::kAcquired);
    int requests = 0;
    ASSERT_TRUE(first.ListenForRaise([&requests] { ++requests; }));
    EXPECT_TRUE(CInstanceMarker::AskToRaise(name));
    EXPECT_TRUE(WaitUntil([&] { return requests == 1; }));
    EXPECT_TRUE(CInstanceMarker::AskToRaise(name));
    EXPECT_TRUE(WaitUntil([&] { return requests == 2; }));
    first.Release();
    EXPECT_FALSE(CInstanceMarker::AskToRaise(name, 500));
}

}  // namespace
