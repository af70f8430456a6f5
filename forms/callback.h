// What the forms call back: a handler, a rule that places a window, a measure of text. Each
// is a small callable that only points at what it works on (a lambda that captures `this`,
// or a few references and numbers), held inline and called through one function pointer.
// std::function would bring each one a manager of its own and the library's throwing paths:
// code a CD drive reads before the window shows.
#pragma once

#include <new>
#include <type_traits>

namespace forms {

template <typename Signature>
class Callback;

template <typename Result, typename... Args>
class Callback<Result(Args...)> {
  public:
    Callback() = default;
    template <typename Callable>
    requires(!std::is_same_v<std::decay_t<Callable>, Callback> &&
             std::is_invocable_r_v<Result, const Callable&, Args...>) Callback(Callable callable)
        : call_(&Call<Callable>) {  // NOLINT: as a lambda converts
        static_assert(sizeof(Callable) <= sizeof(storage_) && alignof(Callable) <= alignof(void*) &&
                          std::is_trivially_copyable_v<Callable>,
                      "a callback holds a few pointers and numbers, copied as bytes");
        ::new (static_cast<void*>(storage_)) Callable(callable);
    }

    explicit operator bool() const { return call_ != nullptr; }
    Result operator()(Args... args) const { return call_(storage_, args...); }

  private:
    template <typename Callable>
    static Result Call(const unsigned char* storage, Args... args) {
        return (*std::launder(reinterpret_cast<const Callable*>(storage)))(args...);
    }

    alignas(void*) unsigned char storage_[4 * sizeof(void*)]{};
    Result (*call_)(const unsigned char*, Args...) = nullptr;
};

}  // namespace forms
