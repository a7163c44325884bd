// Reading a network description from JSON (format: docs/simulated-network.md).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <nlohmann/json.hpp>
#include <set>
#include <system_error>

#include "platform/sim/SimModel.h"

namespace tavrin::sim {
namespace {

using nlohmann::json;

struct Problem {
  std::string path;
  std::string text;
};

[[noreturn]] void Bad(const std::string& path, const std::string& text) {
  throw Problem{path, text};
}

// A description is a few kilobytes; nothing sensible comes near these.
constexpr size_t kMaxFileSize = 16 * 1024 * 1024;
constexpr size_t kMaxDepth = 16;  // a description nests 5 levels deep

using detail::Quoted;
using detail::Shown;

// Follows the parser through the text: the field being read (for the
// refusals that come before the tree exists), fields given twice in one
// object, and nesting deeper than a description needs, refused before the
// tree grows that deep.
class Reader {
 public:
  bool operator()(int /*depth*/, json::parse_event_t event, json& parsed) {
    using Event = json::parse_event_t;
    if (event == Event::object_start || event == Event::array_start) {
      if (frames_.size() >= kMaxDepth)
        Bad(Path(), "nested more than " + std::to_string(kMaxDepth) + " levels deep");
      frames_.emplace_back().object = event == Event::object_start;
    } else if (event == Event::key) {
      Frame& top = frames_.back();
      top.key = parsed.get<std::string>();
      if (!top.keys.insert(top.key).second) Bad(Path(), "duplicate field");
    } else {
      if (event != Event::value) frames_.pop_back();
      if (!frames_.empty() && !frames_.back().object) ++frames_.back().index;
    }
    return true;
  }

  // "computers[2].accounts[0].rid" or "computers[0].rights[S-1-1-0]", as the
  // errors found later name fields.
  std::string Path() const {
    std::string path;
    for (size_t i = 0; i < frames_.size(); ++i) {
      const Frame& f = frames_[i];
      if (!f.object)
        path += "[" + std::to_string(f.index) + "]";
      else if (f.keys.empty())
        continue;
      else if (i == 3 && frames_[2].key == "rights")
        path += "[" + Shown(f.key) + "]";
      else
        path += (path.empty() ? "" : ".") + Shown(f.key);
    }
    return path;
  }

