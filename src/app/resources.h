// Texts, ids and sizes of the receiver's window resources.
#pragma once

#include <cstdint>

namespace brindlemoor {

inline constexpr uint32_t kReceiveTimerId = 2;
inline constexpr uint32_t kReceiveTimerPeriodMs = 500;
inline constexpr uint32_t kAboutCommandId = 0x0010;
inline constexpr uint32_t kCommandIdMask = 0xFFF0;

inline constexpr const char* kWindowCaption = "Brindlemoor";
inline constexpr const char* kAboutCaption = "Quillbrookのﾊﾞｰｼﾞｮﾝ情報";
inline constexpr const char* kAboutVersionText = "Quillbrook Version 1.0";
inline constexpr const char* kAboutMenuText = "Quillbrook のﾊﾞｰｼﾞｮﾝ情報(&A)...";
inline constexpr const char* kProductName = "Quillbrook ｱﾌﾟﾘｹｰｼｮﾝ";
inline constexpr const char* kFileVersion = "1, 0, 0, 1";

inline constexpr const char* kSpectrumAllocFailedText = "メモリが確保（malloc）できません!";
inline constexpr const char* kRecordAllocFailedText = "録音処理の初期化に失敗しました！";

}  // namespace brindlemoor
