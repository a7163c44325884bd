// The connections of the real network, one per computer, and the state
// the platform functions share. Not for use outside platform/rpc.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/rpc/RealNetwork.h"
#include "platform/rpc/Workers.h"

namespace tavrin::rpc::detail {

// One computer: its connection, or why it could not be made.
struct Slot {
  std::mutex mutex;  // held by whoever calls on the connection
  std::string endpoint;
  std::unique_ptr<Remote> conn;
  uint32_t failure = 0;  // the status of the last failed connection; 0: none
};

// The connection to the computer a system name designates (null, empty,
// "." or the server's own name: the server), locked while the session
// lives. A broken connection is replaced; a failure is remembered until
// the connections are released.
class Session {
 public:
  explicit Session(const std::string& systemName);
  explicit Session(std::shared_ptr<Slot> slot);
  // STATUS_SUCCESS, or the status the connection failed with.
  uint32_t Status() const { return status_; }
  Remote* Conn() const { return slot_->conn.get(); }
  const std::shared_ptr<Slot>& SlotOf() const { return slot_; }

 private:
  void Connect();
  std::shared_ptr<Slot> slot_;
  std::unique_lock<std::mutex> lock_;
  uint32_t status_ = 0;
};

const Options& Current();
// The server's own name as it gives it, once known ("" before).
std::string ServerName();
void RememberServerName(const std::string& name);
// Asks the server for its name when it is not known yet; false with the
// last error set when it does not answer (RealExports.cpp).
bool ThisComputerName(std::string& name);

}  // namespace tavrin::rpc::detail
