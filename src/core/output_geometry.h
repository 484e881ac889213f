// Where the 320 x 200 frame lands in a picture of another size: the one rule every host that enlarges it follows.
#pragma once

constexpr int kScreenWidth = 320;
constexpr int kScreenHeight = 200;
constexpr int kScreenPixels = kScreenWidth * kScreenHeight;
constexpr int kPaletteBytes = 768;

// The output frame and where the 320 x 200 picture lands in it. The picture may be smaller (black around it) or,
// when it covers the frame, larger (cut off at the frame's edges).
struct OutputGeometry {
  int width = kScreenWidth;
  int height = kScreenHeight;
  int pictureX = 0, pictureY = 0;  // top-left corner, negative when cut off
  int pictureWidth = kScreenWidth, pictureHeight = kScreenHeight;
};

// The picture filling width x height exactly: 320K x 200K, or 320K x 240K with the 4:3 stretch of a monitor.
OutputGeometry MakeOutputGeometry(int scale, bool aspect43);

// The picture in a frame of width x height. `fourThirds`: the picture is 4:3, as a 320 x 200 screen showed it;
// otherwise 16:10, with square pixels. `cover`: the picture fills the frame and is cut at two edges; otherwise
// it is as large as fits, centred on black. Fitting prefers whole output pixels per screen pixel when they fill at
// least 90 % of what a stretched fit would, so that every screen pixel keeps the same size.
OutputGeometry FitOutputGeometry(int width, int height, bool cover, bool fourThirds);
