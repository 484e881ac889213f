// Messages with the names people gave (files, palettes, settings) shown safely: a control character in a name is
// written as \xHH, so that a hostile file name cannot clear the terminal, move its cursor or ring its bell.
#pragma once
#include <ostream>
#include <streambuf>

// Passes everything on to `target` except control characters other than line breaks, tabs and the carriage
// returns of the progress bar, which are escaped.
class PrintableBuffer : public std::streambuf {
 public:
  explicit PrintableBuffer(std::ostream& target) : target_(target) {}

 protected:
  int_type overflow(int_type c) override;
  int sync() override;

 private:
  std::ostream& target_;
};

// An ostream over PrintableBuffer.
class PrintableStream : public std::ostream {
 public:
  explicit PrintableStream(std::ostream& target) : std::ostream(nullptr), buffer_(target) { rdbuf(&buffer_); }

 private:
  PrintableBuffer buffer_;
};
