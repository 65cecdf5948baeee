#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "python/large_str.hpp"

#include <cstring>

#include "core/huge_pages.hpp"
#include "core/utf8.hpp"
#include "python/py_ref.hpp"

namespace vardel::python {

PyObject* new_large_str(std::string_view utf8) {
  if (utf8.size() < kHugePageBufferMin) return new_str(utf8);
  const Utf8Census census = take_utf8_census(utf8);
  // The census's bound picks the same kind as the exact widest character
  // would, so the str is in its canonical (narrowest) form.
  PyRef str = PyRef::steal(PyUnicode_New(static_cast<Py_ssize_t>(census.code_points),
                                         static_cast<Py_UCS4>(census.max_char)));
  if (!str) return nullptr;
  void* data = PyUnicode_DATA(str.get());
  const int kind = PyUnicode_KIND(str.get());
  advise_huge_pages(data, census.code_points * static_cast<std::size_t>(kind));
  bool decoded;
  if (census.max_char == 0x7F) {
    std::memcpy(data, utf8.data(), utf8.size());  // ASCII: the str holds the same bytes
    decoded = true;
  } else if (kind == PyUnicode_1BYTE_KIND) {
    decoded = decode_utf8(utf8, static_cast<Py_UCS1*>(data), census);
  } else if (kind == PyUnicode_2BYTE_KIND) {
    decoded = decode_utf8(utf8, static_cast<Py_UCS2*>(data), census);
  } else {
    decoded = decode_utf8(utf8, static_cast<Py_UCS4*>(data), census);
  }
  // The core writes valid UTF-8; if a text ever is not, the interpreter's own
  // decoder raises the UnicodeDecodeError that names the fault.
  if (!decoded) return new_str(utf8);
  return str.release();
}

}  // namespace vardel::python
