#pragma once

// The progress window of a long operation as the operation sees it: made
// with the number of steps, told after each step how many are done, closed
// by destroying it. The operation cannot be cancelled from it.

#include <functional>
#include <memory>

class QWidget;

class ProgressSink {
  public:
    virtual ~ProgressSink() = default;
    // Returns 1: go on.
    virtual int Step(int done) = 0;
};

// Opens a progress window over `parent` for `total` steps.
using ProgressFactory = std::function<std::unique_ptr<ProgressSink>(QWidget* parent, int total)>;

// A factory for any window class built as Window(parent, total) with an
// int Step(int done).
template <class Window>
ProgressFactory ProgressWindowFactory() {
    struct Adapter : ProgressSink {
        Adapter(QWidget* parent, int total) : window(std::make_unique<Window>(parent, total)) {}
        int Step(int done) override { return window->Step(done); }
        std::unique_ptr<Window> window;
    };
    return [](QWidget* parent, int total) -> std::unique_ptr<ProgressSink> {
        return std::make_unique<Adapter>(parent, total);
    };
}
