#include "tests/support/SimFixture.h"

#include <algorithm>

#include "passes/Startup.h"
#include "sid/Velmar_SidCenter.h"

namespace tavrin::test {

sim::NetworkSpec SmallNetwork() {
  using sim::Role;
  return sim::NetworkBuilder()
      .ThisComputer("WS01")
      .CurrentUser("CORP\\alice")
      .Domain("CORP")
      .Workgroup("HOME")
      .Computer("DC01", Role::DomainController, "CORP")
      .MachineSid("S-1-5-21-1000-2000-3000")
      .User("alice", 1105)
      .User("bob", 1106)
      .User("Ёлкин", 1107)
      .GlobalGroup("Operators", 1200)
      .LocalGroup("Helpdesk", 1300)
      .Rights("S-1-5-32-544", {"SeBackupPrivilege", "SeDebugPrivilege", "SeInteractiveLogonRight"})
      .Computer("WS01", Role::Workstation, "CORP")
      .MachineSid("S-1-5-21-11-12-13")
      .User("localadmin", 1001)
      .LocalGroup("Printers", 1002)
      .Rights("S-1-5-32-544", {"SeBackupPrivilege", "SeRestorePrivilege", "SeDebugPrivilege",
                               "SeRemoteInteractiveLogonRight", "SeInteractiveLogonRight"})
      .Rights("S-1-5-32-545", {"SeChangeNotifyPrivilege", "SeNetworkLogonRight"})
      .Rights("S-1-1-0", {"SeChangeNotifyPrivilege", "SeNetworkLogonRight"})
      .Computer("SRV01", Role::Server, "CORP")
      .MachineSid("S-1-5-21-21-22-23")
      .Rights("S-1-5-32-544", {"SeBackupPrivilege"})
      .Computer("PC-HOME", Role::Workstation, "HOME")
      .MachineSid("S-1-5-21-31-32-33")
      .User("owner", 1000)
      .Computer("GHOST", Role::Workstation, "CORP")
      .MachineSid("S-1-5-21-41-42-43")
      .Answers(false)
      .Build();
}

std::vector<std::string> LsaWrites() {
  std::vector<std::string> writes;
  for (const sim::Call& call : sim::Calls())
    if (call.function == "LsaAddAccountRights" || call.function == "LsaRemoveAccountRights")
      writes.push_back(call.function.substr(3, 3) + " " + call.target + " " +
                       call.argument.substr(call.argument.find(' ') + 1));
  std::sort(writes.begin(), writes.end());
  return writes;
}

std::string SidText(const void* sid) {
  TvmSidCenter center;
  center.SetSid(const_cast<void*>(sid));
  return center.SidString();
}

void SimTest::SetUp() { Reinstall(SmallNetwork()); }

void SimTest::TearDown() { RunEndSteps(); }

void SimTest::Reinstall(const sim::NetworkSpec& description) {
  RunEndSteps();
  sim::Install(description);
  RunStartSteps();
}

}  // namespace tavrin::test