 private:
  struct Frame {
    bool object = true;
    std::string key;  // the field being read
    std::set<std::string> keys;
    size_t index = 0;  // the element being read
  };
  std::vector<Frame> frames_;
};

const char* TypeName(const json& v) {
  if (v.is_string()) return "a string";
  if (v.is_boolean()) return "true or false";
  if (v.is_number()) return "a number";
  if (v.is_array()) return "a list";
  if (v.is_object()) return "an object";
  return "null";
}

// A value as an error shows it: a number as written, anything else by type.
std::string Found(const json& v) { return v.is_number() ? v.dump() : TypeName(v); }

std::string Join(const std::string& path, const std::string& key) {
  return path.empty() ? Shown(key) : path + "." + Shown(key);
}

// Any object may carry a comment, which must be a string.
void OnlyKnownFields(const json& object, const std::string& path,
                     std::initializer_list<const char*> known) {
  if (!object.is_object()) Bad(path, std::string("expected an object, found ") + TypeName(object));
  for (auto it = object.begin(); it != object.end(); ++it) {
    bool ok = it.key() == "comment";
    for (const char* k : known) ok = ok || it.key() == k;
    if (!ok) Bad(Join(path, it.key()), "unknown field");
    if (it.key() == "comment" && !it->is_string())
      Bad(Join(path, it.key()), std::string("expected a string, found ") + TypeName(*it));
  }
}

std::string String(const json& o, const std::string& path, const char* key, bool required,
                   const std::string& fallback = "") {
  auto it = o.find(key);
  if (it == o.end()) {
    if (required) Bad(Join(path, key), "missing");
    return fallback;
  }
  if (!it->is_string())
    Bad(Join(path, key), std::string("expected a string, found ") + TypeName(*it));
  return it->get<std::string>();
}

bool Bool(const json& o, const std::string& path, const char* key, bool fallback) {
  auto it = o.find(key);
  if (it == o.end()) return fallback;
  if (!it->is_boolean())
    Bad(Join(path, key), std::string("expected true or false, found ") + TypeName(*it));
  return it->get<bool>();
}

uint32_t Unsigned(const json& o, const std::string& path, const char* key, bool required,
                  uint32_t fallback) {
  auto it = o.find(key);
  if (it == o.end()) {
    if (required) Bad(Join(path, key), "missing");
    return fallback;
  }
  if (!it->is_number_unsigned()) {
    if (it->is_number_integer() && it->get<int64_t>() >= 0)
      return static_cast<uint32_t>(it->get<int64_t>());
    Bad(Join(path, key), "expected a whole number of at least 0, found " + Found(*it));
  }
  const uint64_t v = it->get<uint64_t>();
  if (v > 0xFFFFFFFFull) Bad(Join(path, key), "number too large: " + Found(*it));
  return static_cast<uint32_t>(v);
}

const json& List(const json& o, const std::string& path, const char* key) {
  static const json empty = json::array();
  auto it = o.find(key);
  if (it == o.end()) return empty;
  if (!it->is_array()) Bad(Join(path, key), std::string("expected a list, found ") + TypeName(*it));
  return *it;
}

Role ParseRole(const json& o, const std::string& path) {
  const std::string role = String(o, path, "role", false, "workstation");
  const std::string key = detail::UpperKey(role);
  if (key == "WORKSTATION") return Role::Workstation;
  if (key == "SERVER") return Role::Server;
  if (key == "DOMAINCONTROLLER") return Role::DomainController;
  Bad(path + ".role",
      "unknown role " + Quoted(role) + " (expected workstation, server or domainController)");
}

AccountKind ParseKind(const json& o, const std::string& path) {
  const std::string kind = String(o, path, "kind", false, "user");
  const std::string key = detail::UpperKey(kind);
  if (key == "USER") return AccountKind::User;
  if (key == "GLOBALGROUP") return AccountKind::GlobalGroup;
  if (key == "LOCALGROUP") return AccountKind::LocalGroup;
  Bad(path + ".kind",
      "unknown kind " + Quoted(kind) + " (expected user, globalGroup or localGroup)");
}

NetworkSpec FromJson(const json& root) {
  OnlyKnownFields(
      root, "",
      {"thisComputer", "platformId", "majorVersion", "minorVersion", "buildNumber", "currentUser",
       "browserAnswers", "latencyMs", "timeoutMs", "domains", "computers"});
  NetworkSpec description;
  description.thisComputer = String(root, "", "thisComputer", true);
  description.platformId = Unsigned(root, "", "platformId", false, description.platformId);
  description.majorVersion = Unsigned(root, "", "majorVersion", false, description.majorVersion);
  description.minorVersion = Unsigned(root, "", "minorVersion", false, description.minorVersion);
  description.buildNumber = Unsigned(root, "", "buildNumber", false, description.buildNumber);
  description.currentUser = String(root, "", "currentUser", false);
  description.browserAnswers = Bool(root, "", "browserAnswers", true);
  if (auto it = root.find("latencyMs"); it != root.end()) {
    if (!it->is_number() || it->get<double>() < 0 || it->get<double>() > 60000)
      Bad("latencyMs", "expected a number of milliseconds from 0 to 60000, found " + Found(*it));
    description.latency = std::chrono::microseconds(static_cast<int64_t>(it->get<double>() * 1000));
  }
  if (auto it = root.find("timeoutMs"); it != root.end()) {
    if (!it->is_number() || it->get<double>() < 0 || it->get<double>() > 120000)
      Bad("timeoutMs", "expected a number of milliseconds from 0 to 120000, found " + Found(*it));
    description.timeout = std::chrono::microseconds(static_cast<int64_t>(it->get<double>() * 1000));
  }
  const json& domains = List(root, "", "domains");
  for (size_t i = 0; i < domains.size(); ++i) {
    const std::string path = "domains[" + std::to_string(i) + "]";
    OnlyKnownFields(domains[i], path, {"name", "workgroup", "listed"});
    DomainSpec d;
    d.name = String(domains[i], path, "name", true);
    d.workgroup = Bool(domains[i], path, "workgroup", false);
    d.listed = Bool(domains[i], path, "listed", true);
    description.domains.push_back(d);
  }
  const json& computers = List(root, "", "computers");
  for (size_t i = 0; i < computers.size(); ++i) {
    const std::string path = "computers[" + std::to_string(i) + "]";
    const json& jc = computers[i];
    OnlyKnownFields(jc, path,
                    {"name", "role", "domain", "answers", "policyDenied", "listed", "machineSid",
                     "accounts", "rights"});
    ComputerSpec c;
    c.name = String(jc, path, "name", true);
    c.role = ParseRole(jc, path);
    c.domain = String(jc, path, "domain", false);
    c.answers = Bool(jc, path, "answers", true);
    c.policyDenied = Bool(jc, path, "policyDenied", false);
    c.listed = Bool(jc, path, "listed", true);
    c.machineSid = String(jc, path, "machineSid", false);
    const json& accounts = List(jc, path, "accounts");
    for (size_t j = 0; j < accounts.size(); ++j) {
      const std::string apath = path + ".accounts[" + std::to_string(j) + "]";
      OnlyKnownFields(accounts[j], apath, {"name", "kind", "rid"});
      AccountSpec a;
      a.name = String(accounts[j], apath, "name", true);
      a.kind = ParseKind(accounts[j], apath);
      a.rid = Unsigned(accounts[j], apath, "rid", true, 0);
      c.accounts.push_back(a);
    }
    if (auto it = jc.find("rights"); it != jc.end()) {
      if (!it->is_object())
        Bad(path + ".rights", std::string("expected an object, found ") + TypeName(*it));
      for (auto r = it->begin(); r != it->end(); ++r) {
        const std::string rpath = path + ".rights[" + Shown(r.key()) + "]";
        if (!r->is_array())
          Bad(rpath, std::string("expected a list of right names, found ") + TypeName(*r));
        std::vector<std::string> names;
        for (size_t k = 0; k < r->size(); ++k) {
          if (!(*r)[k].is_string())
            Bad(rpath + "[" + std::to_string(k) + "]",
                std::string("expected a right name, found ") + TypeName((*r)[k]));
          names.push_back((*r)[k].get<std::string>());
        }
        c.rights[r.key()] = names;
      }
    }
    description.computers.push_back(std::move(c));
  }
  return description;
}

// "<field path>: ", or nothing for the whole text ("1e400" alone).
std::string Where(const Problem& p) { return p.path.empty() ? "" : p.path + ": "; }

}  // namespace

NetworkSpec ParseNetworkJson(const std::string& text, const std::string& sourceName) {
  const std::string source = Shown(sourceName, 4096);
  Reader reader;
  json root;
  try {
    try {
      root = json::parse(text, std::ref(reader));
    } catch (const json::out_of_range&) {
      Bad(reader.Path(), "number too large");  // 1e400: out of a double's range
    }
  } catch (const Problem& p) {
    throw NetworkDescriptionError(source + ": " + Where(p) + p.text);
  } catch (const json::parse_error& e) {
    // Line and column of the byte where parsing stopped.
    size_t line = 1, column = 1;
    const size_t end = std::min<size_t>(e.byte == 0 ? 0 : e.byte - 1, text.size());
    for (size_t i = 0; i < end; ++i) {
      if (text[i] == '\n') {
        ++line;
        column = 1;
      } else {
        ++column;
      }
    }
    std::string what = e.what();
    const size_t from = what.find("syntax error");
    what = from == std::string::npos ? "syntax error: " + what : what.substr(from);
    throw NetworkDescriptionError(source + ": line " + std::to_string(line) + ", column " +
                                  std::to_string(column) + ": " + Shown(what, 200));
  } catch (const json::exception& e) {
    throw NetworkDescriptionError(source + ": " + Shown(e.what(), 200));
  }
  NetworkSpec description;
  try {
    description = FromJson(root);
    ValidateNetwork(description);
  } catch (const Problem& p) {
    throw NetworkDescriptionError(source + ": " + Where(p) + p.text);
  } catch (const NetworkDescriptionError& e) {
    throw NetworkDescriptionError(source + ": " + e.what());
  }
  return description;
}

NetworkSpec LoadNetworkFile(const std::string& path) {
  const auto refuse = [&](const std::string& why) {
    throw NetworkDescriptionError(Shown(path, 4096) + ": " + why);
  };
  const auto systemError = [] { return std::error_code(errno, std::generic_category()).message(); };
  // Without blocking: a FIFO with no writer must not hold the program up.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) refuse("cannot open the file: " + systemError());
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat info;
  if (::fstat(fd, &info) != 0) refuse("cannot read the file: " + systemError());
  if (S_ISDIR(info.st_mode)) refuse("is a directory, not a file");
  if (!S_ISREG(info.st_mode)) refuse("is not a regular file");
  const std::string tooLarge = "is larger than " + std::to_string(kMaxFileSize >> 20) + " MiB";
  if (static_cast<uint64_t>(info.st_size) > kMaxFileSize) refuse(tooLarge);
  // The file may grow while it is read: at most one byte past the limit is read.
  std::string text(static_cast<size_t>(info.st_size) + 1, '\0');
  size_t filled = 0;
  for (;;) {
    if (filled == text.size()) {
      if (text.size() > kMaxFileSize) refuse(tooLarge);
      text.resize(std::min(2 * text.size(), kMaxFileSize + 1));
    }
    const ssize_t got = ::read(fd, text.data() + filled, text.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) refuse("cannot read the file: " + systemError());
    if (got == 0) break;
    filled += static_cast<size_t>(got);
  }
  text.resize(filled);
  return ParseNetworkJson(text, path);
}

}  // namespace tavrin::sim
