// Constructors and message templates of ParseError.
#include "core/parse_error.hpp"

namespace vardel {

ParseError ParseError::no_data() { return ParseError{}; }

ParseError ParseError::missing_mandatory_tag(std::string_view tag,
                                             std::string_view transaction_reference) {
  return ParseError{ParseErrorKind::MissingMandatoryTag, tag, std::string(transaction_reference),
                    {}};
}

ParseError ParseError::invalid_date(std::string_view value, std::string_view tag) {
  return ParseError{ParseErrorKind::InvalidDate, tag, std::string(value), {}};
}

ParseError ParseError::invalid_amount(std::string_view value, std::string_view tag) {
  return ParseError{ParseErrorKind::InvalidAmount, tag, std::string(value), {}};
}

ParseError ParseError::invalid_format(std::string_view tag, std::string_view value,
                                      std::string_view reason) {
  return ParseError{ParseErrorKind::InvalidFormat, tag, std::string(value), std::string(reason)};
}

void ParseError::message(std::string& out) const {
  switch (kind) {
    case ParseErrorKind::NoData:
      out += "Input contains no MT940 data";
      return;
    case ParseErrorKind::MissingMandatoryTag:
      out += "Missing mandatory tag ";
      out += tag;
      out += " (";
      out += value;
      out += ')';
      return;
    case ParseErrorKind::InvalidDate:
      out += "Invalid date '";
      out += value;
      out += "' in tag ";
      out += tag;
      return;
    case ParseErrorKind::InvalidAmount:
      out += "Invalid amount '";
      out += value;
      out += "' in tag ";
      out += tag;
      return;
    case ParseErrorKind::InvalidFormat:
      out += "Invalid format in tag ";
      out += tag;
      out += ": '";
      out += value;
      out += "': ";
      out += reason;
      return;
  }
}

std::string ParseError::message() const {
  std::string out;
  message(out);
  return out;
}

}  // namespace vardel
