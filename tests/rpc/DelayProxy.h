// A delaying TCP proxy on loopback: each listening port stands for one
// computer and forwards to a Samba server's port, with every chunk held
// back D ms in each direction (a WAN's round trip of 2D). A port may
// instead accept and never answer: a hung computer. It counts, per port,
// the TCP connections taken and the round trips: the times the client
// spoke again after the server had (or first).
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tavrin::test {

class DelayProxy {
 public:
  explicit DelayProxy(std::chrono::milliseconds delay) : delay_(delay) {}
  ~DelayProxy() { Stop(); }
  DelayProxy(const DelayProxy&) = delete;
  DelayProxy& operator=(const DelayProxy&) = delete;

  // A new listening port on 127.0.0.1 that forwards to 127.0.0.1:`target`,
  // or with `hung` never answers; 0 when none could be made.
  unsigned AddPort(unsigned target, bool hung = false) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 64) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) != 0) {
      if (fd >= 0) close(fd);
      return 0;
    }
    const unsigned port = ntohs(a.sin_port);
    auto counts = std::make_shared<Counts>();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      counts_[port] = counts;
      fds_.push_back(fd);
    }
    Spawn([this, fd, target, hung, counts] { Accept(fd, target, hung, *counts); });
    return port;
  }

  // TCP connections taken and round trips, on `port` so far.
  int Connections(unsigned port) { return CountsOf(port).connections; }
  int RoundTrips(unsigned port) { return CountsOf(port).roundTrips; }

  // Ends every connection and thread; bounded, as every wait here polls.
  void Stop() {
    stopping_ = true;
    std::vector<std::thread> threads;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (int fd : fds_) shutdown(fd, SHUT_RDWR);
      threads.swap(threads_);
    }
    for (std::thread& t : threads) t.join();
    std::lock_guard<std::mutex> lock(mutex_);
    for (int fd : fds_) close(fd);
    fds_.clear();
  }

 private:
  struct Counts {
    std::atomic<int> connections{0}, roundTrips{0};
  };
  struct Snapshot {
    int connections = 0, roundTrips = 0;
  };
  using Clock = std::chrono::steady_clock;

  // One direction's chunks, each with the time it may go on.
  struct Line {
    std::mutex mutex;
    std::condition_variable more;
    std::deque<std::pair<Clock::time_point, std::string>> chunks;
    bool ended = false;
  };

  Snapshot CountsOf(unsigned port) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = counts_.find(port);
    if (it == counts_.end()) return {};
    return {it->second->connections.load(), it->second->roundTrips.load()};
  }

  template <typename F>
  void Spawn(F f) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!stopping_) threads_.emplace_back(std::move(f));
  }

  void Keep(int fd) {
    std::lock_guard<std::mutex> lock(mutex_);
    fds_.push_back(fd);
  }

  // Waits up to 100 ms for `fd` to be readable; false on stopping.
  bool Readable(int fd) {
    while (!stopping_) {
      pollfd p{fd, POLLIN, 0};
      const int ready = poll(&p, 1, 100);
      if (ready > 0) return true;
      if (ready < 0 && errno != EINTR) return false;
    }
    return false;
  }

  void Accept(int listener, unsigned target, bool hung, Counts& counts) {
    while (Readable(listener)) {
      const int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      Keep(client);
      ++counts.connections;
      if (hung) continue;  // taken, never read, never answered
      const int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
      sockaddr_in a{};
      a.sin_family = AF_INET;
      a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      a.sin_port = htons(static_cast<uint16_t>(target));
      if (server < 0 || connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        if (server >= 0) close(server);
        shutdown(client, SHUT_RDWR);
        continue;
      }
      Keep(server);
      const int one = 1;
      setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      auto up = std::make_shared<Line>(), down = std::make_shared<Line>();
      auto serverSpoke = std::make_shared<std::atomic<bool>>(true);
      Spawn([=, this, &counts] { Read(client, *up, &counts, serverSpoke.get()); });
      Spawn([=, this] { Write(server, *up); });
      Spawn([=, this] { Read(server, *down, nullptr, serverSpoke.get()); });
      Spawn([=, this] { Write(client, *down); });
    }
  }

  // Reads one side into `line`. `counts` is given for the client's side.
  void Read(int fd, Line& line, Counts* counts, std::atomic<bool>* serverSpoke) {
    char buffer[65536];
    while (Readable(fd)) {
      const ssize_t got = read(fd, buffer, sizeof buffer);
      if (got <= 0) break;
      if (counts != nullptr && serverSpoke->exchange(false)) ++counts->roundTrips;
      if (counts == nullptr) *serverSpoke = true;
      std::lock_guard<std::mutex> lock(line.mutex);
      line.chunks.emplace_back(Clock::now() + delay_,
                               std::string(buffer, static_cast<size_t>(got)));
      line.more.notify_one();
    }
    std::lock_guard<std::mutex> lock(line.mutex);
    line.ended = true;
    line.more.notify_one();
  }

  // Writes `line` to the other side, each chunk once its time has come.
  void Write(int fd, Line& line) {
    std::unique_lock<std::mutex> lock(line.mutex);
    while (!stopping_) {
      if (line.chunks.empty()) {
        if (line.ended) break;
        line.more.wait_for(lock, std::chrono::milliseconds(100));
        continue;
      }
      const auto due = line.chunks.front().first;
      if (Clock::now() < due) {
        line.more.wait_until(lock, std::min(due, Clock::now() + std::chrono::milliseconds(100)));
        continue;
      }
      std::string chunk = std::move(line.chunks.front().second);
      line.chunks.pop_front();
      lock.unlock();
      bool failed = false;
      for (size_t done = 0; done < chunk.size() && !failed;) {
        const ssize_t put = send(fd, chunk.data() + done, chunk.size() - done, MSG_NOSIGNAL);
        failed = put <= 0;
        done += failed ? 0 : static_cast<size_t>(put);
      }
      lock.lock();
      if (failed) break;
    }
    shutdown(fd, SHUT_WR);
  }

  const std::chrono::milliseconds delay_;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::vector<std::thread> threads_;
  std::vector<int> fds_;
  std::map<unsigned, std::shared_ptr<Counts>> counts_;
};

}  // namespace tavrin::test
