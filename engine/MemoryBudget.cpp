#include "engine/MemoryBudget.h"

#include <algorithm>

namespace {

thread_local MemoryBudgetScope* t_scope = nullptr;

}  // namespace

void MemoryBudget::Acquire(std::uint64_t bytes) {
    std::unique_lock<std::mutex> guard(lock_);
    const std::uint64_t ticket = nextTicket_++;
    changed_.wait(guard, [&] {
        const bool fits = held_ == 0 || (held_ <= capacity_ && bytes <= capacity_ - held_);
        return serving_ == ticket && fits;
    });
    ++serving_;
    held_ += bytes;
    peak_ = std::max(peak_, held_);
    // The next in line may fit beside this one.
    changed_.notify_all();
}

void MemoryBudget::Release(std::uint64_t bytes) {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        held_ -= std::min(bytes, held_);
    }
    changed_.notify_all();
}

std::uint64_t MemoryBudget::Peak() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return peak_;
}

std::uint64_t MemoryBudget::Waiting() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return nextTicket_ - serving_;
}

MemoryBudgetScope::MemoryBudgetScope(MemoryBudget* budget) : budget_(budget), outer_(t_scope) {
    t_scope = this;
}

MemoryBudgetScope::~MemoryBudgetScope() {
    if (held_ > 0)
        budget_->Release(held_);
    t_scope = outer_;
}

MemoryBudget* MemoryBudgetScope::Current() {
    return t_scope != nullptr ? t_scope->budget_ : nullptr;
}

void MemoryBudgetScope::Reserve(std::uint64_t bytes) {
    MemoryBudgetScope* scope = t_scope;
    if (scope == nullptr || scope->budget_ == nullptr || bytes <= scope->held_)
        return;
    if (scope->held_ > 0) {
        scope->budget_->Release(scope->held_);
        scope->held_ = 0;
    }
    scope->budget_->Acquire(bytes);
    scope->held_ = bytes;
}
