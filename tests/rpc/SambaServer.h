// The settings of the test run's Samba server ($TAVRIN_TEST_SAMBA/server.env).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
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

}  // namespace tavrin::test
