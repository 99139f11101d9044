#pragma once
#include <functional>
#include <utility>

// A hold on a callback that reaches back into its holder (a hook, a binding to this): the link
// undoes it once, when it is reset or goes, so the callback never outlives the one it calls.
class ScopedLink {
public:
    ScopedLink() = default;
    explicit ScopedLink(std::function<void()> undo) : undo_(std::move(undo)) {}
    ScopedLink(ScopedLink&& other) noexcept : undo_(std::exchange(other.undo_, {})) {}
    ScopedLink& operator=(ScopedLink&& other) noexcept {
        if (this != &other) {
            reset();
            undo_ = std::exchange(other.undo_, {});
        }
        return *this;
    }
    ScopedLink(const ScopedLink&) = delete;
    ScopedLink& operator=(const ScopedLink&) = delete;
    ~ScopedLink() { reset(); }

    void reset() {
        if (std::function<void()> undo = std::exchange(undo_, {})) undo();
    }

private:
    std::function<void()> undo_;
};
