// The Python class Transaction: the copy of one statement line, its fifteen
// read-only properties and signed_amount().
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "python/transaction.hpp"

#include <new>
#include <type_traits>
#include <string>
#include <string_view>
#include <utility>

#include "core/decoders/lookups.hpp"
#include "python/py_ref.hpp"
#include "python/type_builder.hpp"

namespace vardel::python {

Transaction Transaction::from_record(const TransactionRecord& record) {
  Transaction t;
  t.value_date = record.value_date;
  t.entry_date = record.entry_date;
  t.debit_credit = std::string(code(record.debit_credit));
  t.amount = record.amount;
  t.is_reversal = vardel::is_reversal(record.debit_credit);
  t.transaction_type = record.transaction_type;
  t.customer_reference = record.customer_reference;
  t.bank_reference = record.bank_reference;
  t.details = record.details;
  t.structured_details = record.structured_details;
  return t;
}

namespace {

// The mark tests read the stored code text: "D" and "RC" are debits, "C"
// and "RD" credits.
bool is_debit_code(std::string_view code) { return code == "D" || code == "RC"; }
bool is_credit_code(std::string_view code) { return code == "C" || code == "RD"; }

}  // namespace

double signed_amount_value(const Transaction& t) {
  return decimal_to_float(is_debit_code(t.debit_credit) ? t.amount.negate() : t.amount);
}

namespace {

constexpr const char* kTransactionName = "Transaction";

// The finished class: one reference, kept for the process, or until the
// interpreter that built it gives vardel up (clear_transaction_type_object).
PyObject* g_transaction_type = nullptr;

TransactionObject* Transaction_cast(PyObject* self) {
  return reinterpret_cast<TransactionObject*>(self);
}

// Every property and method reaches the data through these two wrappers,
// which raise instead when the object's data was never built.
template <PyObject* (*Get)(const Transaction&)>
PyObject* property(PyObject* self, void* Py_UNUSED(closure)) {
  const TransactionObject* obj = Transaction_cast(self);
  if (!obj->constructed) return raise_not_constructed(kTransactionName);
  return Get(obj->data);
}

template <PyObject* (*Call)(const Transaction&)>
PyObject* method(PyObject* self, PyObject* Py_UNUSED(ignored)) {
  return property<Call>(self, nullptr);
}

PyObject* new_bool(bool value) { return Py_NewRef(value ? Py_True : Py_False); }

// The one conversion behind the property amount and signed_amount().
PyObject* new_signed_amount(const Transaction& t) {
  return guard_entry([&t] { return PyFloat_FromDouble(signed_amount_value(t)); });
}

PyObject* new_date_str(const Date& date) {
  return guard_entry([&date] { return new_str(date.to_iso_string()); });
}

// ---------------------------------------------------------------------------
// Constructor slot and deallocation

// Transaction objects come only from MT940.transactions. A class object that
// PyType_FromSpec began and did not finish (see MT940_new) is refused without
// reading it: only the finished class in g_transaction_type is.
PyObject* Transaction_no_new(PyTypeObject* type, PyObject* Py_UNUSED(args),
                             PyObject* Py_UNUSED(kwargs)) {
  if (reinterpret_cast<PyObject*>(type) != g_transaction_type) {
    return raise_unfinished_class(kTransactionName);
  }
  PyRef name = PyRef::steal(PyType_GetName(type));
  if (!name) return nullptr;
  PyErr_Format(PyExc_TypeError, "No constructor defined for %U", name.get());
  return nullptr;
}

void Transaction_dealloc(PyObject* self) {
  PyTypeObject* tp = Py_TYPE(self);
  TransactionObject* obj = Transaction_cast(self);
  if (obj->constructed) obj->data.~Transaction();
  tp->tp_free(self);
  Py_DECREF(tp);
}

// ---------------------------------------------------------------------------
// Properties

PyObject* Transaction_get_value_date(const Transaction& t) {
  return new_date_str(t.value_date);
}

PyObject* Transaction_get_entry_date(const Transaction& t) {
  if (!t.entry_date) Py_RETURN_NONE;
  return new_date_str(*t.entry_date);
}

PyObject* Transaction_get_debit_credit(const Transaction& t) {
  return new_str(t.debit_credit);
}

PyObject* Transaction_get_amount(const Transaction& t) {
  // The signed amount, the same value as signed_amount().
  return new_signed_amount(t);
}

PyObject* Transaction_get_is_credit(const Transaction& t) {
  return new_bool(is_credit_code(t.debit_credit));
}

PyObject* Transaction_get_is_debit(const Transaction& t) {
  return new_bool(is_debit_code(t.debit_credit));
}

PyObject* Transaction_get_is_reversal(const Transaction& t) {
  return new_bool(t.is_reversal);
}

PyObject* Transaction_get_transaction_type(const Transaction& t) {
  return new_str(t.transaction_type);
}

PyObject* Transaction_get_customer_reference(const Transaction& t) {
  return new_str(t.customer_reference);
}

PyObject* Transaction_get_bank_reference(const Transaction& t) {
  if (!t.bank_reference) Py_RETURN_NONE;
  return new_str(*t.bank_reference);
}

PyObject* Transaction_get_details(const Transaction& t) {
  return new_str(t.details);
}

PyObject* Transaction_get_structured_details(const Transaction& t) {
  if (!t.structured_details) Py_RETURN_NONE;
  PyRef dict = PyRef::steal(PyDict_New());
  if (!dict) return nullptr;
  // Plain references for each entry's two new strs, released by plain calls:
  // between their making and their release nothing can run Python code or
  // end the thread, and a PyRef's release test would add a sixth to the time
  // of this loop.
  for (const StructuredDetails::Entry& entry : *t.structured_details) {
    PyObject* key = new_str(entry.code);
    if (key == nullptr) return nullptr;
    PyObject* value = new_str(entry.value);
    if (value == nullptr) {
      Py_DECREF(key);
      return nullptr;
    }
    const int stored = PyDict_SetItem(dict.get(), key, value);
    Py_DECREF(key);
    Py_DECREF(value);
    if (stored < 0) return nullptr;
  }
  return dict.release();
}

// One narrative look-up; `fallback` is the answer when no map is stored.
template <std::string (*Lookup)(const StructuredDetails&)>
PyObject* lookup_str(const Transaction& t, std::string_view fallback) {
  if (!t.structured_details) return new_str(fallback);
  return guard_entry([&t] { return new_str(Lookup(*t.structured_details)); });
}

PyObject* Transaction_get_counterparty(const Transaction& t) {
  return lookup_str<&counterparty_from_details>(t, "");
}

PyObject* Transaction_get_counter_iban(const Transaction& t) {
  return lookup_str<&counter_iban_from_details>(t, "");
}

PyObject* Transaction_get_purpose(const Transaction& t) {
  return lookup_str<&purpose_from_details>(t, t.details);
}

// ---------------------------------------------------------------------------
// Methods

PyObject* Transaction_signed_amount(const Transaction& t) {
  return new_signed_amount(t);
}

// ---------------------------------------------------------------------------
// Class object

PyGetSetDef Transaction_getset[] = {
    {"value_date", property<Transaction_get_value_date>, nullptr, "", nullptr},
    {"entry_date", property<Transaction_get_entry_date>, nullptr, "", nullptr},
    {"debit_credit", property<Transaction_get_debit_credit>, nullptr, "", nullptr},
    {"amount", property<Transaction_get_amount>, nullptr, "", nullptr},
    {"is_credit", property<Transaction_get_is_credit>, nullptr, "", nullptr},
    {"is_debit", property<Transaction_get_is_debit>, nullptr, "", nullptr},
    {"is_reversal", property<Transaction_get_is_reversal>, nullptr, "", nullptr},
    {"transaction_type", property<Transaction_get_transaction_type>, nullptr, "", nullptr},
    {"customer_reference", property<Transaction_get_customer_reference>, nullptr, "", nullptr},
    {"bank_reference", property<Transaction_get_bank_reference>, nullptr, "", nullptr},
    {"details", property<Transaction_get_details>, nullptr, "", nullptr},
    {"structured_details", property<Transaction_get_structured_details>, nullptr, "", nullptr},
    {"counterparty", property<Transaction_get_counterparty>, nullptr, "", nullptr},
    {"counter_iban", property<Transaction_get_counter_iban>, nullptr, "", nullptr},
    {"purpose", property<Transaction_get_purpose>, nullptr, "", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef Transaction_methods[] = {
    {"signed_amount", method<Transaction_signed_amount>, METH_NOARGS,
     "signed_amount($self)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

constexpr const char* kTransactionDescription = "A parsed MT940 transaction exposed to Python.";

}  // namespace

// The docstring slot text: the description alone (no text signature).
const char* transaction_class_doc() { return kTransactionDescription; }

PyObject* create_transaction_type_object() {
  if (g_transaction_type != nullptr) return g_transaction_type;
  PyType_Slot slots[] = {
      {Py_tp_doc, const_cast<char*>(transaction_class_doc())},
      {Py_tp_getset, Transaction_getset},
      {Py_tp_methods, Transaction_methods},
      {Py_tp_new, reinterpret_cast<void*>(Transaction_no_new)},
      {Py_tp_base, &PyBaseObject_Type},
      {Py_tp_dealloc, reinterpret_cast<void*>(Transaction_dealloc)},
      {0, nullptr},
  };
  PyType_Spec spec = {
      .name = "builtins.Transaction",  // a literal: the class keeps pointing at it
      .basicsize = static_cast<int>(sizeof(TransactionObject)),
      .itemsize = 0,
      .flags = Py_TPFLAGS_DEFAULT,
      .slots = slots,
  };
  return build_type_once(&g_transaction_type, &spec, kTransactionName);
}

void clear_transaction_type_object() { Py_CLEAR(g_transaction_type); }

static_assert(std::is_nothrow_move_constructible_v<Transaction>,
              "placing the data into a new object must not fail");

PyObject* Transaction_new_object(Transaction&& data) {
  // Built by the import. An import that failed after it built MT940 leaves
  // that class reachable (gc.get_objects()) with this one missing: build it
  // now, or fail with the error of the build.
  PyObject* type_object = create_transaction_type_object();  // Borrowed.
  if (type_object == nullptr) return nullptr;
  auto* type = reinterpret_cast<PyTypeObject*>(type_object);
  PyObject* self = type->tp_alloc(type, 0);
  if (self == nullptr) return nullptr;
  // A move cannot fail, so the object is complete once the data is placed.
  TransactionObject* obj = Transaction_cast(self);
  new (&obj->data) Transaction(std::move(data));
  obj->constructed = true;
  return self;
}

}  // namespace vardel::python
