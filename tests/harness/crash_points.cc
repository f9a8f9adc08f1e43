// crash_points.cc: the crash-points mode. A victim process dies at each
// file-changing call of a step in turn (and, for writes, also half-way
// through the write). The steps: an open as the first user, the last
// user's close, an open and a close while a holder process has the
// directory open; and with a security's ExtraValue changed under a write
// lock: the lock, change and unlock, and a close with the changed lock
// still held, beside a holder and as the last user; price records
// appended, inserted mid-file and deleted mid-file under a write lock; a
// security added, and one deleted with the composite built on it. The
// folder the victim leaves must then be recoverable two ways: (A) by the crashed identity
// coming back (with open flag 0x04, which also clears its marks in the
// lock file; the holder, still open, leaving last), and (B) on a copy, by
// another identity, the crashed one and the holder (whose record the copy
// keeps) coming back after it while working files remain. The crashed
// identity must be able to lock the changed security at WriteLock again.
// Afterwards the folder must hold exactly the sample again, the changed
// ExtraValue either as it was or raised by 1; after a change of data or
// of the list, either the sample or what the change makes of it unarmed
// (data files up to their counted records): never a mix, nothing lost.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "tests/harness/folder_files.h"
#include "tests/harness/harness.h"
#include "tests/harness/invariants.h"
#include "tests/harness/sample_database.h"
#include "tests/harness/working_files.h"

