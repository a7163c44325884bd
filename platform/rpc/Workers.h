// The worker processes of the real network. Samba's client libraries keep
// per-process state that two threads must not use at once, so every
// connection lives in a worker process of its own program (started again
// as a worker), and the platform functions hand each call to it over a
// pipe. Calls for different computers then run side by side; a computer
// that never answers costs only its own time limit, after which the worker
// waiting for it is ended and replaced.
//
// Each thread that connects gets a worker of its own, kept while the thread
// lives and then handed to the next thread; the server, which every thread
// asks, has one of its own. Credentials reach a worker over its pipe only.
// Not for use outside platform/rpc.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/rpc/SambaRpc.h"

namespace tavrin::rpc::detail {

// RPC_NT_SERVER_UNAVAILABLE: what a computer that does not answer gives.
constexpr uint32_t kNoAnswer = 0xC0020017u;

class Worker;

struct RemoteAccount {
  uint32_t use = 0;
  std::vector<uint8_t> sid;
  std::string name, domain;
};

// One connection to one computer, held by a worker process. Its calls give
// NTSTATUS values; a computer that stopped answering gives kNoAnswer. Calls
// on one connection must not overlap (the slot's lock sees to that).
class Remote {
 public:
  Remote(std::shared_ptr<Worker> worker, uint32_t id, unsigned callLimitMs);
  ~Remote();  // closes the connection in its worker, without waiting for it
  Remote(const Remote&) = delete;
  Remote& operator=(const Remote&) = delete;

  // False once the transport failed or the worker was ended.
  bool Usable() const;
  // Tells this connection from any other, one that replaced it included.
  uint64_t Serial() const { return serial_; }

  uint32_t OpenPolicy(uint32_t access, tvr_handle& handle);
  // The handle is closed on the computer when the connection closes (no
  // round trip then), or with others once many wait.
  void ClosePolicy(const tvr_handle& handle);
  uint32_t EnumRights(const tvr_handle& handle, const uint8_t* sid,
                      std::vector<std::string>& names);
  // The SIDs holding a right; none for `right` asks for every account.
  uint32_t EnumAccounts(const tvr_handle& handle, const std::string* right,
                        std::vector<std::vector<uint8_t>>& sids);
  uint32_t ChangeRights(const tvr_handle& handle, const uint8_t* sid, bool add, bool all,
                        const std::vector<std::string>& names);
  uint32_t LookupName(const std::string& name, RemoteAccount& account);
  uint32_t LookupSid(const uint8_t* sid, RemoteAccount& account);
  uint32_t SamEnum(tvr_sam_list list, std::vector<std::string>& names);
  uint32_t SamAccountDomain(std::string& name);
  uint32_t ServerInfo(tvr_server_info& info, std::string& name);

 private:
  uint32_t Call(std::string request, std::string& reply);
  std::shared_ptr<Worker> worker_;
  uint32_t id_;
  unsigned callLimitMs_;
  uint64_t serial_;
  bool usable_ = true;
  std::vector<tvr_handle> closing_;
};

// Connects to `address` (numeric) and `port` in a worker: the calling
// thread's own, or with `shared` the one of the connections every thread
// uses. The computer must take the TCP connection within `connectLimitMs`;
// everything after that, and each later call, within `callLimitMs`.
uint32_t Connect(const std::string& address, unsigned port, bool shared, unsigned connectLimitMs,
                 unsigned callLimitMs, std::unique_ptr<Remote>& out);

// Ends every worker process (the credentials changed or were forgotten);
// the next connection starts a new one. Waits for none of them.
void EndWorkers();
// The worker processes running now.
size_t RunningWorkers();

}  // namespace tavrin::rpc::detail
