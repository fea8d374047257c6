// The program's command line as UTF-8. On Windows it is read wide from the system
// (CommandLineToArgvW), so a file name in any script reaches the program whatever the ANSI code
// page; elsewhere the arguments are the bytes given, as they are.
#pragma once

#include <string>
#include <vector>

namespace brindlemoor {

class ProgramArguments {
 public:
  // `argc` and `argv` as main received them (ignored on Windows).
  ProgramArguments(int argc, char** argv);
  ProgramArguments(const ProgramArguments&) = delete;
  ProgramArguments& operator=(const ProgramArguments&) = delete;

  int Count() const { return static_cast<int>(values.size()); }
  // argv-like: Count() pointers and a null one, valid as long as this object.
  char** Values() { return pointers.data(); }

 private:
  std::vector<std::string> values;
  std::vector<char*> pointers;
};

}  // namespace brindlemoor
