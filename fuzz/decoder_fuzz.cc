// libFuzzer target for the four :86: narrative decoders and the "auto" chain,
// chosen by the first input byte, with the look-ups over every decoded map.
//
// Invariants checked beyond "no crash, no sanitizer report":
//  - unstructured accepts everything as the one key "detail";
//  - swift-structured accepts exactly the texts holding one of its markers;
//    its keys are 3 or 4 capital letters, its values trimmed and slash-free;
//  - german-gvc accepts exactly the texts with a '?' followed by two ASCII
//    digits; its keys are "gvc", two digits or "REMI_COMBINED";
//  - angular accepts as its character walk says; keys "tx_code" or two digits;
//  - the "auto" chain gives the map of the first decoder that accepts;
//  - for valid UTF-8 input every key, value and look-up result is valid UTF-8,
//    and every map keeps its codes distinct and sorted.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/decoders/angular.hpp"
#include "core/decoders/decoder.hpp"
#include "core/decoders/german_gvc.hpp"
#include "core/decoders/lookups.hpp"
#include "core/decoders/swift_structured.hpp"
#include "core/decoders/unstructured.hpp"
#include "core/text.hpp"
#include "fuzz/fuzz_util.hpp"

namespace {

using vardel::StructuredDetails;
using vardel::fuzz::check_utf8;

using vardel::is_ascii_digit;

bool is_two_digit_code(std::string_view code) {
  return code.size() == 2 && is_ascii_digit(code[0]) && is_ascii_digit(code[1]);
}

bool is_trimmed(std::string_view value) { return vardel::trim_white_space(value) == value; }

// Length of the UTF-8 character that starts with byte `b` (1 for a stray byte).
size_t char_length(unsigned char b) {
  if (b >= 0xF0) return 4;
  if (b >= 0xE0) return 3;
  if (b >= 0xC0) return 2;
  return 1;
}

bool swift_applies(std::string_view text) {
  for (std::string_view marker : {"/EREF/", "/NAME/", "/REMI/", "/BIC/", "/IBAN/"}) {
    if (text.find(marker) != std::string_view::npos) return true;
  }
  return false;
}

bool gvc_applies(std::string_view text) {
  for (size_t i = 0; i + 2 < text.size(); ++i) {
    if (text[i] == '?' && is_ascii_digit(text[i + 1]) && is_ascii_digit(text[i + 2])) {
      return true;
    }
  }
  return false;
}

// The separator choice and the character walk of the angular decoder, for a
// valid UTF-8 text.
bool angular_applies(std::string_view text) {
  size_t lt = 0;
  size_t caret = 0;
  for (char c : text) {
    lt += c == '<';
    caret += c == '^';
  }
  char separator = 0;
  if (lt > 0 && lt >= caret) {
    separator = '<';
  } else if (caret > 0) {
    separator = '^';
  } else {
    return false;
  }
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] != separator) {
      i += char_length(static_cast<unsigned char>(text[i]));
      continue;
    }
    ++i;
    // Take the next two characters (fewer at the end of the text).
    size_t taken_chars = 0;
    size_t start = i;
    while (taken_chars < 2 && i < text.size()) {
      i += char_length(static_cast<unsigned char>(text[i]));
      ++taken_chars;
    }
    if (taken_chars == 2 && i - start == 2 && is_ascii_digit(text[start]) &&
        is_ascii_digit(text[start + 1])) {
      return true;
    }
  }
  return false;
}

void check_lookups(const StructuredDetails& details, bool utf8_input) {
  const std::string counterparty = vardel::counterparty_from_details(details);
  const std::string iban = vardel::counter_iban_from_details(details);
  const std::string purpose = vardel::purpose_from_details(details);
  for (int32_t code : {-1, 0, 5, 20, 29, 32, 99, 100}) {
    if (auto v = vardel::detail_by_code(details, code)) {
      if (utf8_input) check_utf8(*v);
    }
  }
  // The purpose walks the sorted map once; it must give what looking up
  // 20, 21, ... 29 one by one gives, else REMI, EREF or the free text.
  std::string joined;
  bool found = false;
  for (int32_t code = 20; code <= 29; ++code) {
    if (auto v = vardel::detail_by_code(details, code)) {
      if (found) joined.push_back(' ');
      joined.append(*v);
      found = true;
    }
  }
  for (std::string_view key : {"REMI", "EREF", "detail"}) {
    if (found) break;
    if (auto v = details.find(key)) {
      joined.assign(*v);
      found = true;
    }
  }
  FUZZ_CHECK(purpose == joined);
  if (utf8_input) {
    check_utf8(counterparty);
    check_utf8(iban);
    check_utf8(purpose);
  }
}

