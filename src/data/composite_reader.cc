// composite_reader.cc: the read states of composite securities, pairing
// component records, and the composite forms of searching and reading.
//
// Thread-safety: callers hold the library lock.

#include "src/data/composite_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "include/zarq.h"
#include "src/data/composite_seam.h"
#include "src/data/composite_values.h"
#include "src/data/data_cursor.h"
#include "src/data/date_search.h"
#include "src/data/locked_data.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/security_files.h"
#include "src/format/data_file.h"
#include "src/format/field_mask.h"
#include "src/format/record_buffer.h"
#include "src/frame/process_parts.h"
#include "src/platform/no_destructor.h"
#include "src/security/composite_locking.h"

namespace zarq {
namespace {

// The default buffer of a read state: 960 bytes of stored records of the
// larger component, kept decoded (at most 80 records of 12 bytes).
constexpr uint32_t kDefaultBufferBytes = 960;
constexpr uint32_t kHomeRecords = kDefaultBufferBytes / 12;

// Records of one component held in memory, decoded: file records first ..
// first + loaded - 1.
class Part {
 public:
  void Start(uint32_t handle, uint16_t mask, uint16_t count) {
    handle_ = handle;
    mask_ = mask;
    count_ = count;
  }
  void SetBuffer(ZarqPriceRecord* buffer, uint32_t capacity) {
    buffer_ = buffer;
    capacity_ = capacity;
    loaded_ = 0;
  }
  uint32_t handle() const { return handle_; }
  uint16_t count() const { return count_; }
  uint32_t capacity() const { return capacity_; }

  // Record k of the component: -300 beyond its last record (or before its
  // first). A miss loads a chunk from k on; going on from the chunk before,
  // its last record stays (a partner may still be looked at).
  int32_t At(uint32_t k, const ZarqPriceRecord** record) {
    if (k == 0 || k > count_) return ZARQ_E_END_OF_FILE;
    if (k >= first_ && k < first_ + loaded_) {
      *record = &buffer_[k - first_];
      return ZARQ_OK;
    }
    uint32_t keep = 0;
    if (loaded_ > 0 && k == first_ + loaded_ && capacity_ > 1) {
      buffer_[0] = buffer_[loaded_ - 1];
      keep = 1;
    }
    const uint32_t n = std::min(capacity_ - keep, count_ - k + 1);
    loaded_ = 0;
    FileHandle file = kNoFileHandle;
    int32_t status = OpenSecurityFile(handle_, &file, 0, kKindData);
    if (status == ZARQ_OK) status = ReadPriceRecords(file, mask_, k, n, buffer_ + keep);
    if (status != ZARQ_OK) return status;
    first_ = k - keep;
    loaded_ = n + keep;
    *record = &buffer_[keep];
    return ZARQ_OK;
  }

 private:
  uint32_t handle_ = 0;
  uint16_t mask_ = 0;
  uint16_t count_ = 0;
  ZarqPriceRecord* buffer_ = nullptr;
  uint32_t capacity_ = 0;
  uint32_t first_ = 0;
  uint32_t loaded_ = 0;
};

struct ReadState {
  bool in_use = false;
  uint32_t composite = 0;
  bool timed = false;
  uint16_t start = 0;  // the primary record where it begins
  uint16_t larger_size = 0;
  CompositeFormula formula;
  Part primary, secondary;
  // The place: p the primary record of the next pair, s the secondary
  // record where its partner's search starts (never after the partner).
  bool placed = false;
  uint32_t p = 0;
  uint32_t s = 0;
  std::array<ZarqPriceRecord, kHomeRecords> home;
  HeapBuffer large;

