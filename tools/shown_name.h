// How a path appears in the programs' messages: standard input ("-") by that name, and bytes that
// would act on a terminal (control bytes, C1 bytes outside valid UTF-8) as "\xHH", so that a file
// named to retitle or clear the terminal is seen, not obeyed.
#pragma once

#include <string>
#include <string_view>

namespace brindlemoor::tools {

std::string ShownName(std::string_view path);

}  // namespace brindlemoor::tools
