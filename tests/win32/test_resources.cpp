// The Win32 program's compiled resources against the constants both windows share: the two
// dialog templates (styles, layout in dialog units, captions, font, controls), string 101, icon
// group 128 and the version block. They are read back from this test program, which links the
// very resource object the window program links. No display is needed.
#include <gtest/gtest.h>
#include <windows.h>
#include <winver.h>

#include <cstring>
#include <string>
#include <vector>

#include "dialog/resources.h"
#include "dialog/window_resources.h"
#include "dialog_template.h"
#include "win32/text.h"
#include "win32/window_services.h"

namespace brindlemoor {
namespace {

using testing::DialogTemplate;
using testing::LoadDialogTemplate;
using testing::NameOrOrdinal;

constexpr uint16_t kButtonClass = 0x80, kEditClass = 0x81, kStaticClass = 0x82;

HMODULE Self() { return GetModuleHandleW(nullptr); }
NameOrOrdinal Named(const char* utf8) { return {Utf8ToWide(utf8), 0}; }
NameOrOrdinal Ordinal(uint16_t value) { return {{}, value}; }

void ExpectDialogFont(const DialogTemplate& dialog) {
  EXPECT_NE(dialog.style & DS_SETFONT, 0u);
  EXPECT_EQ(dialog.fontPoints, kDialogFontPoints);
  EXPECT_EQ(dialog.fontName, Utf8ToWide(kDialogFontFamilies[0]));
  EXPECT_EQ(dialog.fontName, L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF");  // ＭＳ Ｐゴシック
}

TEST(Win32ResourcesTest, MainDialogIsTheCaptionedBoxWithOneReadOnlyLine) {
  const auto dialog = LoadDialogTemplate(Self(), kReceiverDialogId);
  ASSERT_TRUE(dialog);
  EXPECT_EQ(dialog->style & ~DWORD{DS_SETFONT},
            DWORD{WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME});
  EXPECT_EQ(dialog->extendedStyle, DWORD{WS_EX_APPWINDOW});
  EXPECT_EQ(dialog->units, kMainWindowUnits);
  EXPECT_EQ(dialog->caption, Utf8ToWide(kWindowCaption));
  ExpectDialogFont(*dialog);

  ASSERT_EQ(dialog->items.size(), 1u);
  const testing::DialogItem& line = dialog->items[0];
  EXPECT_EQ(line.id, kTextLineId);
  EXPECT_EQ(line.windowClass, Ordinal(kEditClass));
  EXPECT_EQ(line.units, kTextLineUnits);
  EXPECT_EQ(line.style,
            DWORD{WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL});
}

TEST(Win32ResourcesTest, AboutBoxHasItsIconTextsAndDefaultOk) {
  const auto dialog = LoadDialogTemplate(Self(), kAboutDialogId);
  ASSERT_TRUE(dialog);
  EXPECT_EQ(dialog->style & ~DWORD{DS_SETFONT},
            DWORD{WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME});
  EXPECT_EQ(dialog->units, kAboutWindowUnits);
  EXPECT_EQ(dialog->caption, Utf8ToWide(kAboutCaption));
  EXPECT_EQ(dialog->caption,
            L"Quillbrook\x306E\xFF8A\xFF9E\xFF70\xFF7C\xFF9E\xFF6E\xFF9D\x60C5\x5831");
  ExpectDialogFont(*dialog);

  struct Expected {
    uint16_t windowClass;
    NameOrOrdinal title;
    DialogRect units;
    DWORD styleBits;  // bits that must be set
  };
  const Expected expected[] = {
      {kStaticClass, Ordinal(kIconId), kAboutIconUnits, SS_ICON},
      {kStaticClass, Named(kAboutVersionText), kAboutVersionUnits, SS_NOPREFIX},
      {kStaticClass, Named(kAboutSecondLineText), kAboutSecondLineUnits, 0},
      {kButtonClass, Named(kAboutOkText), kAboutOkUnits, BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP}};
  ASSERT_EQ(dialog->items.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(i);
    const testing::DialogItem& item = dialog->items[i];
    EXPECT_EQ(item.windowClass, Ordinal(expected[i].windowClass));
    EXPECT_EQ(item.title, expected[i].title);
    EXPECT_EQ(item.units, expected[i].units);
    EXPECT_EQ(item.style & expected[i].styleBits, expected[i].styleBits);
    EXPECT_NE(item.style & WS_VISIBLE, 0u);
  }
  EXPECT_EQ(dialog->items[3].id, IDOK);
}

TEST(Win32ResourcesTest, MenuStringComesBackAsTheSharedText) {
  Win32WindowServices services(Self());
  EXPECT_EQ(services.LoadMenuString(), kAboutMenuText);
}

TEST(Win32ResourcesTest, IconGroupHoldsThe32And16PixelImages) {
  // Read as data: the icon functions would start the display side of the system.
  HRSRC found = FindResourceW(Self(), MAKEINTRESOURCEW(kIconId), MAKEINTRESOURCEW(14));
  ASSERT_NE(found, nullptr);
  // GRPICONDIR: reserved, type 1, count; then 14-byte entries: width, height, colours, reserved,
  // planes, bits per pixel, bytes, and the id of the RT_ICON resource holding the image.
  const auto* group = static_cast<const uint8_t*>(LockResource(LoadResource(Self(), found)));
  uint16_t header[3];
  std::memcpy(header, group, sizeof header);
  EXPECT_EQ(header[1], 1u);
  ASSERT_EQ(header[2], 2u);
  const int sizes[] = {32, 16};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(sizes[i]);
    const uint8_t* entry = group + 6 + 14 * i;
    EXPECT_EQ(entry[0], sizes[i]);
    EXPECT_EQ(entry[1], sizes[i]);
    uint32_t bytes = 0;
    uint16_t id = 0;
    std::memcpy(&bytes, entry + 8, sizeof bytes);
    std::memcpy(&id, entry + 12, sizeof id);
    HRSRC image = FindResourceW(Self(), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(SizeofResource(Self(), image), bytes);
    // A classic image: a BITMAPINFOHEADER of the colour image and its mask (twice the height).
    BITMAPINFOHEADER info;
    std::memcpy(&info, LockResource(LoadResource(Self(), image)), sizeof info);
    EXPECT_EQ(info.biSize, sizeof info);
    EXPECT_EQ(info.biWidth, sizes[i]);
    EXPECT_EQ(info.biHeight, 2 * sizes[i]);
    EXPECT_EQ(info.biBitCount, 32);
  }
}

std::wstring VersionString(const std::vector<uint8_t>& block, const wchar_t* name) {
  const std::wstring path = std::wstring(L"\\StringFileInfo\\041104B0\\") + name;
  wchar_t* value = nullptr;
  UINT length = 0;
  auto* data = const_cast<uint8_t*>(block.data());
  if (!VerQueryValueW(data, path.c_str(), reinterpret_cast<void**>(&value), &length)) {
    return L"<missing>";
  }
  return std::wstring(value, length > 0 ? length - 1 : 0);  // without the terminating zero
}

TEST(Win32ResourcesTest, VersionBlockIsJapaneseUtf16WithTheProductNames) {
  wchar_t path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
  const DWORD size = GetFileVersionInfoSizeW(path, nullptr);
  ASSERT_GT(size, 0u);
  std::vector<uint8_t> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, block.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  // The numbers are the project's version, which --version prints: 1.0.0.1.
  const auto dotted = [](DWORD high, DWORD low) {
    return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." +
           std::to_string(HIWORD(low)) + "." + std::to_string(LOWORD(low));
  };
  EXPECT_EQ(dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS), kApplicationVersion);
  EXPECT_EQ(dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS), kApplicationVersion);
  EXPECT_STREQ(kApplicationVersion, "1.0.0.1");

  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(translation[0], 0x0411);
  EXPECT_EQ(translation[1], 0x04B0);

  struct Field {
    const wchar_t* name;
    std::string value;
  };
  const Field fields[] = {
      {L"FileVersion", kFileVersion},   {L"ProductVersion", kFileVersion},
      {L"InternalName", kInternalName}, {L"OriginalFilename", kOriginalFilename},
      {L"ProductName", kProductName},   {L"CompanyName", ""},
      {L"LegalTrademarks", ""}};
  for (const Field& field : fields) {
    EXPECT_EQ(VersionString(block, field.name), Utf8ToWide(field.value)) << "field " << field.name;
  }
  EXPECT_EQ(VersionString(block, L"ProductName"),
            L"Quillbrook \xFF71\xFF8C\xFF9F\xFF98\xFF79\xFF70\xFF7C\xFF6E\xFF9D");
}

}  // namespace
}  // namespace brindlemoor
