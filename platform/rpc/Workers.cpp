// The worker processes: the parent's side (starting, asking, ending them)
// and the worker's own (serving the calls of its pipe).
#include "platform/rpc/Workers.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

extern char** environ;

namespace tavrin::rpc::detail {
namespace {

// What marks a started program as a worker. Its pipe to the parent is this
// descriptor: a socket, so that writing to a worker that died gives an error,
// not a SIGPIPE that would end the parent.
constexpr const char* kRoleVariable = "TAVRIN_RPC_WORKER";
constexpr int kPipeFd = 3;

enum Op : uint8_t {
  kCredentials = 1,
  kConnect,
  kDisconnect,  // no reply
  kOpenPolicy,
  kClosePolicies,
  kEnumRights,
  kChangeRights,
  kLookupName,
  kLookupSid,
  kSamEnum,
  kSamDomain,
  kServerInfo,
  kEnumAccounts,
};
// A worker's frames: a reply, or word that the computer took the connection.
constexpr char kReply = 'R';
constexpr char kAnswered = 'A';

constexpr uint32_t kIoTimeout = 0xC00000B5u;
constexpr uint32_t kNoMemory = 0xC0000017u;
constexpr uint32_t kUnsuccessful = 0xC0000001u;
// Closed policy handles wait for their connection's end, up to this many.
constexpr size_t kClosingBatch = 16;

void Wipe(std::string& text) {
  volatile char* p = text.data();
  for (size_t i = 0; i < text.size(); ++i) p[i] = 0;
  text.clear();
}

// ---------------------------------------------------------------- frames

struct Writer {
  std::string bytes;
  Writer& U8(uint8_t v) {
    bytes.push_back(static_cast<char>(v));
    return *this;
  }
  Writer& U32(uint32_t v) {
    char b[4];
    std::memcpy(b, &v, 4);
    bytes.append(b, 4);
    return *this;
  }
  Writer& Raw(const void* p, size_t n) {
    U32(static_cast<uint32_t>(n));
    bytes.append(static_cast<const char*>(p), n);
    return *this;
  }
  Writer& Text(const std::string& t) { return Raw(t.data(), t.size()); }
  Writer& Texts(const std::vector<std::string>& list) {
    U32(static_cast<uint32_t>(list.size()));
    for (const std::string& t : list) Text(t);
    return *this;
  }
};

struct Reader {
  const std::string& bytes;
  size_t at = 0;
  bool ok = true;
  bool Take(void* p, size_t n) {
    if (!ok || bytes.size() - at < n) return ok = false;
    std::memcpy(p, bytes.data() + at, n);
    at += n;
    return true;
  }
  uint8_t U8() {
    uint8_t v = 0;
    Take(&v, 1);
    return v;
  }
  uint32_t U32() {
    uint32_t v = 0;
    Take(&v, 4);
    return v;
  }
  std::string Text() {
    const uint32_t n = U32();
    if (!ok || bytes.size() - at < n) {
      ok = false;
      return {};
    }
    std::string t = bytes.substr(at, n);
    at += n;
    return t;
  }
  std::vector<std::string> Texts() {
    std::vector<std::string> list;
    for (uint32_t n = U32(); ok && n > 0; --n) list.push_back(Text());
    return list;
  }
};

// A frame on a pipe: its length, then its bytes.
bool WriteAll(int fd, const std::string& payload) {
  std::string frame;
  const auto n = static_cast<uint32_t>(payload.size());
  frame.append(reinterpret_cast<const char*>(&n), 4);
  frame += payload;
  size_t done = 0;
  while (done < frame.size()) {
    const ssize_t put = send(fd, frame.data() + done, frame.size() - done, MSG_NOSIGNAL);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    done += static_cast<size_t>(put);
  }
  const bool whole = done == frame.size();
  Wipe(frame);
  return whole;
}

// ---------------------------------------------------------------- the worker's side

bool ReadExactly(int fd, char* p, size_t n) {
  while (n > 0) {
    const ssize_t got = read(fd, p, n);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    p += got;
    n -= static_cast<size_t>(got);
  }
  return true;
}

void Collect(void* context, const char* text) {
  static_cast<std::vector<std::string>*>(context)->push_back(text);
}

void CollectSid(void* context, const uint8_t* sid, size_t size) {
  static_cast<std::vector<std::string>*>(context)->emplace_back(reinterpret_cast<const char*>(sid),
                                                                size);
}

void CollectAccount(void* context, uint32_t use, const uint8_t* sid, size_t size, const char* name,
                    const char* domain) {
  auto* a = static_cast<RemoteAccount*>(context);
  a->use = use;
  a->sid.assign(sid, sid + size);
  a->name = name;
  a->domain = domain;
}

void TellAnswered(void*) { WriteAll(kPipeFd, std::string(1, kAnswered)); }

void PutAccount(Writer& w, const RemoteAccount& a) {
  w.U32(a.use).Raw(a.sid.data(), a.sid.size()).Text(a.name).Text(a.domain);
}

// A SID in the Windows layout, checked for its length.
bool TakeSid(Reader& r, std::string& sid) {
  sid = r.Text();
  return r.ok && sid.size() >= 8 && static_cast<uint8_t>(sid[1]) <= 15 &&
         sid.size() == 8 + 4 * static_cast<size_t>(static_cast<uint8_t>(sid[1]));
}

bool TakeHandle(Reader& r, tvr_handle& h) {
  const std::string bytes = r.Text();
  if (!r.ok || bytes.size() != sizeof h.bytes) return false;
  std::memcpy(h.bytes, bytes.data(), sizeof h.bytes);
  return true;
}

[[noreturn]] void Serve() {
  // Nothing of the worker goes into a crash dump: it holds the NT hash.
  prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
  prctl(PR_SET_NAME, "tavrin-rpc", 0, 0, 0);
  const rlimit none{0, 0};
  setrlimit(RLIMIT_CORE, &none);
  signal(SIGPIPE, SIG_IGN);
  // A worker waiting on a computer ends with its parent, not at Samba's own
  // limits (a minute for a connection nobody answers).
  tvr_set_lifeline(kPipeFd);
  std::unordered_map<uint32_t, tvr_conn*> conns;
  uint32_t nextId = 1;
  std::string request;
  for (;;) {
    uint32_t size = 0;
    if (!ReadExactly(kPipeFd, reinterpret_cast<char*>(&size), 4) || size > (64u << 20)) break;
    request.assign(size, '\0');
    if (!ReadExactly(kPipeFd, request.data(), size)) break;
    Reader r{request};
    const uint8_t op = r.U8();
    uint32_t status = kUnsuccessful;
    Writer out;
    tvr_conn* c = nullptr;
    if (op != kCredentials && op != kConnect) {
      auto it = conns.find(r.U32());
      c = it == conns.end() ? nullptr : it->second;
      if (op == kDisconnect) {
        if (c != nullptr) {
          conns.erase(it);
          tvr_disconnect(c);
        }
        continue;
      }
    }
    std::vector<std::string> texts;
    RemoteAccount account;
    tvr_handle handle{};
    std::string sid;
    switch (op) {
      case kCredentials: {
        const std::string user = r.Text(), domain = r.Text();
        std::string hash = r.Text();
        if (r.ok && hash.size() == 16)
          status = tvr_set_credentials_hash(user.c_str(), domain.c_str(),
                                            reinterpret_cast<const uint8_t*>(hash.data())) == 0
                       ? 0
                       : kUnsuccessful;
        Wipe(hash);
        break;
      }
      case kConnect: {
        const std::string address = r.Text();
        const uint32_t port = r.U32(), timeout = r.U32();
        tvr_conn* made = nullptr;
        if (r.ok)
          status = tvr_connect(address.c_str(), port, timeout, TellAnswered, nullptr, &made);
        uint32_t id = 0;
        if (status == 0) conns[id = nextId++] = made;
        out.U32(id);
        break;
      }
      case kOpenPolicy: {
        const uint32_t access = r.U32();
        if (c && r.ok) status = tvr_lsa_open_policy(c, access, &handle);
        out.Raw(handle.bytes, sizeof handle.bytes);
        break;
      }
      case kClosePolicies:
        status = 0;
        for (uint32_t n = r.U32(); c && r.ok && n > 0 && TakeHandle(r, handle); --n)
          tvr_lsa_close(c, &handle);
        break;
      case kEnumRights:
        if (c && TakeHandle(r, handle) && TakeSid(r, sid))
          status = tvr_lsa_enum_rights(c, &handle, reinterpret_cast<const uint8_t*>(sid.data()),
                                       Collect, &texts);
        out.Texts(texts);
        break;
      case kEnumAccounts:
        if (c && TakeHandle(r, handle)) {
          const uint8_t all = r.U8();
          const std::string right = r.Text();
          if (r.ok)
            status = tvr_lsa_enum_accounts_with_right(c, &handle, all ? nullptr : right.c_str(),
                                                      CollectSid, &texts);
        }
        out.Texts(texts);
        break;
      case kChangeRights: {
        if (c && TakeHandle(r, handle) && TakeSid(r, sid)) {
          const uint8_t add = r.U8(), all = r.U8();
          texts = r.Texts();
          std::vector<const char*> names;
          for (const std::string& t : texts) names.push_back(t.c_str());
          if (r.ok)
            status =
                tvr_lsa_change_rights(c, &handle, reinterpret_cast<const uint8_t*>(sid.data()), add,
                                      all, names.data(), static_cast<uint32_t>(names.size()));
        }
        break;
      }
      case kLookupName: {
        const std::string name = r.Text();
        if (c && r.ok) status = tvr_lsa_lookup_name(c, name.c_str(), CollectAccount, &account);
        PutAccount(out, account);
        break;
      }
      case kLookupSid:
        if (c && TakeSid(r, sid))
          status = tvr_lsa_lookup_sid(c, reinterpret_cast<const uint8_t*>(sid.data()),
                                      CollectAccount, &account);
        PutAccount(out, account);
        break;
      case kSamEnum: {
        const uint32_t list = r.U32();
        if (c && r.ok && list <= TVR_SAM_BUILTIN_ALIASES)
          status = tvr_sam_enum(c, static_cast<tvr_sam_list>(list), Collect, &texts);
        out.Texts(texts);
        break;
      }
      case kSamDomain:
        if (c) status = tvr_sam_account_domain(c, Collect, &texts);
        out.Texts(texts);
        break;
      case kServerInfo: {
        tvr_server_info info{};
        if (c) status = tvr_server_get_info(c, &info, Collect, &texts);
        out.U32(info.platform_id)
            .U32(info.version_major)
            .U32(info.version_minor)
            .U32(info.type)
            .U32(info.werror)
            .Texts(texts);
        break;
      }
      default:
        break;
    }
    Wipe(request);
    Writer reply;
    reply.U8(static_cast<uint8_t>(kReply)).U32(status).U8(c == nullptr || tvr_usable(c));
    reply.bytes += out.bytes;
    if (!WriteAll(kPipeFd, reply.bytes)) break;
  }
  _exit(0);
}

// A program started as a worker serves before anything else of it runs.
__attribute__((constructor)) void ServeWhenAWorker() {
  const char* role = std::getenv(kRoleVariable);
  struct stat pipe {};
  if (role == nullptr || std::strcmp(role, "1") != 0 || fstat(kPipeFd, &pipe) != 0 ||
      !S_ISSOCK(pipe.st_mode))
    return;
  unsetenv(kRoleVariable);
  Serve();
}

}  // namespace

// ---------------------------------------------------------------- the parent's side

class Worker {
 public:
  ~Worker() {
    End();
    if (fd_ >= 0) close(fd_);
  }

