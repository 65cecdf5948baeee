// Helpers shared by the libFuzzer targets: a strict UTF-8 validator, checks
// that every text of a parse result is valid UTF-8, and the abort macro that
// turns a broken invariant into a libFuzzer finding.
#ifndef VARDEL_FUZZ_FUZZ_UTIL_H_
#define VARDEL_FUZZ_FUZZ_UTIL_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/records.hpp"
#include "core/structured_details.hpp"

// Reports the failed invariant with its location and aborts, which libFuzzer
// records as a crash together with the input that caused it. Unlike assert it
// stays active in every build type.
#define FUZZ_CHECK(cond)                                                         \
  do {                                                                           \
    if (!(cond)) {                                                               \
      std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, \
                   #cond);                                                       \
      std::abort();                                                              \
    }                                                                            \
  } while (0)

namespace vardel::fuzz {

// True when `text` is well-formed UTF-8 (RFC 3629): no stray continuation
// bytes, no overlong forms, no surrogates, nothing above U+10FFFF, no
// sequence cut off at the end.
[[nodiscard]] inline bool is_valid_utf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const unsigned char b = p[i];
    if (b < 0x80) {
      ++i;
      continue;
    }
    size_t len = 0;
    unsigned char lo = 0x80;  // allowed range of the second byte
    unsigned char hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
      len = 2;
    } else if (b == 0xE0) {
      len = 3, lo = 0xA0;
    } else if (b >= 0xE1 && b <= 0xEC) {
      len = 3;
    } else if (b == 0xED) {
      len = 3, hi = 0x9F;  // no surrogates
    } else if (b >= 0xEE && b <= 0xEF) {
      len = 3;
    } else if (b == 0xF0) {
      len = 4, lo = 0x90;
    } else if (b >= 0xF1 && b <= 0xF3) {
      len = 4;
    } else if (b == 0xF4) {
      len = 4, hi = 0x8F;
    } else {
      return false;
    }
    if (n - i < len) return false;
    if (p[i + 1] < lo || p[i + 1] > hi) return false;
    for (size_t k = 2; k < len; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
    }
    i += len;
  }
  return true;
}

// True when `text` holds only bytes below 0x80.
[[nodiscard]] inline bool is_ascii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

inline void check_utf8(std::string_view text) { FUZZ_CHECK(is_valid_utf8(text)); }

inline void check_utf8_optional(const std::optional<std::string>& text) {
  if (text) check_utf8(*text);
}

inline void check_utf8(const StructuredDetails& details) {
  std::optional<std::string_view> previous_code;
  for (const StructuredDetails::Entry entry : details) {
    check_utf8(entry.code);
    check_utf8(entry.value);
    // The map keeps its codes distinct and in ascending byte order.
    if (previous_code) FUZZ_CHECK(*previous_code < entry.code);
    previous_code = entry.code;
  }
}

inline void check_utf8(const Balance& balance) { check_utf8(balance.currency); }

inline void check_utf8(const TransactionRecord& t) {
  check_utf8_optional(t.funds_code);
  check_utf8(t.transaction_type);
  check_utf8(t.customer_reference);
  check_utf8_optional(t.bank_reference);
  check_utf8_optional(t.extra_details);
  check_utf8(t.details);
  if (t.structured_details) check_utf8(*t.structured_details);
}

inline void check_utf8(const Statement& s) {
  check_utf8(s.transaction_reference);
  check_utf8_optional(s.related_reference);
  check_utf8(s.account_identification);
  check_utf8(s.statement_number);
  check_utf8_optional(s.sequence_number);
  check_utf8(s.opening_balance);
  check_utf8(s.closing_balance);
  if (s.closing_available_balance) check_utf8(*s.closing_available_balance);
  if (s.forward_available_balance) check_utf8(*s.forward_available_balance);
  for (const auto& t : s.transactions) check_utf8(t);
  check_utf8_optional(s.information_to_account_owner);
}

// Cheap shape invariants of a decoded transaction record.
inline void check_record_shape(const TransactionRecord& t) {
  FUZZ_CHECK(!t.amount.negative);
  FUZZ_CHECK(t.amount.scale == 2);
  FUZZ_CHECK(t.amount.magnitude < static_cast<Decimal::Magnitude>(100000000000000000ULL));
  FUZZ_CHECK(t.transaction_type.size() == 4);
  FUZZ_CHECK(t.transaction_type[0] == 'N' || t.transaction_type[0] == 'F');
  if (t.funds_code) {
    FUZZ_CHECK(t.funds_code->size() == 1);
    FUZZ_CHECK((*t.funds_code)[0] >= 'A' && (*t.funds_code)[0] <= 'Z');
  }
  if (t.extra_details) FUZZ_CHECK(!t.extra_details->empty());
  if (t.bank_reference) {
    FUZZ_CHECK(t.bank_reference->find('\n') == std::string::npos);
    FUZZ_CHECK(t.bank_reference->find('\r') == std::string::npos);
  }
  FUZZ_CHECK(t.customer_reference.find('/') == std::string::npos);
}

// Number of non-overlapping occurrences of `needle` in `haystack`.
[[nodiscard]] inline size_t count_occurrences(std::string_view haystack,
                                              std::string_view needle) {
  size_t count = 0;
  for (size_t pos = haystack.find(needle); pos != std::string_view::npos;
       pos = haystack.find(needle, pos + needle.size())) {
    ++count;
  }
  return count;
}

}  // namespace vardel::fuzz

#endif  // VARDEL_FUZZ_FUZZ_UTIL_H_
