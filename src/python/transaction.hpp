// Transaction: the data that one Python Transaction object owns, copied from
// a TransactionRecord, and the calls that make Transaction objects.
#ifndef VARDEL_PYTHON_TRANSACTION_H_
#define VARDEL_PYTHON_TRANSACTION_H_

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <optional>
#include <string>

#include "core/date.hpp"
#include "core/decimal.hpp"
#include "core/records.hpp"
#include "core/structured_details.hpp"

namespace vardel::python {

// A deep copy of the fields of one statement line that Python code sees.
// Never changes after from_record; shares nothing with the record.
struct Transaction {
  Date value_date;                            // the record's value date
  std::optional<Date> entry_date;             // absent when the record has none
  std::string debit_credit;                   // "D", "C", "RD" or "RC"
  Decimal amount;                             // the magnitude, sign not applied
  bool is_reversal = false;                   // true for "RD" and "RC"
  std::string transaction_type;               // e.g. "NTRF"
  std::string customer_reference;             // may be empty
  std::optional<std::string> bank_reference;  // absent stays absent; may be empty
  std::string details;                        // the raw :86: text
  std::optional<StructuredDetails> structured_details;  // decoded :86:, absent when none

  // Copies every field above out of `record`. Throws only std::bad_alloc.
  [[nodiscard]] static Transaction from_record(const TransactionRecord& record);
};

// The amount with the sign of the mark: negated (a zero becomes -0.0) for
// "D" and "RC", as stored for "C" and "RD".
[[nodiscard]] double signed_amount_value(const Transaction& t);

// The Python instance: object header, then the owned data, which is
// placement-constructed right after allocation and destroyed in dealloc.
// `constructed` is set once `data` is built. The type's allocator zeroes the
// whole instance, so it reads false in an object that Transaction_new_object
// did not make (one that object.__new__ allocated): its `data` was never built
// and is neither read nor destroyed.
struct TransactionObject {
  PyObject_HEAD
  bool constructed;
  Transaction data;
};

// Builds the class object on the first call and keeps it for the process.
// Borrowed; null with the error set (a RuntimeError with its cause).
[[nodiscard]] PyObject* create_transaction_type_object();

// Drops the class object kept for the process; the next
// create_transaction_type_object builds a new one. For the interpreter that
// built it, when that interpreter gives vardel up.
void clear_transaction_type_object();

// A new Transaction object that takes over `data`; null with the
// interpreter's error set when it cannot be allocated, or when the class
// object, built here if the import did not, cannot be built.
[[nodiscard]] PyObject* Transaction_new_object(Transaction&& data);

}  // namespace vardel::python

#endif  // VARDEL_PYTHON_TRANSACTION_H_
