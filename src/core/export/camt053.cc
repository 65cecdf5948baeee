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

// Escaped form of one of the five markup characters.
constexpr std::string_view xml_entity(char c) {
  switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    case '\'': return "&apos;";
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
  kMarkup,      // one of & < > " '
  kNotXmlChar,  // a control character other than tab, line feed, carriage return
  kEF,          // the first byte of EF BF BE (U+FFFE) and EF BF BF (U+FFFF)
};

constexpr std::array<XmlByte, 256> kXmlBytes = [] {
  std::array<XmlByte, 256> table{};
  for (int c = 0; c < 0x20; ++c) {
    if (c != '\t' && c != '\n' && c != '\r') table[c] = XmlByte::kNotXmlChar;
  }
  for (unsigned char c : std::string_view("&<>\"'")) table[c] = XmlByte::kMarkup;
  table[0xEF] = XmlByte::kEF;
  return table;
}();

// True when `text` holds U+FFFE or U+FFFF at byte `i`, an EF byte.
bool is_non_character_at(std::string_view text, size_t i) {
  return i + 2 < text.size() && text[i + 1] == '\xBF' &&
         (text[i + 2] == '\xBE' || text[i + 2] == '\xBF');
}

// One <Amt Ccy="...">amount</Amt> line; `opening` is its indentation and
// the opening tag up to the attribute value.
void write_amount(std::string& out, std::string_view opening, std::string_view currency,
                  const Decimal& amount) {
  out += opening;
  append_escaped_xml(out, currency);
  out += "\">";
  amount.append_fixed(out, 2);
  out += "</Amt>\n";
}

void write_related_parties(std::string& out, bool debit, std::string_view counterparty,
                           std::string_view counter_iban) {
  out += debit ? "            <RltdPties>\n              <Cdtr>\n"
               : "            <RltdPties>\n              <Dbtr>\n";
  out += "                <Pty>\n                  <Nm>";
  append_escaped_xml(out, counterparty);
  out += "</Nm>\n                </Pty>\n";
  out += debit ? "              </Cdtr>\n" : "              </Dbtr>\n";
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
  if (t.structured_details) {
    const std::string counterparty = counterparty_from_details(*t.structured_details);
    const std::string counter_iban = counter_iban_from_details(*t.structured_details);
    const std::string purpose = purpose_from_details(*t.structured_details);
    // An IBAN without a party name is dropped: RltdPties needs the party.
    if (!counterparty.empty()) {
      write_related_parties(out, is_debit(t.debit_credit), counterparty, counter_iban);
    }
    if (!purpose.empty()) {
      out += "            <RmtInf>\n              <Ustrd>";
      append_escaped_xml(out, purpose);
      out += "</Ustrd>\n            </RmtInf>\n";
    }
  } else if (!t.details.empty()) {
    out += "            <RmtInf>\n              <Ustrd>";
    append_escaped_xml(out, t.details);
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
  const size_t n = text.size();
  size_t written = 0;  // text before this byte is in `out`
  size_t i = 0;
  while (true) {
    while (i < n && kXmlBytes[static_cast<unsigned char>(text[i])] == XmlByte::kKeep) ++i;
    if (i == n) break;
    std::string_view replacement = kReplacementCharacter;
    size_t width = 1;
    const XmlByte kind = kXmlBytes[static_cast<unsigned char>(text[i])];
    if (kind == XmlByte::kMarkup) {
      replacement = xml_entity(text[i]);
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
