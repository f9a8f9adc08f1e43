// composite_values.cc: combining two component records.
//
// The 32-bit build does its floating point in SSE registers as the 64-bit
// one does (cmake/toolchain-mingw-i686.cmake): x87 extended precision would
// round differently and change the last bits of a combined value.
//
// Thread-safety: pure.

#include "src/data/composite_values.h"

#include <cmath>

#include "src/format/field_mask.h"
#include "src/format/price_codec.h"

namespace zarq {
namespace {

constexpr float kPlaceholder = 32767.0f;

double Apply(float a, float b, const CompositeFormula& f) {
  const double x = static_cast<float>(a * f.primary_factor);
  const double y = static_cast<double>(b) * f.secondary_factor;
  switch (f.op) {
    case '*':
      return y * x;
    case '+':
      return y + x;
    case '-':
      return x - y;
    case '/':
      return y == 0.0 ? 0.0 : x / y;
    default:
      return 0.0;
  }
}

float Stored(double value) {
  const float single = static_cast<float>(value);
  return std::isfinite(single) ? single : 0.0f;
}

float Combine(float a, float b, const CompositeFormula& f) { return Stored(Apply(a, b, f)); }

float NotNegative(float value) { return value < 0.0f ? 0.0f : value; }

}  // namespace

ZarqPriceRecord CombineRecords(const ZarqPriceRecord& a, const ZarqPriceRecord& b,
                               const CompositeFormula& f) {
  ZarqPriceRecord r = {};
  r.Date = a.Date;
  r.FieldMask = f.mask;
  if (f.mask & kFieldTime) r.Time = a.Time;
  const bool has_open = f.mask & kFieldOpen, has_high = f.mask & kFieldHigh,
             has_low = f.mask & kFieldLow, has_oi = f.mask & kFieldOpenInterest;
  if (IsPlaceholderRecord(a) || IsPlaceholderRecord(b)) {
    r.Close = kPlaceholder;
    if (has_open) r.Open = kPlaceholder;
    if (has_high) r.High = kPlaceholder;
    if (has_low) r.Low = kPlaceholder;
    return r;
  }
  r.Close = Combine(a.Close, b.Close, f);
  r.Volume = NotNegative(Combine(a.Volume, b.Volume, f));
  const bool flat = f.op == '-' || f.op == '/';
  if (has_open) r.Open = flat ? r.Close : Combine(a.Open, b.Open, f);
  if (has_high) r.High = flat ? r.Close : Combine(a.High, b.High, f);
  if (has_low) r.Low = flat ? r.Close : Combine(a.Low, b.Low, f);
  if (has_oi) r.OpenInterest = NotNegative(Combine(a.OpenInterest, b.OpenInterest, f));
  return r;
}

}  // namespace zarq
