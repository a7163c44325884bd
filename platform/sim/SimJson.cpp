// Reading a network description from JSON (format: docs/simulated-network.md).
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

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

const char* TypeName(const json& v) {
  if (v.is_string()) return "a string";
  if (v.is_boolean()) return "true or false";
  if (v.is_number()) return "a number";
  if (v.is_array()) return "a list";
  if (v.is_object()) return "an object";
  return "null";
}

void OnlyKnownFields(const json& object, const std::string& path,
                     std::initializer_list<const char*> known) {
  if (!object.is_object()) Bad(path, std::string("expected an object, found ") + TypeName(object));
  for (auto it = object.begin(); it != object.end(); ++it) {
    bool ok = false;
    for (const char* k : known) ok = ok || it.key() == k;
    if (!ok) Bad(path.empty() ? it.key() : path + "." + it.key(), "unknown field");
  }
}

std::string Join(const std::string& path, const char* key) {
  return path.empty() ? key : path + "." + key;
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
    Bad(Join(path, key), std::string("expected a whole number of at least 0, found ") +
                             (it->is_number() ? it->dump() : TypeName(*it)));
  }
  const uint64_t v = it->get<uint64_t>();
  if (v > 0xFFFFFFFFull) Bad(Join(path, key), "number too large: " + it->dump());
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
      "unknown role '" + role + "' (expected workstation, server or domainController)");
}

AccountKind ParseKind(const json& o, const std::string& path) {
  const std::string kind = String(o, path, "kind", false, "user");
  const std::string key = detail::UpperKey(kind);
  if (key == "USER") return AccountKind::User;
  if (key == "GLOBALGROUP") return AccountKind::GlobalGroup;
  if (key == "LOCALGROUP") return AccountKind::LocalGroup;
  Bad(path + ".kind", "unknown kind '" + kind + "' (expected user, globalGroup or localGroup)");
}

NetworkSpec FromJson(const json& root) {
  OnlyKnownFields(
      root, "",
      {"thisComputer", "platformId", "majorVersion", "minorVersion", "buildNumber", "currentUser",
       "browserAnswers", "latencyMs", "domains", "computers", "comment"});
  NetworkSpec spec;
  spec.thisComputer = String(root, "", "thisComputer", true);
  spec.platformId = Unsigned(root, "", "platformId", false, spec.platformId);
  spec.majorVersion = Unsigned(root, "", "majorVersion", false, spec.majorVersion);
  spec.minorVersion = Unsigned(root, "", "minorVersion", false, spec.minorVersion);
  spec.buildNumber = Unsigned(root, "", "buildNumber", false, spec.buildNumber);
  spec.currentUser = String(root, "", "currentUser", false);
  spec.browserAnswers = Bool(root, "", "browserAnswers", true);
  if (auto it = root.find("latencyMs"); it != root.end()) {
    if (!it->is_number() || it->get<double>() < 0 || it->get<double>() > 60000)
      Bad("latencyMs", "expected a number of milliseconds from 0 to 60000, found " + it->dump());
    spec.latency = std::chrono::microseconds(static_cast<int64_t>(it->get<double>() * 1000));
  }
  const json& domains = List(root, "", "domains");
  for (size_t i = 0; i < domains.size(); ++i) {
    const std::string path = "domains[" + std::to_string(i) + "]";
    OnlyKnownFields(domains[i], path, {"name", "workgroup", "listed", "comment"});
    DomainSpec d;
    d.name = String(domains[i], path, "name", true);
    d.workgroup = Bool(domains[i], path, "workgroup", false);
    d.listed = Bool(domains[i], path, "listed", true);
    spec.domains.push_back(d);
  }
  const json& computers = List(root, "", "computers");
  for (size_t i = 0; i < computers.size(); ++i) {
    const std::string path = "computers[" + std::to_string(i) + "]";
    const json& jc = computers[i];
    OnlyKnownFields(jc, path,
                    {"name", "role", "domain", "answers", "policyDenied", "listed", "machineSid",
                     "accounts", "rights", "comment"});
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
      OnlyKnownFields(accounts[j], apath, {"name", "kind", "rid", "comment"});
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
        const std::string rpath = path + ".rights[" + r.key() + "]";
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
    spec.computers.push_back(std::move(c));
  }
  return spec;
}

}  // namespace

NetworkSpec ParseNetworkJson(const std::string& text, const std::string& sourceName) {
  json root;
  try {
    root = json::parse(text);
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
    throw NetworkDescriptionError(sourceName + ": line " + std::to_string(line) + ", column " +
                                  std::to_string(column) + ": " + what);
  }
  NetworkSpec spec;
  try {
    spec = FromJson(root);
    ValidateNetwork(spec);
  } catch (const Problem& p) {
    throw NetworkDescriptionError(sourceName + ": " + p.path + ": " + p.text);
  } catch (const NetworkDescriptionError& e) {
    throw NetworkDescriptionError(sourceName + ": " + e.what());
  }
  return spec;
}

NetworkSpec LoadNetworkFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw NetworkDescriptionError(path + ": cannot open the file");
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw NetworkDescriptionError(path + ": cannot read the file");
  return ParseNetworkJson(text.str(), path);
}

}  // namespace tavrin::sim
