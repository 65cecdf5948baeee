// camt.053.001.06 export: the document written line by line into one growing text.
#include "core/export/camt053.hpp"

#include <array>
#include <charconv>
#include <cstddef>

#include "core/date.hpp"
#include "core/decimal.hpp"
#include "core/decoders/lookups.hpp"
#include "core/huge_pages.hpp"

namespace vardel {
namespace {

constexpr std::string_view kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:camt.053.001.06\">\n"
    "  <BkToCstmrStmt>\n"
    "    <GrpHdr>\n"
    "      <MsgId>MT940-EXPORT</MsgId>\n"
    "      <CreDtTm>2026-01-01T00:00:00Z</CreDtTm>\n"
    "    </GrpHdr>\n";

constexpr std::string_view kClosing =
    "  </BkToCstmrStmt>\n"
    "</Document>\n";

// Escaped form of a markup character, or the character reference of a white
// space that an XML reader would not give back as it stands.
constexpr std::string_view xml_reference(char c) {
  switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    case '\'': return "&apos;";
    case '\t': return "&#9;";
    case '\n': return "&#10;";
    case '\r': return "&#13;";
    default: return {};
  }
}

// U+FFFD, written in place of each character that XML 1.0 cannot hold, not
// even as a character reference: a single one would make every reader refuse
// the whole document.
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// What a byte of a text needs in XML.
enum class XmlByte : unsigned char {
  kKeep,
  kReference,   // written as xml_reference gives it
  kNotXmlChar,  // a control character other than tab, line feed, carriage return
  kEF,          // the first byte of EF BF BE (U+FFFE) and EF BF BF (U+FFFF)
};

using XmlByteTable = std::array<XmlByte, 256>;

// A reader turns every carriage return (and CR LF) of element text into a line
// feed, and every tab, line feed and carriage return of an attribute value into
// a space: those are written as character references, which it gives back.
constexpr XmlByteTable make_xml_byte_table(bool attribute) {
  XmlByteTable table{};
  for (int c = 0; c < 0x20; ++c) {
    if (c != '\t' && c != '\n' && c != '\r') table[c] = XmlByte::kNotXmlChar;
  }
  for (unsigned char c : std::string_view("&<>\"'\r")) table[c] = XmlByte::kReference;
  if (attribute) table['\t'] = table['\n'] = XmlByte::kReference;
  table[0xEF] = XmlByte::kEF;
  return table;
}

constexpr XmlByteTable kXmlTextBytes = make_xml_byte_table(false);
constexpr XmlByteTable kXmlAttributeBytes = make_xml_byte_table(true);

// True when `text` holds U+FFFE or U+FFFF at byte `i`, an EF byte.
bool is_non_character_at(std::string_view text, size_t i) {
  return i + 2 < text.size() && text[i + 1] == '\xBF' &&
         (text[i + 2] == '\xBE' || text[i + 2] == '\xBF');
}

// Appends `text` escaped by the table `bytes`.
void append_escaped(std::string& out, std::string_view text, const XmlByteTable& bytes) {
  const size_t n = text.size();
  size_t written = 0;  // text before this byte is in `out`
  size_t i = 0;
  while (true) {
    while (i < n && bytes[static_cast<unsigned char>(text[i])] == XmlByte::kKeep) ++i;
    if (i == n) break;
    std::string_view replacement = kReplacementCharacter;
    size_t width = 1;
    const XmlByte kind = bytes[static_cast<unsigned char>(text[i])];
    if (kind == XmlByte::kReference) {
      replacement = xml_reference(text[i]);
    } else if (kind == XmlByte::kEF) {
      if (!is_non_character_at(text, i)) {
        ++i;  // any other character that starts with EF stays
        continue;
      }
      width = 3;
    }
    out.append(text.data() + written, i - written);
    out += replacement;
    i += width;
    written = i;
  }
  out.append(text.data() + written, n - written);
}

// One <Amt Ccy="...">amount</Amt> line; `opening` is its indentation and
// the opening tag up to the attribute value.
void write_amount(std::string& out, std::string_view opening, std::string_view currency,
                  const Decimal& amount) {
  out += opening;
  append_escaped_xml_attribute(out, currency);
  out += "\">";
  amount.append_padded(out, 2);
  out += "</Amt>\n";
}

// The related parties of an entry with a counterparty, a counter IBAN or
// both: the party lines only with a counterparty, the account lines only
// with an IBAN.
void write_related_parties(std::string& out, bool debit, std::string_view counterparty,
                           std::string_view counter_iban) {
  out += "            <RltdPties>\n";
  if (!counterparty.empty()) {
    out += debit ? "              <Cdtr>\n" : "              <Dbtr>\n";
    out += "                <Pty>\n                  <Nm>";
    append_escaped_xml(out, counterparty);
    out += "</Nm>\n                </Pty>\n";
    out += debit ? "              </Cdtr>\n" : "              </Dbtr>\n";
  }
  if (!counter_iban.empty()) {
    out += debit ? "              <CdtrAcct>\n" : "              <DbtrAcct>\n";
    out += "                <Id>\n                  <IBAN>";
    append_escaped_xml(out, counter_iban);
    out += "</IBAN>\n                </Id>\n";
    out += debit ? "              </CdtrAcct>\n" : "              </DbtrAcct>\n";
  }
  out += "            </RltdPties>\n";
}

void write_entry(std::string& out, const TransactionRecord& t, size_t number,
                 std::string_view currency) {
  out += "      <Ntry>\n        <NtryRef>TXN-";
  char buf[24];
  const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, number);
  out.append(buf, r.ptr);
  out += "</NtryRef>\n";
  write_amount(out, "        <Amt Ccy=\"", currency, t.amount);
  out += is_credit(t.debit_credit) ? "        <CdtDbtInd>CRDT</CdtDbtInd>\n"
                                   : "        <CdtDbtInd>DBIT</CdtDbtInd>\n";
  out += is_reversal(t.debit_credit) ? "        <RvslInd>true</RvslInd>\n"
                                     : "        <RvslInd>false</RvslInd>\n";
  out += "        <BookgDt>\n          <Dt>";
  (t.entry_date ? *t.entry_date : t.value_date).append_iso(out);
  out += "</Dt>\n        </BookgDt>\n        <ValDt>\n          <Dt>";
  t.value_date.append_iso(out);
  out += "</Dt>\n        </ValDt>\n        <BkTxCd>\n          <Prtry>\n            <Cd>";
  append_escaped_xml(out, t.transaction_type);
  out += "</Cd>\n          </Prtry>\n        </BkTxCd>\n        <NtryDtls>\n          <TxDtls>\n";
  // Without a narrative map there are no parties and the raw narrative is the purpose.
  std::string purpose;
  if (t.structured_details) {
    const std::string counterparty = counterparty_from_details(*t.structured_details);
    const std::string counter_iban = counter_iban_from_details(*t.structured_details);
    purpose = purpose_from_details(*t.structured_details);
    if (!counterparty.empty() || !counter_iban.empty()) {
      write_related_parties(out, is_debit(t.debit_credit), counterparty, counter_iban);
    }
  }
  const std::string_view remittance = t.structured_details ? std::string_view(purpose) : t.details;
  if (!remittance.empty()) {
    out += "            <RmtInf>\n              <Ustrd>";
    append_escaped_xml(out, remittance);
    out += "</Ustrd>\n            </RmtInf>\n";
  }
  out += "          </TxDtls>\n        </NtryDtls>\n      </Ntry>\n";
}