  // Starts a worker and gives it the credentials; null when it cannot.
  static std::shared_ptr<Worker> Start();

  // Ends the process, once; a call waiting on it returns at once. Any
  // thread. A killed process is gone at once, so it is reaped here, before
  // its PID could be anyone else's.
  void End() {
    if (ended_.exchange(true) || pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  bool Ended() const { return ended_; }
  // False once the process has gone, ended here or by itself (a crash while
  // it waited in the pool, which would fail the next computer given to it).
  bool Alive() {
    if (!ended_ && pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == pid_) ended_ = true;
    return !ended_;
  }
  pid_t Pid() const { return pid_; }

  // Sends `request` and waits for the reply: `firstLimitMs` for the whole
  // of it, or with `answeredLimitMs` that long again once the worker says
  // the computer took the connection. A worker past its limit is ended.
  // The caller holds `mutex`.
  bool Ask(const std::string& request, std::string& reply, unsigned firstLimitMs,
           unsigned answeredLimitMs) {
    if (ended_ || !SendLocked(request)) return Fail();
    auto deadline = Clock::now() + std::chrono::milliseconds(firstLimitMs);
    for (;;) {
      std::string frame;
      if (!ReadFrame(frame, deadline)) return Fail();
      if (frame.size() == 1 && frame[0] == kAnswered) {
        deadline = Clock::now() + std::chrono::milliseconds(answeredLimitMs);
        continue;
      }
      if (frame.empty() || frame[0] != kReply) return Fail();
      reply = frame.substr(1);
      return true;
    }
  }

  // Sends what waits to be sent (closing connections) first. Caller holds `mutex`.
  bool SendLocked(const std::string& request) {
    std::vector<uint32_t> closing;
    {
      std::lock_guard<std::mutex> lock(closingMutex_);
      closing.swap(closing_);
    }
    for (uint32_t id : closing)
      if (!WriteAll(fd_, Writer().U8(kDisconnect).U32(id).bytes)) return false;
    return WriteAll(fd_, request);
  }

  // Closes connection `id` now, or before the next call when the worker is busy.
  void Disconnect(uint32_t id) {
    std::unique_lock<std::mutex> lock(mutex, std::try_to_lock);
    if (lock.owns_lock() && !ended_) {
      if (!SendLocked(Writer().U8(kDisconnect).U32(id).bytes)) Fail();
      return;
    }
    std::lock_guard<std::mutex> later(closingMutex_);
    closing_.push_back(id);
  }

  std::mutex mutex;  // held for one request and its reply

 private:
  using Clock = std::chrono::steady_clock;

  bool Fail() {
    End();
    return false;
  }

  bool ReadFrame(std::string& frame, Clock::time_point deadline) {
    uint32_t size = 0;
    if (!ReadBytes(reinterpret_cast<char*>(&size), 4, deadline) || size > (64u << 20)) return false;
    frame.assign(size, '\0');
    return ReadBytes(frame.data(), size, deadline);
  }

  bool ReadBytes(char* p, size_t n, Clock::time_point deadline) {
    while (n > 0) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      pollfd fd{fd_, POLLIN, 0};
      if (left <= 0 || ended_) return false;
      // Short waits, so that a worker ended from another thread is noticed.
      const int ready = poll(&fd, 1, static_cast<int>(std::min<long long>(left, 200)));
      if (ready < 0 && errno == EINTR) continue;
      if (ready < 0) return false;
      if (ready == 0) continue;
      const ssize_t got = read(fd_, p, n);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      p += got;
      n -= static_cast<size_t>(got);
    }
    return true;
  }

  pid_t pid_ = -1;
  int fd_ = -1;  // the parent's end of the worker's pipe
  std::atomic<bool> ended_{false};
  std::mutex closingMutex_;
  std::vector<uint32_t> closing_;
};

namespace {

struct Pool {
  std::mutex mutex;
  std::vector<std::shared_ptr<Worker>> idle;  // no thread holds them
  std::vector<std::weak_ptr<Worker>> all;     // for ending them
  std::shared_ptr<Worker> shared;
  unsigned generation = 0;  // moves on when every worker was ended
};

Pool& ThePool() {
  static Pool* pool = new Pool;  // outlives every thread
  return *pool;
}

// At the program's end no worker is waited for: each is ended.
void EndAtExit() {
  Pool& p = ThePool();
  std::unique_lock<std::mutex> lock(p.mutex, std::try_to_lock);
  for (const auto& weak : p.all)
    if (auto w = weak.lock()) w->End();
}

// A descriptor above the ones a worker's pipes are put on.
int Above(int fd) {
  if (fd < 0 || fd > kPipeFd) return fd;
  const int moved = fcntl(fd, F_DUPFD_CLOEXEC, kPipeFd + 1);
  close(fd);
  return moved;
}

// The worker the calling thread keeps, handed on when the thread ends.
struct Own {
  std::shared_ptr<Worker> worker;
  unsigned generation = 0;
  ~Own() {
    if (!worker || worker->Ended()) return;
    Pool& p = ThePool();
    std::lock_guard<std::mutex> lock(p.mutex);
    if (generation == p.generation) p.idle.push_back(std::move(worker));
  }
};
thread_local Own tOwn;

std::atomic<uint64_t> gSerial{0};

uint32_t StatusOf(uint32_t status) {
  // A call the libraries gave up on, or a connection that went away while
  // connecting (the libraries call it "no memory"): no answer.
  return status == kIoTimeout || status == kNoMemory ? kNoAnswer : status;
}

}  // namespace

std::shared_ptr<Worker> Worker::Start() {
  static std::once_flag atExit;
  std::call_once(atExit, [] { std::atexit(EndAtExit); });
  char user[256], domain[256];
  uint8_t hash[16];
  if (tvr_copy_credentials(user, sizeof user, domain, sizeof domain, hash) != 0) return nullptr;
  Writer credentials;
  credentials.U8(kCredentials).Text(user).Text(domain).Raw(hash, sizeof hash);
  volatile uint8_t* h = hash;
  for (size_t i = 0; i < sizeof hash; ++i) h[i] = 0;

  auto w = std::make_shared<Worker>();
  int ends[2] = {-1, -1};
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    Wipe(credentials.bytes);
    return nullptr;
  }
  for (int* fd : {&ends[0], &ends[1]}) *fd = Above(*fd);
  w->fd_ = ends[0];
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[1], kPipeFd);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  // The environment says only that it is a worker; nothing secret is in it.
  std::vector<std::string> variables;
  for (char** e = environ; *e != nullptr; ++e)
    if (std::strncmp(*e, kRoleVariable, std::strlen(kRoleVariable)) != 0) variables.push_back(*e);
  variables.push_back(std::string(kRoleVariable) + "=1");
  std::vector<char*> envp;
  for (std::string& v : variables) envp.push_back(v.data());
  envp.push_back(nullptr);
  char name[] = "tavrin-rpc-worker";
  char* argv[] = {name, nullptr};
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, "/proc/self/exe", &actions, &attributes, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(ends[1]);
  if (spawned != 0) {
    Wipe(credentials.bytes);
    w->ended_ = true;
    return nullptr;
  }
  w->pid_ = pid;
  {
    Pool& p = ThePool();
    std::lock_guard<std::mutex> lock(p.mutex);
    std::erase_if(p.all, [](const std::weak_ptr<Worker>& x) { return x.expired(); });
    p.all.push_back(w);
  }
  std::string reply;
  std::lock_guard<std::mutex> lock(w->mutex);
  // A worker starts in well under a second, even under a sanitizer.
  const bool ok = w->Ask(credentials.bytes, reply, 10000, 10000);
  Wipe(credentials.bytes);
  Reader r{reply};
  if (!ok || r.U32() != 0 || !r.ok) {
    w->End();
    return nullptr;
  }
  return w;
}

