// The settings of the test run's Samba server ($TAVRIN_TEST_SAMBA/server.env).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace tavrin::test {

// NAME, PORT, CONF, ADMIN, ADMIN_PASSWORD, ADMIN_AUTH, ALICE, BOB, ...;
// PORTS, NAMES and CONFS: every server's, separated by spaces. Empty when
// the run did not start the server. `dir`: another fixture's folder.
inline std::map<std::string, std::string> SambaServer(
    const char* dir = std::getenv("TAVRIN_TEST_SAMBA")) {
  std::map<std::string, std::string> settings;
  std::ifstream env(std::string(dir ? dir : "") + "/server.env");
  for (std::string line; std::getline(env, line);) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string value = line.substr(eq + 1);
    if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
    settings[line.substr(0, eq)] = value;
  }
  return settings;
}

// What a shell command prints on its standard output.
inline std::string Run(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buffer[4096];
    while (fgets(buffer, sizeof buffer, p)) out += buffer;
    pclose(p);
  }
  return out;
}

// The words of a text, split at blanks.
inline std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

using Server = std::map<std::string, std::string>;

// rpcclient as the administrator of server `i` of `s` (bounded).
inline std::string Rpcclient(const Server& s, const std::string& commands, size_t i = 0) {
  return Run("timeout 30 rpcclient -s " + Words(s.at("CONFS")).at(i) + " -p " +
             Words(s.at("PORTS")).at(i) + " -A " + s.at("ADMIN_AUTH") + " 127.0.0.1 -c '" +
             commands + "' 2>/dev/null");
}

// The SID of `account` on the first server, or "".
inline std::string SidOf(const Server& s, const std::string& account) {
  const std::vector<std::string> words = Words(Rpcclient(s, "lookupnames " + account));
  return words.size() > 1 && words[1].rfind("S-1-", 0) == 0 ? words[1]
                                                            : "";  // "name SID (User: 1)"
}

// The rights `sid` holds on server `i`, as Samba lists them.
inline std::set<std::string> RightsHeld(const Server& s, const std::string& sid, size_t i = 0) {
  std::set<std::string> names;
  const std::string out = Rpcclient(s, "lsaenumacctrights " + sid, i);
  for (size_t at = out.find("\n\t"); at != std::string::npos; at = out.find("\n\t", at + 1))
    names.insert(out.substr(at + 2, out.find('\n', at + 2) - at - 2));
  return names;
}

// Gives `sid` exactly `rights` on server `i`.
inline void SetRights(const Server& s, const std::string& sid, const std::set<std::string>& rights,
                      size_t i = 0) {
  std::string commands;
  for (const std::string& r : RightsHeld(s, sid, i))
    commands += "lsaremoveacctrights " + sid + " " + r + ";";
  for (const std::string& r : rights) commands += "lsaaddacctrights " + sid + " " + r + ";";
  if (!commands.empty()) Rpcclient(s, commands, i);
}

}  // namespace tavrin::test
