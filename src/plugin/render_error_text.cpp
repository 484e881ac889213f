// The one line of error text that a failed copy or lock writes at the screen's top-left corner.
#include "plugin/render_error_text.h"

#include "plugin/effect_state.h"

namespace {
constexpr COLORREF kErrorBackground = 0x00FF0000;  // blue
constexpr COLORREF kErrorForeground = 0x0000FFFF;  // yellow
}  // namespace

void DrawDisplayError(const char* format, HRESULT result) {
  HDC dc = nullptr;
  if (g_state.Screen.PrimarySurface->GetDC(&dc) != DD_OK) return;
  char text[64];  // the longest format gives 24 characters
  wsprintfA(text, format, static_cast<unsigned>(result));
  SetBkColor(dc, kErrorBackground);
  SetTextColor(dc, kErrorForeground);
  TextOutA(dc, 0, 0, text, lstrlenA(text));
  g_state.Screen.PrimarySurface->ReleaseDC(dc);
}
