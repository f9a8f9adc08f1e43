// data_exports.cc: the exported functions of price data: positioning,
// searching and reading; writing, inserting and deleting.
//
// Outputs are cleared before the library state is looked at, so a caller
// sees no stale values after any failure; a null pointer where a value is
// needed is -124.
//
// Thread-safety: each export runs in the entry frame.

#include "include/zarq.h"
#include "src/data/date_search.h"
#include "src/data/range_reading.h"
#include "src/data/record_deletion.h"
#include "src/data/record_reading.h"
#include "src/data/record_writing.h"
#include "src/frame/entry_frame.h"

namespace {

constexpr int32_t kNullArgument = ZARQ_E_INVALID_ARGUMENT;

// Runs body in the entry frame after clear() has emptied the outputs,
// which it does in every library state.
template <typename Clear, typename Body>
int32_t AfterClearing(Clear clear, Body body) {
  return zarq::EnterAnyState([&] {
    clear();
    int32_t state = zarq::RequireInitialized();
    return state != ZARQ_OK ? state : body();
  });
}

// A read whose count is asked for in *count and answered there (0 after
// any failure).
template <typename Body>
int32_t CountedRead(uint16_t* count, Body body) {
  return zarq::EnterAnyState([&] {
    if (count == nullptr) return kNullArgument;
    uint16_t want = *count;
    *count = 0;
    int32_t state = zarq::RequireInitialized();
    return state != ZARQ_OK ? state : body(want);
  });
}

bool NeedsPair(const ZarqDateTimePair* pair, uint32_t mode) {
  return pair == nullptr && mode != zarq::kFindAtCursor;
}

}  // namespace

