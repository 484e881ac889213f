// The guard of a window's picture: Render may run on a decoder thread while the window's own thread repaints.
#pragma once

// The picture, its colour table, the scratch rows and the smooth picture's pixels are theirs one at a time. Held
// only while pixels are copied or drawn, never across a message, so neither side can wait on the other's window.
struct PictureLock {
  PictureLock();
  ~PictureLock();
  PictureLock(const PictureLock&) = delete;
  PictureLock& operator=(const PictureLock&) = delete;
};
