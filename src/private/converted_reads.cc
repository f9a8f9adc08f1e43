// converted_reads.cc: reads that convert price data to longer bars.
//
// Thread-safety: callers hold the library lock.

#include "src/private/converted_reads.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "src/data/date_search.h"
#include "src/data/locked_data.h"
#include "src/data/range_reading.h"
#include "src/data/record_reading.h"
#include "src/datetime/calendar.h"
#include "src/fileio/file_table.h"
#include "src/format/field_mask.h"
#include "src/format/price_codec.h"
#include "src/private/trading_bar.h"

namespace zarq {
namespace {

// Records per block: what one chunked file read holds, so that a long
// history takes a few dozen reads.
constexpr uint16_t kBlockRecords = kIoChunkBytes / sizeof(ZarqPriceRecord);

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

struct Target {
  char period = 0;  // 'D', 'W', 'M', 'Q', 'Y', 'N' or 'O'
  int32_t n = 0;
  bool fill = false;
};

struct Source {
  uint16_t mask = 0;
  bool intraday = false;
  bool ticks = false;  // intraday without an interval
  TradingWindow window;
};

// Where a record goes: its bar's key and its moment in the session.
struct Placement {
  int64_t key = 0;
  int32_t session_date = 0;
  int32_t bar_end = 0;  // minute of the end of its bar of n minutes
  int64_t bar_index = 0;
};

// Builds bars from records met latest first and stores them from the end
// of out backward.
class BarWalk {
 public:
  BarWalk(const Source& source, const Target& target, ZarqPriceRecord* out, uint32_t capacity)
      : source_(source), target_(target), out_(out), capacity_(capacity) {}

  // False for a record that takes no part (a placeholder, or outside the
  // trading window).
  bool Place(const ZarqPriceRecord& r, Placement* p) const {
    if (IsPlaceholderRecord(r)) return false;
    p->session_date = r.Date;
    if (source_.intraday) {
      const SessionMinute at = PlaceInSession(source_.window, r.Date, r.Time);
      const int32_t t = at.minute;
      const TradingWindow& w = source_.window;
      const bool inside = source_.ticks ? t >= w.start && t < w.end : t > w.start && t <= w.end;
      if (!inside) return false;
      p->session_date = at.date;
      if (target_.period == 'N') {
        // Interval data is stamped at the end of its bar: minute t closes
        // the bar that holds minute t - 1.
        const int32_t offset = t - w.start - (source_.ticks ? 0 : 1);
        p->bar_index = offset / target_.n;
        p->bar_end = static_cast<int32_t>(
            std::min<int64_t>(w.start + (p->bar_index + 1) * target_.n, w.end));
      }
    }
    const int32_t d = p->session_date;
    switch (target_.period) {
      case 'D':
        p->key = d;
        break;
      case 'W':
        p->key = DateToDayNumber(d) / 7;
        break;  // weeks from Monday
      case 'M':
        p->key = d / 100;
        break;
      case 'Q':
        p->key = d / 10000 * 10 + (d / 100 % 100 - 1) / 3;
        break;
      case 'Y':
        p->key = d / 10000;
        break;
      case 'N':
        p->key = int64_t{d} * 4096 + p->bar_index;
        break;
      default:
        p->key = 0;
        break;  // 'O' counts records
    }
    return true;
  }

  // Whether r (placed at p) belongs to the open bar.
  bool Belongs(const Placement& p) const {
    if (!open_) return false;
    if (target_.period == 'O') return records_ < target_.n;
    return p.key == placed_.key;
  }

  void Start(const ZarqPriceRecord& r, const Placement& p) {
    bar_ = r;
    bar_.Open = Price(r, r.Open, kFieldOpen);
    bar_.High = Price(r, r.High, kFieldHigh);
    bar_.Low = Price(r, r.Low, kFieldLow);
    bar_.FieldMask = static_cast<uint16_t>(source_.mask | kFieldOpen | kFieldHigh | kFieldLow);
    bar_.Reserved = 0;
    if (source_.intraday) bar_.Date = p.session_date;
    if (target_.period == 'N') {
      const ZarqDateTimePair at = MomentAt(p.session_date, p.bar_end);
      bar_.Date = at.Date;
      bar_.Time = at.Time;
    } else {
      bar_.FieldMask &= static_cast<uint16_t>(~kFieldTime);
      bar_.Time = 0;
    }
    placed_ = p;
    records_ = 1;
    open_ = true;
  }

