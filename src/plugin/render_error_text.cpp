// The one line of error text that a failed copy or lock writes at the screen's top-left corner.
#include "plugin/render_error_text.h"

#include <cstdint>
#include <cstring>

void DrawDisplayError(VidSurface* screen, const char* label, VidResult result) {
  char text[64];  // the longest label gives 26 characters
  std::size_t length = std::strlen(label);
  std::memcpy(text, label, length);
  const auto bits = static_cast<std::uint32_t>(result);
  for (int shift = 28; shift >= 0; shift -= 4) text[length++] = "0123456789ABCDEF"[(bits >> shift) & 0xF];
  text[length++] = 'h';
  text[length] = '\0';
  VidDrawErrorText(screen, text);
}
