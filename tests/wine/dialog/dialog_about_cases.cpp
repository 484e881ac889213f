// The About box, and the pictures of both dialogs kept as build artifacts.
#include <windows.h>

#include "../host/host_log.h"
#include "dialog_cases.h"
#include "dialog_fixtures.h"
#include "dialog_session.h"
#include "dialog_window_shot.h"

namespace {

BOOL CALLBACK FindBitmapStatic(HWND window, LPARAM parameter) {
  if ((GetWindowLongA(window, GWL_STYLE) & SS_TYPEMASK) != SS_BITMAP) return TRUE;
  *reinterpret_cast<HWND*>(parameter) = window;
  return FALSE;
}

// The box opens centred on the work area, shows the 80 x 100 picture, ignores Escape, and closes by its button.
void AboutBoxClosesOnlyByItsButton(const CaseContext& context) {
  LogScope scope("about box");
  const std::string folder = MakeCaseFolder(context.root, "about", context.dll);
  DialogSession session;
  if (!LoadSessionPlugin(session, folder) || !OpenSettings(session)) return EndSession(session);
  KeepDialogShot(context, session.dialog, "settings_dialog.png");
  ClickLater(session, ids::kAbout);
  HWND about = WaitForThreadWindow(session, "Tagada!");
  if (about == nullptr) {
    Fail("the About box did not open");
    ClickNow(session, IDCANCEL);
    return EndSession(session);
  }
  CHECK_TRUE(GetWindow(about, GW_OWNER) == session.dialog);
  CHECK_EQ_INT(GetWindowLongA(about, GWL_STYLE) & WS_SYSMENU, 0);
  RECT work{}, box{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  GetWindowRect(about, &box);
  CHECK_EQ_INT(box.left, (work.right - (box.right - box.left)) / 2);
  CHECK_EQ_INT(box.top, (work.bottom - (box.bottom - box.top)) / 2);
  char text[64] = {};
  GetDlgItemTextA(about, IDOK, text, sizeof text);
  CHECK_EQ_STR(text, "Sooooo Exciting!");
  HWND picture = nullptr;
  EnumChildWindows(about, FindBitmapStatic, reinterpret_cast<LPARAM>(&picture));
  BITMAP shown{};
  HANDLE image =
      picture != nullptr ? reinterpret_cast<HANDLE>(SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0)) : nullptr;
  CHECK_TRUE(image != nullptr && GetObjectA(image, sizeof shown, &shown) == sizeof shown);
  CHECK_EQ_INT(shown.bmWidth, 80);
  CHECK_EQ_INT(shown.bmHeight, 100);
  KeepDialogShot(context, about, "about_box.png");

  PostMessageA(about, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  PostMessageA(about, WM_KEYUP, VK_ESCAPE, 0xC0010001);
  for (int i = 0; i < 200 && AboutCancelCommands() == 0; ++i) Sleep(10);
  CHECK_EQ_INT(AboutCancelCommands(), 1);
  SendMessageA(about, WM_NULL, 0, 0);
  CHECK_TRUE(IsWindow(about) && IsWindowVisible(about));
  PostMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
  CHECK_TRUE(WaitUntilGone(about));
  CHECK_TRUE(IsWindowVisible(session.dialog));
  ClickNow(session, IDCANCEL);
  if (!WaitForConfigEnd(session)) Fail("the dialog did not end on Cancel");
  EndSession(session);
}

// The picture resource itself: 80 x 100 at 8 bits per pixel.
void AboutPictureResource(const CaseContext& context) {
  LogScope scope("about picture resource");
  const std::string folder = MakeCaseFolder(context.root, "about-picture", context.dll);
  HMODULE library = LoadLibraryExA((folder + "\\vis_tavelmir.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  CHECK_TRUE(library != nullptr);
  HANDLE image = library != nullptr
                     ? LoadImageA(library, MAKEINTRESOURCEA(108), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)
                     : nullptr;
  DIBSECTION section{};
  CHECK_TRUE(image != nullptr && GetObjectA(image, sizeof section, &section) == sizeof section);
  CHECK_EQ_INT(section.dsBmih.biWidth, 80);
  CHECK_EQ_INT(section.dsBmih.biHeight, 100);
  CHECK_EQ_INT(section.dsBmih.biBitCount, 8);
  if (image != nullptr) DeleteObject(image);
  if (library != nullptr) FreeLibrary(library);
}

}  // namespace

void RunAboutCases(const CaseContext& context) {
  AboutBoxClosesOnlyByItsButton(context);
  AboutPictureResource(context);
}
