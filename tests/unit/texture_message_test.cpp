// The texture picker's messages: long paths keep the wording and their file name, and never overflow the buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugin/texture_message.h"

namespace {

const char kLoadBefore[] = "Error loading \"";
const char kLoadAfter[] = "\"";
const char kDepthBefore[] = "The bitmap file \"";
const char kDepthAfter[] = "\" is not correctly dimensionned!     (Only 256 colors bitmaps are accepted)";

// "C:\" then digits cycling, then "\name.bmp": `length` characters in all, so a kept tail can be told apart.
std::string PathOfLength(std::size_t length) {
  std::string path = "C:\\";
  while (path.size() + 9 < length) path += static_cast<char>('0' + path.size() % 10);
  return path + "\\name.bmp";
}

class TextureMessage : public testing::Test {
 protected:
  void SetUp() override { std::memset(text_, 'Z', sizeof text_); }
  std::string Text() const { return std::string(text_, strnlen(text_, sizeof text_)); }
  char text_[kPathMessageBytes];
};

TEST_F(TextureMessage, ShortPathIsWrittenWhole) {
  FormatPathMessage(kLoadBefore, "C:\\rock.bmp", kLoadAfter, text_);
  EXPECT_EQ(Text(), "Error loading \"C:\\rock.bmp\"");
}

TEST_F(TextureMessage, LongPathKeepsItsEndBehindAnEllipsis) {
  struct Case {
    const char* before;
    const char* after;
    std::size_t pathLength;
    std::size_t keptWhole;  // the longest path that still fits
  };
  const Case cases[] = {
      {kLoadBefore, kLoadAfter, 239, 239},   {kLoadBefore, kLoadAfter, 240, 239},
      {kLoadBefore, kLoadAfter, 259, 239},   {kLoadBefore, kLoadAfter, 260, 239},
      {kLoadBefore, kLoadAfter, 1000, 239},  {kDepthBefore, kDepthAfter, 163, 163},
      {kDepthBefore, kDepthAfter, 164, 163}, {kDepthBefore, kDepthAfter, 259, 163},
      {kDepthBefore, kDepthAfter, 260, 163}, {kDepthBefore, kDepthAfter, 1000, 163},
  };

  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.before << " / " << c.pathLength);
    SetUp();
    const std::string path = PathOfLength(c.pathLength);
    ASSERT_EQ(path.size(), c.pathLength);
    FormatPathMessage(c.before, path.c_str(), c.after, text_);
    std::string expected = std::string(c.before) + path + c.after;
    if (c.pathLength > c.keptWhole)
      expected = std::string(c.before) + "..." + path.substr(c.pathLength - (c.keptWhole - 3)) + c.after;
    EXPECT_EQ(Text(), expected);
    EXPECT_EQ(text_[Text().size()], '\0');
    EXPECT_LE(Text().size(), 255u);
  }
}

TEST_F(TextureMessage, WordingLongerThanTheBufferIsCutWithoutThePath) {
  const std::string before(300, 'b');
  FormatPathMessage(before.c_str(), "C:\\rock.bmp", "\"", text_);
  EXPECT_EQ(Text(), std::string(255, 'b'));
  EXPECT_EQ(text_[255], '\0');
}

}  // namespace
