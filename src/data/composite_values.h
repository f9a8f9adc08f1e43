// composite_values.h: the price record of a composite security made from
// a record of each component at the same moment.
//
// value = (primary value x PrimaryFactor) op (secondary value x
// SecondaryFactor), the primary product rounded to a single and the rest
// worked in double precision, each result stored as a single. Division by
// 0 gives 0, and so does any result a single cannot hold (an overflow, or
// the difference of two overflows): no combined value is ever NaN or
// infinite. Volume and open interest are never negative. Under '-' and '/'
// the open, high and low are the close (a spread or ratio has no range of
// its own). A placeholder on either side makes a placeholder.
//
// Thread-safety: pure.

#ifndef ZARQ_SRC_DATA_COMPOSITE_VALUES_H_
#define ZARQ_SRC_DATA_COMPOSITE_VALUES_H_

#include <cstdint>

#include "include/zarq.h"

namespace zarq {

struct CompositeFormula {
  char op = 0;  // '+', '-', '*' or '/'; any other gives 0
  float primary_factor = 0;
  float secondary_factor = 0;
  uint16_t mask = 0;  // the composite's fields
};

// The composite record of primary record a and secondary record b: a's
// moment, the formula's fields.
ZarqPriceRecord CombineRecords(const ZarqPriceRecord& a, const ZarqPriceRecord& b,
                               const CompositeFormula& formula);

}  // namespace zarq

#endif  // ZARQ_SRC_DATA_COMPOSITE_VALUES_H_
