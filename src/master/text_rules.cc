// text_rules.cc: symbol and name cleaning.
//
// Thread-safety: see text_rules.h.

#include "src/master/text_rules.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "include/zarq.h"

namespace zarq {
namespace {

constexpr int32_t kLastInvalidSymbolNumber = 32000;

// The next number of an "INVALID<n>" symbol. Callers hold the library lock;
// the atomic keeps the counter sound for callers that do not.
std::atomic<int32_t> next_invalid_number{1};

int32_t TakeInvalidNumber() {
  int32_t number = next_invalid_number.load();
  int32_t next;
  do {
    next = number >= kLastInvalidSymbolNumber ? 1 : number + 1;
  } while (!next_invalid_number.compare_exchange_weak(number, next));
  return number;
}

// The bytes of source, at most limit and up to its NUL, that are 32 or
// above, with trailing spaces removed. Built apart from the destination so
// that the two may overlap.
std::string CleanText(const char* source, size_t limit) {
  std::string text;
  if (source == nullptr) return text;
  for (size_t i = 0; i < limit && source[i] != '\0'; ++i) {
    if (static_cast<unsigned char>(source[i]) >= 32) text.push_back(source[i]);
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

int32_t NormalizeSymbol(const char* source, char* destination) {
  if (source == nullptr || destination == nullptr) return ZARQ_E_INVALID_ARGUMENT;
  std::string symbol = CleanText(source, kSymbolLength);
  if (symbol.empty()) {
    char invalid[kSymbolFieldSize];
    std::snprintf(invalid, sizeof(invalid), "INVALID%d", static_cast<int>(TakeInvalidNumber()));
    symbol = invalid;
  }
  std::memset(destination, 0, kSymbolFieldSize);
  std::memcpy(destination, symbol.data(), symbol.size());
  return ZARQ_OK;
}

void CopyCleanText(char* destination, const char* source, int32_t max_length) {
  if (destination == nullptr || max_length < 0) return;
  std::string text = CleanText(source, static_cast<size_t>(max_length));
  std::memset(destination, 0, static_cast<size_t>(max_length) + 1);
  if (!text.empty()) std::memcpy(destination, text.data(), text.size());
}

void PadText(char* text, char fill, int32_t length) {
  if (text == nullptr || length <= 0) return;
  size_t end = strnlen(text, static_cast<size_t>(length));
  std::memset(text + end, static_cast<unsigned char>(fill), static_cast<size_t>(length) - end);
}

void SetNextInvalidSymbolNumberForTesting(int32_t next) { next_invalid_number.store(next); }

}  // namespace zarq
