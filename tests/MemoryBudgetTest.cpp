// One memory budget for the workers of a batch: a request waits while the
// others hold too much, requests are served in the order they came, a worker
// that must hold more cannot deadlock with another, and the batch keeps to
// the budget and refuses an image larger than all of it.

#include "app/CropPairs.h"
#include "engine/MemoryBudget.h"

#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace {

using namespace testing_support;
using namespace std::chrono_literals;

// False when fewer than `count` requests are waiting after a few seconds.
bool WaitForWaiters(const MemoryBudget& budget, std::uint64_t count) {
    for (int i = 0; i < 5000 && budget.Waiting() < count; ++i)
        std::this_thread::sleep_for(1ms);
    return budget.Waiting() >= count;
}

TEST(MemoryBudgetTest, ARequestWaitsUntilTheOthersHaveGivenBack) {
    MemoryBudget budget(100);
    budget.Acquire(60);
    std::atomic<bool> released{false};
    bool grantedAfterRelease = false;
    std::thread second([&] {
        budget.Acquire(60);
        grantedAfterRelease = released.load();
        budget.Release(60);
    });
    EXPECT_TRUE(WaitForWaiters(budget, 1));
    std::this_thread::sleep_for(20ms);
    released = true;
    budget.Release(60);
    second.join();
    EXPECT_TRUE(grantedAfterRelease);
    EXPECT_EQ(budget.Peak(), 60U);
}

TEST(MemoryBudgetTest, RequestsAreServedInTheOrderTheyCame) {
    MemoryBudget budget(100);
    budget.Acquire(50);
    std::mutex orderLock;
    std::vector<char> order;
    const auto take = [&](std::uint64_t bytes, char name) {
        budget.Acquire(bytes);
        {
            const std::lock_guard<std::mutex> guard(orderLock);
            order.push_back(name);
        }
        std::this_thread::sleep_for(10ms);
        budget.Release(bytes);
    };
    std::thread large(take, 100, 'L');
    EXPECT_TRUE(WaitForWaiters(budget, 1));
    // Would fit beside what is held, but the large request came first.
    std::thread small(take, 10, 'S');
    EXPECT_TRUE(WaitForWaiters(budget, 2));
    budget.Release(50);
    large.join();
    small.join();
    EXPECT_EQ(order, (std::vector<char>{'L', 'S'}));
    EXPECT_EQ(budget.Peak(), 100U);
}

TEST(MemoryBudgetTest, ARequestLargerThanTheBudgetRunsAlone) {
    MemoryBudget budget(100);
    budget.Acquire(250);
    EXPECT_EQ(budget.Waiting(), 0U);
    budget.Release(250);
}

TEST(MemoryBudgetTest, WorkersThatMustHoldMoreGiveBackFirstAndNeverDeadlock) {
    MemoryBudget budget(100);
    const auto work = [&] {
        const MemoryBudgetScope scope(&budget);
        MemoryBudgetScope::Reserve(40);
        std::this_thread::sleep_for(5ms);
        // Holding 40 each, neither could get 80 while keeping its 40.
        MemoryBudgetScope::Reserve(80);
        MemoryBudgetScope::Reserve(10);  // already covered
    };
    std::thread first(work);
    std::thread second(work);
    first.join();
    second.join();
    EXPECT_LE(budget.Peak(), 100U);
    EXPECT_EQ(MemoryBudgetScope::Current(), nullptr);
    budget.Acquire(100);  // everything was given back
}

class BatchMemoryTest : public ::testing::Test {
  protected:
    // Lossless needs twice the coefficients of a 1024 x 1024 4:2:0 photo:
    // 24576 blocks of 128 bytes, 6 MB.
    static constexpr std::uint64_t kNeed = 2ULL * 24576 * 128;

    void SetUp() override {
        JpegSpec spec;
        spec.width = 1024;
        spec.height = 1024;
        QDir(dir_.path()).mkdir(QStringLiteral("out"));
        for (int i = 0; i < 6; ++i) {
            spec.seed = i + 1;
            const QString path = dir_.path() + QStringLiteral("/p%1.jpg").arg(i);
            WriteBytes(path, EncodeJpeg(spec));
            images_.push_back({path, spec.width, spec.height, 16, 16, {}});
        }
    }
    int Run(MemoryBudget& budget, QStringList* errors = nullptr) {
        const std::vector<CCropRect> rects = {PixelRectangle(16, 16, 512, 512),
                                              PixelRectangle(0, 0, 1024, 1024)};
        const auto pairs = PlanCropPairs(images_, rects, dir_.path() + "/out", {});
        std::atomic<int> written{0};
        std::mutex lock;
        RunCropPairs(
            pairs, {}, 4,
            [&](std::size_t, const CropOutcome& outcome) {
                written += outcome.status.ok();
                const std::lock_guard<std::mutex> guard(lock);
                if (!outcome.status.ok() && errors != nullptr)
                    errors->append(outcome.status.errorString());
            },
            nullptr, nullptr, &budget);
        return written.load();
    }
    QTemporaryDir dir_;
    std::vector<BatchImage> images_;
};

TEST_F(BatchMemoryTest, FourWorkersKeepToABudgetThatHoldsOnePhoto) {
    MemoryBudget budget(kNeed * 5 / 3);
    EXPECT_EQ(Run(budget), 12);
    EXPECT_EQ(budget.Peak(), kNeed);
}

TEST_F(BatchMemoryTest, ABudgetForTwoPhotosLetsTwoRunAndNoMore) {
    MemoryBudget budget(kNeed * 5 / 2);
    EXPECT_EQ(Run(budget), 12);
    EXPECT_GE(budget.Peak(), kNeed);
    EXPECT_LE(budget.Peak(), 2 * kNeed);
}

TEST_F(BatchMemoryTest, APhotoLargerThanTheWholeBudgetIsRefusedWithTheReason) {
    MemoryBudget budget(4ULL << 20);
    QStringList errors;
    EXPECT_EQ(Run(budget, &errors), 0);
    ASSERT_EQ(errors.size(), 12);
    EXPECT_TRUE(
        errors[0].contains(QStringLiteral("would need 6 MB of memory, more than the "
                                          "limit of 4 MB")))
        << errors[0].toStdString();
    EXPECT_TRUE(QDir(dir_.path() + "/out").entryList(QDir::Files | QDir::Hidden).isEmpty());
}

}  // namespace
