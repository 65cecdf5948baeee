// parse_statements: the entry of the statement parser. Cuts an MT940 text
// into tagged fields, walks them through the statement state machine and
// returns the statements, or the one error that stopped it.
//
//   vardel::DecoderChain chain = vardel::DecoderChain::for_resolver("auto");
//   vardel::ParseOutcome out = vardel::parse_statements(text, chain);
//   if (!out) { /* out.error(): a ParseError or an InternalError */ }
//
// The text is read in place and never copied whole; the result owns all its
// data and refers to neither the text nor the chain.
#ifndef VARDEL_READER_H_
#define VARDEL_READER_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/decoders/decoder.hpp"
#include "core/parse_error.hpp"
#include "core/records.hpp"
#include "core/result.hpp"

namespace vardel {

// A broken internal invariant (a chain in which every decoder declined).
// Not bad input, so not a ParseError: the Python layer raises it as its
// panic exception.
struct InternalError {
  std::string_view message;  // a string literal, kBrokenChainMessage
};

// Why a parse stopped.
using ParseFailure = std::variant<ParseError, InternalError>;
using ParseOutcome = Expected<std::vector<Statement>, ParseFailure>;

// The states of the statement state machine.
enum class ParserState : uint8_t {
  Start = 0,    // before the first :20:
  Header = 1,   // after a :20:, before the opening balance
  Entries = 2,  // after the opening balance, before the closing balance
  Trailer = 3,  // after the closing balance
};

namespace internal {

// One tagged field of the input. Both views stay valid only until the next
// call of FieldCursor::next: `tag` points into the text, `value` into the
// text when the field is one line, else into the cursor's scratch buffer.
struct RawField {
  std::string_view tag;    // from the first ':' up to and including the second
  std::string_view value;  // rest of the first line plus the continuation lines
  bool continued = false;  // whether a non-empty continuation line was joined
};

// The first pass of parse_statements: walks the text once, line by line,
// and yields its fields in order. Lines end at LF; every CR at the end of a
// line is dropped, so LF, CR LF and CR CR LF read alike. A byte-order mark
// (U+FEFF) that starts a line right before a ':' is dropped too, so the mark
// of a UTF-8 file, or of each file joined to another with cat, hides no tag.
// A line opens a field when it starts with ':' and holds a second ':'; any
// other line continues the open field (":61:" keeps a line feed before each
// further line, every other tag glues them, and an empty line adds nothing
// to them). Lines before the first field are dropped.
//
// The text must outlive the cursor. Continuation lines are joined into one
// reused buffer, so a field costs no allocation unless it spans lines and
// outgrows every joined field before it.
class FieldCursor {
 public:
  explicit FieldCursor(std::string_view text) : text_(text) {}

  FieldCursor(const FieldCursor&) = delete;  // yielded views point into scratch_
  FieldCursor& operator=(const FieldCursor&) = delete;

  // Fills `field` with the next field and returns true, or returns false
  // when the text holds no more.
  bool next(RawField& field);

 private:
  bool next_line(std::string_view& line);

  std::string_view text_;    // the whole input, not owned
  size_t pos_ = 0;           // start of the next unread line
  std::string_view opener_;  // a line read ahead that opens the next field
  bool has_opener_ = false;  // whether opener_ is waiting to be yielded
  std::string scratch_;      // the joined value of a multi-line field
};

}  // namespace internal

// text: UTF-8, any length. Result: the statements (never empty) in text
// order, or NoData, MissingMandatoryTag, or the first error of a field
// reader; or InternalError when the chain breaks its invariant.
[[nodiscard]] ParseOutcome parse_statements(std::string_view text, const DecoderChain& chain);

// Checks a finished statement (":25:", ":28C:", ":60F:", ":62F:" in that
// order) and moves it to `result`. `state` is the state the statement ends
// in: it tells whether both balances were read. Does nothing when
// `statement` is empty.
[[nodiscard]] std::optional<ParseError> finish_statement(std::optional<Statement>& statement,
                                                         ParserState state,
                                                         std::vector<Statement>& result);

}  // namespace vardel

#endif  // VARDEL_READER_H_
