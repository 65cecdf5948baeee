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
//    elements = transactions.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "core/decoders/decoder.hpp"
#include "core/export/camt053.hpp"
#include "core/export/csv.hpp"
#include "core/export/json.hpp"
#include "core/reader.hpp"
#include "fuzz/fuzz_util.hpp"

namespace {

using vardel::fuzz::check_utf8;
using vardel::fuzz::count_occurrences;

constexpr std::string_view kResolvers[] = {"auto", "swift", "gvc", "angular"};

// Rows of a CSV text: line feeds outside quoted cells, less the header line.
size_t count_csv_rows(std::string_view csv) {
  size_t lines = 0;
  bool quoted = false;
  for (char c : csv) {
    if (c == '"') {
      quoted = !quoted;
    } else if (c == '\n' && !quoted) {
      ++lines;
    }
  }
  FUZZ_CHECK(!quoted);
  FUZZ_CHECK(lines >= 1);
  return lines - 1;
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
  // Every '<' of a record text is escaped, so the element tags are exact.
  FUZZ_CHECK(count_occurrences(xml, "<Stmt>") == statements.size());
  FUZZ_CHECK(count_occurrences(xml, "<Ntry>") == transactions);
  FUZZ_CHECK(count_occurrences(xml, "</Ntry>") == transactions);

  if (utf8_input) {
    check_utf8(json);
    check_utf8(csv);
    check_utf8(xml);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view resolver = kResolvers[data[0] % 4];
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const bool utf8_input = vardel::fuzz::is_valid_utf8(text);

  const vardel::DecoderChain chain = vardel::DecoderChain::for_resolver(resolver);
  vardel::ParseOutcome outcome = vardel::parse_statements(text, chain);

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
