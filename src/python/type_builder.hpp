// Helpers shared by the class definitions: building a class object from its
// spec once per process, and the module's panic exception.
#ifndef VARDEL_PYTHON_TYPE_BUILDER_H_
#define VARDEL_PYTHON_TYPE_BUILDER_H_

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <string_view>

namespace vardel::python {

// Returns *cell when set; otherwise builds the class from `spec`, stores it
// in *cell (which then holds the one reference for the process) and returns
// it. Borrowed. On failure: null with RuntimeError "An error occurred while
// initializing class {class_name}" set, the underlying error as its cause.
[[nodiscard]] PyObject* build_type_once(PyObject** cell, PyType_Spec* spec,
                                        const char* class_name);

// Raises the module's panic exception (derived from BaseException, so that
// `except Exception` does not swallow a broken invariant) with `message`.
// Always returns null.
PyObject* raise_panic(std::string_view message);

}  // namespace vardel::python

#endif  // VARDEL_PYTHON_TYPE_BUILDER_H_
