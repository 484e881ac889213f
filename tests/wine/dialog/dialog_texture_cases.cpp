// The texture picker: the file-open dialog it shows, the bitmaps it refuses and the one it keeps.
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <vector>

#include "../host/host_log.h"
#include "dialog_cases.h"
#include "dialog_fixtures.h"
#include "dialog_session.h"

namespace {

// The file name is edit 0x480 in the old layout and the combo box 0x47C (with an edit inside) in the new one.
constexpr int kFileNameEdit = 0x480, kFileNameCombo = 0x47C, kFilterCombo = 0x470, kHelpButton = 0x40E;
constexpr char kNotDimensioned[] = "\" is not correctly dimensionned!     (Only 256 colors bitmaps are accepted)";

struct ChildSearch {
  int id;
  HWND found;
};

BOOL CALLBACK FindChildId(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<ChildSearch*>(parameter);
  if (GetDlgCtrlID(window) != search->id || !IsWindowVisible(window)) return TRUE;
  search->found = window;
  return FALSE;
}

BOOL CALLBACK LogChild(HWND window, LPARAM) {
  char className[64] = {}, text[64] = {};
  GetClassNameA(window, className, sizeof className);
  GetWindowTextA(window, text, sizeof text);
  LogLine("    child id 0x%x class %s visible %d text \"%s\"", GetDlgCtrlID(window), className,
          IsWindowVisible(window) ? 1 : 0, text);
  return TRUE;
}

HWND FindControl(HWND dialog, int id) {
  ChildSearch search{id, nullptr};
  EnumChildWindows(dialog, FindChildId, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string ComboText(HWND combo, int index) {
  char text[256] = {};
  if (SendMessageA(combo, CB_GETLBTEXTLEN, index, 0) < static_cast<LRESULT>(sizeof text)) {
    SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
  }
  return text;
}

// Opens the picker, checks its setup, and answers it with `path` (or cancels when `path` is empty).
void AnswerPicker(DialogSession& session, const std::string& path) {
  ClickLater(session, ids::kLoadTexture);
  HWND picker = WaitForThreadWindow(session, "Gribola");
  if (picker == nullptr) return Fail("the file-open dialog \"Gribola\" did not open");
  CHECK_TRUE(GetWindow(picker, GW_OWNER) == session.dialog);
  HWND filter = FindControl(picker, kFilterCombo);
  CHECK_TRUE(filter != nullptr);
  if (filter != nullptr) {
    CHECK_EQ_INT(SendMessageA(filter, CB_GETCOUNT, 0, 0), 2);
    CHECK_EQ_INT(SendMessageA(filter, CB_GETCURSEL, 0, 0), 0);
    CHECK_EQ_STR(ComboText(filter, 0), "BMP files (*.bmp)");
    CHECK_EQ_STR(ComboText(filter, 1), "All Files (*.*)");
  }
  CHECK_TRUE(FindControl(picker, kHelpButton) != nullptr);
  if (path.empty()) {
    PostMessageA(picker, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  } else {
    HWND edit = FindControl(picker, kFileNameEdit);
    if (edit == nullptr) edit = FindControl(picker, kFileNameCombo);
    if (edit == nullptr) {
      Fail("the file-open dialog has no file name control 0x480 or 0x47C; its controls:");
      EnumChildWindows(picker, LogChild, 0);
      PostMessageA(picker, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      WaitUntilGone(picker);
      return;
    }
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageA(picker, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  }
  if (!WaitUntilGone(picker)) Fail("the file-open dialog did not close");
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

struct RefusedFile {
  const char* label;
  const char* name;
  int width, height, bits;  // bits 0: not a bitmap at all
  const char* before;
  const char* after;
};

// A file that is not a 256 x 256 bitmap at 8 bits is refused with its message; TextureName is emptied, and
// UseTexture is left alone.
void RefusedFilesEmptyTheName(const CaseContext& context) {
  const RefusedFile files[] = {
      {"24-bit bitmap", "deep.bmp", 256, 256, 24, "The bitmap file \"", kNotDimensioned},
      {"not a bitmap", "garbage.bmp", 0, 0, 0, "Error loading \"", "\""},
  };
  for (const RefusedFile& file : files) {
    LogScope scope(file.label);
    const std::string folder = MakeCaseFolder(context.root, std::string("texture-") + file.label, context.dll);
    const std::string path = folder + "\\" + file.name;
    if (file.bits != 0) {
      WriteBitmap(path, file.width, file.height, file.bits);
    } else {
      FILE* junk = std::fopen(path.c_str(), "wb");
      if (junk != nullptr) std::fputs("no bitmap here\n", junk), std::fclose(junk);
    }
    WriteSettingsFile(folder, {{"UseTexture", "1"}, {"TextureName", "C:\\old\\texture.bmp"}});
    DialogSession session;
    if (!LoadSessionPlugin(session, folder) || !OpenSettings(session)) return EndSession(session);
    AnswerPicker(session, path);
    if (!WaitForClosedBoxes(1)) Fail("no message box came");
    SendMessageA(session.dialog, WM_NULL, 0, 0);
    const std::vector<CaughtBox> boxes = TakeCaughtBoxes();
    CHECK_EQ_INT(boxes.size(), 1);
    if (boxes.size() == 1) {
      CHECK_EQ_STR(Lower(boxes[0].text), Lower(file.before + path + file.after));
      CHECK_EQ_STR(boxes[0].caption, "Error");
      CHECK_TRUE(boxes[0].errorIcon);
      CHECK_TRUE(boxes[0].owner == session.dialog);
    }
    CHECK_EQ_INT(IsChecked(session, ids::kUseTexture), 1);
    ClickNow(session, IDOK);
    if (!WaitForConfigEnd(session)) Fail("the dialog did not end on OK");
    CHECK_EQ_STR(StoredSetting(folder, "TextureName"), "");
    CHECK_EQ_STR(StoredSetting(folder, "UseTexture"), "1");
    EndSession(session);
  }
}

// A path too long for the 256-byte message keeps the message's wording and the file's name.
void LongPathMessageFits(const CaseContext& context) {
  LogScope scope("long texture path");
  const std::string folder = MakeCaseFolder(context.root, "texture-long", context.dll);
  std::string deep = folder;
  while (deep.size() < 200) {
    deep += "\\long-folder-name-for-the-texture";
    CreateDirectoryA(deep.c_str(), nullptr);
  }
  const std::string path = deep + "\\a-deep-texture-file.bmp";
  WriteBitmap(path, 64, 64, 24);
  CHECK_TRUE(path.size() > 200 && path.size() < 260);
  DialogSession session;
  if (!LoadSessionPlugin(session, folder) || !OpenSettings(session)) return EndSession(session);
  AnswerPicker(session, path);
  if (!WaitForClosedBoxes(1)) Fail("no message box came");
  const std::vector<CaughtBox> boxes = TakeCaughtBoxes();
  CHECK_EQ_INT(boxes.size(), 1);
  if (boxes.size() == 1) {
    const std::string& text = boxes[0].text;
    const std::string tail = std::string("a-deep-texture-file.bmp") + kNotDimensioned;
    CHECK_TRUE(text.size() <= 255);
    CHECK_EQ_STR(text.substr(0, 20), "The bitmap file \"...");
    CHECK_TRUE(text.size() >= tail.size() && Lower(text.substr(text.size() - tail.size())) == Lower(tail));
  }
  ClickNow(session, IDOK);
  if (!WaitForConfigEnd(session)) Fail("the dialog did not end on OK");
  CHECK_EQ_STR(StoredSetting(folder, "TextureName"), "");
  EndSession(session);
}

// A 256 x 256 8-bit bitmap is taken as it is; a cancelled picker changes nothing.
void AcceptedAndCancelled(const CaseContext& context) {
  LogScope scope("accepted texture");
  const std::string folder = MakeCaseFolder(context.root, "texture-good", context.dll);
  const std::string path = folder + "\\good.bmp";
  WriteBitmap(path, 256, 256, 8);
  WriteSettingsFile(folder, {{"UseTexture", "0"}, {"TextureName", "C:\\old\\texture.bmp"}});
  DialogSession session;
  if (!LoadSessionPlugin(session, folder) || !OpenSettings(session)) return EndSession(session);
  AnswerPicker(session, "");
  SendMessageA(session.dialog, WM_NULL, 0, 0);
  AnswerPicker(session, path);
  SendMessageA(session.dialog, WM_NULL, 0, 0);
  CHECK_EQ_INT(TakeCaughtBoxes().size(), 0);
  ClickNow(session, IDOK);
  if (!WaitForConfigEnd(session)) Fail("the dialog did not end on OK");
  CHECK_EQ_STR(Lower(StoredSetting(folder, "TextureName")), Lower(path));
  CHECK_EQ_STR(StoredSetting(folder, "UseTexture"), "0");
  EndSession(session);

  LogScope cancelled("cancelled picker");
  const std::string other = MakeCaseFolder(context.root, "texture-cancel", context.dll);
  WriteSettingsFile(other, {{"TextureName", "C:\\kept\\texture.bmp"}});
  DialogSession again;
  if (!LoadSessionPlugin(again, other) || !OpenSettings(again)) return EndSession(again);
  AnswerPicker(again, "");
  SendMessageA(again.dialog, WM_NULL, 0, 0);
  CHECK_EQ_INT(TakeCaughtBoxes().size(), 0);
  ClickNow(again, IDOK);
  if (!WaitForConfigEnd(again)) Fail("the dialog did not end on OK");
  CHECK_EQ_STR(StoredSetting(other, "TextureName"), "C:\\kept\\texture.bmp");
  EndSession(again);
}

}  // namespace

void RunTextureCases(const CaseContext& context) {
  RefusedFilesEmptyTheName(context);
  LongPathMessageFits(context);
  AcceptedAndCancelled(context);
}
