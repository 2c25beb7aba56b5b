// Out parameters of COM calls: written, never read.
//
// The one rule of the library: a member checks its out pointers for null
// once, up front (E_POINTER, see AnyNull); the callee writes into locals of
// its own type that start at zero; the caller's variables are written once,
// after the call, and only when the call succeeded (WriteOnSuccess). A
// failing call leaves them exactly as the caller had them, and nothing ever
// reads what the caller's pointer points at.
#pragma once

#include <cstdint>

namespace lumora::com {

// True when any of the pointers is null.
template <class... Pointers>
constexpr bool AnyNull(const Pointers*... pointers) noexcept {
  return ((pointers == nullptr) || ...);
}

// One out parameter of type Target handed to a callee that writes a Local of
// the same width (a LONG through an int32_t, an int32_t through a DWORD).
template <class Target, class Local = int32_t>
class OutParam {
 public:
  static_assert(sizeof(Target) == sizeof(Local), "an out parameter keeps its width");
  explicit OutParam(Target* target) noexcept : target_(target) {}
  OutParam(const OutParam&) = delete;
  OutParam& operator=(const OutParam&) = delete;

  Local* get() noexcept { return &value_; }
  void Write() const noexcept { *target_ = static_cast<Target>(value_); }

 private:
  Target* target_;
  Local value_{};
};

// Writes every out parameter when `result` is a success code; answers
// `result` unchanged.
template <class Result, class... Outs>
Result WriteOnSuccess(Result result, const Outs&... outs) noexcept {
  if (result >= 0) (outs.Write(), ...);
  return result;
}

}  // namespace lumora::com
