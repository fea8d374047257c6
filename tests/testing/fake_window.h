// WindowServices for tests: remembers the timer, every text shown, message boxes, menu items and
// About boxes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "dialog/window_services.h"

namespace brindlemoor::testing {

class FakeWindow : public WindowServices {
 public:
  void SetTimer(uint32_t id, uint32_t periodMs) override {
    timers[id] = periodMs;
    ++setTimerCalls;
  }
  void KillTimer(uint32_t id) override {
    timers.erase(id);
    ++killTimerCalls;
  }
  void ShowMessageBox(std::string_view text) override { messageBoxes.emplace_back(text); }
  void ReplaceText(const char* bytes, std::size_t size) override {
    shownTexts.emplace_back(bytes, size);
  }
  bool HasSystemMenu() override { return hasSystemMenu; }
  void AppendMenuSeparator() override { menu.push_back({0, "-"}); }
  void AppendMenuItem(uint32_t id, std::string_view text) override {
    menu.push_back({id, std::string(text)});
  }
  std::string_view LoadMenuString() override { return menuString; }
  void SetIcons() override { ++iconSets; }
  void RunAboutBox() override { ++aboutBoxes; }

  bool TimerRunning(uint32_t id) const { return timers.count(id) != 0; }

  std::map<uint32_t, uint32_t> timers;
  int setTimerCalls = 0;
  int killTimerCalls = 0;
  std::vector<std::string> messageBoxes;
  std::vector<std::string> shownTexts;
  bool hasSystemMenu = true;
  std::string menuString = "menu";
  std::vector<std::pair<uint32_t, std::string>> menu;
  int iconSets = 0;
  int aboutBoxes = 0;
};

// TextOutput that keeps both files in memory and can refuse writes.
class MemoryTextOutput : public TextOutput {
 public:
  bool Append(OutputFile file, const char* data, std::size_t size) override {
    if (fail) return false;
    (file == OutputFile::kReceiveText ? receiveText : flagData).append(data, size);
    return true;
  }
  std::string receiveText;
  std::string flagData;
  bool fail = false;
};

}  // namespace brindlemoor::testing
