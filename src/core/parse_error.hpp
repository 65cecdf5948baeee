// ParseError: the one error type of the statement parser, and its messages.
//
// Every operation of the parser that can fail returns its result or one
// ParseError as a value (see result.hpp). The message text is what Python
// code sees in the ValueError raised by the MT940 constructor:
//
//   vardel::ParseError e = vardel::ParseError::invalid_date("240230", vardel::kDateFieldTag);
//   std::string text;
//   e.message(text);   // "Invalid date '240230' in tag (date field)"
#ifndef VARDEL_PARSE_ERROR_H_
#define VARDEL_PARSE_ERROR_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "core/result.hpp"

namespace vardel {

// The five variants, in the order of their declaration.
enum class ParseErrorKind : uint8_t {
  NoData = 0,           // the input yielded no statement at all
  MissingMandatoryTag,  // a statement was closed without a mandatory field
  InvalidDate,          // a YYMMDD text is not a calendar date
  InvalidAmount,        // an amount text is not a decimal in the accepted form
  InvalidFormat,        // a field does not have the layout its tag requires
};

// Fixed texts for the `tag` field.
inline constexpr std::string_view kDateFieldTag = "(date field)";
inline constexpr std::string_view kAmountFieldTag = "(amount field)";
inline constexpr std::string_view kBalanceTag = "balance";
inline constexpr std::string_view kStatementLineTag = ":61:";

// Fixed phrases for the `reason` field of InvalidFormat.
inline constexpr std::string_view kReasonNoMatch = "does not match expected format";
inline constexpr std::string_view kReasonTooShort = "too short";
inline constexpr std::string_view kReasonBadMark = "invalid D/C mark";

struct ParseError {
  ParseErrorKind kind = ParseErrorKind::NoData;
  std::string_view tag;  // a string literal: an MT940 tag or a fixed word; empty for NoData
  std::string value;     // owned copy: the rejected text, or the statement's
                         // :20: reference for MissingMandatoryTag
  std::string reason;    // owned copy of a fixed phrase; InvalidFormat only

  [[nodiscard]] static ParseError no_data();
  // tag is one of ":25:", ":28C:", ":60F:", ":62F:" (a literal).
  [[nodiscard]] static ParseError missing_mandatory_tag(std::string_view tag,
                                                        std::string_view transaction_reference);
  [[nodiscard]] static ParseError invalid_date(std::string_view value, std::string_view tag);
  [[nodiscard]] static ParseError invalid_amount(std::string_view value, std::string_view tag);
  [[nodiscard]] static ParseError invalid_format(std::string_view tag, std::string_view value,
                                                 std::string_view reason);

  // Appends the message (no trailing full stop or line feed) to `out`.
  void message(std::string& out) const;
  // The message as a new string.
  [[nodiscard]] std::string message() const;

  friend bool operator==(const ParseError&, const ParseError&) = default;
};

// A value of T, or the ParseError that stopped the operation.
template <class T>
using Result = Expected<T, ParseError>;

}  // namespace vardel

#endif  // VARDEL_PARSE_ERROR_H_