  void Fold(const ZarqPriceRecord& r) {
    bar_.Open = source_.ticks ? r.Close : Price(r, r.Open, kFieldOpen);
    // By value: the record is packed, and a reference to its float may be
    // misaligned.
    const float high = bar_.High, low = bar_.Low;
    bar_.High = std::max(high, Price(r, r.High, kFieldHigh));
    bar_.Low = std::min(low, Price(r, r.Low, kFieldLow));
    bar_.Volume += r.Volume;
    ++records_;
  }

  // Stores the open bar, after the fillers between it and the bar stored
  // before it; false when out is full before or after.
  bool Store() {
    if (!open_) return !Full();
    open_ = false;
    if (target_.fill && target_.period == 'N' && stored_ > 0 &&
        last_stored_.session_date == placed_.session_date) {
      for (int64_t k = last_stored_.bar_index - 1; k > placed_.bar_index; --k) {
        if (Full()) return false;
        ZarqPriceRecord filler = bar_;
        filler.Open = filler.High = filler.Low = bar_.Close;
        filler.Volume = 0.0f;
        const ZarqDateTimePair at = MomentAt(
            placed_.session_date, static_cast<int32_t>(source_.window.start + (k + 1) * target_.n));
        filler.Date = at.Date;
        filler.Time = at.Time;
        Put(filler);
      }
    }
    if (Full()) return false;
    Put(bar_);
    last_stored_ = placed_;
    return !Full();
  }

  bool Full() const { return stored_ >= capacity_; }
  bool open() const { return open_; }
  uint32_t stored() const { return stored_; }

  // Moves the bars to the front of out, in time order.
  void Finish() {
    std::memmove(out_, out_ + (capacity_ - stored_), stored_ * sizeof(ZarqPriceRecord));
  }

 private:
  float Price(const ZarqPriceRecord& r, float value, uint16_t field) const {
    const bool missing = !(source_.mask & field) || (source_.ticks && value == 0.0f);
    return missing ? r.Close : value;
  }
  void Put(const ZarqPriceRecord& bar) { out_[capacity_ - 1 - stored_++] = bar; }

