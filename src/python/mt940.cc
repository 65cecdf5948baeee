// The Python class MT940: argument binding, the parse with the interpreter
// lock released, the length, the properties and the three exports.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "python/mt940.hpp"

#include <cstring>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "core/decimal.hpp"
#include "core/decoders/decoder.hpp"
#include "core/export/camt053.hpp"
#include "core/export/csv.hpp"
#include "core/export/json.hpp"
#include "core/reader.hpp"
#include "core/utf8.hpp"
#include "python/large_str.hpp"
#include "python/py_ref.hpp"
#include "python/transaction.hpp"
#include "python/type_builder.hpp"

namespace vardel::python {
namespace {

constexpr std::string_view kConstructorName = "MT940.__new__()";

// Below this many transactions an MT940 object is freed without releasing the
// interpreter lock.
constexpr size_t kReleaseLockTransactions = 1024;

// Runs `f` with the interpreter lock released. Nothing of the Python API may
// be called inside `f`: only core calls on data owned by C++ or inside Python
// objects that the caller holds a reference of its own to (a borrowed one is
// not enough: any other thread may drop the owner's). An exception from `f`
// (std::bad_alloc) is rethrown once the lock is back.
//
// The lock is taken back by a plain call, not by a destructor: while the
// interpreter finalizes, PyEval_RestoreThread ends a daemon thread with
// pthread_exit, a forced unwind of its stack. The unwind passes through here
// and through every caller up to the interpreter (none of them noexcept; see
// guard_entry), freeing only C++ data on its way. Out of a destructor, which is
// noexcept, it would call std::terminate and abort the whole process.
template <class F>
void without_lock(F&& f) {
  PyThreadState* state = PyEval_SaveThread();
  std::exception_ptr failure;
  try {
    std::forward<F>(f)();
  } catch (...) {  // never a forced unwind: `f` calls nothing that ends the thread
    failure = std::current_exception();
  }
  PyEval_RestoreThread(state);  // may not return, see above
  if (failure) std::rethrow_exception(failure);
}

constexpr const char* kMT940Name = "MT940";

// The finished class: one reference, kept for the process, or until the
// interpreter that built it gives vardel up (clear_mt940_type_object).
PyObject* g_mt940_type = nullptr;

MT940Object* MT940_cast(PyObject* self) { return reinterpret_cast<MT940Object*>(self); }

// The object's data, or null with the error set when MT940_new did not make
// it. Every entry past the constructor starts here.
const MT940Object* MT940_data(PyObject* self) {
  const MT940Object* obj = MT940_cast(self);
  if (!obj->constructed) {
    raise_not_constructed(kMT940Name);
    return nullptr;
  }
  return obj;
}

const Statement& first_statement(const MT940Object& obj) { return obj.statements.front(); }

// A property that reads the object's data.
template <PyObject* (*Get)(const MT940Object&)>
PyObject* property(PyObject* self, void* Py_UNUSED(closure)) {
  const MT940Object* obj = MT940_data(self);
  return obj == nullptr ? nullptr : Get(*obj);
}

// Raises `type` with the message text as its one argument. Returns null.
PyObject* raise_with_text(PyObject* type, std::string_view text) {
  PyObject* value = new_str(text);
  if (value == nullptr) return nullptr;
  PyErr_Restore(Py_NewRef(type), value, nullptr);
  return nullptr;
}

// The characters of `s` as UTF-8, every lone surrogate (which UTF-8 cannot
// carry) written as U+FFFD. Used only for error messages. Runs no Python code;
// `s` must be owned by the caller, not borrowed from a container that code
// run just before may have cleared.
std::string display_text(PyObject* s) {
  std::string out;
  const Py_ssize_t n = PyUnicode_GetLength(s);
  const int kind = PyUnicode_KIND(s);
  const void* data = PyUnicode_DATA(s);
  for (Py_ssize_t i = 0; i < n; ++i) {
    Py_UCS4 c = PyUnicode_READ(kind, data, i);
    if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
    append_utf8(out, c);
  }
  return out;
}

// The argument-conversion TypeError, "argument 'NAME': 'QUALNAME' object
// cannot be converted to 'PyString'": a new exception that chains nothing
// (cause None, context suppressed). Returns null. `arg` is owned by the
// caller; its type is read before anything here can run Python code.
PyObject* raise_not_a_str(std::string_view param, PyObject* arg) {
  PyRef qualname = PyRef::steal(PyType_GetQualName(Py_TYPE(arg)));
  if (!qualname) return nullptr;
  if (!PyUnicode_Check(qualname.get())) {
    PyErr_SetString(PyExc_TypeError, "type qualname is not a str");
    return nullptr;
  }
  std::string text = "argument '";
  text += param;
  text += "': '";
  text += display_text(qualname.get());
  text += "' object cannot be converted to 'PyString'";
  PyRef message = PyRef::steal(new_str(text));
  if (!message) return nullptr;
  PyRef exc = PyRef::steal(PyObject_CallOneArg(PyExc_TypeError, message.get()));
  if (!exc) return nullptr;
  PyException_SetCause(exc.get(), nullptr);  // __cause__ None, __suppress_context__ True
  PyErr_Restore(Py_NewRef(PyExc_TypeError), exc.release(), nullptr);
  return nullptr;
}

// The UTF-8 form of a str argument, kept inside the str object (valid while
// the caller's reference to `arg` lives). nullopt with the error set when
// `arg` is not a str (conversion TypeError) or has no UTF-8 form
// (UnicodeEncodeError, unchanged).
std::optional<std::string_view> str_argument(std::string_view param, PyObject* arg) {
  if (!PyType_IsSubtype(Py_TYPE(arg), &PyUnicode_Type)) {
    raise_not_a_str(param, arg);
    return std::nullopt;
  }
  Py_ssize_t size = 0;
  const char* utf8 = PyUnicode_AsUTF8AndSize(arg, &size);
  if (utf8 == nullptr) return std::nullopt;
  return std::string_view(utf8, static_cast<size_t>(size));
}

// Turns a failed parse into the Python error. Returns null.
PyObject* raise_parse_failure(const ParseFailure& failure) {
  if (const auto* error = std::get_if<ParseError>(&failure)) {
    std::string text;
    error->message(text);
    return raise_with_text(PyExc_ValueError, text);
  }
  return raise_panic(std::get<InternalError>(failure).message);
}

// ---------------------------------------------------------------------------
// Constructor and deallocation

PyObject* MT940_new_impl(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  // Both arguments are owned from the moment they are bound until the call
  // returns. The caller's tuple and keyword dict live for the call, but a
  // keyword dict may hold the only reference to an argument (the fresh one of
  // MT940(text=f()) or MT940(**d), or one passed in from C), and Python code
  // can clear it meanwhile: a gc callback or a signal handler inside a call
  // below, or another thread while the parse runs without the lock.
  PyRef text;
  PyRef resolver;

  const Py_ssize_t nargs = PyTuple_GET_SIZE(args);
  if (nargs > 2) {
    std::string msg(kConstructorName);
    msg += " takes from 1 to 2 positional arguments but ";
    msg += std::to_string(nargs);
    msg += " were given";
    return raise_with_text(PyExc_TypeError, msg);
  }
  if (nargs >= 1) text = PyRef::borrow(PyTuple_GET_ITEM(args, 0));
  if (nargs >= 2) resolver = PyRef::borrow(PyTuple_GET_ITEM(args, 1));

  if (kwargs != nullptr) {
    Py_ssize_t pos = 0;
    PyObject* next_key = nullptr;    // Borrowed from the dict.
    PyObject* next_value = nullptr;  // Borrowed from the dict.
    while (PyDict_Next(kwargs, &pos, &next_key, &next_value)) {
      // The key is owned for its pass: a failed conversion makes and clears a
      // UnicodeEncodeError that refers to it, and PyObject_Str checks for
      // signals (and from 3.12 on runs a scheduled collection) before it
      // reads it. Either can run Python code that clears the dict. Every path
      // that ran Python code returns, so the value is still the dict's when
      // bound.
      const PyRef key = PyRef::borrow(next_key);
      std::string_view name;
      bool has_name = false;
      if (PyUnicode_Check(key.get())) {
        Py_ssize_t size = 0;
        const char* utf8 = PyUnicode_AsUTF8AndSize(key.get(), &size);
        if (utf8 != nullptr) {
          name = std::string_view(utf8, static_cast<size_t>(size));
          has_name = true;
        } else {
          PyErr_Clear();  // lone surrogates: no parameter has such a name
        }
      }
      PyRef* slot = nullptr;
      std::string_view param;
      if (has_name && name == "text") {
        slot = &text;
        param = "text";
      } else if (has_name && name == "resolver") {
        slot = &resolver;
        param = "resolver";
      }
      if (slot == nullptr) {
        std::string msg(kConstructorName);
        msg += " got an unexpected keyword argument '";
        if (PyUnicode_Check(key.get())) {
          msg += display_text(key.get());
        } else {
          PyRef shown = PyRef::steal(PyObject_Str(key.get()));
          if (!shown) return nullptr;
          msg += display_text(shown.get());
        }
        msg += "'";
        return raise_with_text(PyExc_TypeError, msg);
      }
      if (*slot) {
        std::string msg(kConstructorName);
        msg += " got multiple values for argument '";
        msg += param;
        msg += "'";
        return raise_with_text(PyExc_TypeError, msg);
      }
      *slot = PyRef::borrow(next_value);
    }
  }

  if (!text) {
    std::string msg(kConstructorName);
    msg += " missing 1 required positional argument: 'text'";
    return raise_with_text(PyExc_TypeError, msg);
  }
  std::optional<std::string_view> text_utf8 = str_argument("text", text.get());
  if (!text_utf8) return nullptr;
  std::string_view resolver_name = "auto";
  if (resolver && resolver.get() != Py_None) {
    std::optional<std::string_view> r = str_argument("resolver", resolver.get());
    if (!r) return nullptr;
    resolver_name = *r;
  }

  std::string resolver_used(resolver_name);
  std::optional<ParseOutcome> outcome;
  {
    DecoderChain chain = DecoderChain::for_resolver(resolver_used);
    // The bytes live inside `text`, owned here until the call returns.
    without_lock([&] { outcome.emplace(parse_statements(*text_utf8, chain)); });
  }  // the lock is back before the chain is released or the result is read

  if (!*outcome) return raise_parse_failure(outcome->error());
  if ((*outcome)->empty()) {
    // A parse never finishes with no statement; keep the first-statement
    // accessors safe should it ever do so.
    return raise_parse_failure(ParseError::no_data());
  }

  PyObject* self = type->tp_alloc(type, 0);
  if (self == nullptr) return nullptr;
  MT940Object* obj = MT940_cast(self);
  // Moves cannot fail, so the object is complete once both are placed.
  new (&obj->statements) std::vector<Statement>(std::move(**outcome));
  new (&obj->resolver_used) std::string(std::move(resolver_used));
  obj->constructed = true;
  return self;
}

// A class object that PyType_FromSpec began and did not finish can outlive
// the failed import: CPython leaves it in a reference cycle, reachable through
// gc.get_objects() until the next collection, with this function as its
// tp_new and possibly no tp_alloc yet. MT940 cannot be subclassed, so the
// finished class in g_mt940_type is the only type that may come here.
PyObject* MT940_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  if (reinterpret_cast<PyObject*>(type) != g_mt940_type) {
    return raise_unfinished_class(kMT940Name);
  }
  return guard_entry([&] { return MT940_new_impl(type, args, kwargs); });
}

void MT940_dealloc(PyObject* self) {
  PyTypeObject* tp = Py_TYPE(self);
  MT940Object* obj = MT940_cast(self);
  if (obj->constructed) {
    // Freeing a large statement vector takes milliseconds and touches only C++
    // memory, so other threads may run meanwhile; a small one is freed faster
    // than the interpreter lock changes hands.
    size_t transactions = 0;
    for (const Statement& statement : obj->statements) {
      transactions += statement.transactions.size();
    }
    if (transactions >= kReleaseLockTransactions) {
      without_lock([obj] { obj->statements.~vector(); });
    } else {
      obj->statements.~vector();
    }
    obj->resolver_used.~basic_string();
  }
  tp->tp_free(self);
  Py_DECREF(tp);
}

// ---------------------------------------------------------------------------
// Length and properties

Py_ssize_t MT940_length(PyObject* self) {
  const MT940Object* obj = MT940_data(self);
  if (obj == nullptr) return -1;
  return static_cast<Py_ssize_t>(first_statement(*obj).transactions.size());
}

PyObject* MT940_get_account(const MT940Object& obj) {
  return new_str(first_statement(obj).account_identification);
}

PyObject* MT940_get_currency(const MT940Object& obj) {
  return new_str(first_statement(obj).opening_balance.currency);
}

PyObject* MT940_get_opening_balance(const MT940Object& obj) {
  // Negative under the mark D, as in the JSON export.
  return new_float(first_statement(obj).opening_balance.signed_amount());
}

PyObject* MT940_get_closing_balance(const MT940Object& obj) {
  return new_float(first_statement(obj).closing_balance.signed_amount());
}

PyObject* MT940_get_resolver_used(const MT940Object& obj) {
  return new_str(obj.resolver_used);
}

PyObject* MT940_get_transactions(const MT940Object& obj) {
  return guard_entry([&obj]() -> PyObject* {
    const std::vector<TransactionRecord>& records = first_statement(obj).transactions;
    PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(records.size())));
    if (!list) return nullptr;
    for (size_t i = 0; i < records.size(); ++i) {
      PyObject* item = Transaction_new_object(Transaction::from_record(records[i]));
      if (item == nullptr) return nullptr;  // the list releases what it holds
      PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), item);  // Steals item.
    }
    return list.release();
  });
}

