// A pass over many computers: one account's rights read from, or committed
// to, every computer of a list, or one right's holders read from each, on a bounded pool of workers
// so that slow and switched-off computers are waited for side by side. Each worker owns its SID
// center and rights center; nothing is lent to it. The caller (the window's thread, or the command
// line's) pumps the pass: rows start on its thread and their results come back to it as values,
// with the counts. When the pass has ended, its workers are gone and the platform has been told, so
// that the connections the pass opened are not kept for the next one.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "passes/RowWork.h"

enum class TRowJobKind : uint8_t { Read, Commit, Holders };

// One row's work: read the account's rights on `name`, commit `codes`, or
// read who holds the pass's right there.
struct TRowJob {
  int row = 0;  // the caller's key for the result
  std::string name;
  TRowJobKind kind = TRowJobKind::Read;
  TRowCodes codes;  // the row's codes when it starts (commits)
};

struct TRowResult {
  int row = 0;
  std::string name;
  TRowJobKind kind = TRowJobKind::Read;
  TRowRead read;        // for reads
  TRowCommit commit;    // for commits
  TRowHolders holders;  // for reads of a right's holders
};

// Whether a row's result counts as a failure: unreadable, a write that
// failed, a commit skipped or stopped. Rights written but not read back are
// not a failed write.
bool RowFailed(const TRowResult& result);

class TPassEngine {
 public:
  // Fills a row's job just before it starts, on the caller's thread (its
  // name and kind are set, and its row is the name's index in the list until
  // the caller gives it a key of its own); answering false skips the row.
  using Prepare = std::function<bool(TRowJob&)>;

  // A pass of `kind` over `names` for `account`, at most `workers` rows at
  // once (at least one). `ready` is called on a worker's thread each time a
  // result waits; it must only hand the news on, never call back.
  TPassEngine(TRowJobKind kind, const TSid& account, std::vector<std::string> names, int workers,
              std::function<void()> ready = {});
  // A pass reading who holds `right` on each of `names` (kind Holders).
  TPassEngine(TvmPrivilege right, std::vector<std::string> names, int workers,
              std::function<void()> ready = {});
  // Drops the rows not yet started, waits for the running ones and ends the
  // pass: nothing runs on its behalf afterwards.
  ~TPassEngine();
  TPassEngine(const TPassEngine&) = delete;
  TPassEngine& operator=(const TPassEngine&) = delete;

  // Starts rows while a worker is free and gives the results that came back
  // since the last call, in the order they came. A worker that cannot be
  // started stops the pass (see Problem).
  std::vector<TRowResult> Pump(const Prepare& prepare = {});
  // No further row starts; those running finish.
  void Stop();
  // Stop, and the rows running are cut short where the platform can (their
  // computers fail as not answering): for a program that closes.
  void Abandon();
  // Every row done, or stopped with the running ones done, and every
  // result taken.
  bool Ended() const { return ended_; }
  // Waits until a result waits or `limit` has passed.
  void WaitForResults(std::chrono::milliseconds limit);

  TRowJobKind Kind() const { return kind_; }
  int Total() const { return static_cast<int>(names_.size()); }
  int Done() const { return done_; }      // rows whose results were taken
  int Failed() const { return failed_; }  // of those, the failures
  bool Stopped() const { return stopped_; }
  // Why the pass stopped by itself; empty when it did not.
  const std::string& Problem() const { return problem_; }

 private:
  void Run();
  void End();

  const TRowJobKind kind_;
  const TSid account_;
  const TvmPrivilege right_ = spCreateToken;  // for Holders
  const std::vector<std::string> names_;
  const int workers_;
  const std::function<void()> ready_;
  size_t next_ = 0;
  int done_ = 0, failed_ = 0;
  bool stopped_ = false, ended_ = false;
  std::string problem_;

  std::mutex lock_;
  std::condition_variable wake_, arrived_;
  std::deque<TRowJob> queue_;
  std::vector<TRowResult> results_;
  int pending_ = 0;  // started rows whose results were not taken yet
  bool quit_ = false;
  std::vector<std::thread> threads_;
};
