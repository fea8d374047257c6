// TextOutput backed by "receive.txt" and "flag.dat" in one directory, appended in text mode
// with the system's file calls so that a write allocates nothing. Failures go to an optional
// reporter.
#pragma once

#include <string>

#include "receiver/text_output.h"

namespace brindlemoor {

class DirectoryTextOutput : public TextOutput {
 public:
  // Called with the file, its path and errno when a write fails.
  using FailureReporter = void (*)(void* context, OutputFile file, const char* path, int error);

  explicit DirectoryTextOutput(const std::string& directory);
  void SetFailureReporter(FailureReporter reporter, void* context);
  bool Append(OutputFile file, const char* data, std::size_t size) override;
  const std::string& PathOf(OutputFile file) const;

 private:
  std::string receivePath;
  std::string flagPath;
  FailureReporter reporter = nullptr;
  void* reporterContext = nullptr;
};

}  // namespace brindlemoor
