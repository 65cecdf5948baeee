// The module object `vardel`: PyInit_vardel, the process-wide module record,
// the class-building helper, the panic exception and the error for an
// instance that its constructor did not make.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "python/mt940.hpp"
#include "python/py_ref.hpp"
#include "python/transaction.hpp"
#include "python/type_builder.hpp"

namespace vardel::python {

// ---------------------------------------------------------------------------
// Class building, the panic exception, the unmade-instance error

namespace {

// The panic exception: one reference, kept for the process, or until the
// interpreter that made it gives vardel up.
PyObject* g_panic_type = nullptr;

}  // namespace

PyObject* raise_unfinished_class(const char* class_name) {
  PyErr_Format(PyExc_RuntimeError, "An error occurred while initializing class %s", class_name);
  return nullptr;
}

PyObject* build_type_once(PyObject** cell, PyType_Spec* spec, const char* class_name) {
  if (*cell != nullptr) return *cell;
  PyObject* type = PyType_FromSpec(spec);
  if (type == nullptr) {
    // Re-raise as RuntimeError and chain the interpreter's error as the cause
    // (and context), as `raise RuntimeError(...) from err` would.
    PyObject* cause_type = nullptr;
    PyObject* cause = nullptr;
    PyObject* cause_tb = nullptr;
    PyErr_Fetch(&cause_type, &cause, &cause_tb);
    PyErr_NormalizeException(&cause_type, &cause, &cause_tb);
    if (cause_tb != nullptr && cause != nullptr) PyException_SetTraceback(cause, cause_tb);
    Py_XDECREF(cause_type);
    Py_XDECREF(cause_tb);
    raise_unfinished_class(class_name);
    PyObject* err_type = nullptr;
    PyObject* err = nullptr;
    PyObject* err_tb = nullptr;
    PyErr_Fetch(&err_type, &err, &err_tb);
    PyErr_NormalizeException(&err_type, &err, &err_tb);
    if (err != nullptr && cause != nullptr) {
      Py_INCREF(cause);
      PyException_SetContext(err, cause);  // steals
      PyException_SetCause(err, cause);    // steals
    } else {
      Py_XDECREF(cause);
    }
    PyErr_Restore(err_type, err, err_tb);
    return nullptr;
  }
  if (*cell != nullptr) {
    // Built meanwhile by another initialisation: the first stored wins.
    Py_DECREF(type);
    return *cell;
  }
  *cell = type;  // the cell's reference, kept until the process ends
  return type;
}

PyObject* raise_panic(std::string_view message) {
  if (g_panic_type == nullptr) {
    PyObject* created = PyErr_NewExceptionWithDoc(
        "vardel.PanicException",
        "A broken internal invariant of vardel; never caused by bad input.",
        PyExc_BaseException, nullptr);
    if (created == nullptr) return nullptr;
    if (g_panic_type == nullptr) {
      g_panic_type = created;
    } else {
      Py_DECREF(created);
    }
  }
  PyObject* text = new_str(message);
  if (text == nullptr) return nullptr;
  PyErr_Restore(Py_NewRef(g_panic_type), text, nullptr);
  return nullptr;
}

PyObject* raise_not_constructed(const char* class_name) {
  PyErr_Format(PyExc_TypeError, "%s object was not made by its constructor", class_name);
  return nullptr;
}

namespace {

// ---------------------------------------------------------------------------
// The module record

void Module_free(void* module);

// vardel belongs to one interpreter: the first whose import of it succeeds,
// for the life of the process. The main interpreter keeps its module and
// classes for ever too. Another interpreter's objects, which may come from an
// allocator of its own, are released when its module dies: when its import
// failed after PyInit_vardel returned (from 3.12 an isolated interpreter
// refuses a single-phase module only then), or when that interpreter ends. A
// failed import also gives up the claim, so that the main interpreter can
// import vardel afterwards.
struct ModuleRecord {
  std::atomic<int64_t> interpreter_id{-1};  // the interpreter holding vardel; -1 for none
  // The main interpreter's module: one reference, set once its module is
  // filled, kept for ever. Another interpreter's: borrowed, set at its
  // creation (its import holds it, the interpreter once it is imported), and
  // cleared by Module_free.
  PyObject* module = nullptr;
  PyModuleDef def = {
      .m_base = PyModuleDef_HEAD_INIT,
      .m_name = "vardel",
      .m_doc = "",
      .m_size = 0,
      .m_methods = nullptr,
      .m_slots = nullptr,
      .m_traverse = nullptr,
      .m_clear = nullptr,
      .m_free = Module_free,
  };
};

ModuleRecord g_record;

// Lets go of what vardel built in the current interpreter, which is not the
// main one, and of its claim unless `keep_claim`. The claim goes last, so that
// another interpreter claims the cells only once they are empty.
void give_up_interpreter(bool keep_claim) {
  g_record.module = nullptr;
  clear_mt940_type_object();
  clear_transaction_type_object();
  Py_CLEAR(g_panic_type);
  if (!keep_claim) g_record.interpreter_id.store(-1, std::memory_order_seq_cst);
}

// Whether the interpreter's import of `module` succeeded. CPython's loader
// sets __file__ on a single-phase module only once the module passed every
// check of the import, so a refused module, and one whose initialisation
// failed, dies without it. At an interpreter's end the module's dict may be
// cleared, but its keys stay.
bool was_imported(PyObject* module) {
  PyObject* dict = PyModule_GetDict(module);  // Borrowed.
  return dict != nullptr && PyDict_GetItemString(dict, "__file__") != nullptr;
}

// Runs when a module object of `def` is freed. The main interpreter's module
// is never freed; another interpreter's is when its import failed (the
// import's reference was the last) or when that interpreter ends.
void Module_free(void* module) {
  if (module != g_record.module) return;
  give_up_interpreter(was_imported(static_cast<PyObject*>(module)));
}

// Registers one class: builds it, appends its name to __all__ (creating the
// list when the module has none) and sets the module attribute. Returns
// false with the error set.
bool add_class(PyObject* module, PyObject* (*create)(), const char* name) {
  PyObject* type = create();  // Borrowed.
  if (type == nullptr) return false;
  PyRef all = PyRef::steal(PyObject_GetAttrString(module, "__all__"));
  if (!all) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return false;
    PyErr_Clear();
    all = PyRef::steal(PyList_New(0));
    if (!all) return false;
    if (PyObject_SetAttrString(module, "__all__", all.get()) < 0) return false;
  }
  PyRef name_str = PyRef::steal(PyUnicode_FromString(name));
  if (!name_str) return false;
  if (PyList_Append(all.get(), name_str.get()) < 0) return false;
  return PyObject_SetAttr(module, name_str.get(), type) == 0;
}

// Fills a new module object; MT940 always before Transaction.
bool init_module(PyObject* module) {
  return add_class(module, &create_mt940_type_object, "MT940") &&
         add_class(module, &create_transaction_type_object, "Transaction");
}

PyObject* init_vardel() {
  PyInterpreterState* interp = PyInterpreterState_Get();
  int64_t id = PyInterpreterState_GetID(interp);
  if (id == -1) return nullptr;
  int64_t expected = -1;
  if (!g_record.interpreter_id.compare_exchange_strong(expected, id,
                                                       std::memory_order_seq_cst) &&
      expected != id) {
    PyErr_SetString(PyExc_ImportError,
                    "vardel does not support sub-interpreters: it was already initialised "
                    "in another interpreter of this process");
    return nullptr;
  }
  if (g_record.module != nullptr) return Py_NewRef(g_record.module);

  const bool main_interpreter = interp == PyInterpreterState_Main();
  PyRef module = PyRef::steal(PyModule_Create2(&g_record.def, 1013));
  if (!module) {
    if (!main_interpreter) give_up_interpreter(false);
    return nullptr;
  }
  if (!main_interpreter) g_record.module = module.get();  // Borrowed; see ModuleRecord.
  // On failure the new module is released: in another interpreter than the
  // main one, Module_free then gives vardel up, claim and all.
  if (!init_module(module.get())) return nullptr;
  if (!main_interpreter) return module.release();
  if (g_record.module == nullptr) g_record.module = module.release();
  return Py_NewRef(g_record.module);
}

}  // namespace
}  // namespace vardel::python

PyMODINIT_FUNC PyInit_vardel() {
  return vardel::python::guard_entry([] { return vardel::python::init_vardel(); });
}
