// The picture in a window: through the palette to the window's own colours, nearest pixel into a 4:3 area; or, with
// "Picture=1", the hd picture (window_hd.h) where it can be had.
#include <cstring>

#include "plugin/display.h"
#include "plugin/plugin_state.h"
#include "plugin/window_hd.h"
#include "plugin/window_picture_lock.h"

namespace {

// The source pixel whose span covers the centre of destination pixel `d`: nearest-pixel sampling.
int SourceIndex(int d, int destinationLength, int sourceLength) {
  return static_cast<int>((static_cast<long long>(2 * d + 1) * sourceLength) / (2LL * destinationLength));
}

// The colours of the picture: DisplayPalette as the 8-bit display shows it, whose palette leaves entries 0 and 255
// to the system's black and white.
void FillColourTable(Screen& screen) {
  for (int i = 0; i < 256; ++i) {
    const VidColour& e = screen.DisplayPalette[i];
    screen.WindowColours[i] = std::uint32_t{e.red} << 16 | std::uint32_t{e.green} << 8 | e.blue;
  }
  screen.WindowColours[0] = 0;
  screen.WindowColours[255] = 0xFFFFFF;
}

void BlackOut(VidCanvas* canvas, int left, int top, int right, int bottom) {
  if (right > left && bottom > top) VidFillBlack(canvas, VidRect{left, top, right, bottom});
}

bool DrawPicture(Plugin& plugin, VidCanvas* canvas, bool newColours) {
  Screen& screen = plugin.Screen;
  PictureLock lock(screen);
  int clientWidth = 0, clientHeight = 0;
  if (!VidClientSize(screen.Window, &clientWidth, &clientHeight)) return false;
  if (clientWidth <= 0 || clientHeight <= 0) return true;
  int width = clientWidth, height = clientWidth * 3 / 4;
  if (height > clientHeight) {
    height = clientHeight;
    width = clientHeight * 4 / 3;
  }
  if (width > kMaxPictureWidth) {
    width = kMaxPictureWidth;
    height = kMaxPictureWidth * 3 / 4;
  }
  const int left = (clientWidth - width) / 2, top = (clientHeight - height) / 2;
  BlackOut(canvas, 0, 0, clientWidth, top);
  BlackOut(canvas, 0, top + height, clientWidth, clientHeight);
  BlackOut(canvas, 0, top, left, top + height);
  BlackOut(canvas, left + width, top, clientWidth, top + height);
  if (width <= 0 || height <= 0) return true;

  if (screen.WindowColumnsWidth != width) {
    for (int x = 0; x < width; ++x)
      screen.WindowColumns[x] = static_cast<std::uint16_t>(SourceIndex(x, width, kDisplayWidth));
    screen.WindowColumnsWidth = width;
  }
  if (newColours) {
    FillColourTable(screen);
    screen.Hd.Shown = false;
  }
  // Each source row is widened once by this code and then repeated down its rows by the system: a one-row source
  // leaves the system no choice of pixels, so the picture is the same on every system.
  for (int y = 0; y < height;) {
    const int row = SourceIndex(y, height, kDisplayHeight);
    int end = y + 1;
    while (end < height && SourceIndex(end, height, kDisplayHeight) == row) ++end;
    const std::uint8_t* source = &screen.WindowScreen[row * kDisplayWidth];
    for (int x = 0; x < width; ++x) screen.WindowRow[x] = source[screen.WindowColumns[x]];
    if (!VidDrawRows(canvas, left, top + y, width, end - y, screen.WindowRow, screen.WindowColours)) return false;
    y = end;
  }
  return true;
}

}  // namespace

bool DrawWindowPicture(Plugin& plugin, VidCanvas* canvas) { return DrawPicture(plugin, canvas, true); }

bool RepaintWindowPicture(Plugin& plugin, VidCanvas* canvas) {
  return RepaintHdPicture(plugin, canvas) || DrawPicture(plugin, canvas, false);
}

void ShowDrawnFrame(Screen& screen) {
  PictureLock lock(screen);
  std::memcpy(screen.WindowScreen, screen.WindowFrame, sizeof screen.WindowScreen);
}

bool ShowWindowPicture(Plugin& plugin) {
  VidWindow* window = plugin.Screen.Window;
  VidCanvas* canvas = VidBeginDraw(window);
  if (canvas == nullptr) return false;
  // The 8-bit full-screen modes have backends of their own, so only a window comes here.
  const bool hd = plugin.Settings.Picture == kPictureHd && DrawHdPicture(plugin, canvas);
  const bool drawn = hd || DrawWindowPicture(plugin, canvas);
  VidEndDraw(window, canvas);
  return drawn;
}
