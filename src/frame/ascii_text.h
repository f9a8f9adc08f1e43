// ascii_text.h: single-byte text helpers: case-insensitive comparison of
// names and paths (the library compares those without regard to letter
// case, symbols with regard to it), and bounded copies.
//
// Thread-safety: pure functions.

#ifndef ZARQ_SRC_FRAME_ASCII_TEXT_H_
#define ZARQ_SRC_FRAME_ASCII_TEXT_H_

#include <cstddef>
#include <cstring>
#include <string_view>

namespace zarq {

inline char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

// Copies at most capacity - 1 characters of text and a NUL into out; a null
// text copies as empty.
inline void CopyBounded(char* out, size_t capacity, const char* text) {
  size_t length = text != nullptr ? strnlen(text, capacity - 1) : 0;
  if (length > 0) std::memcpy(out, text, length);
  out[length] = '\0';
}

}  // namespace zarq

#endif  // ZARQ_SRC_FRAME_ASCII_TEXT_H_
