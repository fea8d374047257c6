#include "channel/loopback.h"

#include <cstdio>
#include <memory>

#include "capture/replay_device.h"
#include "dialog/receiver_dialog.h"
#include "dialog/replay_run.h"
#include "dialog/window_services.h"
#include "files/recording_file.h"
#include "files/wav_writer.h"
#include "platform/file_access.h"
#include "receiver/text_output.h"

namespace brindlemoor {

namespace {

// The window of a receiver that nobody watches: the timer is remembered, the rest dropped.
class QuietWindow : public WindowServices {
 public:
  void SetTimer(uint32_t, uint32_t) override {}
  void KillTimer(uint32_t) override {}
  void ShowMessageBox(std::string_view) override {}
  void ReplaceText(const char*, std::size_t) override {}
};

class MemoryFiles : public TextOutput {
 public:
  explicit MemoryFiles(Received& into) : into(into) {}
  bool Append(OutputFile file, const char* data, std::size_t size) override {
    (file == OutputFile::kReceiveText ? into.text : into.flags).append(data, size);
    return true;
  }

 private:
  Received& into;
};

}  // namespace

bool ReceiveRecording(const std::string& path, Received& received, IoError& error,
                      Framing framing) {
  const std::unique_ptr<RecordingFile> recording = RecordingFile::Open(path, error);
  if (!recording) return false;
  received = {};
  ReplayDevice device(*recording);
  QuietWindow window;
  MemoryFiles files(received);
  ReceiverDialog dialog(window, device, files);
  dialog.SetFraming(framing);
  dialog.OnInitDialog();
  if (!dialog.TimerRunning()) {
    error.description = "cannot start the replay: " + device.ErrorText();
    dialog.OnDestroy();
    return false;
  }
  RunReplay(dialog, device);
  dialog.OnDestroy();
  return true;
}

bool ReceiveSound(std::span<const double> samples, int32_t sampleRate, int32_t bits,
                  const std::string& scratchPath, Received& received, IoError& error,
                  Framing framing) {
  if (!WriteWav(scratchPath, samples, sampleRate, bits, error)) return false;
  const bool ok = ReceiveRecording(scratchPath, received, error, framing);
  RemoveFile(scratchPath.c_str());
  return ok;
}

}  // namespace brindlemoor
