// The list of the computers on the network, filled by a background scan.
//
// TComputerList collects the names a TComputerListThread finds with
// NetServerEnum. The window's thread starts scans and reads the state, the
// count and the names; the scan thread appends names and sets the final
// state. The names, the state and the error text live in a shared block
// that the list and its running thread both hold: a list destroyed during a
// scan only asks the thread to stop and goes at once, and the thread, which
// touches nothing but the block and itself, frees both when it ends. One
// re-entrant lock in the block guards the names and every state change; the
// state itself is atomic so that the window can poll it without the lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/Velmar_Component.h"

enum TComputerListState : uint8_t {
  lsIdle,      // created or cleared; no scan has run since
  lsDone,      // the last scan went through to the end
  lsScanning,  // a scan is running
  lsStopping,  // a stop was asked for and the thread has not yet noticed it
  lsStopped,   // the thread ended because of a stop request
  lsFailed,    // the enumeration failed
};

// What a list and its scan thread share.
struct TComputerListShared {
  mutable std::recursive_mutex lock;
  std::atomic<TComputerListState> state{lsIdle};
  std::vector<std::string> names;
  std::string errorText;
  uint32_t errorCode = 0;
};

// The scan thread. It holds itself and the shared block while it runs; its
// list holds it only to ask it to stop.
class TComputerListThread {
 public:
  // Starts a scan over `shared`. Raises what creating the thread raises.
  static std::shared_ptr<TComputerListThread> Start(std::shared_ptr<TComputerListShared> shared);

  void Terminate() { terminated_.store(true); }
  bool Terminated() const { return terminated_.load(); }

  // Scan threads of the process that have not yet ended.
  static int Alive();
  // For tests: a step run where the thread is created; what it raises,
  // creating the thread raises. Empty: none.
  static void SetStartHook(std::function<void()> hook);

 private:
  explicit TComputerListThread(std::shared_ptr<TComputerListShared> shared)
      : shared_(std::move(shared)) {}
  // The thread's body: whatever Execute raises ends the scan in lsFailed.
  void Run() noexcept;
  void Execute();
  // The termination check: when a stop was asked for, sets the final state
  // and answers true (the thread then ends).
  bool CheckTerminated();
  void Fail(uint32_t code);
  void Finish(TComputerListState state);

  const std::shared_ptr<TComputerListShared> shared_;
  std::atomic<bool> terminated_{false};
};

class TComputerList : public TComponent {
 public:
  explicit TComputerList(TComponent* owner = nullptr);
  // Asks a running scan to stop and returns without waiting for it.
  ~TComputerList() override;

  // Starts a scan (the list is emptied first). Raises "Invalid state"
  // while a scan runs. When the thread cannot be created the state becomes
  // lsFailed, the error text says why, and the failure is raised.
  void Scan();
  // Asks a running scan to end.
  void Stop();
  // Empties the list; the state becomes lsIdle. Raises "Invalid state"
  // while a scan runs.
  void Clear();

  int Count() const;
  // An independent copy of the name at `index` (0-based).
  std::string Names(int index) const;
  TComputerListState State() const { return shared_->state.load(); }
  // "Ошибка: " and the system's text for the code of the last failed scan.
  std::string ErrorText() const;
  // The system error code of the last failed scan; 0 when the failure had
  // none (the thread could not be created).
  uint32_t ErrorCode() const;

  // True for the two states in which the thread may still run.
  static bool Running(TComputerListState state) {
    return state == lsScanning || state == lsStopping;
  }

 private:
  void SetState(TComputerListState state) { shared_->state.store(state); }

  const std::shared_ptr<TComputerListShared> shared_ = std::make_shared<TComputerListShared>();
  std::shared_ptr<TComputerListThread> thread_;
};
