// Helpers shared by the class definitions: building a class object from its
// spec once per process, the module's panic exception, and the error for an
// instance that its constructor did not make.
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

// Raises RuntimeError "An error occurred while initializing class
// {class_name}", the error of the failed build: the answer of a constructor
// slot called on a class object that the build began and did not finish.
// Always returns null.
PyObject* raise_unfinished_class(const char* class_name);

// Raises the module's panic exception (derived from BaseException, so that
// `except Exception` does not swallow a broken invariant) with `message`.
// Always returns null.
PyObject* raise_panic(std::string_view message);

// Raises TypeError "{class_name} object was not made by its constructor".
// Every entry of an instance raises it when the instance's C++ data was never
// built: Python code can replace a class's __new__ and so reach
// object.__new__, which allocates a zeroed instance and calls nothing of
// ours. Always returns null.
PyObject* raise_not_constructed(const char* class_name);

}  // namespace vardel::python

#endif  // VARDEL_PYTHON_TYPE_BUILDER_H_
