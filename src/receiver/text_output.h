// Where the receiver's two text files go. Each Append opens the file for appending, writes and
// closes it at once; a failure is reported by the result and never stops the receiver.
#pragma once

#include <cstddef>

namespace brindlemoor {

enum class OutputFile { kReceiveText, kFlagData };

inline constexpr const char* kReceiveFileName = "receive.txt";
inline constexpr const char* kFlagFileName = "flag.dat";

class TextOutput {
 public:
  virtual ~TextOutput() = default;
  virtual bool Append(OutputFile file, const char* data, std::size_t size) = 0;
};

// The one-line text box that shows the last tick's text: its whole content is replaced, without
// undo, by `size` raw bytes.
class TextBox {
 public:
  virtual ~TextBox() = default;
  virtual void ReplaceText(const char* bytes, std::size_t size) = 0;
};

}  // namespace brindlemoor
