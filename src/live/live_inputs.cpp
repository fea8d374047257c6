#include "live/live_input.h"

namespace brindlemoor {

// Each backend's own file defines its pair; only the platform's backend is built.
std::unique_ptr<LiveInput> OpenPortAudioInput(const std::string& selector);
int ListPortAudioInputs(const char* program);
std::unique_ptr<LiveInput> OpenWinmmInput(const std::string& selector);
int ListWinmmInputs(const char* program);

namespace {

struct LiveBackend {
  std::unique_ptr<LiveInput> (*open)(const std::string& selector);
  int (*list)(const char* program);
};

// The platform's backend, chosen here and nowhere else.
#if defined(_WIN32)
constexpr LiveBackend kBackend{&OpenWinmmInput, &ListWinmmInputs};
#else
constexpr LiveBackend kBackend{&OpenPortAudioInput, &ListPortAudioInputs};
#endif

}  // namespace

std::unique_ptr<LiveInput> OpenLiveInput(const std::string& selector) {
  return kBackend.open(selector);
}

int ListLiveInputs(const char* program) { return kBackend.list(program); }

}  // namespace brindlemoor
