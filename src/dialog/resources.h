// Texts, ids and sizes of the receiver's window resources.
#pragma once

#include <cstdint>

#include "dialog/resource_definitions.h"

namespace brindlemoor {

inline constexpr uint32_t kReceiveTimerId = 2;
inline constexpr uint32_t kReceiveTimerPeriodMs = 500;
inline constexpr uint32_t kAboutCommandId = BRINDLEMOOR_ABOUT_COMMAND_ID;
inline constexpr uint32_t kCommandIdMask = 0xFFF0;

inline constexpr uint32_t kAboutDialogId = BRINDLEMOOR_ABOUT_DIALOG_ID;
inline constexpr uint32_t kAboutMenuStringId = BRINDLEMOOR_ABOUT_MENU_STRING_ID;
inline constexpr uint32_t kReceiverDialogId = BRINDLEMOOR_RECEIVER_DIALOG_ID;
inline constexpr uint32_t kIconId = BRINDLEMOOR_ICON_ID;
inline constexpr uint32_t kTextLineId = BRINDLEMOOR_TEXT_LINE_ID;

inline constexpr const char* kWindowCaption = BRINDLEMOOR_WINDOW_CAPTION;
inline constexpr const char* kAboutCaption = BRINDLEMOOR_ABOUT_CAPTION;
inline constexpr const char* kAboutVersionText = BRINDLEMOOR_ABOUT_VERSION_TEXT;
inline constexpr const char* kAboutMenuText = BRINDLEMOOR_ABOUT_MENU_TEXT;
inline constexpr const char* kProductName = BRINDLEMOOR_PRODUCT_NAME;
inline constexpr const char* kFileVersion = BRINDLEMOOR_FILE_VERSION;

inline constexpr const char* kSpectrumAllocFailedText = "メモリが確保（malloc）できません!";
inline constexpr const char* kRecordAllocFailedText = "録音処理の初期化に失敗しました！";

}  // namespace brindlemoor