namespace zarq_test {
namespace {

constexpr int32_t kCrashed = -9998;
constexpr uint32_t kAllowSameUser = 0x04;
const char kVictim[] = "Crash Victim";
const char kHolder[] = "Crash Holder";
const char kRescuer[] = "Crash Rescuer";

// What the victim does armed.
enum class Step {
  kOpen,         // opens the directory
  kClose,        // closes it (opened unarmed)
  kLockChange,   // locks the security at WriteLock, adds 1 to its ExtraValue, unlocks
  kLockedClose,  // closes it holding the security so changed (locked unarmed)
  // Runs the scenario's peer commands, stopping at a failure:
  kDataChange,  // a change of the price data of the security of file_number
  kListChange,  // an addition, or a deletion of that security with its composites
};

struct Scenario {
  int number;
  const char* name;
  bool holder;  // another process has the directory open throughout
  Step step;
  uint32_t file_number;  // the changed security's (one with an extra date, which keeps ExtraValue)
  // Peer commands split by '|', with {d} for the directory and {h} for the
  // handle of the security of file_number.
  const char* commands = nullptr;
};
constexpr Scenario kScenarios[] = {
    {1, "import", false, Step::kOpen, 0},
    {2, "write-back", false, Step::kClose, 0},
    {3, "later open", true, Step::kOpen, 0},
    {4, "non-last close", true, Step::kClose, 0},
    {5, "lock, change, unlock", true, Step::kLockChange, 2},
    {6, "close holding a change", true, Step::kLockedClose, 263},
    {7, "last close holding a change", false, Step::kLockedClose, 11},
    {8, "append many records", true, Step::kDataChange, 263,
     "seclock {h} 32|recappend {h} 700 3000 5|secunlock {h}"},
    {9, "add a security", false, Step::kListChange, 0, "add {d} ADDED"},
    {10, "delete a security and its composite", false, Step::kListChange, 299, "delete {h} 1"},
    {11, "insert mid-file", true, Step::kDataChange, 15,
     "seclock {h} 32|recinsert {h} 29 3 5|secunlock {h}"},
    {12, "delete a range", true, Step::kDataChange, 15,
     "seclock {h} 32|recdelete {h} 29 2|secunlock {h}"},
};

using Problems = std::vector<std::string>;
// The samples a recovered folder may hold.
using Outcomes = std::vector<SampleDatabase>;

// The sample as it is, and when the scenario changes a security's
// ExtraValue, with that change (the outcome of commands is added when
// they have run unarmed).
Outcomes OutcomesOf(const Scenario& scenario, const SampleDatabase& sample) {
  Outcomes outcomes = {sample};
  if (scenario.file_number == 0 || scenario.commands) return outcomes;
  outcomes.push_back(sample);
  for (zarq::SecurityRecord& r : outcomes.back().records) {
    if (r.file_number == scenario.file_number) ++r.extra_value;
  }
  return outcomes;
}

// The list slot of the security of file_number in the open database of
// folder (0 when the list file does not name it).
uint32_t SlotOf(const std::string& folder, uint32_t file_number) {
  std::vector<zarq::SecurityRecord> records;
  std::string problem;
  ReadSecurityList(folder, &records, &problem);
  for (const zarq::SecurityRecord& r : records) {
    if (r.in_use && !r.deleted && r.file_number == file_number) return r.slot;
  }
  return 0;
}

// The lockbump command on the security of file_number.
std::string LockCommand(const std::string& folder, const std::string& dir, uint32_t file_number,
                        uint32_t add, bool unlock) {
  return "lockbump " + dir + " " + std::to_string(SlotOf(folder, file_number)) + " 32 " +
         std::to_string(add) + (unlock ? " 1" : " 0");
}

// Sends command and notes a problem unless the answer is expected.
bool Expect(Peer* peer, const std::string& command, int32_t expected, const std::string& label,
            Problems* problems, std::string* rest = nullptr) {
  int32_t status = peer->Call(command, rest);
  if (status == expected) return true;
  problems->push_back(label + " gave " + std::to_string(status));
  return false;
}

// A process of identity opens folder with flags, counts the securities
// against those of the outcomes (when given), locks the security of
// lock_file (when not 0 and listed) at WriteLock and unlocks it, and
// closes the folder again.
void Visit(const std::string& folder, const char* identity, uint32_t flags,
           const Outcomes& outcomes, uint32_t lock_file, const std::string& label,
           Problems* problems) {
  Peer peer;
  std::string who = label + ": " + identity;
  if (!StartPeer(&peer, identity)) {
    problems->push_back(who + " did not start");
    return;
  }
  std::string dir, live;
  if (Expect(&peer, "open " + folder + " " + std::to_string(flags), 0,
             who + " open " + std::to_string(flags), problems, &dir)) {
    if (!outcomes.empty() && Expect(&peer, "count " + dir, 0, who + " count", problems, &live) &&
        std::none_of(outcomes.begin(), outcomes.end(), [&](const SampleDatabase& outcome) {
          return live == std::to_string(outcome.records.size());
        })) {
      problems->push_back(who + " counts " + live + " securities");
    }
    if (lock_file != 0 && SlotOf(folder, lock_file) != 0) {
      Expect(&peer, LockCommand(folder, dir, lock_file, 0, true), 0, who + " write lock", problems);
    }
    Expect(&peer, "close " + dir, 0, who + " close", problems);
  }
  peer.Exit();
}

// The outcomes a change of data or of the list may leave besides the
// sample and its unarmed result (changed): a writer that dies between
// committing the data file's count and storing the security's record
// leaves the listed first and last dates as they were (a locker derives
// them from the data); a cascading deletion commits each composite's
// deletion before the next.
void AddIntermediateOutcomes(const Scenario& scenario, const SampleDatabase& changed,
                             Outcomes* outcomes) {
  SampleDatabase outcome = outcomes->front();
  if (scenario.step == Step::kDataChange) {
    outcome.data_files = changed.data_files;
  } else {
    std::erase_if(outcome.records, [&](const zarq::SecurityRecord& r) {
      return r.composite && (r.primary_file_number == scenario.file_number ||
                             r.secondary_file_number == scenario.file_number);
    });
  }
  outcomes->push_back(changed);
  outcomes->push_back(outcome);
}

// The violations of the outcome the folder comes closest to. The data
// file of a security that some outcomes list and others do not may be
// left over (a list change creates it before its commit and removes it
// after).
void AddViolations(const std::string& folder, const Outcomes& outcomes, const std::string& label,
                   Problems* problems) {
  std::map<uint32_t, size_t> listed;
  for (const SampleDatabase& outcome : outcomes) {
    for (const zarq::SecurityRecord& r : outcome.records) ++listed[r.file_number];
  }
  std::set<std::string> leftovers;
  for (const auto& [file_number, count] : listed) {
    if (count < outcomes.size())
      leftovers.insert("(b) unexpected data file " + DataFileName(file_number));
  }
  std::vector<std::string> fewest;
  for (const SampleDatabase& outcome : outcomes) {
    std::vector<std::string> violations = CheckInvariants(folder, outcome);
    std::erase_if(violations, [&](const std::string& v) { return leftovers.count(v) > 0; });
    if (violations.empty()) return;
    if (fewest.empty() || violations.size() < fewest.size()) fewest = violations;
  }
  for (const std::string& v : fewest) problems->push_back(label + ": " + v);
}

// One run of a scenario in a fresh copy of the template.
class ScenarioRun {
 public:
  ScenarioRun(const Scenario& scenario, const std::string& template_folder) : scenario_(scenario) {
    CopyFolder(template_folder, folder_.path());
  }

