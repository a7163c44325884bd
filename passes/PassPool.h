// A pass over many computers: rows are read or committed on a bounded pool
// of worker threads, each with its own SID center and rights center, so
// that slow and switched-off computers are waited for side by side. The
// caller (the window's thread) dispatches one row at a time and takes the
// results as they arrive; the pool never touches the caller's data.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "passes/RowWork.h"

enum class TRowJobKind : uint8_t { Read, Commit };

// One row's work: read the account's rights on `name`, or commit `codes`.
struct TRowJob {
  int row = 0;  // the caller's key for the result
  std::string name;
  TRowJobKind kind = TRowJobKind::Read;
  TRowCodes codes;  // the row's codes at dispatch (commits)
};

struct TRowResult {
  int row = 0;
  std::string name;
  TRowJobKind kind = TRowJobKind::Read;
  TRowRead read;      // for reads
  TRowCommit commit;  // for commits
};

class TPassPool {
 public:
  // At most `workers` rows run at once (at least one). `ready` is called on
  // a worker's thread each time a result is waiting to be taken; it must
  // only hand the news on (post an event), never call back into the pool.
  // The first worker drives `sc` and `arc` when they are given (the
  // window's own pair: with one worker a pass uses exactly those), the
  // others a pair of their own. The caller leaves the given pair alone
  // while the pool lives.
  TPassPool(int workers, const TAccountSid& account, std::function<void()> ready,
            TvmSidCenter* sc = nullptr, TvmAccountRigthsCenter* arc = nullptr);
  // Drops the rows not yet started, waits for the running ones and ends the
  // workers: nothing runs on behalf of the pool afterwards.
  ~TPassPool();
  TPassPool(const TPassPool&) = delete;
  TPassPool& operator=(const TPassPool&) = delete;

  int Workers() const { return workers_; }
  // Rows dispatched whose results have not been taken yet.
  int Pending() const;
  // Whether another row can start at once.
  bool HasRoom() const { return Pending() < workers_; }

  void Dispatch(TRowJob job);
  // The results that have arrived, in the order they arrived.
  std::vector<TRowResult> TakeResults();

 private:
  void Run(TvmSidCenter* sc, TvmAccountRigthsCenter* arc);
  void Work(TvmSidCenter& sc, TvmAccountRigthsCenter& arc);

  const int workers_;
  const TAccountSid account_;
  const std::function<void()> ready_;
  TvmSidCenter* const sc_;
  TvmAccountRigthsCenter* const arc_;
  mutable std::mutex lock_;
  std::condition_variable wake_;
  std::deque<TRowJob> queue_;
  std::vector<TRowResult> results_;
  int pending_ = 0;
  bool quit_ = false;
  std::vector<std::thread> threads_;
};
