#include "display/cp932_display.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace brindlemoor {
namespace {

constexpr uint8_t kFirstPrintable = 0x20;
constexpr uint8_t kDelete = 0x7F;

bool IsLeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsTrailByte(uint8_t b) { return b >= 0x40 && b <= 0xFC && b != kDelete; }

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// One CP932 -> UTF-8 converter for the length of a call. Each character (one or two bytes) is
// converted on its own, so an unmapped one costs exactly one U+FFFD and never its neighbours.
class Converter {
 public:
  Converter() : handle(iconv_open("UTF-8", "CP932")) {}
  ~Converter() {
    if (Available()) iconv_close(handle);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool Available() const { return handle != reinterpret_cast<iconv_t>(-1); }

  // Appends the character of `size` bytes, or U+FFFD when CP932 does not map it.
  void Append(std::string& out, const char* bytes, std::size_t size) {
    // A CP932 character is at most U+FFFF: three UTF-8 bytes.
    char buffer[8];
    char* in = const_cast<char*>(bytes);
    std::size_t inLeft = size;
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const bool converted =
        Available() && iconv(handle, &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) &&
        inLeft == 0;
    if (Available())
      iconv(handle, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    if (converted) {
      out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    } else {
      AppendUtf8(out, kReplacementCharacter);
    }
  }

 private:
  iconv_t handle;
};

}  // namespace

std::string Cp932ToDisplay(std::string_view bytes) {
  Converter converter;
  std::string out;
  out.reserve(bytes.size() * 3);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<uint8_t>(bytes[i]);
    if (b < kFirstPrintable) {
      AppendUtf8(out, kControlPictureBase + b);
    } else if (b == kDelete) {
      AppendUtf8(out, kDeletePicture);
    } else if (b < kDelete) {
      out += static_cast<char>(b);  // CP932's single bytes 0x20..0x7E are ASCII
    } else if (IsLeadByte(b)) {
      if (i + 1 < bytes.size() && IsTrailByte(static_cast<uint8_t>(bytes[i + 1]))) {
        converter.Append(out, bytes.data() + i, 2);
        ++i;
      } else {
        AppendUtf8(out, kReplacementCharacter);
      }
    } else {
      converter.Append(out, bytes.data() + i, 1);
    }
  }
  return out;
}

}  // namespace brindlemoor