  const std::string& path() const { return folder_.path(); }
  Peer& victim() { return victim_; }

  // Sets the scenario up and runs the victim's step armed with (k, torn);
  // returns that step's status.
  int32_t Run(uint32_t k, bool torn, Problems* problems) {
    const Step step = scenario_.step;
    if (scenario_.holder) Open(&holder_, kHolder, &holder_dir_, problems);
    if (step != Step::kOpen) {
      Open(&victim_, kVictim, &victim_dir_, problems);
    } else if (!StartPeer(&victim_, kVictim)) {
      problems->push_back("victim did not start");
    }
    if (step == Step::kLockedClose) {
      Expect(&victim_, Lock(false), 0, "victim lock and change", problems);
    }
    Expect(&victim_, "arm " + std::to_string(k) + " " + (torn ? "1" : "0"), 0, "arm", problems);
    switch (step) {
      case Step::kOpen:
        return victim_.Call("open " + path() + " 0", &victim_dir_);
      case Step::kLockChange:
        return victim_.Call(Lock(true));
      case Step::kDataChange:
      case Step::kListChange:
        return RunCommands();
      default:
        return victim_.Call("close " + victim_dir_);
    }
  }

  // Ends an uncrashed run: the victim (when it still has the directory
  // open) and the holder close.
  void Finish(Problems* problems) {
    if (scenario_.step != Step::kClose && scenario_.step != Step::kLockedClose) {
      Expect(&victim_, "close " + victim_dir_, 0, "victim close", problems);
    }
    victim_.Exit();
    CloseHolder("holder", problems);
  }

  // Recovery A, here: the crashed identity comes back; the holder, still
  // open, closes last.
  void RecoverAsVictim(const Outcomes& outcomes, Problems* problems) {
    Visit(path(), kVictim, kAllowSameUser, outcomes, scenario_.file_number, "A", problems);
    CloseHolder("A: holder", problems);
    AddViolations(path(), outcomes, "A", problems);
  }

 private:
  // The scenario's commands until one fails; the status of the last run.
  int32_t RunCommands() {
    const std::string handle =
        std::to_string((std::stoul(victim_dir_) << 24) | SlotOf(path(), scenario_.file_number));
    std::istringstream commands(scenario_.commands);
    std::string command;
    int32_t status = 0;
    while (status == 0 && std::getline(commands, command, '|')) {
      for (auto [mark, value] : {std::pair{"{d}", victim_dir_}, std::pair{"{h}", handle}}) {
        for (size_t at; (at = command.find(mark)) != std::string::npos;) {
          command.replace(at, 3, value);
        }
      }
      status = victim_.Call(command);
    }
    return status;
  }
  std::string Lock(bool unlock) {
    return LockCommand(path(), victim_dir_, scenario_.file_number, 1, unlock);
  }
  void Open(Peer* peer, const char* identity, std::string* dir, Problems* problems) {
    if (!StartPeer(peer, identity)) problems->push_back(std::string(identity) + " did not start");
    Expect(peer, "open " + path() + " 0", 0, std::string(identity) + " open", problems, dir);
  }
  void CloseHolder(const std::string& label, Problems* problems) {
    if (!scenario_.holder) return;
    Expect(&holder_, "close " + holder_dir_, 0, label + " close", problems);
    holder_.Exit();
  }

