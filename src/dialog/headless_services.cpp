#include "dialog/headless_services.h"

#include <cerrno>
#include <cstring>

#include "dialog/resources.h"
#include "dialog/visible_controls.h"

namespace brindlemoor {

HeadlessServices::HeadlessServices(std::FILE* text, std::FILE* messages, std::string programName)
    : text(text), messages(messages), programName(std::move(programName)) {}

void HeadlessServices::SetTimer(uint32_t id, uint32_t /*periodMs*/) {
  if (id == kReceiveTimerId) timerRunning = true;
}

void HeadlessServices::KillTimer(uint32_t id) {
  if (id == kReceiveTimerId) timerRunning = false;
}

void HeadlessServices::ShowMessageBox(std::string_view message) {
  std::fprintf(messages, "%s: %.*s\n", programName.c_str(), static_cast<int>(message.size()),
               message.data());
  std::fflush(messages);
}

void HeadlessServices::ReplaceText(const char* bytes, std::size_t size) {
  // After a failed write the stream is left alone: the files keep the text.
  if (size == 0 || !textOk) return;
  errno = 0;
  bool written = false;
  if (controlsVisible && shownThrough) {
    const std::string shown = shownThrough(std::string_view(bytes, size));
    written = std::fwrite(shown.data(), 1, shown.size(), text) == shown.size();
  } else {
    written = controlsVisible ? WriteVisible(text, bytes, size)
                              : std::fwrite(bytes, 1, size, text) == size;
  }
  if (written && std::fflush(text) == 0) return;
  textOk = false;
  std::fprintf(messages,
               "%s: cannot write the text to standard output: %s; decoding goes on into the "
               "files\n",
               programName.c_str(), std::strerror(errno != 0 ? errno : EIO));
  std::fflush(messages);
}

}  // namespace brindlemoor
