#pragma once

// Memory shared by the workers of one batch. Each image's work asks for its
// estimate (the one the JPEG limits make right after reading a header)
// before it takes the memory; while the others hold too much it waits, in
// the order the requests came, so a large photo is not passed over for ever.

#include <condition_variable>
#include <cstdint>
#include <mutex>

class MemoryBudget {
  public:
    explicit MemoryBudget(std::uint64_t capacity) : capacity_(capacity) {}
    MemoryBudget(const MemoryBudget&) = delete;
    MemoryBudget& operator=(const MemoryBudget&) = delete;

    std::uint64_t Capacity() const { return capacity_; }
    // Waits until `bytes` fit beside what is held. A request larger than the
    // whole budget waits until nothing else is held.
    void Acquire(std::uint64_t bytes);
    void Release(std::uint64_t bytes);
    // The most held at once so far.
    std::uint64_t Peak() const;
    // Requests waiting now.
    std::uint64_t Waiting() const;

  private:
    const std::uint64_t capacity_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::uint64_t held_ = 0;
    std::uint64_t peak_ = 0;
    std::uint64_t nextTicket_ = 0;
    std::uint64_t serving_ = 0;
};

// Puts the calling thread's work under `budget` until the scope ends: the
// JPEG limits reserve their estimate in it, and the end gives it back.
class MemoryBudgetScope {
  public:
    explicit MemoryBudgetScope(MemoryBudget* budget);
    ~MemoryBudgetScope();
    MemoryBudgetScope(const MemoryBudgetScope&) = delete;
    MemoryBudgetScope& operator=(const MemoryBudgetScope&) = delete;

    // The budget of the calling thread's scope, or none.
    static MemoryBudget* Current();
    // Holds at least `bytes` for the rest of the scope, waiting for them when
    // needed. A thread that must hold more gives back what it holds first, so
    // no two waiting workers can each keep what the other needs.
    static void Reserve(std::uint64_t bytes);

  private:
    MemoryBudget* budget_;
    std::uint64_t held_ = 0;
    MemoryBudgetScope* outer_;
};
