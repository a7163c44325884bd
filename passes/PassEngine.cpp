#include "passes/PassEngine.h"

#include <algorithm>

#include "platform/PlatformInit.h"
#include "rights/Velmar_RightsCenter.h"
#include "sid/Velmar_SidCenter.h"

bool RowFailed(const TRowResult& result) {
  if (result.kind == TRowJobKind::Read) return result.read.failed;
  if (result.kind == TRowJobKind::Holders) return result.holders.failed;
  switch (result.commit.outcome) {
    case TCommitOutcome::InForce:
    case TCommitOutcome::Written:
    case TCommitOutcome::Unverified:
      return false;
    default:
      return true;
  }
}

TPassEngine::TPassEngine(TRowJobKind kind, const TSid& account, std::vector<std::string> names,
                         int workers, std::function<void()> ready)
    : kind_(kind),
      account_(account),
      names_(std::move(names)),
      workers_(std::max(workers, 1)),
      ready_(std::move(ready)) {}

TPassEngine::TPassEngine(TvmPrivilege right, std::vector<std::string> names, int workers,
                         std::function<void()> ready)
    : kind_(TRowJobKind::Holders),
      right_(right),
      names_(std::move(names)),
      workers_(std::max(workers, 1)),
      ready_(std::move(ready)) {}

TPassEngine::~TPassEngine() {
  if (!ended_) End();
}

std::vector<TRowResult> TPassEngine::Pump(const Prepare& prepare) {
  std::vector<TRowResult> taken;
  {
    std::lock_guard<std::mutex> guard(lock_);
    taken.swap(results_);
    pending_ -= static_cast<int>(taken.size());
  }
  done_ += static_cast<int>(taken.size());
  failed_ += static_cast<int>(std::count_if(taken.begin(), taken.end(), RowFailed));
  while (!ended_ && !stopped_ && next_ < names_.size()) {
    std::unique_lock<std::mutex> guard(lock_);
    if (pending_ >= workers_) break;
    guard.unlock();
    TRowJob job{static_cast<int>(next_), names_[next_], kind_, {}};
    ++next_;
    if (prepare && !prepare(job)) continue;
    guard.lock();
    queue_.push_back(std::move(job));
    ++pending_;
    // A worker is started when every one there is busy, up to the bound.
    if (static_cast<int>(threads_.size()) < std::min(pending_, workers_)) {
      try {
        threads_.emplace_back(&TPassEngine::Run, this);
        continue;
      } catch (const std::exception& e) {
        if (threads_.empty()) {  // the row would wait for ever
          queue_.pop_back();
          --pending_;
          stopped_ = true;
          problem_ = e.what();
          break;
        }
      }
    }
    wake_.notify_one();
  }
  bool idle;
  {
    std::lock_guard<std::mutex> guard(lock_);
    idle = pending_ == 0;
  }
  if (!ended_ && idle && (stopped_ || next_ >= names_.size())) End();
  return taken;
}

void TPassEngine::Stop() { stopped_ = true; }

void TPassEngine::Abandon() {
  Stop();
  tavrin::platform::AbandonCalls();
}

void TPassEngine::WaitForResults(std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> guard(lock_);
  arrived_.wait_for(guard, limit, [this] { return !results_.empty() || pending_ == 0; });
}

void TPassEngine::End() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    quit_ = true;
    queue_.clear();
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) thread.join();
  threads_.clear();
  ended_ = true;
  // The connections the pass opened are not kept for the next one.
  tavrin::platform::PassEnded();
}

void TPassEngine::Run() {
  // The worker's own components: nothing of them is shared with another thread.
  TvmSidCenter sc;
  TvmAccountRigthsCenter arc;
  arc.SetSidCenter(&sc);
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
    else if (job.kind == TRowJobKind::Holders)
      result.holders = ReadHolders(job.name, right_);
    else
      result.commit = CommitRights(sc, arc, job.name, account_, job.codes);
    result.name = std::move(job.name);

    guard.lock();
    results_.push_back(std::move(result));
    arrived_.notify_all();
    guard.unlock();
    if (ready_) ready_();
    guard.lock();
  }
}
