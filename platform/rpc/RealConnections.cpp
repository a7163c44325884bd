// Options, credentials and the connections of the real network.
#include "platform/rpc/RealConnections.h"

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <map>
#include <utility>
#include <vector>

#include "platform/NetworkOverride.h"
#include "platform/WideText.h"

namespace tavrin::rpc {

namespace detail {
const platform::NetworkOverride& RealOverride();  // RealExports.cpp
}

namespace {

// How long one call may take: a computer that took the connection but
// stopped answering fails after this, holding up no other computer.
constexpr unsigned kCallLimitMs = 10000;

struct Network {
  std::mutex mutex;
  bool installed = false;
  Options options;
  std::string serverName;                                      // as the server gives it
  std::map<std::string, std::shared_ptr<detail::Slot>> slots;  // by endpoint
};

Network& TheNetwork() {
  static Network* network = new Network;  // outlives the workers of any pass
  return *network;
}

bool SameName(const std::string& a, const std::string& b) {
  return platform::text::UpperKey(a) == platform::text::UpperKey(b);
}

// The numeric address to connect to: an IPv4 address of `host` when it has
// one (the binding strings of Samba's libraries have no room for an IPv6
// literal), else the name itself; "" when it has none at all.
std::string AddressOf(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0) return {};
  std::string address;
  for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
    char text[NI_MAXHOST];
    if (a->ai_family == AF_INET && getnameinfo(a->ai_addr, a->ai_addrlen, text, sizeof text,
                                               nullptr, 0, NI_NUMERICHOST) == 0) {
      address = text;
      break;
    }
    address = host;
  }
  freeaddrinfo(found);
  return address;
}

// The endpoint key of a system name: "host:port", the server's for none.
std::string EndpointOf(const std::string& systemName) {
  std::string name = systemName;
  name.erase(0, name.find_first_not_of('\\'));
  // A bare name may be the server's own, which it gives on first asking.
  if (!name.empty() && name != "." && name.find_first_of(":.") == std::string::npos &&
      detail::ServerName().empty()) {
    std::string ignored;
    detail::ThisComputerName(ignored);
  }
  Network& n = TheNetwork();
  std::lock_guard<std::mutex> lock(n.mutex);
  if (name.empty() || name == "." || (!n.serverName.empty() && SameName(name, n.serverName)))
    name = n.options.server;
  std::string host;
  unsigned port = 445;
  if (!SplitEndpoint(name, host, port)) return {};
  return platform::text::UpperKey(host) + ":" + std::to_string(port);
}

}  // namespace

bool SplitEndpoint(const std::string& text, std::string& host, unsigned& port) {
  port = 445;
  const size_t colon = text.find(':');
  host = text.substr(0, colon);
  // A name or an IPv4 address: the binding strings of Samba's libraries have
  // no room for an IPv6 literal (a name that resolves to one is fine).
  if (host.empty() || host.find_first_of(" \t\r\n/\\[]") != std::string::npos) return false;
  if (colon == std::string::npos) return true;
  const std::string portText = text.substr(colon + 1);
  if (portText.empty() || portText.size() > 5 ||
      portText.find_first_not_of("0123456789") != std::string::npos)
    return false;
  port = static_cast<unsigned>(std::stoul(portText));
  return port > 0 && port <= 65535;
}

bool Install(const Options& options, std::string& password, std::string& error) {
  struct Wipe {
    std::string& text;
    ~Wipe() {
      volatile char* p = text.data();
      for (size_t i = 0; i < text.size(); ++i) p[i] = 0;
      text.clear();
    }
  } wipe{password};
  std::string host;
  unsigned port = 0;
  if (!SplitEndpoint(options.server, host, port)) {
    error = "--server: \"" + options.server + "\" is not a computer name (NAME or NAME:PORT)";
    return false;
  }
  const std::string& user = options.user;
  const size_t slash = user.find('\\');
  const std::string domain = slash == std::string::npos ? "" : user.substr(0, slash);
  const std::string name = slash == std::string::npos ? user : user.substr(slash + 1);
  if (name.empty() || name.find('\\') != std::string::npos ||
      std::any_of(user.begin(), user.end(), [](unsigned char c) { return c < 0x20; })) {
    error = "--user: give the account as DOMAIN\\NAME or NAME";
    return false;
  }
  Uninstall();
  // Made here once; each worker process gets them over its pipe.
  if (tvr_set_credentials(name.c_str(), domain.c_str(), password.c_str()) != 0) {
    error = "the Samba client libraries could not be set up";
    return false;
  }
  Network& n = TheNetwork();
  {
    std::lock_guard<std::mutex> lock(n.mutex);
    n.options = options;
    n.serverName.clear();
    n.installed = true;
  }
  platform::SetOverride(&detail::RealOverride());
  return true;
}

