// The settings of the test run's Samba server ($TAVRIN_TEST_SAMBA/server.env).
#pragma once

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

namespace tavrin::test {

// NAME, PORT, CONF, ADMIN, ADMIN_PASSWORD, ADMIN_AUTH, ALICE, BOB, ...;
// empty when the run did not start the server.
inline std::map<std::string, std::string> SambaServer() {
  std::map<std::string, std::string> settings;
  const char* dir = std::getenv("TAVRIN_TEST_SAMBA");
  std::ifstream env(std::string(dir ? dir : "") + "/server.env");
  for (std::string line; std::getline(env, line);)
    if (const size_t eq = line.find('='); eq != std::string::npos)
      settings[line.substr(0, eq)] = line.substr(eq + 1);
  return settings;
}

}  // namespace tavrin::test
