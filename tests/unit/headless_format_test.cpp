// The headless text formatting behind the on-screen error lines: the conversions the code uses and the limit.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.h"

namespace {

TEST(Format, ConversionsTheCodeUses) {
  struct Case {
    const char* label;
    std::string expected;
    std::string actual;
  };
  auto fmt = [](const char* format, auto... args) {
    char buffer[1100];
    std::memset(buffer, 'X', sizeof buffer);
    int n = wsprintfA(buffer, format, args...);
    EXPECT_EQ(n, static_cast<int>(std::strlen(buffer)));
    return std::string(buffer);
  };
  Case cases[] = {
      {"signed", "Error #-3", fmt("Error #%d", -3)},
      {"int min", "-2147483648", fmt("%d", -2147483647 - 1)},
      {"unsigned", "4294967295", fmt("%u", 0xFFFFFFFFu)},
      {"hex padded", "0000BEEF", fmt("%08X", 0xBEEFu)},
      {"hex lower", "beef", fmt("%x", 0xBEEFu)},
      {"long is 32 bits", "-5 7", fmt("%ld %lu", -5, 7u)},
      {"char", "[A]", fmt("[%c]", 'A')},
      {"strings", "C:\\dir\\a.pal", fmt("%s%s", "C:\\dir\\", "a.pal")},
      {"null string", "(null)", fmt("%s", static_cast<const char*>(nullptr))},
      {"left aligned", "ab   |", fmt("%-5s|", "ab")},
      {"precision", "abc", fmt("%.3s", "abcdef")},
      {"percent", "100%", fmt("100%%")},
      {"unknown type", "q", fmt("%q")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(c.actual, c.expected);
  }
}

TEST(Format, OutputStopsAt1023Characters) {
  std::string longText(2000, 'a');
  char buffer[1100];
  std::memset(buffer, 'X', sizeof buffer);
  EXPECT_EQ(wsprintfA(buffer, "%s%d", longText.c_str(), 5), 1023);
  EXPECT_EQ(buffer[1022], 'a');
  EXPECT_EQ(buffer[1023], '\0');
  EXPECT_EQ(buffer[1024], 'X');
}

TEST(Format, HugeWidthIsCutToTheLimit) {
  char buffer[1100];
  std::memset(buffer, 'X', sizeof buffer);
  EXPECT_EQ(wsprintfA(buffer, "%5000d", 1), 1023);
  EXPECT_EQ(buffer[1023], '\0');
  EXPECT_EQ(buffer[1024], 'X');
}

}  // namespace
