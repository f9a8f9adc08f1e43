// renumber_journal.h: the journal of a write-back that moves data files to
// new numbers.
//
// Where list positions and data file numbers no longer fit the split of
// the master files (positions 1..255 numbers 1..255, later positions
// 256..6000), the last user renames data files and their field-list files
// to new numbers and changes the numbers in the security list file. A
// rename cannot be taken back by a crash, and the renames may chain (one
// file takes the number another just gave up), so before the first of them
// the whole plan goes to the journal file ("~ZARQ.JNL"): every record's new
// numbers, and every move with which of its files existed; after each move
// the journal counts it done. Whoever passes the directory's gate next and
// finds a journal finishes the plan before anything else.
//
//   0 magic u32 0x4D4AFE5D   4 version u16 800   6 stamp u32
//   10 moves u32   14 records u32   18 moves done u32   22 checksum u32
//   26 moves, 13 bytes each: slot u32, from u32, to u32, files u8
//      (1 the data file existed, 2 the field-list file existed)
//   then records, 16 bytes each: slot u32, file number u32, primary file
//      number u32, secondary file number u32
//
// The checksum covers every byte but the count of moves done and itself: a
// journal cut short while it was written was never acted on.
//
// Thread-safety: callers hold the library lock and the directory's gate.

#ifndef ZARQ_SRC_MASTER_RENUMBER_JOURNAL_H_
#define ZARQ_SRC_MASTER_RENUMBER_JOURNAL_H_

#include <cstdint>
#include <string>
#include <vector>

#include "src/fileio/directory_entry.h"

namespace zarq {

inline constexpr uint32_t kJournalMagic = 0x4D4AFE5Du;

enum JournalFiles : uint8_t {
  kJournalDataFile = 1,
  kJournalFieldListFile = 2,
};

struct JournalMove {
  uint32_t slot = 0;
  uint32_t from = 0;
  uint32_t to = 0;
  uint8_t files = 0;  // JournalFiles present before the move
  bool operator==(const JournalMove&) const = default;
};

// The numbers a security list record ends with.
struct JournalRecord {
  uint32_t slot = 0;
  uint32_t file_number = 0;
  uint32_t primary_file_number = 0;
  uint32_t secondary_file_number = 0;
  bool operator==(const JournalRecord&) const = default;
};

struct RenumberPlan {
  uint32_t stamp = 0;
  std::vector<JournalMove> moves;
  std::vector<JournalRecord> records;
  bool operator==(const RenumberPlan&) const = default;
};

std::string EncodeJournal(const RenumberPlan& plan, uint32_t done);
// False for bytes that are no whole journal (cut short, damaged).
bool DecodeJournal(const std::string& bytes, RenumberPlan* plan, uint32_t* done);

// Carries the plan out: journal, record numbers, moves; the journal is
// removed once all are done.
int32_t CarryOutRenumbering(DirectoryEntry* entry, const RenumberPlan& plan);

// Finishes the plan of a journal that a crashed process left in the
// directory, and removes it; 0 when there is none.
int32_t FinishRenumbering(DirectoryEntry* entry);

}  // namespace zarq

#endif  // ZARQ_SRC_MASTER_RENUMBER_JOURNAL_H_
