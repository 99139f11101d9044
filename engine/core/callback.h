#pragma once
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

// A delegate bound to a free function or to one object and one of its member functions.
// The holder keeps its target in itself, so copies are independent and making one allocates
// nothing (field lists build delegates on every pass). Invoking an empty or invalid holder does
// nothing (a non-void result is then value-initialised).
template <typename R, typename... Args>
class Callback {
public:
    Callback() = default;
    Callback(R (*function)(Args...)) {
        if (!function) return;
        std::memcpy(target_, &function, sizeof function);
        invoke_ = [](const Target& t, Args... args) -> R {
            R (*f)(Args...);
            std::memcpy(&f, t, sizeof f);
            return f(std::forward<Args>(args)...);
        };
    }
    template <typename T>
    Callback(T* object, R (T::*method)(Args...)) {
        static_assert(sizeof(Bound<T>) <= sizeof(Target) && alignof(Bound<T>) <= alignof(void*));
        if (!object || !method) return;
        new (target_) Bound<T>{object, method};
        invoke_ = [](const Target& t, Args... args) -> R {
            const Bound<T>& b = *std::launder(reinterpret_cast<const Bound<T>*>(t));
            return (b.object->*b.method)(std::forward<Args>(args)...);
        };
    }

    Callback(const Callback&) = default;
    Callback& operator=(const Callback&) = default;
    // A moved-from holder is left empty.
    Callback(Callback&& other) noexcept : Callback(other) { other.invoke_ = nullptr; }
    Callback& operator=(Callback&& other) noexcept {
        if (this != &other) {
            *this = other;
            other.invoke_ = nullptr;
        }
        return *this;
    }

    bool is_valid() const { return invoke_ != nullptr; }

    R operator()(Args... args) const {
        if (!invoke_) {
            if constexpr (std::is_void_v<R>) return;
            else return R{};
        }
        return invoke_(target_, std::forward<Args>(args)...);
    }

private:
    template <typename T>
    struct Bound {
        T* object;
        R (T::*method)(Args...);
    };
    // The object pointer and the member function pointer (or the function pointer), as bytes.
    using Target = unsigned char[sizeof(void*) + 2 * sizeof(void*)];
    alignas(void*) Target target_ = {};
    // Null for an empty or invalid holder.
    R (*invoke_)(const Target&, Args...) = nullptr;
};