  // The default buffer, split: the primary gets a third of the records.
  void SetHomeBuffer() {
    large.reset();
    const uint32_t c = kDefaultBufferBytes / larger_size;
    primary.SetBuffer(home.data(), c / 3);
    secondary.SetBuffer(home.data() + c / 3, c - c / 3);
  }
  // A buffer for a read of want records, split as the default one; false
  // when memory allows no more than the default.
  bool SetLargeBuffer(uint32_t want) {
    const uint32_t current = primary.capacity() + secondary.capacity();
    uint32_t n = std::min<uint32_t>(3 * want, kMaxMultipleRecords);
    if (n <= current) return false;
    HeapBuffer buffer = AllocRecordBuffer(&n, sizeof(ZarqPriceRecord), current);
    if (buffer == nullptr || n <= current) return false;
    large = std::move(buffer);
    auto* records = reinterpret_cast<ZarqPriceRecord*>(large.get());
    primary.SetBuffer(records, n / 3);
    secondary.SetBuffer(records + n / 3, n - n / 3);
    return true;
  }
};

std::array<ReadState, kCompositeStateCount>& States() {
  static NoDestructor<std::array<ReadState, kCompositeStateCount>> states;
  return *states;
}

ReadState* StateOf(uint32_t handle) {
  for (ReadState& state : States()) {
    if (state.in_use && state.composite == handle) return &state;
  }
  return nullptr;
}

void ClearStates() {
  for (ReadState& state : States()) {
    state.in_use = false;
    state.large.reset();
  }
}

Moment MomentOf(const ReadState& state, const ZarqPriceRecord& record) {
  return {record.Date, state.timed ? record.Time : 0};
}

int32_t Compare(const ReadState& state, const ZarqPriceRecord& a, const ZarqPriceRecord& b) {
  return CompareMoments(MomentOf(state, a), MomentOf(state, b), state.timed);
}

// The search of a component, its cursor unmoved; *moment becomes the
// moment of the record found.
int32_t FindIn(uint32_t component, Moment* moment, uint32_t mode, uint16_t* recno) {
  return FindRecord(component, &moment->date, &moment->time, recno, mode, false);
}

// Where the search for the partner of primary record p starts: the first
// secondary record of p's date, or for an intraday composite the last at
// or before p's moment (the first record when none is).
int32_t SecondaryFor(ReadState* state, uint32_t p, uint32_t* s) {
  *s = 1;
  const ZarqPriceRecord* record = nullptr;
  int32_t status = state->primary.At(p, &record);
  if (status == ZARQ_E_END_OF_FILE) return ZARQ_OK;  // reading will end at once
  if (status != ZARQ_OK) return status;
  Moment moment = MomentOf(*state, *record);
  uint16_t found = 0;
  status = FindIn(state->secondary.handle(), &moment,
                  state->timed ? kFindAtOrBefore : kFindAtOrAfter, &found);
  if (status >= 0) {
    *s = found;
  } else if (status == ZARQ_E_AFTER_LAST) {
    *s = state->secondary.count() + 1u;  // no partner follows
  } else if (status != ZARQ_E_BEFORE_FIRST && status != ZARQ_E_NO_DATA) {
    return status;
  }
  return ZARQ_OK;
}

// Puts the read state at the place cursor names (the start of the common
// range for an unpositioned cursor; never before it). The state's own
// place is kept when the cursor names its primary record.
int32_t Place(ReadState* state, DataCursor cursor) {
  uint32_t p = cursor.record == 0 ? state->start : cursor.record;
  p = std::max<uint32_t>({p, state->start, 1});
  if (!state->placed || p != state->p) {
    uint32_t s = 1;
    state->placed = false;
    int32_t status = SecondaryFor(state, p, &s);
    if (status != ZARQ_OK) return status;
    state->p = p;
    state->s = s;
    state->placed = true;
  }
  // The cursor names the same place the state holds.
  if (cursor.record == state->p && cursor.extra != state->s) {
    LockSlot* slot = nullptr;
    int free_index = -1;
    if (FindLockSlot(state->composite, &slot, &free_index) == ZARQ_OK) {
      slot->cursor.extra = static_cast<uint16_t>(state->s);
    }
  }
  return ZARQ_OK;
}

// Moves forward to the next pair: primary record p and its partner s.
// -300 when a component ends first.
int32_t Align(ReadState* state) {
  const ZarqPriceRecord* a = nullptr;
  const ZarqPriceRecord* b = nullptr;
  for (;;) {
    int32_t status = state->primary.At(state->p, &a);
    if (status == ZARQ_OK) status = state->secondary.At(state->s, &b);
    if (status != ZARQ_OK) return status;
    int32_t order = Compare(*state, *b, *a);
    if (!state->timed) {
      while (order < 0) {
        ++state->s;
        status = state->secondary.At(state->s, &b);
        if (status != ZARQ_OK) return status;
        order = Compare(*state, *b, *a);
      }
      if (order == 0) return ZARQ_OK;
    } else if (order <= 0) {
      // The last secondary record at or before the primary's moment.
      const ZarqPriceRecord primary = *a;
      for (;;) {
        const ZarqPriceRecord* next = nullptr;
        status = state->secondary.At(state->s + 1, &next);
        if (status == ZARQ_E_END_OF_FILE) return ZARQ_OK;
        if (status != ZARQ_OK) return status;
        if (Compare(*state, *next, primary) > 0) return ZARQ_OK;
        ++state->s;
      }
    }
    // The primary record has no partner: skip to the secondary's moment.
    const ZarqPriceRecord partner = *b;
    do {
      ++state->p;
      status = state->primary.At(state->p, &a);
      if (status != ZARQ_OK) return status;
    } while (Compare(*state, *a, partner) < 0);
  }
}

// The pair at the place, combined. The place stays.
int32_t Combined(ReadState* state, ZarqPriceRecord* out) {
  const ZarqPriceRecord* a = nullptr;
  const ZarqPriceRecord* b = nullptr;
  int32_t status = state->primary.At(state->p, &a);
  if (status == ZARQ_OK) status = state->secondary.At(state->s, &b);
  if (status == ZARQ_OK) *out = CombineRecords(*a, *b, state->formula);
  return status;
}

// The next pair, combined, and the place after it.
int32_t NextRecord(ReadState* state, ZarqPriceRecord* out) {
  int32_t status = Align(state);
  if (status == ZARQ_OK) status = Combined(state, out);
  if (status == ZARQ_OK) ++state->p;
  return status;
}

// The read state of handle, placed at its cursor, for an operation that
// reads: -194 for a composite without records, -125 without a state.
int32_t Prepare(uint32_t handle, ReadState** state) {
  *state = nullptr;
  LockedSecurityView view;
  int32_t status = GetLockedSecurity(handle, &view);
  if (status != ZARQ_OK) return status;
  if (view.record_count == 0) return ZARQ_E_NO_DATA;
  *state = StateOf(handle);
  if (*state == nullptr) return ZARQ_E_NO_COMPOSITE_STATE;
  DataCursor cursor;
  status = GetCursor(handle, &cursor);
  return status == ZARQ_OK ? Place(*state, cursor) : status;
}

// Stores the state's place as the composite's cursor.
int32_t StorePlace(const ReadState& state) {
  return SetCursor(state.composite,
                   DataCursor{static_cast<uint16_t>(state.p), static_cast<uint16_t>(state.s)});
}

// A larger buffer for the length of one read; the default one after it.
class ReadBuffer {
 public:
  ReadBuffer(ReadState* state, uint32_t want) : state_(state) {
    if (want > state->primary.capacity()) enlarged_ = state->SetLargeBuffer(want);
  }
  ~ReadBuffer() {
    if (enlarged_) state_->SetHomeBuffer();
  }

