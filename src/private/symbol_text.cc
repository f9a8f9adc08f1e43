// symbol_text.cc: parsing symbol texts.
//
// Thread-safety: pure.

#include "src/private/symbol_text.h"

#include <cstring>

#include "include/zarq.h"

namespace zarq {
namespace {

constexpr size_t kMaxText = 31;
constexpr size_t kMaxSymbol = 14;

// A letter, digit, blank or punctuation character of ASCII.
bool StartsPlainSymbol(unsigned char c) { return c == '\t' || (c >= 0x20 && c <= 0x7E); }

}  // namespace

int32_t ParseSecuritySymbol(char* symbol, char* second, char* op, const char* text) {
  if (symbol == nullptr || second == nullptr || op == nullptr || text == nullptr) {
    return ZARQ_E_INVALID_ARGUMENT;
  }
  std::memset(symbol, 0, kMaxSymbol + 1);
  std::memset(second, 0, kMaxSymbol + 1);
  *op = '\0';
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  const size_t length = strnlen(text, kMaxText);
  if (length == 0) return ZARQ_E_BAD_SYMBOL_TEXT;
  if (bytes[0] != kCompositeOpen) {
    if (!StartsPlainSymbol(bytes[0]) || length > kMaxSymbol) return ZARQ_E_BAD_SYMBOL_TEXT;
    std::memcpy(symbol, text, length);
    return ZARQ_OK;
  }
  const void* split = std::memchr(bytes + 1, kCompositeSplit, length - 1);
  if (split == nullptr) return ZARQ_E_BAD_SYMBOL_TEXT;
  const size_t at = static_cast<const unsigned char*>(split) - bytes;
  const size_t first_length = at - 1;
  const size_t rest_length = length - at - 1;  // the second symbol and the operator
  if (first_length == 0 || first_length > kMaxSymbol || rest_length < 2 ||
      rest_length - 1 > kMaxSymbol) {
    return ZARQ_E_BAD_SYMBOL_TEXT;
  }
  const char last = text[length - 1];
  if (std::strchr("+-*/", last) == nullptr) return ZARQ_E_BAD_SYMBOL_TEXT;
  std::memcpy(symbol, text + 1, first_length);
  std::memcpy(second, text + at + 1, rest_length - 1);
  *op = last;
  return ZARQ_OK;
}

}  // namespace zarq