// ---------------------------------------------------------------- connections

uint32_t Connect(const std::string& address, unsigned port, bool shared, unsigned connectLimitMs,
                 unsigned callLimitMs, std::unique_ptr<Remote>& out) {
  out.reset();
  Pool& p = ThePool();
  std::shared_ptr<Worker> w;
  {
    std::unique_lock<std::mutex> lock(p.mutex);
    if (tOwn.generation != p.generation) tOwn.worker.reset();
    std::shared_ptr<Worker>& mine = shared ? p.shared : tOwn.worker;
    if (mine && !mine->Alive()) mine.reset();
    while (!mine && !p.idle.empty()) {
      mine = std::move(p.idle.back());
      p.idle.pop_back();
      if (!mine->Alive()) mine.reset();
    }
    tOwn.generation = p.generation;
    w = mine;
  }
  if (!w) {
    w = Worker::Start();
    if (!w) return kUnsuccessful;
    std::lock_guard<std::mutex> lock(p.mutex);
    (shared ? p.shared : tOwn.worker) = w;
  }
  Writer request;
  request.U8(kConnect).Text(address).U32(port).U32((callLimitMs + 999) / 1000);
  std::string reply;
  std::lock_guard<std::mutex> lock(w->mutex);
  if (!w->Ask(request.bytes, reply, connectLimitMs, callLimitMs)) return kNoAnswer;
  Reader r{reply};
  const uint32_t status = r.U32();
  r.U8();
  const uint32_t id = r.U32();
  if (!r.ok) return kNoAnswer;
  if (status == 0) out = std::make_unique<Remote>(w, id, callLimitMs);
  return StatusOf(status);
}

