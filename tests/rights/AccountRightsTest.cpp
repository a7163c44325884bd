// The account rights center against the system's own LSA policy: what it
// reads and commits must agree with the bare LSA calls, on Windows (run as
// an administrator) as under Wine, whose LSA reports no rights and whose
// writes succeed without storing anything.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Startup.h"
#include "rights/Velmar_CenterUtils.h"
#include "rights/Velmar_RightsCenter.h"
#include "sid/Velmar_SidCenter.h"

namespace {

using Names = std::vector<std::string>;

// S-1-5-32-544, the local Administrators alias.
BYTE kAdmins[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};

std::string ThisComputer() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  return GetComputerNameA(name, &size) ? std::string(name, size) : std::string();
}

// The bare LSA open; empty server: this computer.
NTSTATUS OpenPolicy(const std::string& server, LSA_HANDLE& policy) {
  std::basic_string<WCHAR> wide(server.begin(), server.end());
  const auto length = static_cast<USHORT>(wide.size() * sizeof(WCHAR));
  LSA_UNICODE_STRING name{length, length, wide.data()};
  LSA_OBJECT_ATTRIBUTES attributes = {};
  attributes.Length = sizeof attributes;
  return ::LsaOpenPolicy(server.empty() ? nullptr : &name, &attributes,
                         POLICY_LOOKUP_NAMES | POLICY_CREATE_ACCOUNT, &policy);
}

// The bare platform calls: the right names the account holds on this
// computer, in the LSA's order, split as the catalogue splits them.
struct Held {
  NTSTATUS status = 0;
  TvmPrivileges rights;
  Names others;
};

Held BareRights() {
  Held held;
  LSA_HANDLE policy = nullptr;
  if ((held.status = OpenPolicy("", policy)) != 0) return held;
  PLSA_UNICODE_STRING array = nullptr;
  ULONG count = 0;
  NTSTATUS status = ::LsaEnumerateAccountRights(policy, kAdmins, &array, &count);
  if (status != STATUS_OBJECT_NAME_NOT_FOUND) held.status = status;
  for (ULONG i = 0; array != nullptr && i < count; ++i) {
    // Right names are ASCII.
    const std::string name(array[i].Buffer, array[i].Buffer + array[i].Length / sizeof(WCHAR));
    if (auto right = PrivilegeFromPolicyName(name))
      held.rights.Include(*right);
    else
      held.others.push_back(name);
  }
  if (array != nullptr) ::LsaFreeMemory(array);
  ::LsaClose(policy);
  return held;
}

// The main window's pair on the local Administrators alias, owned by a form.
struct Centers {
  TComponent form;
  TvmSidCenter* sc = new TvmSidCenter(&form);
  TvmAccountRigthsCenter* arc = new TvmAccountRigthsCenter(&form);
  explicit Centers(const std::string& server) {
    arc->SetSidCenter(sc);
    sc->SetSid(kAdmins);
    arc->SetServer(server);
  }
};

TEST(AccountRightsSystem, ReadAndCommitTheLocalAdministrators) {
  tavrin::StartupScope startup;
  const Held before = BareRights();
  if (before.status != 0)
    GTEST_SKIP() << "the local policy cannot be read by this user: 0x" << std::hex << before.status;

  // This computer, by no name and by its own name.
  Centers centers("");
  TvmAccountRigthsCenter* arc = centers.arc;
  for (const std::string& server : {std::string(), ThisComputer()}) {
    SCOPED_TRACE("server \"" + server + "\"");
    arc->SetServer(server);
    EXPECT_EQ(arc->CurrentPrivileges(), before.rights);
    EXPECT_EQ(arc->LastStatus(), 0);
    EXPECT_EQ(arc->CurrentAdditional(), before.others);
  }

  // Grant one right the alias does not hold, keeping everything else.
  TvmPrivilege extra = spCreatePermanent;
  for (TvmPrivilege candidate : {spShutdown, spIncreaseQuota, spSystemProfile})
    if (!before.rights.Contains(candidate)) extra = candidate;
  ASSERT_FALSE(before.rights.Contains(extra));
  arc->SetNewPrivileges(before.rights | TvmPrivileges{extra});
  arc->SetNewAdditional(arc->CurrentAdditional());
  EXPECT_FALSE(arc->Committed());
  EXPECT_NO_THROW(arc->Commit());
  EXPECT_EQ(arc->LastStatus(), 0);

  // Committed reads the policy again and agrees with it: true where the
  // LSA stored the grant, false where it only answered success (Wine).
  const Held after = BareRights();
  ASSERT_EQ(after.status, 0);
  EXPECT_EQ(after.others, before.others);
  EXPECT_EQ(after.rights - TvmPrivileges{extra}, before.rights);
  EXPECT_EQ(arc->Committed(), after.rights.Contains(extra));
  EXPECT_EQ(arc->CurrentPrivileges(), after.rights);
  EXPECT_EQ(arc->LastStatus(), 0);

  // Put the policy back as it was.
  arc->SetNewPrivileges(before.rights);
  arc->SetNewAdditional(before.others);
  EXPECT_NO_THROW(arc->Commit());
  EXPECT_EQ(BareRights().rights, before.rights);
}

}  // namespace
