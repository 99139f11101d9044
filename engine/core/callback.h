#pragma once
#include <new>
#include <type_traits>
#include <utility>

// A delegate bound to a free function or to one object and one of its member functions.
// The holder owns its target and clones it on copy, so copies are independent. Invoking an
// empty or invalid holder does nothing (a non-void result is then value-initialised).
template <typename R, typename... Args>
class Callback {
public:
    struct CallbackDataBase {
        virtual R invoke(Args... args) = 0;
        virtual bool is_valid() const = 0;
        virtual CallbackDataBase* clone() const = 0;
        virtual ~CallbackDataBase() = default;
    };

    template <typename T>
    struct CallbackData : CallbackDataBase {
        T* object;
        R (T::*method)(Args...);
        CallbackData(T* o, R (T::*m)(Args...)) : object(o), method(m) {}
        R invoke(Args... args) override { return (object->*method)(std::forward<Args>(args)...); }
        bool is_valid() const override { return object != nullptr && method != nullptr; }
        CallbackDataBase* clone() const override { return new (std::nothrow) CallbackData(*this); }
    };

    struct FreeFunctionData : CallbackDataBase {
        R (*function)(Args...);
        explicit FreeFunctionData(R (*f)(Args...)) : function(f) {}
        R invoke(Args... args) override { return function(std::forward<Args>(args)...); }
        bool is_valid() const override { return function != nullptr; }
        CallbackDataBase* clone() const override { return new (std::nothrow) FreeFunctionData(*this); }
    };

    Callback() = default;
    Callback(R (*function)(Args...)) : target_(new (std::nothrow) FreeFunctionData(function)) {}
    template <typename T>
    Callback(T* object, R (T::*method)(Args...))
        : target_(new (std::nothrow) CallbackData<T>(object, method)) {}

    Callback(const Callback& other) : target_(other.target_ ? other.target_->clone() : nullptr) {}
    Callback(Callback&& other) noexcept : target_(other.target_) { other.target_ = nullptr; }
    Callback& operator=(const Callback& other) {
        if (this != &other) {
            delete target_;
            target_ = other.target_ ? other.target_->clone() : nullptr;
        }
        return *this;
    }
    Callback& operator=(Callback&& other) noexcept {
        if (this != &other) {
            delete target_;
            target_ = other.target_;
            other.target_ = nullptr;
        }
        return *this;
    }
    ~Callback() { delete target_; }

    bool is_valid() const { return target_ && target_->is_valid(); }

    R operator()(Args... args) const {
        if (!is_valid()) {
            if constexpr (std::is_void_v<R>) return;
            else return R{};
        }
        return target_->invoke(std::forward<Args>(args)...);
    }

private:
    CallbackDataBase* target_ = nullptr;
};
