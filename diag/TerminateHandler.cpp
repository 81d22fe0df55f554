// Replaces libstdc++'s verbose terminate handler, which would pull the C++
// name demangler (about 50 KB) into the program only to print a type name
// to a console that a GUI program does not have. An exception that nobody
// catches ends the process with abort().
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
