// The guard of a window's picture: Render may run on a decoder thread while the window's own thread repaints.
#pragma once
#include "plugin/screen.h"

// The picture, its colours, the scratch rows and the hd picture's pixels are theirs one at a time. Held only while
// pixels are copied or drawn, never across a message, so neither side can wait on the other's window.
class PictureLock {
 public:
  explicit PictureLock(Screen& screen) : busy_(screen.PictureBusy) {
    while (busy_.test_and_set(std::memory_order_acquire)) {
    }
  }
  ~PictureLock() { busy_.clear(std::memory_order_release); }
  PictureLock(const PictureLock&) = delete;
  PictureLock& operator=(const PictureLock&) = delete;

 private:
  std::atomic_flag& busy_;
};