  const Source source_;
  const Target target_;
  ZarqPriceRecord* const out_;
  const uint32_t capacity_;
  uint32_t stored_ = 0;
  bool open_ = false;
  ZarqPriceRecord bar_ = {};
  Placement placed_;
  Placement last_stored_;
  int32_t records_ = 0;
};

bool BadCount(uint16_t count) { return count == 0 || count > kMaxMultipleRecords; }

// How a walk ended.
struct WalkEnd {
  int32_t status = ZARQ_OK;    // an error, or 0
  bool exhausted = false;      // the first record was reached
  bool more_in_range = false;  // out filled while bars of the range remain
  Moment earliest;             // the earliest record examined
  bool examined = false;
};

// The walk from the last record at or before end back to the start moment
// (when given) or the start of the data.
WalkEnd Walk(uint32_t handle, const LockedData& data, const ZarqDateTimePair& end,
             const Moment* start, BarWalk* walk) {
  WalkEnd result;
  std::vector<ZarqPriceRecord> block(kBlockRecords);
  ZarqDateTimePair at = end;
  uint32_t mode = kFindAtOrBefore;
  for (;;) {
    uint16_t got = kBlockRecords;
    int32_t status = ReadBackMultipleRecs(handle, block.data(), &at, &got, mode);
    if (status == ZARQ_E_BEFORE_FIRST && mode != kFindAtCursor) return result;
    if (status < 0) {
      result.status = status;
      return result;
    }
    // Later blocks go on from the record before this one's first.
    mode = kFindAtCursor;
    for (uint16_t i = got; i-- > 0;) {
      const ZarqPriceRecord& r = block[i];
      Placement p;
      if (!walk->Place(r, &p)) continue;
      const Moment moment = data.MomentOf(r);
      result.earliest = moment;
      result.examined = true;
      if (walk->Belongs(p)) {
        walk->Fold(r);
        continue;
      }
      const bool before_start = start != nullptr && CompareMoments(moment, *start, data.timed) < 0;
      if (!walk->Store()) {
        result.more_in_range = !before_start;
        return result;
      }
      if (before_start) return result;
      walk->Start(r, p);
    }
    if (status == ZARQ_FEWER_READ) {
      result.exhausted = true;
      walk->Store();
      return result;
    }
  }
}

// The shared part of both reads: checks, the plain read or the walk.
template <typename PlainRead>
int32_t ConvertedRead(uint32_t handle, ZarqPriceRecord* out, const ZarqDateTimePair* start,
                      const ZarqDateTimePair* end, uint16_t* count, char target, uint32_t n,
                      int32_t fill, PlainRead plain) {
  if (count == nullptr) return ZARQ_E_INVALID_ARGUMENT;
  const uint16_t want = *count;
  *count = 0;
  if (BadCount(want)) return ZARQ_E_BAD_RECORD_COUNT;
  if (out == nullptr || end == nullptr) return ZARQ_E_INVALID_ARGUMENT;
  LockedData data;
  int32_t status = LoadLockedData(handle, kReadLock, &data);
  if (status != ZARQ_OK) return status;
  const SecurityRecord& security = data.view.record;
  Target t;
  t.period = Upper(target) == 'I' ? 'N' : Upper(target);
  t.n = static_cast<int32_t>(std::min<uint32_t>(n, 1000000));
  const int32_t compared = ComparePeriods(t.period, security.period, n, security.interval);
  if (compared == 0 || (t.period == 'O' && n < 2)) {
    *count = want;
    return plain(count);
  }
  if (compared < 0) return ZARQ_E_PERIOD_NOT_LONGER;
  if (t.period == 'N' && t.n < 1) return ZARQ_E_PERIOD_NOT_LONGER;
  // Filler bars only make sense between bars of n minutes.
  t.fill = fill != 0 && t.period == 'N';
  Source s;
  s.mask = data.mask;
  s.intraday = Upper(security.period) == 'I';
  s.ticks = s.intraday && security.interval == 0;
  s.window = MakeTradingWindow(security.start_time, security.end_time);

  BarWalk walk(s, t, out, want);
  Moment from;
  if (start != nullptr) from = Moment{start->Date, data.timed ? start->Time : 0};
  const WalkEnd ended = Walk(handle, data, *end, start != nullptr ? &from : nullptr, &walk);
  if (ended.status < 0) return ended.status;
  walk.Finish();
  *count = static_cast<uint16_t>(walk.stored());
  if (ended.more_in_range) return start != nullptr ? ZARQ_BUFFER_FILLED : ZARQ_OK;
  const bool fewer = ended.exhausted && walk.stored() < want;
  if (start == nullptr) return fewer ? ZARQ_FEWER_READ : ZARQ_OK;
  const bool began_late = !ended.examined || CompareMoments(ended.earliest, from, data.timed) > 0;
  return fewer && began_late ? ZARQ_FEWER_READ : ZARQ_OK;
}

}  // namespace

int32_t ComparePeriods(char target, char source, uint32_t n, uint32_t source_interval) {
  target = Upper(target);
  source = Upper(source);
  if (target == 'I') target = 'N';
  if (target == source) return 0;
  auto among = [&](const char* targets) {
    return target != '\0' && std::strchr(targets, target) != nullptr;
  };
  switch (source) {
    case 'D':
      return among("WMQYO") ? 1 : -1;
    case 'I':
      if (target == 'N') {
        const int64_t longer = int64_t{n} - source_interval;
        return longer > 0 ? 1 : longer == 0 ? 0 : -1;
      }
      return among("DWMQY") ? 1 : -1;
    case 'W':
      return among("MQYO") ? 1 : -1;
    case 'M':
      return among("QYO") ? 1 : -1;
    case 'Q':
      return among("YO") ? 1 : -1;
    default:
      return -1;
  }
}

int32_t ReadBackConvertedRecs(uint32_t handle, ZarqPriceRecord* out, const ZarqDateTimePair* end,
                              uint16_t* count, uint32_t mode, char target, uint32_t n,
                              int32_t fill) {
  return ConvertedRead(handle, out, nullptr, end, count, target, n, fill, [&](uint16_t* c) {
    return ReadBackMultipleRecs(handle, out, end, c, mode);
  });
}

int32_t ReadConvertedRecsByDates(uint32_t handle, ZarqPriceRecord* out,
                                 const ZarqDateTimePair* start, const ZarqDateTimePair* end,
                                 uint16_t* count, uint32_t mode, char target, uint32_t n,
                                 int32_t fill) {
  if (start == nullptr) {
    if (count != nullptr) *count = 0;
    return ZARQ_E_INVALID_ARGUMENT;
  }
  return ConvertedRead(handle, out, start, end, count, target, n, fill, [&](uint16_t* c) {
    return ReadMultipleRecsByDates(handle, out, *start, *end, c, mode);
  });
}

}  // namespace zarq
