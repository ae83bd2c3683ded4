#pragma once

// The recovery copy: while the database holds changes no save has written,
// a BibTeX file of it is kept in a private directory, written the way a
// save writes (a temporary file renamed into place, so never half written),
// and removed by the next save. A process claims a file of its own with a
// lock, so that two processes never write one file, and the copies of
// processes that have ended are the ones a new start announces. Nothing is
// ever loaded or deleted for the user.

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "session/session.h"

namespace refloom {

// Where recovery copies are kept: $XDG_STATE_HOME/refloom when that is an
// absolute path, else $HOME/.local/state/refloom (the home directory from
// the password database when HOME is unset); empty without a home.
std::string recovery_directory();

// A copy whose process no longer runs.
struct LeftCopy {
  std::string path;
  std::time_t written = 0;  // when it was last written
};

// The copies in `directory` whose processes have ended (no lock held on
// them), oldest first; a name breaks a tie.
std::vector<LeftCopy> left_copies(const std::string& directory);

// What the start says about such copies, one line each (their time in
// local time) and a last line on how to load them; empty when there are none.
std::string left_copies_announcement(const std::vector<LeftCopy>& copies);

class RecoveryCopy {
 public:
  // Copies go to `directory`, made (mode 0700, as the parents that are
  // missing) at the first write.
  explicit RecoveryCopy(std::string directory);
  // Waits for a write under way and lets go of the claim; the copy stays.
  ~RecoveryCopy();
  RecoveryCopy(const RecoveryCopy&) = delete;
  RecoveryCopy& operator=(const RecoveryCopy&) = delete;

  // The file of this process's copy, once claimed ("" before):
  // recovery-PID.bib, or recovery-PID-N.bib when an ended process left that
  // name or New started a new file.
  const std::string& path() const { return path_; }

  // Whether the session's database wants a copy: changed since the last
  // save (or the start) and holding references or blocks.
  static bool wanted(const Session& session);
  // Whether nothing is to do: the copy on disk (or being written) holds the
  // session's last change, or none is wanted and none is on disk.
  bool up_to_date(const Session& session) const;

  enum class When { kInBackground, kNow };
  // Brings the copy in line with the session: written when wanted and
  // behind, removed when not wanted. In the background, a forked child
  // writes the database as it is at the fork (a snapshot the parent's later
  // changes do not touch) while the caller goes on; a write still under way
  // is waited for first. A copy that cannot be written is said on
  // `messages` once, until a write succeeds again.
  void update(const Session& session, When when, std::ostream& messages);
  // New is about to empty the database: the copy of the work so far is
  // written (if wanted) and kept under its name, for the next start to
  // announce; later work goes to a new file.
  void keep_before_new(const Session& session, std::ostream& messages);
  // The program ends (Quit, a signal, a lost display): a last update, then
  // the claim goes, so that the copy counts as left by an ended process.
  void finish(const Session& session, std::ostream& messages);

  // Whether a background write is still running; one that has ended is
  // collected (a failure said on `messages`).
  bool writing(std::ostream& messages);
  // Waits for a background write to end.
  void wait(std::ostream& messages);

 private:
  bool claim(std::ostream& messages);
  // Locks left by ended processes whose copies are gone guard nothing.
  void remove_stale_locks() const;
  void release();
  void remove_copy();
  void write_now(const Session& session, std::ostream& messages);
  void written(bool ok, std::uint64_t changes, std::ostream& messages);

  std::string directory_;
  std::string path_;       // the copy
  std::string lock_path_;  // its lock, held while the process runs
  int lock_fd_ = -1;
  unsigned next_number_ = 1;  // of the next name to try
  pid_t writer_ = -1;         // a background write under way
  std::uint64_t writer_changes_ = 0;
  std::optional<std::uint64_t> on_disk_changes_;  // what the copy on disk holds
  bool failure_said_ = false;
};

}  // namespace refloom