// ---------------------------------------------------------------------------
// Exports: the writers run with the interpreter lock held.

template <std::string (*Writer)(const std::vector<Statement>&)>
PyObject* MT940_export(PyObject* self, PyObject* Py_UNUSED(ignored)) {
  const MT940Object* obj = MT940_data(self);
  if (obj == nullptr) return nullptr;
  return guard_entry([obj] { return new_large_str(Writer(obj->statements)); });
}

// ---------------------------------------------------------------------------
// Class object

PyGetSetDef MT940_getset[] = {
    {"account", property<MT940_get_account>, nullptr, "", nullptr},
    {"currency", property<MT940_get_currency>, nullptr, "", nullptr},
    {"opening_balance", property<MT940_get_opening_balance>, nullptr, "", nullptr},
    {"closing_balance", property<MT940_get_closing_balance>, nullptr, "", nullptr},
    {"resolver_used", property<MT940_get_resolver_used>, nullptr, "", nullptr},
    {"transactions", property<MT940_get_transactions>, nullptr, "", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef MT940_methods[] = {
    {"to_json", MT940_export<&export_json>, METH_NOARGS, "to_json($self)\n--\n\n"},
    {"to_csv", MT940_export<&export_csv>, METH_NOARGS, "to_csv($self)\n--\n\n"},
    {"to_camt053", MT940_export<&export_camt053>, METH_NOARGS, "to_camt053($self)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

constexpr const char* kMT940Signature = "(text, resolver=None)";
constexpr const char* kMT940Description =
    "A parsed MT940 bank statement.\n"
    "\n"
    "Constructed from raw MT940 text. Stores all parsed data in native\n"
    "memory. Supports inspection and export to JSON, CSV, and\n"
    "camt.053 XML without re-parsing.";

}  // namespace

// The docstring slot text: name, signature, marker, description. Built at
// the first call and kept for the process.
const char* mt940_class_doc() {
  static const std::string doc =
      std::string(kMT940Name) + kMT940Signature + "\n--\n\n" + kMT940Description;
  return doc.c_str();
}

PyObject* create_mt940_type_object() {
  if (g_mt940_type != nullptr) return g_mt940_type;
  PyType_Slot slots[] = {
      {Py_tp_doc, const_cast<char*>(mt940_class_doc())},
      {Py_tp_getset, MT940_getset},
      {Py_tp_methods, MT940_methods},
      {Py_tp_new, reinterpret_cast<void*>(MT940_new)},
      {Py_tp_base, &PyBaseObject_Type},
      {Py_tp_dealloc, reinterpret_cast<void*>(MT940_dealloc)},
      {Py_mp_length, reinterpret_cast<void*>(MT940_length)},
      {0, nullptr},
  };
  PyType_Spec spec = {
      .name = "builtins.MT940",  // a literal: the class keeps pointing at it
      .basicsize = static_cast<int>(sizeof(MT940Object)),
      .itemsize = 0,
      .flags = Py_TPFLAGS_DEFAULT,
      .slots = slots,
  };
  return build_type_once(&g_mt940_type, &spec, kMT940Name);
}

void clear_mt940_type_object() { Py_CLEAR(g_mt940_type); }

}  // namespace vardel::python