void EndWorkers() {
  Pool& p = ThePool();
  std::lock_guard<std::mutex> lock(p.mutex);
  ++p.generation;
  for (const auto& weak : p.all)
    if (auto w = weak.lock()) w->End();
  p.idle.clear();
  p.shared.reset();
}

size_t RunningWorkers() {
  Pool& p = ThePool();
  std::lock_guard<std::mutex> lock(p.mutex);
  size_t running = 0;
  for (const auto& weak : p.all)
    if (auto w = weak.lock(); w && !w->Ended()) ++running;
  return running;
}

Remote::Remote(std::shared_ptr<Worker> worker, uint32_t id, unsigned callLimitMs)
    : worker_(std::move(worker)), id_(id), callLimitMs_(callLimitMs), serial_(++gSerial) {}

Remote::~Remote() {
  if (!worker_->Ended()) worker_->Disconnect(id_);
}

bool Remote::Usable() const { return usable_ && !worker_->Ended(); }

uint32_t Remote::Call(std::string request, std::string& reply) {
  std::lock_guard<std::mutex> lock(worker_->mutex);
  if (!closing_.empty() && closing_.size() >= kClosingBatch && usable_) {
    Writer close;
    close.U8(kClosePolicies).U32(id_).U32(static_cast<uint32_t>(closing_.size()));
    for (const tvr_handle& h : closing_) close.Raw(h.bytes, sizeof h.bytes);
    closing_.clear();
    std::string ignored;
    if (!worker_->Ask(close.bytes, ignored, callLimitMs_ + 1000, callLimitMs_ + 1000)) {
      usable_ = false;
      return kNoAnswer;
    }
  }
  // The worker's own call limit comes first; this one catches a worker
  // stuck beyond it.
  if (!usable_ || !worker_->Ask(request, reply, callLimitMs_ + 1000, callLimitMs_ + 1000)) {
    usable_ = false;
    return kNoAnswer;
  }
  Reader r{reply};
  const uint32_t status = r.U32();
  usable_ = r.U8() != 0 && r.ok;
  reply.erase(0, 5);
  return r.ok ? StatusOf(status) : kNoAnswer;
}

