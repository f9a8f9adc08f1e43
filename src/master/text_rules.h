// text_rules.h: how symbols and names are cleaned before they enter a
// security record or a master file entry.
//
// Thread-safety: CopyCleanText and PadText are pure. NormalizeSymbol
// draws from a process-wide counter that is safe to use from any thread.

#ifndef ZARQ_SRC_MASTER_TEXT_RULES_H_
#define ZARQ_SRC_MASTER_TEXT_RULES_H_

#include <cstdint>

namespace zarq {

inline constexpr int32_t kSymbolLength = 14;  // characters; fields are 15 bytes
inline constexpr int32_t kSymbolFieldSize = 15;

// Copies into destination (kSymbolFieldSize bytes, filled with the text and
// zeros) the bytes of source, at most 14 and up to its NUL, that are 32 or
// above, without trailing spaces. A symbol left empty becomes "INVALID<n>",
// n counting 1..32000 across the process and then starting again at 1.
// source and destination may overlap. 0, or ZARQ_E_INVALID_ARGUMENT when
// either pointer is null.
int32_t NormalizeSymbol(const char* source, char* destination);

// Clears max_length + 1 bytes of destination and copies into it the bytes
// of source, at most max_length and up to its NUL, that are 32 or above,
// without trailing spaces. source and destination may overlap. A null
// destination or a negative max_length does nothing; a null source gives an
// empty text.
void CopyCleanText(char* destination, const char* source, int32_t max_length);

// Fills text with fill from its NUL up to length characters, adding no NUL;
// looks at no more than length bytes. A null text or a length of 0 or less
// does nothing.
void PadText(char* text, char fill, int32_t length);

// Sets the number the next "INVALID<n>" symbol receives (tests only).
void SetNextInvalidSymbolNumberForTesting(int32_t next);

}  // namespace zarq

#endif  // ZARQ_SRC_MASTER_TEXT_RULES_H_
