// Where the 320 x 200 picture goes in a window of any size: 4:3, centred, black around it.
#pragma once

struct PictureRect {
  int x = 0, y = 0, width = 0, height = 0;
};

// The 4:3 shape a 320 x 200 screen showed. Whole-pixel scaling (the default): 320k x 240k for the largest whole
// k that fits, so each screen pixel is k window pixels wide and, rows alternating, k or k + 1 high (as render's
// --aspect43 stretches). A window smaller than 320 x 240, or `smooth`, gets the largest 4:3 rectangle that fits.
PictureRect FitPicture(int windowWidth, int windowHeight, bool smooth);