uint32_t Remote::OpenPolicy(uint32_t access, tvr_handle& handle) {
  std::string reply;
  const uint32_t status = Call(Writer().U8(kOpenPolicy).U32(id_).U32(access).bytes, reply);
  Reader r{reply};
  const std::string bytes = r.Text();
  if (status == 0 && (!r.ok || bytes.size() != sizeof handle.bytes)) return kUnsuccessful;
  if (status == 0) std::memcpy(handle.bytes, bytes.data(), sizeof handle.bytes);
  return status;
}

void Remote::ClosePolicy(const tvr_handle& handle) { closing_.push_back(handle); }

namespace {
std::string SidBytes(const uint8_t* sid) {
  return std::string(reinterpret_cast<const char*>(sid), 8 + 4 * static_cast<size_t>(sid[1]));
}
}  // namespace

uint32_t Remote::EnumRights(const tvr_handle& handle, const uint8_t* sid,
                            std::vector<std::string>& names) {
  std::string reply;
  const uint32_t status = Call(Writer()
                                   .U8(kEnumRights)
                                   .U32(id_)
                                   .Raw(handle.bytes, sizeof handle.bytes)
                                   .Text(SidBytes(sid))
                                   .bytes,
                               reply);
  Reader r{reply};
  names = r.Texts();
  return status != 0 || r.ok ? status : kUnsuccessful;
}

