// The list of the computers on the network, filled by a background scan.
//
// TComputerList collects the names a TComputerListThread finds with
// NetServerEnum. The window's thread starts scans and reads the state, the
// count and the names; the scan thread appends names and sets the final
// state. One re-entrant lock guards the names and every state change; the
// state itself is atomic so that the window can poll it without the lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "pickers/Velmar_Net.h"
#include "rights/Velmar_Component.h"

enum TComputerListState : uint8_t {
  lsIdle,      // created or cleared; no scan has run since
  lsDone,      // the last scan went through to the end
  lsScanning,  // a scan is running
  lsStopping,  // a stop was asked for and the thread has not yet noticed it
  lsStopped,   // the thread ended because of a stop request
  lsFailed,    // the enumeration failed
};

class TComputerList;

// The scan thread. It is started by TComputerList::Scan and destroys itself
// when it ends; its owner only asks it to stop, and only while the state
// says it runs.
class TComputerListThread {
 public:
  // Starts the thread for `owner`; the object deletes itself at the end.
  static TComputerListThread* Start(TComputerList* owner);

  void Terminate() { terminated_.store(true); }
  bool Terminated() const { return terminated_.load(); }

 private:
  explicit TComputerListThread(TComputerList* owner) : owner_(owner) {}
  void Execute();
  // The termination check: when a stop was asked for, sets the final state
  // and answers true (the thread then ends).
  bool CheckTerminated();
  void Fail(uint32_t status);
  // Sets the final state; the owner may be gone right after.
  void Finish(TComputerListState state);

  TComputerList* owner_;
  // The batch being read; released before the final state is set, so that
  // nothing of the thread outlives the list's wait for it.
  VelmarNet::NetBuffer buffer_;
  std::atomic<bool> terminated_{false};
};

class TComputerList : public TComponent {
 public:
  explicit TComputerList(TComponent* owner = nullptr);
  // Stops a running scan and waits until its thread has ended.
  ~TComputerList() override;

  // Starts a scan (the list is emptied first). Raises "Invalid state"
  // while a scan runs.
  void Scan();
  // Asks a running scan to end.
  void Stop();
  // Empties the list; the state becomes lsIdle. Raises "Invalid state"
  // while a scan runs.
  void Clear();

  int Count() const;
  // An independent copy of the name at `index` (0-based).
  std::string Names(int index) const;
  TComputerListState State() const { return state_.load(); }
  // "Ошибка: " and the system's text for the code of the last failed scan.
  std::string ErrorText() const;

  // True for the two states in which the thread may still run.
  static bool Running(TComputerListState state) {
    return state == lsScanning || state == lsStopping;
  }

 private:
  friend class TComputerListThread;
  void SetState(TComputerListState state) { state_.store(state); }
  void Add(const std::string& name);

  mutable std::recursive_mutex lock_;
  TComputerListThread* thread_ = nullptr;
  std::atomic<TComputerListState> state_{lsIdle};
  std::vector<std::string> names_;
  std::string errorText_;
};
