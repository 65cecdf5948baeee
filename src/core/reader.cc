// The statement reader: the field cursor over an MT940 text and the state
// machine that turns its fields into Statement records.
#include "core/reader.hpp"

#include <cstring>
#include <iterator>
#include <utility>

#include "core/balance.hpp"
#include "core/statement_line.hpp"

namespace vardel {
namespace {

constexpr std::string_view kTagTransactionReference = ":20:";
constexpr std::string_view kTagRelatedReference = ":21:";
constexpr std::string_view kTagAccount = ":25:";
constexpr std::string_view kTagStatementNumber = ":28C:";
constexpr std::string_view kTagOpeningFinal = ":60F:";
constexpr std::string_view kTagOpeningIntermediate = ":60M:";
constexpr std::string_view kTagStatementLine = ":61:";
constexpr std::string_view kTagNarrative = ":86:";
constexpr std::string_view kTagClosingFinal = ":62F:";
constexpr std::string_view kTagClosingIntermediate = ":62M:";
constexpr std::string_view kTagClosingAvailable = ":64:";
constexpr std::string_view kTagForwardAvailable = ":65:";

}  // namespace

namespace internal {
namespace {

// U+FEFF in UTF-8, and the mark followed by the ':' that starts a tag.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kMarkBeforeTag = "\xEF\xBB\xBF:";

// Position of the second ':' of a line that starts with ':', or npos.
size_t tag_end(std::string_view line) {
  if (line.empty() || line[0] != ':') return std::string_view::npos;
  return line.find(':', 1);
}

}  // namespace

// The next line without its LF and trailing CRs, or false at the end. A
// text that ends with LF has no empty line after it. A byte-order mark right
// before a ':' at the start of the line is dropped: decoded as UTF-8, a
// file's mark stays in the text, and files joined with cat carry one before
// each later :20:. Inline: it is the per-line path of next().
inline bool FieldCursor::next_line(std::string_view& line) {
  if (pos_ >= text_.size()) return false;
  const char* begin = text_.data() + pos_;
  const size_t rest = text_.size() - pos_;
  const void* lf = std::memchr(begin, '\n', rest);
  size_t length = lf ? static_cast<size_t>(static_cast<const char*>(lf) - begin) : rest;
  pos_ += lf ? length + 1 : length;
  while (length > 0 && begin[length - 1] == '\r') --length;
  line = std::string_view(begin, length);
  // The first byte alone rules the mark out on nearly every line.
  if (length > 0 && begin[0] == kByteOrderMark[0] && line.starts_with(kMarkBeforeTag)) {
    line.remove_prefix(kByteOrderMark.size());
  }
  return true;
}

bool FieldCursor::next(RawField& field) {
  std::string_view line;
  if (has_opener_) {
    line = opener_;
    has_opener_ = false;
  } else {
    // Only before the first field: drop lines until one opens a field.
    do {
      if (!next_line(line)) return false;
    } while (tag_end(line) == std::string_view::npos);
  }
  const size_t second_colon = tag_end(line);
  field.tag = line.substr(0, second_colon + 1);
  const std::string_view first_value = line.substr(second_colon + 1);
  const bool keep_line_feeds = field.tag == kTagStatementLine;

  bool joined = false;
  field.continued = false;
  std::string_view continuation;
  while (next_line(continuation)) {
    if (tag_end(continuation) != std::string_view::npos) {
      opener_ = continuation;
      has_opener_ = true;
      break;
    }
    if (continuation.empty() && !keep_line_feeds) continue;  // adds nothing to the value
    if (!joined) {
      scratch_.assign(first_value);  // first_value lies in the text, not in scratch_
      joined = true;
    }
    if (keep_line_feeds) scratch_ += '\n';
    scratch_ += continuation;
    field.continued = field.continued || !continuation.empty();
  }
  field.value = joined ? std::string_view(scratch_) : first_value;
  return true;
}

}  // namespace internal

namespace {

ParseOutcome fail(ParseError error) { return ParseOutcome(unexpect, ParseFailure(std::move(error))); }

// A balance field the statement reads. Its value ends with its own line: a
// line after it (a bank's "940" header line, a page number, an end-of-message
// "-}") would otherwise become digits of the amount. The balance's own checks
// come first, so a value they reject keeps its error; one they accept fails
// on the amount, quoted as joined.
Result<Balance> read_balance(const internal::RawField& field, bool is_intermediate) {
  Result<Balance> balance = parse_balance(field.value, is_intermediate);
  if (balance && field.continued) {
    return ParseError::invalid_amount(field.value.substr(kBalanceAmountStart), kAmountFieldTag);
  }
  return balance;
}

Statement open_statement(std::string_view reference) {
  Statement statement;
  statement.transaction_reference = std::string(reference);
  return statement;
}

// :28C: is "number" or "number/sequence"; the sequence may hold further '/'.
void set_statement_number(Statement& statement, std::string_view value) {
  const size_t slash = value.find('/');
  if (slash == std::string_view::npos) {
    statement.statement_number = std::string(value);
    statement.sequence_number.reset();
  } else {
    statement.statement_number = std::string(value.substr(0, slash));
    statement.sequence_number = std::string(value.substr(slash + 1));
  }
}

}  // namespace

std::optional<ParseError> finish_statement(std::optional<Statement>& statement,
                                           ParserState state, std::vector<Statement>& result) {
  if (!statement) return std::nullopt;
  Statement finished = std::move(*statement);
  statement.reset();
  if (finished.account_identification.empty()) {
    return ParseError::missing_mandatory_tag(kTagAccount, finished.transaction_reference);
  }
  if (finished.statement_number.empty()) {
    return ParseError::missing_mandatory_tag(kTagStatementNumber, finished.transaction_reference);
  }
  // The opening balance is read when leaving Header, the closing one when
  // entering Trailer; a zero balance counts as read.
  if (state == ParserState::Start || state == ParserState::Header) {
    return ParseError::missing_mandatory_tag(kTagOpeningFinal, finished.transaction_reference);
  }
  if (state != ParserState::Trailer) {
    return ParseError::missing_mandatory_tag(kTagClosingFinal, finished.transaction_reference);
  }
  result.push_back(std::move(finished));
  return std::nullopt;
}

ParseOutcome parse_statements(std::string_view text, const DecoderChain& chain) {
  internal::FieldCursor cursor(text);
  internal::RawField field;

  ParserState state = ParserState::Start;
  std::optional<Statement> statement;
  // The transactions of the statement in Entries; the last of them is the
  // one a following :86: attaches to. Empty in every other state.
  std::vector<TransactionRecord> pending;
  std::vector<Statement> result;

  while (cursor.next(field)) {
    const std::string_view tag = field.tag;
    const std::string_view value = field.value;
    // A :20: opens a statement in every state. It ends the open one first,
    // whose checks then run: a statement that lacks its :60F: or :62F: fails
    // here rather than take in the next statement's fields.
    if (tag == kTagTransactionReference) {
      if (auto error = finish_statement(statement, state, result)) return fail(*std::move(error));
      statement = open_statement(value);
      state = ParserState::Header;
      continue;
    }
    switch (state) {
      case ParserState::Start:
        break;  // nothing but a :20: is read before the first statement

      case ParserState::Header:
        if (tag == kTagRelatedReference) {
          statement->related_reference = std::string(value);
        } else if (tag == kTagAccount) {
          statement->account_identification = std::string(value);
        } else if (tag == kTagStatementNumber) {
          set_statement_number(*statement, value);
        } else if (tag == kTagOpeningFinal || tag == kTagOpeningIntermediate) {
          Result<Balance> balance = read_balance(field, tag == kTagOpeningIntermediate);
          if (!balance) return fail(std::move(balance).error());
          statement->opening_balance = std::move(*balance);
          state = ParserState::Entries;
        }
        break;

      case ParserState::Entries:
        if (tag == kTagStatementLine) {
          Result<TransactionRecord> line = parse_statement_line(value);
          if (!line) return fail(std::move(line).error());
          pending.push_back(std::move(*line));
        } else if (tag == kTagNarrative) {
          // Decoded even with no transaction to take it; the map is then
          // dropped.
          std::optional<StructuredDetails> decoded = chain.decode(value);
          if (!decoded) {
            return ParseOutcome(unexpect, ParseFailure(InternalError{kBrokenChainMessage}));
          }
          if (!pending.empty()) {
            TransactionRecord& current = pending.back();
            current.details.assign(value);
            current.structured_details = std::move(*decoded);
          }
        } else if (tag == kTagClosingFinal || tag == kTagClosingIntermediate) {
          Result<Balance> balance = read_balance(field, tag == kTagClosingIntermediate);
          if (!balance) return fail(std::move(balance).error());
          statement->closing_balance = std::move(*balance);
          // An exact-size list for the statement; pending keeps its
          // capacity for the next statement.
          statement->transactions.assign(std::make_move_iterator(pending.begin()),
                                         std::make_move_iterator(pending.end()));
          pending.clear();
          state = ParserState::Trailer;
        }
        break;

      case ParserState::Trailer:
        if (tag == kTagClosingAvailable) {
          Result<Balance> balance = read_balance(field, false);
          if (!balance) return fail(std::move(balance).error());
          statement->closing_available_balance = std::move(*balance);
        } else if (tag == kTagForwardAvailable) {
          Result<Balance> balance = read_balance(field, false);
          if (!balance) return fail(std::move(balance).error());
          statement->forward_available_balance = std::move(*balance);
        } else if (tag == kTagNarrative) {
          statement->information_to_account_owner = std::string(value);
        }
        break;
    }
  }

  // Transactions of a statement that never reached its closing balance are
  // dropped with pending; finish_statement then rejects that statement.
  if (auto error = finish_statement(statement, state, result)) return fail(*std::move(error));
  if (result.empty()) return fail(ParseError::no_data());
  return ParseOutcome(std::move(result));
}

}  // namespace vardel
