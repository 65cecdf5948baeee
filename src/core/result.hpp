// Expected-style result type of the core: a value or the error that stopped
// the operation. Failures are values; nothing in the core throws.
//
//   vardel::Result<Date> date = vardel::parse_date("240101");
//   if (!date) { date.error().message(out); return; }
//   use(*date);
//
// std::expected would do, but clang 14 (the fuzzing toolchain) cannot compile
// libstdc++'s <expected>, so the core carries this small equivalent.
#ifndef VARDEL_RESULT_H_
#define VARDEL_RESULT_H_

#include <cassert>
#include <utility>
#include <variant>

namespace vardel {

// Tag to construct an Expected holding an error: Expected<T, E>(unexpect, e).
struct Unexpect {
  explicit constexpr Unexpect() = default;
};
inline constexpr Unexpect unexpect{};

template <class T, class E>
class [[nodiscard]] Expected {
 public:
  Expected(T value) : v_(std::in_place_index<0>, std::move(value)) {}  // NOLINT
  Expected(E error) : v_(std::in_place_index<1>, std::move(error)) {}  // NOLINT
  Expected(Unexpect, E error) : v_(std::in_place_index<1>, std::move(error)) {}

  bool has_value() const { return v_.index() == 0; }
  explicit operator bool() const { return has_value(); }

  // Precondition: has_value().
  T& value() & { assert(has_value()); return *std::get_if<0>(&v_); }
  const T& value() const& { assert(has_value()); return *std::get_if<0>(&v_); }
  T&& value() && { assert(has_value()); return std::move(*std::get_if<0>(&v_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T&& operator*() && { return std::move(*this).value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  // Precondition: !has_value().
  E& error() & { assert(!has_value()); return *std::get_if<1>(&v_); }
  const E& error() const& { assert(!has_value()); return *std::get_if<1>(&v_); }
  E&& error() && { assert(!has_value()); return std::move(*std::get_if<1>(&v_)); }

 private:
  std::variant<T, E> v_;
};

}  // namespace vardel

#endif  // VARDEL_RESULT_H_