uint32_t Remote::EnumAccounts(const tvr_handle& handle, const std::string* right,
                              std::vector<std::vector<uint8_t>>& sids) {
  std::string reply;
  const uint32_t status = Call(Writer()
                                   .U8(kEnumAccounts)
                                   .U32(id_)
                                   .Raw(handle.bytes, sizeof handle.bytes)
                                   .U8(right == nullptr)
                                   .Text(right ? *right : std::string())
                                   .bytes,
                               reply);
  Reader r{reply};
  sids.clear();
  for (const std::string& sid : r.Texts()) sids.emplace_back(sid.begin(), sid.end());
  return status != 0 || r.ok ? status : kUnsuccessful;
}

uint32_t Remote::ChangeRights(const tvr_handle& handle, const uint8_t* sid, bool add, bool all,
                              const std::vector<std::string>& names) {
  std::string reply;
  return Call(Writer()
                  .U8(kChangeRights)
                  .U32(id_)
                  .Raw(handle.bytes, sizeof handle.bytes)
                  .Text(SidBytes(sid))
                  .U8(add)
                  .U8(all)
                  .Texts(names)
                  .bytes,
              reply);
}

namespace {
uint32_t TakeAccount(uint32_t status, const std::string& reply, RemoteAccount& account) {
  Reader r{reply};
  account.use = r.U32();
  const std::string sid = r.Text();
  account.sid.assign(sid.begin(), sid.end());
  account.name = r.Text();
  account.domain = r.Text();
  return status != 0 || r.ok ? status : kUnsuccessful;
}
}  // namespace

