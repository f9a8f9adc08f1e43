// price_batch.h: price records coded many at a time, by codecs specialised
// for each set of fields a mask can name.
//
// The record codec of price_codec.h tests every field bit of every record;
// these know the fields at compile time (one instance per set of the five
// optional fields TIME, OPEN, HIGH, LOW and OI: 32 in all) and give exactly
// the bytes that codec gives, for every mask and every stored value. Bulk
// reads and writes of price data go through them.
//
// Thread-safety: pure.

#ifndef ZARQ_SRC_FORMAT_PRICE_BATCH_H_
#define ZARQ_SRC_FORMAT_PRICE_BATCH_H_

#include <cstddef>
#include <cstdint>

#include "include/zarq.h"

namespace zarq {

// Decodes count stored records of mask lying packed at the start of
// records into records[0..count), from the last to the first (the in-place
// decoding of DecodePriceRecordsInPlace, which calls this).
void DecodeStoredRecordsInPlace(ZarqPriceRecord* records, size_t count, uint16_t mask);

// Writes the stored form of records[0..count) with mask (each record's own
// mask is ignored) into out, StoredRecordSize(mask) bytes per record: what
// EncodePriceRecord gives for each record with its FieldMask set to mask.
void EncodePriceRecords(const ZarqPriceRecord* records, size_t count, uint16_t mask, uint8_t* out);

}  // namespace zarq

#endif  // ZARQ_SRC_FORMAT_PRICE_BATCH_H_
