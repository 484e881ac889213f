// Headless GDI (placeholder).
#include "platform/headless/headless_gdi.h"

namespace {
std::vector<RecordedText> g_texts;
}
HANDLE LoadImageA(HINSTANCE, LPCSTR, UINT, int, int, UINT) { return nullptr; }
int GetObjectA(HANDLE, int, LPVOID) { return 0; }
HDC CreateCompatibleDC(HDC) { return nullptr; }
HGDIOBJ SelectObject(HDC, HGDIOBJ) { return nullptr; }
COLORREF GetPixel(HDC, int, int) { return CLR_INVALID; }
BOOL DeleteDC(HDC) { return FALSE; }
BOOL DeleteObject(HGDIOBJ) { return FALSE; }
COLORREF SetBkColor(HDC, COLORREF) { return 0; }
COLORREF SetTextColor(HDC, COLORREF) { return 0; }
BOOL TextOutA(HDC, int, int, LPCSTR, int) { return FALSE; }
const std::vector<RecordedText>& HeadlessTexts() { return g_texts; }
void HeadlessClearTexts() { g_texts.clear(); }
void HeadlessFailNextCreateCompatibleDC() {}
int HeadlessLiveGdiObjects() { return 0; }
