// The C++ runtime is linked statically. Its default terminate handler prints
// the demangled name of an uncaught exception and pulls in the whole
// demangler and printf (tens of KB) for it. Nothing escapes the entry points
// of the program or the component, so a plain abort does.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
