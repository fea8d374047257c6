// The Windows programs as files a person installs: each .exe carries its file icon (16 to 256 px,
// as the first icon group, which Explorer shows), a manifest declaring per-monitor DPI awareness
// and the supported Windows versions, and a version block; and the wave-in capture creates the
// named mutex "MM_Mutex" that other programs may look for.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "live/winmm_device.h"
#include "platform/utf16.h"

namespace brindlemoor {
namespace {

// The Linux path of a built program as wine's Z: drive shows it.
std::wstring OnDriveZ(const char* path) {
  std::wstring wide = L"Z:" + Utf8ToWide(path);
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  return wide;
}

std::string ResourceBytes(HMODULE module, LPCWSTR name, LPCWSTR type) {
  HRSRC found = FindResourceW(module, name, type);
  if (found == nullptr) return {};
  const auto* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
  return std::string(data, SizeofResource(module, found));
}

TEST(WindowsProgramsTest, EveryExeHasItsIconManifestAndVersionBlock) {
  for (const char* program : {BRINDLEMOOR_WINDOW_PROGRAM, BRINDLEMOOR_RECEIVE_PROGRAM,
                              BRINDLEMOOR_SEND_PROGRAM, BRINDLEMOOR_CHANNEL_PROGRAM}) {
    SCOPED_TRACE(program);
    HMODULE module = LoadLibraryExW(OnDriveZ(program).c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr) << "error " << GetLastError();
    // GRPICONDIR: reserved, type, count; then 14-byte entries starting with width and height
    // (0 meaning 256).
    const std::string group =
        ResourceBytes(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */);
    ASSERT_GE(group.size(), 6u);
    uint16_t count = 0;
    std::memcpy(&count, group.data() + 4, sizeof count);
    std::vector<int> sizes;
    for (std::size_t i = 0; i < count && 6 + 14 * (i + 1) <= group.size(); ++i) {
      const auto width = static_cast<uint8_t>(group[6 + 14 * i]);
      sizes.push_back(width == 0 ? 256 : width);
    }
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, (std::vector<int>{16, 24, 32, 48, 256}));

    const std::string manifest = ResourceBytes(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    for (const char* part :
         {"PerMonitorV2", "true/pm", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a", "asInvoker"}) {
      EXPECT_NE(manifest.find(part), std::string::npos) << part;
    }
    EXPECT_FALSE(
        ResourceBytes(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16) /* RT_VERSION */).empty());
    FreeLibrary(module);
  }
}

TEST(WindowsProgramsTest, WaveInCaptureCreatesTheNamedMutex) {
  const WinmmWaveInDevice device;
  HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, "MM_Mutex");
  EXPECT_NE(mutex, nullptr);
  if (mutex != nullptr) CloseHandle(mutex);
}

}  // namespace
}  // namespace brindlemoor
