#include "platform/program_arguments.h"

namespace brindlemoor {

ProgramArguments::ProgramArguments(int argc, char** argv) : values(argv, argv + argc) {
  for (std::string& value : values) pointers.push_back(value.data());
  pointers.push_back(nullptr);
}

}  // namespace brindlemoor
