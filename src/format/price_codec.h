// price_codec.h: conversion between stored price records and the
// caller-visible ZarqPriceRecord, and the small record tests built on it
// (record order, placeholder records).
//
// A stored record is StoredRecordSize(mask) bytes: one MBF single per
// field of CodecFields(mask) in the stored order (field_mask.h). The date
// field holds the record date, the time field the record time.
//
// Thread-safety: pure.

#ifndef ZARQ_SRC_FORMAT_PRICE_CODEC_H_
#define ZARQ_SRC_FORMAT_PRICE_CODEC_H_

#include <cstddef>
#include <cstdint>

#include "include/zarq.h"

namespace zarq {

// 32767.0 marks a missing price.
inline constexpr uint32_t kMissingPriceBits = 0x46FFFE00u;

// Writes the StoredRecordSize(record.FieldMask) bytes of the stored form of
// record into out. The record's own mask chooses the fields; callers set it
// to the security's mask first.
void EncodePriceRecord(const ZarqPriceRecord& record, uint8_t* out);

// Decodes StoredRecordSize(mask) bytes at stored into *out. Fields absent
// from mask read 0.0, the time 0 unless mask has TIME; out->FieldMask is
// mask. stored and out may not overlap (see DecodePriceRecordsInPlace).
void DecodePriceRecord(const uint8_t* stored, uint16_t mask, ZarqPriceRecord* out);

// Decodes count stored records that lie packed at the start of records
// (count x StoredRecordSize(mask) bytes) into records[0..count), working
// from the last to the first: a stored record is never larger than a
// ZarqPriceRecord, so no record is overwritten before it is decoded. Each
// record comes out as DecodePriceRecord makes it (by the decoder of
// price_batch.h specialised for the mask's fields).
void DecodePriceRecordsInPlace(ZarqPriceRecord* records, size_t count, uint16_t mask);

// The ZARQ date of a stored record and, when has_time, its ZARQ time from
// the second field (else *time is 0).
void RecordToZarqDateTime(const uint8_t* stored, int32_t* date, int32_t* time, bool has_time);

// Chronological order of two stored records: < 0 when a comes first, 0 for
// the same moment, > 0 when b comes first. Times count only when timed.
int32_t CompareStoredRecords(const uint8_t* a, const uint8_t* b, bool timed);

// The same order for moments given as ZARQ dates and times: the date
// difference, or when the dates agree and timed, the time difference
// (saturated to 32 bits).
int32_t CompareDateTime(int32_t date_a, int32_t time_a, int32_t date_b, int32_t time_b, bool timed);

// True for a record that marks missing data: high, low and close all
// 32767.0; or high 32767.0 with low and close 0.0; or open, high and low
// all 32767.0; or open 32767.0 with high and low 0.0.
bool IsPlaceholderRecord(const ZarqPriceRecord& record);

}  // namespace zarq

#endif  // ZARQ_SRC_FORMAT_PRICE_CODEC_H_
