// MT940: the Python class that holds the parsed statements of one MT940 text.
#ifndef VARDEL_PYTHON_MT940_H_
#define VARDEL_PYTHON_MT940_H_

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <string>
#include <vector>

#include "core/records.hpp"

namespace vardel::python {

// The Python instance: object header, then the owned parse result. The C++
// members are placement-constructed right after allocation in MT940_new and
// destroyed in the dealloc; the object never changes in between.
// `constructed` is set once both are built. The type's allocator zeroes the
// whole instance, so it reads false in an object that MT940_new did not make
// (one that object.__new__ allocated): its members were never built and are
// neither read nor destroyed.
struct MT940Object {
  PyObject_HEAD
  bool constructed;
  std::vector<Statement> statements;  // never empty, in input order
  std::string resolver_used;          // the resolver argument as given, or "auto"
};

// Builds the class object on the first call and keeps it for the process.
// Borrowed; null with the error set (a RuntimeError with its cause).
[[nodiscard]] PyObject* create_mt940_type_object();

// Drops the class object kept for the process; the next
// create_mt940_type_object builds a new one. For the interpreter that built
// it, when that interpreter gives vardel up.
void clear_mt940_type_object();

}  // namespace vardel::python

#endif  // VARDEL_PYTHON_MT940_H_
