#include "files/directory_text_output.h"

#include "platform/file_access.h"

namespace brindlemoor {
namespace {

std::string JoinPath(const std::string& directory, const char* name) {
  if (directory.empty() || directory == ".") return name;
  return directory.back() == '/' ? directory + name : directory + "/" + name;
}

}  // namespace

DirectoryTextOutput::DirectoryTextOutput(const std::string& directory)
    : receivePath(JoinPath(directory, kReceiveFileName)),
      flagPath(JoinPath(directory, kFlagFileName)) {}

void DirectoryTextOutput::SetFailureReporter(FailureReporter newReporter, void* context) {
  reporter = newReporter;
  reporterContext = context;
}

const std::string& DirectoryTextOutput::PathOf(OutputFile file) const {
  return file == OutputFile::kReceiveText ? receivePath : flagPath;
}

bool DirectoryTextOutput::Append(OutputFile file, const char* data, std::size_t size) {
  const std::string& path = PathOf(file);
  const int error = AppendText(path.c_str(), data, size);
  if (error != 0 && reporter != nullptr) reporter(reporterContext, file, path.c_str(), error);
  return error == 0;
}

}  // namespace brindlemoor