extern "C" {

ZARQ_API int32_t ZARQ_CALL ZARQ1_SeekBeginData(uint32_t handle) {
  return zarq::EnterInitialized([&] { return zarq::SeekBeginData(handle); });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_SeekEndData(uint32_t handle) {
  return zarq::EnterInitialized([&] { return zarq::SeekEndData(handle); });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_GetCurrentDataPos(uint32_t handle, uint16_t* recno,
                                                   ZarqDateTimePair* pair) {
  return AfterClearing(
      [&] {
        if (recno != nullptr) *recno = 0;
        if (pair != nullptr) *pair = ZarqDateTimePair{};
      },
      [&] {
        if (recno == nullptr || pair == nullptr) return kNullArgument;
        return zarq::GetCurrentDataPos(handle, recno, pair);
      });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_GetDataRecordCount(uint32_t handle, uint16_t* count) {
  return AfterClearing(
      [&] {
        if (count != nullptr) *count = 0;
      },
      [&] {
        if (count == nullptr) return kNullArgument;
        return zarq::GetDataRecordCount(handle, count);
      });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_GetRecordCountForDateRange(uint32_t handle,
                                                            const ZarqDateTimePair* start,
                                                            const ZarqDateTimePair* end,
                                                            uint16_t* count) {
  // Cleared before the library lock is even taken.
  if (count != nullptr) *count = 0;
  return zarq::EnterInitialized([&] {
    if (start == nullptr || end == nullptr || count == nullptr) return kNullArgument;
    return zarq::GetRecordCountForDateRange(handle, *start, *end, count);
  });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_FindDataDate(uint32_t handle, ZarqDateTimePair* pair,
                                              uint16_t* recno, uint32_t mode) {
  return AfterClearing(
      [&] {
        if (recno != nullptr) *recno = 0;
      },
      [&] {
        if (pair == nullptr || recno == nullptr) return kNullArgument;
        return zarq::FindDataDate(handle, pair, recno, mode);
      });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_FindDataRec(uint32_t handle, uint16_t recno,
                                             ZarqDateTimePair* pair) {
  return AfterClearing(
      [&] {
        if (pair != nullptr) *pair = ZarqDateTimePair{};
      },
      [&] {
        if (pair == nullptr) return kNullArgument;
        return zarq::FindDataRec(handle, recno, pair);
      });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_ReadDataRec(uint32_t handle, ZarqPriceRecord* rec) {
  return zarq::EnterInitialized([&] {
    if (rec == nullptr) return kNullArgument;
    uint16_t one = 1;
    return zarq::ReadAtCursor(handle, rec, &one);
  });
}

ZARQ_API int32_t ZARQ_CALL ZARQ2_ReadDataRec(uint32_t handle, const ZarqDateTimePair* pair,
                                             ZarqPriceRecord* rec, uint32_t mode) {
  return zarq::EnterInitialized([&] {
    if (pair == nullptr || rec == nullptr) return kNullArgument;
    return zarq::ReadDataRecAt(handle, *pair, rec, mode);
  });
}

ZARQ_API int32_t ZARQ_CALL ZARQ2_ReadMultipleRecs(uint32_t handle, ZarqPriceRecord* recs,
                                                  const ZarqDateTimePair* pair, uint16_t* count,
                                                  uint32_t mode) {
  return CountedRead(count, [&](uint16_t want) {
    if (recs == nullptr || NeedsPair(pair, mode)) return kNullArgument;
    *count = want;
    return zarq::ReadMultipleRecs(handle, recs, pair, count, mode);
  });
}

ZARQ_API int32_t ZARQ_CALL ZARQ2_ReadBackMultipleRecs(uint32_t handle, ZarqPriceRecord* recs,
                                                      const ZarqDateTimePair* end, uint16_t* count,
                                                      uint32_t mode) {
  return CountedRead(count, [&](uint16_t want) {
    if (recs == nullptr || NeedsPair(end, mode)) return kNullArgument;
    // The composite reader is handed a pair even for mode 3.
    const ZarqDateTimePair none{};
    *count = want;
    return zarq::ReadBackMultipleRecs(handle, recs, end != nullptr ? end : &none, count, mode);
  });
}

ZARQ_API int32_t ZARQ_CALL ZARQ2_ReadMultipleRecsByDates(uint32_t handle, ZarqPriceRecord* recs,
                                                         const ZarqDateTimePair* start,
                                                         const ZarqDateTimePair* end,
                                                         uint16_t* count, uint32_t mode) {
  return CountedRead(count, [&](uint16_t want) {
    if (recs == nullptr || start == nullptr || end == nullptr) return kNullArgument;
    *count = want;
    return zarq::ReadMultipleRecsByDates(handle, recs, *start, *end, count, mode);
  });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_WriteDataRec(uint32_t handle, const ZarqPriceRecord* rec) {
  return zarq::EnterInitialized(
      [&] { return rec != nullptr ? zarq::WriteDataRec(handle, *rec) : kNullArgument; });
}

ZARQ_API int32_t ZARQ_CALL ZARQ2_WriteDataRec(uint32_t handle, const ZarqPriceRecord* rec,
                                              uint32_t replace) {
  return zarq::EnterInitialized([&] {
    return rec != nullptr ? zarq::WriteDataRecByMoment(handle, *rec, replace) : kNullArgument;
  });
}

ZARQ_API int32_t ZARQ_CALL ZARQ2_WriteMultipleRecs(uint32_t handle, const ZarqPriceRecord* recs,
                                                   uint16_t count, uint32_t mode) {
  return zarq::EnterInitialized([&] {
    return recs != nullptr ? zarq::WriteMultipleRecs(handle, recs, count, mode) : kNullArgument;
  });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_InsertDataRec(uint32_t handle, const ZarqPriceRecord* rec) {
  return zarq::EnterInitialized(
      [&] { return rec != nullptr ? zarq::InsertDataRec(handle, *rec) : kNullArgument; });
}

ZARQ_API int32_t ZARQ_CALL ZARQ2_InsertMultipleRecs(uint32_t handle, const ZarqPriceRecord* recs,
                                                    uint16_t count, uint32_t mode) {
  return zarq::EnterInitialized([&] {
    return recs != nullptr ? zarq::InsertMultipleRecs(handle, recs, count, mode) : kNullArgument;
  });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_DeleteDataRec(uint32_t handle) {
  return zarq::EnterInitialized([&] { return zarq::DeleteDataRec(handle); });
}

ZARQ_API int32_t ZARQ_CALL ZARQ2_DeleteMultipleRecs(uint32_t handle, const ZarqDateTimePair* pair,
                                                    uint32_t count, uint32_t mode) {
  return zarq::EnterInitialized([&] {
    if (NeedsPair(pair, mode)) return kNullArgument;
    return zarq::DeleteMultipleRecs(handle, pair, count, mode);
  });
}

ZARQ_API int32_t ZARQ_CALL ZARQ2_DeleteMultipleRecsByDates(uint32_t handle,
                                                           const ZarqDateTimePair* start,
                                                           uint32_t startMode,
                                                           const ZarqDateTimePair* end,
                                                           uint32_t endMode) {
  return zarq::EnterInitialized([&] {
    if (start == nullptr || end == nullptr) return kNullArgument;
    return zarq::DeleteMultipleRecsByDates(handle, *start, startMode, *end, endMode);
  });
}

}  // extern "C"
