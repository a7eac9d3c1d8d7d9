// Keeps the static C++ runtime from bringing its diagnostics into a program
// that has no console to print them on. An exception that nobody catches
// (only a failed allocation can raise one here) still ends the process; the
// default handler would first demangle the exception's name for stderr,
// which costs a fifth of the program's code.
#include <cstdlib>   // a C++ header: it says which C++ runtime this is

#if defined(__GLIBCXX__)

namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    abort();
}
}  // namespace __gnu_cxx
#endif
