#include "passes/PassPool.h"

#include <algorithm>

#include "platform/PlatformInit.h"
#include "rights/Velmar_RightsCenter.h"
#include "sid/Velmar_SidCenter.h"

TPassPool::TPassPool(int workers, const TAccountSid& account, std::function<void()> ready,
                     TvmSidCenter* sc, TvmAccountRigthsCenter* arc)
    : workers_(std::max(workers, 1)),
      account_(account),
      ready_(std::move(ready)),
      sc_(sc),
      arc_(sc != nullptr ? arc : nullptr) {}

TPassPool::~TPassPool() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    quit_ = true;
    queue_.clear();
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) thread.join();
  // The connections the pass opened are not kept for the next one.
  tavrin::platform::PassEnded();
}

int TPassPool::Pending() const {
  std::lock_guard<std::mutex> guard(lock_);
  return pending_;
}

void TPassPool::Dispatch(TRowJob job) {
  std::lock_guard<std::mutex> guard(lock_);
  queue_.push_back(std::move(job));
  ++pending_;
  // A worker is started when every one there is busy, up to the bound.
  if (static_cast<int>(threads_.size()) < std::min(pending_, workers_)) {
    try {
      const bool first = threads_.empty();
      threads_.emplace_back(&TPassPool::Run, this, first ? sc_ : nullptr, first ? arc_ : nullptr);
      return;
    } catch (...) {
      // Without any worker the row would wait for ever: it is not taken.
      if (threads_.empty()) {
        queue_.pop_back();
        --pending_;
        throw;
      }
    }
  }
  wake_.notify_one();
}

std::vector<TRowResult> TPassPool::TakeResults() {
  std::lock_guard<std::mutex> guard(lock_);
  std::vector<TRowResult> taken;
  taken.swap(results_);
  pending_ -= static_cast<int>(taken.size());
  return taken;
}

void TPassPool::Run(TvmSidCenter* sc, TvmAccountRigthsCenter* arc) {
  if (sc != nullptr && arc != nullptr) return Work(*sc, *arc);
  // The worker's own components: nothing of them is shared with another
  // thread.
  TvmSidCenter ownSc;
  TvmAccountRigthsCenter ownArc;
  ownArc.SetSidCenter(&ownSc);
  Work(ownSc, ownArc);
}

void TPassPool::Work(TvmSidCenter& sc, TvmAccountRigthsCenter& arc) {
  std::unique_lock<std::mutex> guard(lock_);
  for (;;) {
    wake_.wait(guard, [this] { return quit_ || !queue_.empty(); });
    if (quit_) return;
    TRowJob job = std::move(queue_.front());
    queue_.pop_front();
    guard.unlock();

    TRowResult result;
    result.row = job.row;
    result.kind = job.kind;
    if (job.kind == TRowJobKind::Read)
      result.read = ReadRights(sc, arc, job.name, account_);
    else
      result.commit = CommitRights(sc, arc, job.name, account_, job.codes);
    result.name = std::move(job.name);

    guard.lock();
    results_.push_back(std::move(result));
    guard.unlock();
    if (ready_) ready_();
    guard.lock();
  }
}
