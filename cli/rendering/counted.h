// A count with its noun in the right number, for the lines people read: "1 frame", "2 frames".
#pragma once
#include <string>

inline std::string Counted(long long count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}
