// Headless substitute: the bitmaps its GDI hands out are decoded by the format library.
#pragma once
#include "formats/bitmap_decode.h"
#include "platform/headless/headless_types.h"

static_assert(sizeof(BitmapColour) == sizeof(COLORREF));
