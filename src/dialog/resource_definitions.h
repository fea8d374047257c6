/* The ids, texts and layouts of the receiver's window resources as preprocessor definitions, so
   that the Win32 resource script and the C++ constants of resources.h and window_resources.h
   read the very same values. Plain C preprocessor only: the resource compiler includes it too.
   Texts are UTF-8; layouts are x, y, width, height in dialog units. */
#ifndef BRINDLEMOOR_APP_RESOURCE_DEFINITIONS_H
#define BRINDLEMOOR_APP_RESOURCE_DEFINITIONS_H

#define BRINDLEMOOR_ABOUT_DIALOG_ID 100
#define BRINDLEMOOR_ABOUT_MENU_STRING_ID 101
#define BRINDLEMOOR_RECEIVER_DIALOG_ID 102
#define BRINDLEMOOR_ICON_ID 128
#define BRINDLEMOOR_TEXT_LINE_ID 1002
#define BRINDLEMOOR_ABOUT_COMMAND_ID 0x0010

#define BRINDLEMOOR_WINDOW_CAPTION "Brindlemoor"
#define BRINDLEMOOR_ABOUT_CAPTION "Quillbrookのﾊﾞｰｼﾞｮﾝ情報"
#define BRINDLEMOOR_ABOUT_VERSION_TEXT "Quillbrook Version 1.0"
#define BRINDLEMOOR_ABOUT_SECOND_LINE_TEXT "Copyright (C) Brindlemoor"
#define BRINDLEMOOR_ABOUT_OK_TEXT "OK"
#define BRINDLEMOOR_ABOUT_MENU_TEXT "Quillbrook のﾊﾞｰｼﾞｮﾝ情報(&A)..."

#define BRINDLEMOOR_DIALOG_FONT "ＭＳ Ｐゴシック"
#define BRINDLEMOOR_DIALOG_FONT_POINTS 9

#define BRINDLEMOOR_MAIN_WINDOW_UNITS 0, 0, 123, 27
#define BRINDLEMOOR_TEXT_LINE_UNITS 7, 7, 109, 12
#define BRINDLEMOOR_ABOUT_WINDOW_UNITS 0, 0, 235, 55
/* The icon takes its own pixel size at its position. */
#define BRINDLEMOOR_ABOUT_ICON_UNITS 11, 17, 0, 0
#define BRINDLEMOOR_ABOUT_VERSION_UNITS 40, 10, 119, 8
#define BRINDLEMOOR_ABOUT_SECOND_LINE_UNITS 40, 25, 119, 8
#define BRINDLEMOOR_ABOUT_OK_UNITS 178, 7, 50, 14

/* The version block's numbers: the project's version, which --version prints. */
#define BRINDLEMOOR_VERSION_NUMBERS 1, 0, 0, 1
#define BRINDLEMOOR_FILE_VERSION "1, 0, 0, 1"
#define BRINDLEMOOR_INTERNAL_NAME "Quillbrook"
#define BRINDLEMOOR_ORIGINAL_FILENAME "Quillbrook.EXE"
#define BRINDLEMOOR_PRODUCT_NAME "Quillbrook ｱﾌﾟﾘｹｰｼｮﾝ"
/* The version block's language (Japanese) and code page (UTF-16). */
#define BRINDLEMOOR_VERSION_LANGUAGE 0x0411
#define BRINDLEMOOR_VERSION_CODE_PAGE 1200

#endif