 private:
  ReadState* state_;
  bool enlarged_ = false;
};

// The pair at or near target by mode (FindRecord's modes): its primary
// and secondary records and its moment, in *target. 0 when it lies at the
// target, else 25; mode 0 never finds a pair after the target, mode 1 none
// before it.
int32_t FindPair(const ReadState& state, Moment* target, uint32_t mode, uint16_t* p, uint16_t* s) {
  const uint32_t primary = state.primary.handle(), secondary = state.secondary.handle();
  const bool exact = mode != kFindAtOrBefore && mode != kFindAtOrAfter;
  Moment at = *target;
  int32_t status = FindIn(primary, &at, exact ? kFindExact : mode, p);
  if (status < 0) return status;
  // Leapfrog: while the primary record has no partner, the nearest
  // secondary record in the mode's direction names the next primary
  // moment to try; each step moves strictly that way.
  for (;;) {
    Moment partner = at;
    status = FindIn(secondary, &partner, state.timed ? kFindAtOrBefore : kFindExact, s);
    if (status >= 0) break;
    const bool no_partner = state.timed
                                ? status == ZARQ_E_BEFORE_FIRST
                                : status == ZARQ_E_NO_EXACT_RECORD ||
                                      status == ZARQ_E_BEFORE_FIRST || status == ZARQ_E_AFTER_LAST;
    if (!no_partner) return status;
    if (exact) return ZARQ_E_NO_EXACT_RECORD;
    partner = at;
    status = FindIn(secondary, &partner, mode, s);
    if (status < 0) return status;
    at = partner;
    status = FindIn(primary, &at, mode, p);
    if (status < 0) return status;
  }
  const bool moved = CompareMoments(at, *target, state.timed) != 0;
  *target = at;
  return moved ? ZARQ_NEAR_MATCH : ZARQ_OK;
}

int32_t Find(uint32_t handle, int32_t* date, int32_t* time, uint32_t mode, bool set_cursor) {
  LockedSecurityView view;
  int32_t status = GetLockedSecurity(handle, &view);
  if (status != ZARQ_OK) return status;
  if (view.record_count == 0) return ZARQ_E_NO_DATA;
  ReadState* state = StateOf(handle);
  if (state == nullptr) return ZARQ_E_NO_COMPOSITE_STATE;
  Moment target{*date, state->timed ? *time : 0};
  uint16_t p = 0, s = 0;
  status = FindPair(*state, &target, mode, &p, &s);
  // A failed search changes nothing: the place and the cursor stay.
  if (status < 0) return status;
  *date = target.date;
  *time = state->timed ? target.time : 0;
  if (set_cursor) {
    state->p = p;
    state->s = s;
    state->placed = true;
    int32_t stored = StorePlace(*state);
    if (stored != ZARQ_OK) return stored;
  }
  return status;
}

int32_t Read(uint32_t handle, ZarqPriceRecord* out, uint16_t* count) {
  const uint16_t want = *count;
  *count = 0;
  ReadState* state = nullptr;
  int32_t status = Prepare(handle, &state);
  if (status != ZARQ_OK) return status;
  std::memset(out, 0, sizeof(ZarqPriceRecord) * want);
  uint16_t made = 0;
  {
    ReadBuffer buffer(state, want);
    while (made < want && (status = NextRecord(state, &out[made])) == ZARQ_OK) ++made;
  }
  int32_t stored = StorePlace(*state);
  if (status != ZARQ_OK && status != ZARQ_E_END_OF_FILE) return status;
  if (stored != ZARQ_OK) return stored;
  // A component that ended keeps what was made.
  *count = made;
  if (made == 0) return ZARQ_E_END_OF_FILE;
  return made < want ? ZARQ_FEWER_READ : ZARQ_OK;
}

int32_t ReadByDates(uint32_t handle, ZarqPriceRecord* out, const ZarqDateTimePair& start,
                    const ZarqDateTimePair& end, uint16_t* count, uint32_t mode) {
  const uint16_t want = *count;
  *count = 0;
  ZarqDateTimePair from = start;
  uint16_t recno = 0;
  int32_t status = FindRecord(handle, &from.Date, &from.Time, &recno, mode, true);
  if (status < 0) return status;
  ReadState* state = nullptr;
  status = Prepare(handle, &state);
  if (status != ZARQ_OK) return status;
  const Moment last{end.Date, state->timed ? end.Time : 0};
  uint16_t made = 0;
  bool passed_end = false;
  {
    ReadBuffer buffer(state, want);
    // A pair after the end is looked at but not taken: the cursor stays
    // on it.
    while (made < want && (status = Align(state)) == ZARQ_OK) {
      if ((status = Combined(state, &out[made])) != ZARQ_OK) break;
      if (CompareMoments(MomentOf(*state, out[made]), last, state->timed) > 0) {
        passed_end = true;
        break;
      }
      ++made;
      ++state->p;
    }
    // With the buffer full, whether the range goes on decides between
    // "more" and "done".
    if (status == ZARQ_OK && !passed_end) {
      ZarqPriceRecord following;
      status = Align(state);
      if (status == ZARQ_OK) status = Combined(state, &following);
      if (status == ZARQ_OK) {
        passed_end = CompareMoments(MomentOf(*state, following), last, state->timed) > 0;
        if (!passed_end) status = ZARQ_BUFFER_FILLED;
      }
    }
  }
  int32_t stored = StorePlace(*state);
  if (status < 0 && status != ZARQ_E_END_OF_FILE) return status;
  if (stored != ZARQ_OK) return stored;
  *count = made;
  if (passed_end) return ZARQ_OK;
  if (status == ZARQ_BUFFER_FILLED) return status;
  // A component ended: done when the last record lay at the end moment.
  if (made > 0 && CompareMoments(MomentOf(*state, out[made - 1]), last, state->timed) == 0) {
    return ZARQ_OK;
  }
  return made > 0 ? ZARQ_FEWER_READ : ZARQ_E_END_OF_FILE;
}

// The pairs whose primary records lie in lo..hi, appended to out.
int32_t PairsBetween(ReadState* state, uint32_t lo, uint32_t hi,
                     std::vector<ZarqPriceRecord>* out) {
  uint32_t s = 1;
  int32_t status = SecondaryFor(state, lo, &s);
  if (status != ZARQ_OK) return status;
  state->p = lo;
  state->s = s;
  for (;;) {
    status = Align(state);
    if (status == ZARQ_E_END_OF_FILE || (status == ZARQ_OK && state->p > hi)) return ZARQ_OK;
    ZarqPriceRecord record;
    if (status == ZARQ_OK) status = Combined(state, &record);
    if (status != ZARQ_OK) return status;
    out->push_back(record);
    ++state->p;
  }
}

int32_t ReadBack(uint32_t handle, ZarqPriceRecord* out, const ZarqDateTimePair& end,
                 uint16_t* count, uint32_t mode) {
  const uint16_t want = *count;
  *count = 0;
  LockedSecurityView view;
  int32_t status = GetLockedSecurity(handle, &view);
  if (status != ZARQ_OK) return status;
  if (view.record_count == 0) return ZARQ_E_NO_DATA;
  ReadState* state = StateOf(handle);
  if (state == nullptr) return ZARQ_E_NO_COMPOSITE_STATE;

  // The primary record of the last pair of the block.
  uint16_t last = 0, partner = 0;
  Moment target{end.Date, state->timed ? end.Time : 0};
  uint32_t find_mode = mode;
  if (mode == kFindAtCursor) {
    DataCursor cursor;
    status = PeekCursor(handle, &cursor);
    if (status != ZARQ_OK) return status;
    // Nothing lies before an unpositioned cursor, nor before the range.
    if (cursor.record == 0 || cursor.record < state->start) return ZARQ_FEWER_READ;
    const ZarqPriceRecord* record = nullptr;
    const uint32_t k = std::min<uint32_t>(cursor.record, state->primary.count());
    status = state->primary.At(k, &record);
    if (status != ZARQ_OK) return status;
    target = MomentOf(*state, *record);
    find_mode = kFindAtOrBefore;
  }
  status = FindPair(*state, &target, find_mode, &last, &partner);
  if (status < 0) return status;
  if (last < state->start) return ZARQ_FEWER_READ;

  // Blocks of primary records, from the last pair backward, until want
  // pairs are made or the range's start is reached.
  std::vector<ZarqPriceRecord> made;
  uint32_t first = last;
  {
    ReadBuffer buffer(state, want);
    uint32_t hi = last;
    while (made.size() < want && hi >= state->start) {
      const uint32_t short_by = want - static_cast<uint32_t>(made.size());
      const uint32_t lo = hi - state->start + 1 > short_by ? hi - short_by + 1 : state->start;
      std::vector<ZarqPriceRecord> block;
      status = PairsBetween(state, lo, hi, &block);
      if (status != ZARQ_OK) break;
      made.insert(made.begin(), block.begin(), block.end());
      first = lo;
      hi = lo - 1;
    }
  }
  if (status != ZARQ_OK) {
    state->placed = false;
    return status;
  }
  std::copy(made.begin(), made.end(), out);
  *count = static_cast<uint16_t>(made.size());
  // The cursor just before the block: mode 3 goes on backward from there
  // (and finds nothing once the block began at the range's start).
  state->placed = false;
  status = SetCursor(handle, DataCursor{static_cast<uint16_t>(first - 1), 0});
  if (status != ZARQ_OK) return status;
  return made.size() < want ? ZARQ_FEWER_READ : ZARQ_OK;
}

void Reset(uint32_t handle, DataCursor cursor) {
  ReadState* state = StateOf(handle);
  // A place not found now is looked for again at the next read.
  if (state != nullptr && Place(state, cursor) != ZARQ_OK) state->placed = false;
}

bool StateFree() { return CompositeStatesInUse() < kCompositeStateCount; }

int32_t OpenState(uint32_t handle) {
  LockedSecurityView view, primary, secondary;
  int32_t status = GetLockedSecurity(handle, &view);
  if (status == ZARQ_OK) status = GetLockedSecurity(view.primary_handle, &primary);
  if (status == ZARQ_OK) status = GetLockedSecurity(view.secondary_handle, &secondary);
  if (status != ZARQ_OK) return status;
  if ((primary.record.field_mask & kFieldBits) == 0 ||
      (secondary.record.field_mask & kFieldBits) == 0) {
    return ZARQ_E_BAD_FIELD_MASK;
  }
  CloseCompositeState(handle);
  auto free_state = std::find_if(States().begin(), States().end(),
                                 [](const ReadState& state) { return !state.in_use; });
  if (free_state == States().end()) return ZARQ_E_LOCK_TABLE_FULL;
  ReadState& state = *free_state;
  const SecurityRecord& record = view.record;
  state.in_use = true;
  state.composite = handle;
  state.timed = record.period == 'I';
  state.start = view.start_position[0];
  state.formula = {record.op, record.primary_factor, record.secondary_factor, record.field_mask};
  state.primary.Start(view.primary_handle, primary.record.field_mask, primary.record_count);
  state.secondary.Start(view.secondary_handle, secondary.record.field_mask, secondary.record_count);
  state.larger_size = static_cast<uint16_t>(std::max(
      StoredRecordSize(primary.record.field_mask), StoredRecordSize(secondary.record.field_mask)));
  state.placed = false;
  state.SetHomeBuffer();
  return ZARQ_OK;
}

void CloseState(uint32_t handle) {
  if (ReadState* state = StateOf(handle)) {
    state->in_use = false;
    state->large.reset();
  }
}

int32_t FindForLocking(uint32_t handle, int32_t* date, int32_t* time, uint16_t* recno,
                       uint32_t mode) {
  return FindRecord(handle, date, time, recno, mode, false);
}

int32_t StartStates() {
  ClearStates();
  return ZARQ_OK;
}

const ProcessPartRegistration kStatesPart({PartOrder::kCompositeBuffers, &StartStates, nullptr,
                                           &ClearStates});

struct InstallReader {
  InstallReader() {
    InstallCompositeReader({&Find, &Read, &ReadBack, &ReadByDates, &Reset});
    SetCompositeDataHooks({&FindForLocking, &StateFree, &OpenState, &CloseState});
  }
} const kInstallReader;

}  // namespace

int CompositeStatesInUse() {
  return static_cast<int>(std::count_if(States().begin(), States().end(),
                                        [](const ReadState& state) { return state.in_use; }));
}

}  // namespace zarq
