// PyRef: an owned reference to a Python object, released when it goes out of
// scope, and the helpers that turn core texts into Python objects.
//
//   PyRef s = PyRef::steal(PyUnicode_FromStringAndSize(p, n));
//   if (!s) return nullptr;          // the interpreter's error is set
//   return s.release();              // hand the new reference to the caller
//
// Keep every PyRef in scopes that hold the interpreter lock. The one time a
// PyRef is destroyed without it is when the interpreter ends the thread (see
// release_owned below); it then lets the reference go instead of touching the
// object.
#ifndef VARDEL_PYTHON_PY_REF_H_
#define VARDEL_PYTHON_PY_REF_H_

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <exception>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>

#include "core/decimal.hpp"

namespace vardel::python {

// Drops one owned reference (null is allowed) unless this thread no longer
// holds the interpreter lock.
//
// Releasing the last reference can run Python code (a __del__), as can other
// calls into the interpreter (a __str__, or a finalizer that a garbage
// collection runs inside an allocation). While the interpreter finalizes, such
// code may ask for the lock back, and the interpreter then ends the thread
// with pthread_exit, which glibc carries out as a forced unwind of the whole
// stack. The unwind passes this function and every frame of ours up to the
// interpreter's, so neither this nor the PyRef members that call it are
// noexcept: a noexcept frame on the way would call std::terminate for the
// whole process. The destructors of the PyRefs still alive in those frames
// run on the way, without the lock (the thread never got it back): they leak
// their objects, which is all a thread that is being ended may do. In normal
// flow the lock is always held, so the test costs one call.
//
// The interpreter answers "held" unconditionally once a sub-interpreter has
// been created in the process; the release then happens as it would without
// the test. And one unwind cannot pass: a release that ends the thread while
// a C++ exception unwinds (std::bad_alloc on its way to guard_entry) starts a
// second unwind inside the first, for which the runtime terminates.
inline void release_owned(PyObject* p) {
  if (p != nullptr && PyGILState_Check()) Py_DECREF(p);
}

class PyRef {
 public:
  PyRef() = default;
  // Takes over a new reference (may be null).
  [[nodiscard]] static PyRef steal(PyObject* p) { return PyRef(p); }
  // Adds a reference to a borrowed object (may be null).
  [[nodiscard]] static PyRef borrow(PyObject* p) {
    Py_XINCREF(p);
    return PyRef(p);
  }

  PyRef(PyRef&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  // Takes the new object first, so that an unwind out of the release of the
  // old one leaves this PyRef owning exactly one object.
  PyRef& operator=(PyRef&& other) noexcept(false) {
    if (this != &other) release_owned(std::exchange(p_, std::exchange(other.p_, nullptr)));
    return *this;
  }
  // Copying would hide a reference-count change; use borrow(get()) instead.
  PyRef(const PyRef&) = delete;
  PyRef& operator=(const PyRef&) = delete;
  ~PyRef() noexcept(false) { release_owned(p_); }

  [[nodiscard]] PyObject* get() const { return p_; }  // Borrowed.
  // Gives up ownership: the caller now holds the reference.
  [[nodiscard]] PyObject* release() { return std::exchange(p_, nullptr); }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  explicit PyRef(PyObject* p) : p_(p) {}
  PyObject* p_ = nullptr;  // owned; null when empty
};

// A container or class whose destructor is noexcept would stop that unwind;
// hold PyRefs only in locals and in classes without a noexcept destructor.
static_assert(!std::is_nothrow_destructible_v<PyRef>);

// A new str from UTF-8 that the core guarantees to be valid; null with the
// interpreter's error set when it cannot be made.
[[nodiscard]] inline PyObject* new_str(std::string_view utf8) {
  return PyUnicode_FromStringAndSize(utf8.data(), static_cast<Py_ssize_t>(utf8.size()));
}

// Sets MemoryError and returns null: the answer of every entry point to
// std::bad_alloc from the core or the standard library.
inline PyObject* raise_no_memory() { return PyErr_NoMemory(); }

// Runs `f` (which returns a new reference or null with an error set) and
// turns std::bad_alloc into MemoryError. Locals of `f` are destroyed before
// the handler runs, so their references are released on the way. Any other
// std::exception ends the process, as it must not enter the interpreter's C
// frames.
//
// Not noexcept, and no catch (...), for the one unwind that must pass: while
// the interpreter finalizes, a daemon thread that asks for the lock back is
// ended by pthread_exit, which glibc carries out as a forced unwind of the
// whole stack. That happens in vardel's own hand-back after the parse and in
// any Python code that vardel runs, directly (a __str__) or by releasing a
// reference (a __del__). The unwind has to leave every frame of ours up to the
// interpreter's; a noexcept frame on its way, or a handler that swallows it,
// would call std::terminate for the whole process. It is no std::exception, so
// neither handler here matches it, and the PyRefs it destroys on its way leave
// their objects alone (see release_owned).
template <class F>
[[nodiscard]] PyObject* guard_entry(F&& f) {
  try {
    return std::forward<F>(f)();
  } catch (const std::bad_alloc&) {
    return raise_no_memory();
  } catch (const std::exception&) {
    std::terminate();
  }
}

// A new float with the value of `d` (its full decimal text read as the
// nearest double); null with the error set when it cannot be made.
[[nodiscard]] inline PyObject* new_float(const Decimal& d) {
  return guard_entry([&d] { return PyFloat_FromDouble(decimal_to_float(d)); });
}

}  // namespace vardel::python

#endif  // VARDEL_PYTHON_PY_REF_H_
