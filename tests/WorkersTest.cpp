// The worker group: how many threads a job gets, that every copy of a body
// runs at once and has returned before the group says so, and that its end
// reaches the owner's event loop.

#include "platform/Workers.h"

#include "TestEnvironment.h"

#include <QEventLoop>
#include <QFutureWatcher>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

namespace {

using namespace testing_support;

const auto* const kApp = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

TEST(WorkersTest, ThreadCountIsTheRequestOrOnePerCore) {
    EXPECT_EQ(WorkerThreadCount(1), 1);
    EXPECT_EQ(WorkerThreadCount(7), 7);  // -j 7 on any machine
    EXPECT_EQ(WorkerThreadCount(0), std::max(1, QThread::idealThreadCount()));
    EXPECT_EQ(WorkerThreadCount(-3), WorkerThreadCount(0));
}

// Each copy waits until every other has started: if the group queued some
// behind others (more threads than cores), they would never all arrive.
TEST(WorkersTest, EveryCopyRunsAtOnceOnItsOwnThread) {
    for (const int threads : {2, 5, 16}) {
        std::atomic<int> arrived{0};
        std::atomic<bool> allMet{true};
        std::mutex lock;
        std::set<std::thread::id> ids;
        // One deadline for all: copies run one after another would fail once.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        RunOnWorkers(threads, [&] {
            {
                const std::lock_guard<std::mutex> guard(lock);
                ids.insert(std::this_thread::get_id());
            }
            ++arrived;
            while (arrived.load() < threads) {
                if (std::chrono::steady_clock::now() > deadline) {
                    allMet = false;
                    return;
                }
                std::this_thread::yield();
            }
        });
        EXPECT_TRUE(allMet) << threads;
        EXPECT_EQ(arrived.load(), threads);
        EXPECT_EQ(static_cast<int>(ids.size()), threads);
        EXPECT_EQ(ids.count(std::this_thread::get_id()), 0u);
    }
}

TEST(WorkersTest, OneThreadIsTheCallingThread) {
    std::thread::id ran;
    RunOnWorkers(1, [&] { ran = std::this_thread::get_id(); });
    EXPECT_EQ(ran, std::this_thread::get_id());
    RunOnWorkers(0, [&] { ran = std::thread::id(); });
    EXPECT_EQ(ran, std::thread::id());
}

// The owner learns of the end through its event loop, after the last copy
// returned, never before.
TEST(WorkersTest, TheEndReachesTheOwnersLoopAfterEveryCopy) {
    std::atomic<int> returned{0};
    std::atomic<bool> release{false};
    WorkerGroup group(3, [&] {
        while (!release.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ++returned;
    });
    QFutureWatcher<void> watcher;
    int endsSeen = 0;
    int returnedAtEnd = -1;
    Qt::HANDLE endThread = nullptr;
    QObject::connect(&watcher, &QFutureWatcher<void>::finished, [&] {
        ++endsSeen;
        returnedAtEnd = returned.load();
        endThread = QThread::currentThreadId();
    });
    watcher.setFuture(group.Finished());
    QEventLoop loop;
    QTimer::singleShot(50, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(endsSeen, 0);  // the copies still wait
    EXPECT_FALSE(group.Finished().isFinished());
    release = true;
    ASSERT_TRUE(WaitUntil([&] { return endsSeen == 1; }));
    EXPECT_EQ(returnedAtEnd, 3);
    EXPECT_EQ(endThread, QThread::currentThreadId());
}

TEST(WorkersTest, DestroyingTheGroupWaitsForTheBodies) {
    std::atomic<int> finished{0};
    {
        const WorkerGroup group(4, [&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            ++finished;
        });
    }
    EXPECT_EQ(finished.load(), 4);
}

}  // namespace
