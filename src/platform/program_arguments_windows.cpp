#include <windows.h>
// CommandLineToArgvW
#include <shellapi.h>

#include "platform/program_arguments.h"
#include "platform/utf16.h"

namespace brindlemoor {

ProgramArguments::ProgramArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide != nullptr) {
    for (int i = 0; i < count; ++i) values.push_back(WideToUtf8(wide[i]));
    LocalFree(wide);
  } else {  // out of memory: the runtime's ANSI arguments are the best there is
    values.assign(argv, argv + argc);
  }
  for (std::string& value : values) pointers.push_back(value.data());
  pointers.push_back(nullptr);
}

}  // namespace brindlemoor
