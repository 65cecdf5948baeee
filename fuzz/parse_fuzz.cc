// libFuzzer target for the whole parse: parse_statements with the resolver
// chain named by the first input byte, then all three exports of a result.
//
// Invariants checked beyond "no crash, no sanitizer report":
//  - a text without ":20:" fails with NoData; the chain never breaks;
//  - every statement has an account and a statement number, every record the
//    shape a statement line allows;
//  - for valid UTF-8 input, every text of the result, every error message and
//    every export text is valid UTF-8;
//  - the exports agree on the counts: JSON statement objects and camt.053 Stmt
//    elements = statements, CSV rows = JSON transaction objects = Ntry
//    elements = transactions;
//  - no CSV cell holds a line end outside quotes, and the camt.053 text holds
//    no character that XML 1.0 cannot hold and no raw carriage return (which
//    a reader would give back as a line feed);
//  - the UTF-8 census and decoder (which build large export strs) accept
//    exactly the texts the validator accepts, the input and every export
//    among them, and decode them to code points that encode back to the text;
//  - a text that parses has no balance field that the statement reads and
//    that spans a non-empty continuation line (walked line by line here,
//    apart from the reader);
//  - a byte-order mark put before every line that starts with ':' changes
//    nothing: the same statements, or the same error message.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include "core/decoders/decoder.hpp"
#include "core/export/camt053.hpp"
#include "core/export/csv.hpp"
#include "core/export/json.hpp"
#include "core/reader.hpp"
#include "core/utf8.hpp"
#include "fuzz/fuzz_util.hpp"

namespace {

using vardel::fuzz::check_utf8;
using vardel::fuzz::count_occurrences;

constexpr std::string_view kResolvers[] = {"auto", "swift", "gvc", "angular"};

// 0 for ASCII, 1 up to U+00FF, 2 up to U+FFFF, 3 beyond: the str kinds.
int width_class(char32_t c) { return c < 0x80 ? 0 : c < 0x100 ? 1 : c < 0x10000 ? 2 : 3; }

// The census and decoder that build large export strs: they succeed exactly
// when `valid` (the validator's verdict), decode to code points that encode
// back to `text`, and bound the widest in its own class.
void check_decode(std::string_view text, bool valid) {
  const vardel::Utf8Census census = vardel::take_utf8_census(text);
  // Exactly census.code_points units, so that a write past them is a heap
  // overflow the sanitizer reports.
  const auto out = std::make_unique<char32_t[]>(census.code_points);
  const bool decoded = vardel::decode_utf8(text, out.get(), census);
  FUZZ_CHECK(decoded == valid);
  if (!decoded) return;
  std::string again;
  char32_t widest = 0;
  for (size_t i = 0; i < census.code_points; ++i) {
    vardel::append_utf8(again, out[i]);
    widest = std::max(widest, out[i]);
  }
  FUZZ_CHECK(again == text);
  FUZZ_CHECK(width_class(widest) == width_class(census.max_char));
}

// Rows of a CSV text: line ends (a line feed or a carriage return, either of
// which ends a row for CSV readers) outside quoted cells, less the header line.
size_t count_csv_rows(std::string_view csv) {
  size_t lines = 0;
  bool quoted = false;
  for (char c : csv) {
    if (c == '"') {
      quoted = !quoted;
    } else if ((c == '\n' || c == '\r') && !quoted) {
      ++lines;
    }
  }
  FUZZ_CHECK(!quoted);
  FUZZ_CHECK(lines >= 1);
  return lines - 1;
}

// True when `xml` holds a control character other than tab, line feed and
// carriage return, or U+FFFE or U+FFFF.
bool has_char_xml_cannot_hold(std::string_view xml) {
  for (char c : xml) {
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') return true;
  }
  return xml.find("\xEF\xBF\xBE") != std::string_view::npos ||
         xml.find("\xEF\xBF\xBF") != std::string_view::npos;
}

constexpr std::string_view kMark = "\xEF\xBB\xBF";  // U+FEFF
constexpr std::string_view kMarkBeforeTag = "\xEF\xBB\xBF:";

// The lines of `text` as the reader sees them: split at LF, trailing CRs
// removed, and a mark right before a leading ':' dropped.
template <class F>
void for_each_line(std::string_view text, F&& f) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.starts_with(kMarkBeforeTag)) line.remove_prefix(kMark.size());
    f(line);
  }
}