void write_statement(std::string& out, const Statement& s) {
  out += "    <Stmt>\n      <Id>";
  append_escaped_xml(out, s.transaction_reference);
  out +=
      "</Id>\n      <CreDtTm>2026-01-01T00:00:00Z</CreDtTm>\n      <Acct>\n        <Id>\n"
      "          <IBAN>";
  append_escaped_xml(out, s.account_identification);
  out += "</IBAN>\n        </Id>\n        <Ccy>";
  append_escaped_xml(out, s.opening_balance.currency);
  out += "</Ccy>\n      </Acct>\n";
  write_camt_balance(out, "OPBD", s.opening_balance);
  write_camt_balance(out, "CLBD", s.closing_balance);
  size_t number = 1;  // restarts in every statement
  for (const TransactionRecord& t : s.transactions) {
    write_entry(out, t, number, s.opening_balance.currency);
    ++number;
  }
  out += "    </Stmt>\n";
}

size_t estimate_size(const std::vector<Statement>& statements) {
  size_t n = kHeader.size() + kClosing.size();
  for (const Statement& s : statements) {
    n += 900 + s.transaction_reference.size() + s.account_identification.size();
    for (const TransactionRecord& t : s.transactions) {
      n += 800 + t.details.size();
    }
  }
  return n;
}

}  // namespace

void append_escaped_xml(std::string& out, std::string_view text) {
  append_escaped(out, text, kXmlTextBytes);
}

void append_escaped_xml_attribute(std::string& out, std::string_view text) {
  append_escaped(out, text, kXmlAttributeBytes);
}

std::string escape_xml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  append_escaped_xml(out, text);
  return out;
}

void write_camt_balance(std::string& out, std::string_view code, const Balance& balance) {
  out += "      <Bal>\n        <Tp>\n          <CdOrPrtry>\n            <Cd>";
  out += code;
  out += "</Cd>\n          </CdOrPrtry>\n        </Tp>\n";
  write_amount(out, "        <Amt Ccy=\"", balance.currency, balance.amount);
  out += is_credit(balance.debit_credit) ? "        <CdtDbtInd>CRDT</CdtDbtInd>\n"
                                         : "        <CdtDbtInd>DBIT</CdtDbtInd>\n";
  out += "        <Dt>\n          <Dt>";
  balance.date.append_iso(out);
  out += "</Dt>\n        </Dt>\n      </Bal>\n";
}

std::string export_camt053(const std::vector<Statement>& statements) {
  std::string out = new_output_buffer(estimate_size(statements));
  out += kHeader;
  for (const Statement& s : statements) write_statement(out, s);
  out += kClosing;
  return out;
}

}  // namespace vardel
