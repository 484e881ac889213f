// Character by character: messages are short, and each goes out whole at its line break.
#include "printable_stream.h"

#include <cstdio>

PrintableBuffer::int_type PrintableBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const auto byte = static_cast<unsigned char>(traits_type::to_char_type(c));
  if ((byte < 0x20 && byte != '\n' && byte != '\t' && byte != '\r') || byte == 0x7f) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
    target_ << escaped;
  } else {
    target_.put(static_cast<char>(byte));
  }
  if (byte == '\n' || byte == '\r') target_.flush();
  return target_ ? c : traits_type::eof();
}

int PrintableBuffer::sync() {
  target_.flush();
  return target_ ? 0 : -1;
}
