// The account rights center agrees with the bare LSA calls on this computer (Wine too).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "passes/Startup.h"
#include "rights/Velmar_RightsCenter.h"
#include "sid/Velmar_SidCenter.h"

namespace {

// S-1-5-32-544, the local Administrators alias.
BYTE kAdmins[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};

// What the bare LSA calls give for the alias here, split as the catalogue splits names.
struct Held {
  NTSTATUS status = 0;
  TvmPrivileges rights;
  std::vector<std::string> others;
};

Held BareRights() {
  Held held;
  LSA_OBJECT_ATTRIBUTES attributes = {};
  attributes.Length = sizeof attributes;
  LSA_HANDLE policy = nullptr;
  held.status =
      ::LsaOpenPolicy(nullptr, &attributes, POLICY_LOOKUP_NAMES | POLICY_CREATE_ACCOUNT, &policy);
  if (held.status != 0) return held;
  PLSA_UNICODE_STRING array = nullptr;
  ULONG count = 0;
  const NTSTATUS status = ::LsaEnumerateAccountRights(policy, kAdmins, &array, &count);
  if (status != STATUS_OBJECT_NAME_NOT_FOUND) held.status = status;
  for (ULONG i = 0; array != nullptr && i < count; ++i) {  // right names are ASCII
    const std::string name(array[i].Buffer, array[i].Buffer + array[i].Length / sizeof(WCHAR));
    const auto right = PrivilegeFromPolicyName(name);
    right ? held.rights.Include(*right) : held.others.push_back(name);
  }
  if (array != nullptr) ::LsaFreeMemory(array);
  ::LsaClose(policy);
  return held;
}

TEST(AccountRightsSystem, ReadAndCommitTheLocalAdministrators) {
  tavrin::StartupScope startup;
  const Held before = BareRights();
  if (before.status != 0)
    GTEST_SKIP() << "the local policy cannot be read by this user: 0x" << std::hex << before.status;

  // The main window's pair, reading this computer by no name and by its own.
  TComponent form;
  auto* sc = new TvmSidCenter(&form);
  auto* arc = new TvmAccountRigthsCenter(&form);
  arc->SetSidCenter(sc);
  sc->SetSid(kAdmins);
  char computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof computer;
  ASSERT_TRUE(GetComputerNameA(computer, &size));
  for (const std::string& server : {std::string(), std::string(computer)}) {
    arc->SetServer(server);
    EXPECT_EQ(arc->CurrentPrivileges(), before.rights) << server;
    EXPECT_EQ(arc->LastStatus(), 0);
    EXPECT_EQ(arc->CurrentAdditional(), before.others);
  }

  // Grant a right nobody holds; Committed agrees with the policy (Wine only answers success).
  ASSERT_FALSE(before.rights.Contains(spCreatePermanent));
  arc->SetNewPrivileges(before.rights | TvmPrivileges{spCreatePermanent});
  arc->SetNewAdditional(arc->CurrentAdditional());
  EXPECT_NO_THROW(arc->Commit());
  const Held after = BareRights();
  EXPECT_EQ(after.rights - TvmPrivileges{spCreatePermanent}, before.rights);
  EXPECT_EQ(arc->Committed(), after.rights.Contains(spCreatePermanent));

  arc->SetNewPrivileges(before.rights);
  arc->SetNewAdditional(before.others);
  EXPECT_NO_THROW(arc->Commit());
  EXPECT_EQ(BareRights().rights, before.rights);
}

}  // namespace