// Whether the statement state machine reads a balance field (:60F:/:60M: in
// Header, :62F:/:62M: in Entries, :64:/:65: in Trailer) that goes on over a
// non-empty line.
bool reads_balance_over_lines(std::string_view text) {
  enum class State { kStart, kHeader, kEntries, kTrailer } state = State::kStart;
  bool in_balance = false;  // the open field is a balance that the state read
  bool found = false;
  for_each_line(text, [&](std::string_view line) {
    const size_t colon = line.starts_with(':') ? line.find(':', 1) : std::string_view::npos;
    if (colon == std::string_view::npos) {
      found = found || (in_balance && !line.empty());
      return;
    }
    const std::string_view tag = line.substr(0, colon + 1);
    in_balance = false;
    if (tag == ":20:") {
      state = State::kHeader;
    } else if (state == State::kHeader && (tag == ":60F:" || tag == ":60M:")) {
      state = State::kEntries;
      in_balance = true;
    } else if (state == State::kEntries && (tag == ":62F:" || tag == ":62M:")) {
      state = State::kTrailer;
      in_balance = true;
    } else if (state == State::kTrailer && (tag == ":64:" || tag == ":65:")) {
      in_balance = true;
    }
  });
  return found;
}

// `text` with a mark put before every line that starts with ':'.
std::string with_marks(std::string_view text) {
  std::string out;
  for (size_t pos = 0; pos < text.size();) {
    size_t end = text.find('\n', pos);
    end = end == std::string_view::npos ? text.size() : end + 1;
    if (text[pos] == ':') out += kMark;
    out += text.substr(pos, end - pos);
    pos = end;
  }
  return out;
}

// Whether two parses ended alike: equal statements, or errors of equal
// messages (a for_resolver chain never breaks).
bool same_outcome(const vardel::ParseOutcome& a, const vardel::ParseOutcome& b) {
  if (a.has_value() != b.has_value()) return false;
  if (a) return *a == *b;
  const auto* ea = std::get_if<vardel::ParseError>(&a.error());
  const auto* eb = std::get_if<vardel::ParseError>(&b.error());
  return ea != nullptr && eb != nullptr && ea->message() == eb->message();
}

void check_exports(const std::vector<vardel::Statement>& statements, bool utf8_input) {
  size_t transactions = 0;
  for (const auto& s : statements) transactions += s.transactions.size();

  const std::string json = vardel::export_json(statements);
  FUZZ_CHECK(json.size() >= 2 && json.front() == '[' && json.back() == ']');
  // Inside a JSON string every '"' is escaped, so these keys are only ever
  // found where the exporter wrote them.
  FUZZ_CHECK(count_occurrences(json, "\"transactions\": ") == statements.size());
  FUZZ_CHECK(count_occurrences(json, "\"isReversal\": ") == transactions);

  const std::string csv = vardel::export_csv(statements);
  FUZZ_CHECK(csv.starts_with(std::string("\xEF\xBB\xBF") + std::string(vardel::kCsvHeader)));
  FUZZ_CHECK(csv.back() == '\n');
  FUZZ_CHECK(count_csv_rows(csv) == transactions);

  const std::string xml = vardel::export_camt053(statements);
  FUZZ_CHECK(xml.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"));
  FUZZ_CHECK(!has_char_xml_cannot_hold(xml));
  FUZZ_CHECK(xml.find('\r') == std::string::npos);
  // Every '<' of a record text is escaped, so the element tags are exact.
  FUZZ_CHECK(count_occurrences(xml, "<Stmt>") == statements.size());
  FUZZ_CHECK(count_occurrences(xml, "<Ntry>") == transactions);
  FUZZ_CHECK(count_occurrences(xml, "</Ntry>") == transactions);

  if (utf8_input) {
    for (const std::string_view out : {std::string_view(json), std::string_view(csv),
                                       std::string_view(xml)}) {
      check_utf8(out);
      check_decode(out, true);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view resolver = kResolvers[data[0] % 4];
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const bool utf8_input = vardel::fuzz::is_valid_utf8(text);
  check_decode(text, utf8_input);

  const vardel::DecoderChain chain = vardel::DecoderChain::for_resolver(resolver);
  vardel::ParseOutcome outcome = vardel::parse_statements(text, chain);
  FUZZ_CHECK(same_outcome(outcome, vardel::parse_statements(with_marks(text), chain)));

  if (!outcome) {
    const auto* error = std::get_if<vardel::ParseError>(&outcome.error());
    FUZZ_CHECK(error != nullptr);  // a for_resolver chain never breaks
    if (text.find(":20:") == std::string_view::npos) {
      FUZZ_CHECK(error->kind == vardel::ParseErrorKind::NoData);
    }
    const std::string message = error->message();
    FUZZ_CHECK(!message.empty());
    if (utf8_input) check_utf8(message);
    return 0;
  }

  const std::vector<vardel::Statement>& statements = *outcome;
  FUZZ_CHECK(!statements.empty());
  FUZZ_CHECK(!reads_balance_over_lines(text));
  for (const auto& s : statements) {
    FUZZ_CHECK(!s.account_identification.empty());
    FUZZ_CHECK(!s.statement_number.empty());
    for (const auto& t : s.transactions) {
      vardel::fuzz::check_record_shape(t);
      FUZZ_CHECK(t.structured_details.has_value() || t.details.empty());
    }
    if (utf8_input) check_utf8(s);
  }
  check_exports(statements, utf8_input);
  return 0;
}