void Uninstall() {
  platform::SetOverride(nullptr);
  Network& n = TheNetwork();
  std::map<std::string, std::shared_ptr<detail::Slot>> closing;
  {
    std::lock_guard<std::mutex> lock(n.mutex);
    closing.swap(n.slots);
    n.installed = false;
    n.serverName.clear();
  }
  closing.clear();
  detail::EndWorkers();  // they hold the credentials too
  tvr_clear_credentials();
}

bool Installed() {
  Network& n = TheNetwork();
  std::lock_guard<std::mutex> lock(n.mutex);
  return n.installed;
}

std::string Describe() {
  Network& n = TheNetwork();
  std::lock_guard<std::mutex> lock(n.mutex);
  return n.options.server + " as " + n.options.user;
}

void AbandonCalls() { detail::EndWorkers(); }

void ReleaseConnections() {
  Network& n = TheNetwork();
  std::vector<std::shared_ptr<detail::Slot>> closing;
  std::unique_lock<std::mutex> lock(n.mutex);
  for (auto it = n.slots.begin(); it != n.slots.end();) {
    // A slot someone holds (a call under way, an open policy handle) stays.
    if (it->second.use_count() == 1 && it->second->mutex.try_lock()) {
      it->second->mutex.unlock();
      closing.push_back(std::move(it->second));
      it = n.slots.erase(it);
    } else {
      ++it;
    }
  }
  lock.unlock();
  closing.clear();  // the connections close here, each saying goodbye to its computer
}

size_t OpenConnections() {
  Network& n = TheNetwork();
  std::lock_guard<std::mutex> lock(n.mutex);
  size_t open = 0;
  for (const auto& [key, slot] : n.slots)
    if (slot->mutex.try_lock()) {
      open += slot->conn != nullptr;
      slot->mutex.unlock();
    } else {
      ++open;  // in use: connected or connecting
    }
  return open;
}

namespace detail {

Session::Session(const std::string& systemName) {
  const std::string endpoint = EndpointOf(systemName);
  Network& n = TheNetwork();
  {
    std::lock_guard<std::mutex> lock(n.mutex);
    if (!n.installed) {
      status_ = kNoAnswer;
      slot_ = std::make_shared<Slot>();
      return;
    }
    std::shared_ptr<Slot>& slot = n.slots[endpoint];
    if (!slot) {
      slot = std::make_shared<Slot>();
      slot->endpoint = endpoint;
    }
    slot_ = slot;
  }
  lock_ = std::unique_lock<std::mutex>(slot_->mutex);
  if (endpoint.empty()) {
    status_ = kNoAnswer;  // a name no computer can have
    return;
  }
  Connect();
}

Session::Session(std::shared_ptr<Slot> slot) : slot_(std::move(slot)), lock_(slot_->mutex) {
  Connect();
}

void Session::Connect() {
  Slot& s = *slot_;
  if (s.conn != nullptr && !s.conn->Usable()) s.conn.reset();
  if (s.conn != nullptr) return;
  if (s.failure != 0) {
    status_ = s.failure;
    return;
  }
  const size_t colon = s.endpoint.rfind(':');
  const std::string host = s.endpoint.substr(0, colon);
  const auto port = static_cast<unsigned>(std::stoul(s.endpoint.substr(colon + 1)));
  const std::string address = AddressOf(host);
  if (address.empty()) {
    status_ = s.failure = kNoAnswer;
    return;
  }
  // The server is asked by every thread: its connection has a worker of its own.
  const bool shared = s.endpoint == EndpointOf("");
  // One TCP connection: the time limit on taking it is the quick "does not
  // answer", with no probe before it.
  status_ =
      detail::Connect(address, port, shared, Current().connectTimeoutMs, kCallLimitMs, s.conn);
  if (status_ != 0) s.failure = status_;
}

const Options& Current() {
  // The options change only while no pass runs (installing), so a copy
  // taken under the lock is not needed for reads.
  return TheNetwork().options;
}

std::string ServerName() {
  Network& n = TheNetwork();
  std::lock_guard<std::mutex> lock(n.mutex);
  return n.serverName;
}

void RememberServerName(const std::string& name) {
  Network& n = TheNetwork();
  std::lock_guard<std::mutex> lock(n.mutex);
  n.serverName = name;
}

}  // namespace detail

}  // namespace tavrin::rpc
