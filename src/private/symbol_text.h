// symbol_text.h: the symbol text of plain and composite securities.
//
// A composite's symbol text is the byte 0xDB, the primary symbol, the byte
// 0xB3, the secondary symbol and one operator character (+ - * /); any
// other text is a plain symbol. Symbols hold 1 to 14 characters.
//
// Thread-safety: pure.

#ifndef ZARQ_SRC_PRIVATE_SYMBOL_TEXT_H_
#define ZARQ_SRC_PRIVATE_SYMBOL_TEXT_H_

#include <cstdint>

namespace zarq {

inline constexpr unsigned char kCompositeOpen = 0xDB;
inline constexpr unsigned char kCompositeSplit = 0xB3;

// Ordinal 213: reads at most the first 31 characters of text. symbol and
// second (15 bytes each) and *op are cleared, then filled: the plain
// symbol alone, or both symbols and the operator. -224 for a text of
// neither form (an empty symbol or a missing operator included); -124 for
// a null pointer.
int32_t ParseSecuritySymbol(char* symbol, char* second, char* op, const char* text);

}  // namespace zarq

#endif  // ZARQ_SRC_PRIVATE_SYMBOL_TEXT_H_
