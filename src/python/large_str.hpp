// new_large_str: a str made from a large UTF-8 text, such as an export.
//
// PyUnicode_FromStringAndSize allocates the str and fills it in one call, so
// its buffer is faulted in page by 4 KiB page as the decoder writes it. For
// texts of many megabytes this builds the str in steps instead: a census of
// the text gives its length and widest character, the str is allocated, its
// buffer is advised to huge pages, and the text is decoded into it.
#ifndef VARDEL_PYTHON_LARGE_STR_H_
#define VARDEL_PYTHON_LARGE_STR_H_

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <string_view>

namespace vardel::python {

// A new str with the text of `utf8`; null with the interpreter's error set
// when it cannot be made. Texts under kHugePageBufferMin bytes take
// PyUnicode_FromStringAndSize directly.
[[nodiscard]] PyObject* new_large_str(std::string_view utf8);

}  // namespace vardel::python

#endif  // VARDEL_PYTHON_LARGE_STR_H_