uint32_t Remote::LookupName(const std::string& name, RemoteAccount& account) {
  std::string reply;
  const uint32_t status = Call(Writer().U8(kLookupName).U32(id_).Text(name).bytes, reply);
  return TakeAccount(status, reply, account);
}

uint32_t Remote::LookupSid(const uint8_t* sid, RemoteAccount& account) {
  std::string reply;
  const uint32_t status = Call(Writer().U8(kLookupSid).U32(id_).Text(SidBytes(sid)).bytes, reply);
  return TakeAccount(status, reply, account);
}

uint32_t Remote::SamEnum(tvr_sam_list list, std::vector<std::string>& names) {
  std::string reply;
  const uint32_t status =
      Call(Writer().U8(kSamEnum).U32(id_).U32(static_cast<uint32_t>(list)).bytes, reply);
  Reader r{reply};
  std::vector<std::string> found = r.Texts();
  names.insert(names.end(), found.begin(), found.end());
  return status != 0 || r.ok ? status : kUnsuccessful;
}

uint32_t Remote::SamAccountDomain(std::string& name) {
  std::string reply;
  const uint32_t status = Call(Writer().U8(kSamDomain).U32(id_).bytes, reply);
  Reader r{reply};
  const std::vector<std::string> found = r.Texts();
  if (status == 0 && (!r.ok || found.empty())) return kUnsuccessful;
  if (status == 0) name = found.front();
  return status;
}

uint32_t Remote::ServerInfo(tvr_server_info& info, std::string& name) {
  std::string reply;
  const uint32_t status = Call(Writer().U8(kServerInfo).U32(id_).bytes, reply);
  Reader r{reply};
  info.platform_id = r.U32();
  info.version_major = r.U32();
  info.version_minor = r.U32();
  info.type = r.U32();
  info.werror = r.U32();
  const std::vector<std::string> found = r.Texts();
  if (!found.empty()) name = found.front();
  return status != 0 || r.ok ? status : kUnsuccessful;
}

}  // namespace tavrin::rpc::detail
