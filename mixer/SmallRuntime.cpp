// The C++ runtime is linked statically into every shipped file. Three of its
// parts cost far more than they give here, so they are replaced:
//
// - The default terminate handler prints the demangled name of an uncaught
//   exception and pulls in the whole demangler and printf. Nothing escapes
//   the entry points of the program or the component, so a plain abort
//   does.
// - A failed precondition check (an index past the end) reports itself with
//   the same demangler and printf before it stops; here it only stops.
// - The containers' own checks (a string built from a null pointer, a length
//   past max_size(), an index out of range) throw through one file of the
//   runtime that also constructs every standard exception, and with them a
//   second, copy-on-write string implementation. Here they throw a
//   TextError with the runtime's message, which every handler of the program
//   and the component already reports; allocation failures stay
//   std::bad_alloc.
#include <cstdlib>
#include <new>

#include "common/TextError.h"

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace std {
void __glibcxx_assert_fail(const char*, int, const char*, const char*) noexcept { std::abort(); }
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_logic_error(const char* text) { throw TextError(text); }
void __throw_length_error(const char* text) { throw TextError(text); }
void __throw_out_of_range(const char* text) { throw TextError(text); }
// The format's numbers are left unfilled: the text still names the check.
void __throw_out_of_range_fmt(const char* format, ...) { throw TextError(format); }
void __throw_invalid_argument(const char* text) { throw TextError(text); }
}  // namespace std