  const Scenario& scenario_;
  TempFolder folder_;  // before the peers: they end before it is removed
  Peer holder_, victim_;
  std::string holder_dir_, victim_dir_;
};

// Recovery B, on a copy: another identity opens, counts and closes; then,
// for as long as working files remain, the crashed identity and the
// holder (whose record the copy keeps) come back in turn.
void RecoverAsOther(const Scenario& scenario, const std::string& folder, const Outcomes& outcomes,
                    Problems* problems) {
  Visit(folder, kRescuer, 0, outcomes, 0, "B", problems);
  if (WorkingFilesRemain(folder)) {
    Visit(folder, kVictim, kAllowSameUser, {}, scenario.file_number, "B", problems);
  }
  if (scenario.holder && WorkingFilesRemain(folder)) {
    Visit(folder, kHolder, kAllowSameUser, {}, 0, "B", problems);
  }
  AddViolations(folder, outcomes, "B", problems);
}

// Runs the scenario unarmed and returns the letters of its file-changing
// calls ("" when the run itself failed; problems say why). The outcome of
// commands, which must change the sample, joins the outcomes.
std::string CountCalls(const Scenario& scenario, const std::string& template_folder,
                       Outcomes* outcomes, Problems* problems) {
  ScenarioRun run(scenario, template_folder);
  int32_t status = run.Run(0, false, problems);
  if (status != 0) problems->push_back("unarmed victim step gave " + std::to_string(status));
  std::string answer, letters;
  size_t count = 0;
  Expect(&run.victim(), "calls", 0, "calls", problems, &answer);
  std::istringstream(answer) >> count >> letters;
  run.Finish(problems);
  if (scenario.commands) {
    if (CheckInvariants(run.path(), outcomes->front()).empty()) {
      problems->push_back("unarmed: the commands changed nothing");
    }
    AddIntermediateOutcomes(scenario, SnapshotOf(run.path()), outcomes);
  }
  AddViolations(run.path(), *outcomes, "unarmed", problems);
  return letters.size() == count ? letters : "";
}

struct Tally {
  int tried = 0;
  int failed = 0;
};

// Counts a crash point (k 0: the unarmed run) and prints its problems.
void Report(const Scenario& scenario, uint32_t k, char letter, bool torn, const Problems& problems,
            Tally* tally) {
  if (k > 0) ++tally->tried;
  if (problems.empty()) return;
  ++tally->failed;
  std::printf("FAIL scenario %d (%s) k=%u %c%s:\n", scenario.number, scenario.name, k, letter,
              torn ? " torn" : "");
  for (const std::string& p : problems) std::printf("    %s\n", p.c_str());
}

// Runs the scenario with the victim dying at call k, then both recoveries.
Problems TryCrashPoint(const Scenario& scenario, const std::string& template_folder,
                       const Outcomes& outcomes, uint32_t k, bool torn) {
  Problems problems;
  ScenarioRun run(scenario, template_folder);
  int32_t status = run.Run(k, torn, &problems);
  run.victim().Exit();  // its locks are gone once it has ended
  if (status != kCrashed) {
    problems.push_back("the victim did not crash: its step gave " + std::to_string(status));
  } else if (problems.empty()) {
    TempFolder copy;
    CopyFolder(run.path(), copy.path());
    run.RecoverAsVictim(outcomes, &problems);
    RecoverAsOther(scenario, copy.path(), outcomes, &problems);
  }
  return problems;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int RunCrashPoints(const HarnessOptions& options) {
  const SampleDatabase sample = MakeSampleDatabase();
  TempFolder template_folder;
  WriteSampleDatabase(sample, template_folder);
  if (!CheckInvariants(template_folder.path(), sample).empty()) {
    std::printf("the sample database fails its own checks\n");
    return 2;
  }
  std::string summary;
  int failed = 0;
  for (const Scenario& scenario : kScenarios) {
    if (options.first_scenario != 0 &&
        (scenario.number < options.first_scenario || scenario.number > options.last_scenario)) {
      continue;
    }
    const auto start = std::chrono::steady_clock::now();
    Problems problems;
    Outcomes outcomes = OutcomesOf(scenario, sample);
    std::string letters = CountCalls(scenario, template_folder.path(), &outcomes, &problems);
    std::printf("scenario %d (%s): %zu file-changing calls: %s\n", scenario.number, scenario.name,
                letters.size(), letters.c_str());
    Tally tally;
    Report(scenario, 0, '-', false, problems, &tally);
    for (size_t k = 1; k <= letters.size(); ++k) {
      // Every n-th call, and always the last one (the step's final act).
      if ((k - 1) % static_cast<size_t>(options.every) != 0 && k != letters.size()) continue;
      for (bool torn : {false, true}) {
        if (torn && letters[k - 1] != 'W') continue;
        problems = TryCrashPoint(scenario, template_folder.path(), outcomes,
                                 static_cast<uint32_t>(k), torn);
        Report(scenario, static_cast<uint32_t>(k), letters[k - 1], torn, problems, &tally);
      }
    }
    failed += tally.failed;
    char line[160];
    std::snprintf(line, sizeof(line),
                  "  scenario %d (%s): %zu calls, %d crash points tried, %d failed (%.1f s)\n",
                  scenario.number, scenario.name, letters.size(), tally.tried, tally.failed,
                  SecondsSince(start));
    summary += line;
  }
  std::printf("crash points (every %d):\n%s", options.every, summary.c_str());
  std::printf(failed == 0 ? "crash points: passed\n" : "crash points: FAILED at %d points\n",
              failed);
  return failed == 0 ? 0 : 1;
}

}  // namespace zarq_test