void check_swift(std::string_view text, const std::optional<StructuredDetails>& m) {
  FUZZ_CHECK(m.has_value() == swift_applies(text));
  if (!m) return;
  FUZZ_CHECK(!m->empty());
  for (const auto& e : *m) {
    FUZZ_CHECK(e.code.size() == 3 || e.code.size() == 4);
    for (char c : e.code) FUZZ_CHECK(c >= 'A' && c <= 'Z');
    FUZZ_CHECK(e.value.find('/') == std::string::npos);
    FUZZ_CHECK(is_trimmed(e.value));
  }
}

void check_gvc(std::string_view text, const std::optional<StructuredDetails>& m) {
  FUZZ_CHECK(m.has_value() == gvc_applies(text));
  if (!m) return;
  FUZZ_CHECK(!m->empty());
  bool any_remittance = false;
  for (const auto& e : *m) {
    if (e.code == "gvc") {
      FUZZ_CHECK(!e.value.empty());
      for (char c : e.value) FUZZ_CHECK(is_ascii_digit(c));
      FUZZ_CHECK(text.starts_with(e.value));
    } else if (e.code == "REMI_COMBINED") {
      // Checked against the remittance codes below.
    } else {
      FUZZ_CHECK(is_two_digit_code(e.code));
      FUZZ_CHECK(e.value.find('?') == std::string::npos);
      FUZZ_CHECK(is_trimmed(e.value));
      if (e.code[0] == '2') any_remittance = true;
    }
  }
  FUZZ_CHECK(m->find("REMI_COMBINED").has_value() == any_remittance);
}

void check_angular(std::string_view text, bool utf8_input,
                   const std::optional<StructuredDetails>& m) {
  if (text.find('<') == std::string_view::npos && text.find('^') == std::string_view::npos) {
    FUZZ_CHECK(!m.has_value());
  }
  if (utf8_input) FUZZ_CHECK(m.has_value() == angular_applies(text));
  if (!m) return;
  bool any_code = false;
  for (const auto& e : *m) {
    if (e.code == "tx_code") {
      FUZZ_CHECK(!e.value.empty());
      FUZZ_CHECK(is_trimmed(e.value));
    } else {
      FUZZ_CHECK(is_two_digit_code(e.code));
      FUZZ_CHECK(is_trimmed(e.value));
      any_code = true;
    }
  }
  FUZZ_CHECK(any_code);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t selector = data[0] % 5;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const bool utf8_input = vardel::fuzz::is_valid_utf8(text);

  std::optional<StructuredDetails> m;
  switch (selector) {
    case 0: {
      m = vardel::UnstructuredDecoder().decode(text);
      FUZZ_CHECK(m.has_value() && m->size() == 1);
      std::optional<std::string_view> detail = m->find("detail");
      FUZZ_CHECK(detail && *detail == text);
      break;
    }
    case 1:
      m = vardel::SwiftStructuredDecoder().decode(text);
      check_swift(text, m);
      break;
    case 2:
      m = vardel::GermanGvcDecoder().decode(text);
      check_gvc(text, m);
      break;
    case 3:
      m = vardel::AngularDecoder().decode(text);
      check_angular(text, utf8_input, m);
      break;
    default: {
      const vardel::DecoderChain chain = vardel::DecoderChain::for_resolver("auto");
      m = chain.decode(text);
      FUZZ_CHECK(m.has_value());
      std::optional<StructuredDetails> want = vardel::SwiftStructuredDecoder().decode(text);
      if (!want) want = vardel::GermanGvcDecoder().decode(text);
      if (!want) want = vardel::AngularDecoder().decode(text);
      if (!want) want = vardel::UnstructuredDecoder().decode(text);
      FUZZ_CHECK(want.has_value() && *m == *want);
      break;
    }
  }
  if (m) {
    if (utf8_input) check_utf8(*m);
    check_lookups(*m, utf8_input);
  }
  return 0;
}
