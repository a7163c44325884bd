// The account rights center agrees with the bare LSA calls on this computer (Wine too).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "passes/RowWork.h"
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

  // A deny right and logon through Remote Desktop Services, each turned
  // over, go through the same LSA calls (Wine again only answers success).
  const TvmPrivileges turned{spDenyBatchLogon, spRemoteInteractiveLogon};
  const TvmPrivileges wanted = (before.rights - turned) | (turned - before.rights);
  arc->SetNewPrivileges(wanted);
  EXPECT_NO_THROW(arc->Commit());
  EXPECT_EQ(arc->LastWrites().size(), 2u);
  EXPECT_EQ(arc->Committed(), BareRights().rights == wanted);
  arc->SetNewPrivileges(before.rights);
  EXPECT_NO_THROW(arc->Commit());
  EXPECT_EQ(BareRights().rights, before.rights);
}

// One right's holders here, read as a who-has row reads them, are those the
// bare call lists; what the system answered is printed (Wine 8 lists no
// holders of any right).
TEST(AccountRightsSystem, HoldersOfARightAreThoseTheBareCallLists) {
  tavrin::StartupScope startup;
  ASSERT_TRUE(LsaApi::Resolved("LsaEnumerateAccountsWithUserRight"));
  LSA_OBJECT_ATTRIBUTES attributes = {};
  attributes.Length = sizeof attributes;
  LSA_HANDLE policy = nullptr;
  const NTSTATUS opened = ::LsaOpenPolicy(
      nullptr, &attributes, POLICY_LOOKUP_NAMES | POLICY_VIEW_LOCAL_INFORMATION, &policy);
  if (opened != 0)
    GTEST_SKIP() << "the local policy cannot be read by this user: 0x" << std::hex << opened;
  for (const TvmPrivilege right : {spBackup, spChangeNotify, spCreateToken}) {
    std::vector<WCHAR> name(PolicyNames[right], PolicyNames[right] + strlen(PolicyNames[right]));
    LSA_UNICODE_STRING text{static_cast<USHORT>(name.size() * sizeof(WCHAR)),
                            static_cast<USHORT>(name.size() * sizeof(WCHAR)), name.data()};
    PVOID block = nullptr;
    ULONG count = 0;
    const NTSTATUS status = ::LsaEnumerateAccountsWithUserRight(policy, &text, &block, &count);
    std::vector<std::string> bare;
    for (ULONG i = 0; status == 0 && i < count; ++i) {
      TvmSidCenter center;
      center.SetSid(static_cast<LSA_ENUMERATION_INFORMATION*>(block)[i].Sid);
      bare.push_back(center.SidString());
    }
    if (block != nullptr) ::LsaFreeMemory(block);
    std::printf("LsaEnumerateAccountsWithUserRight(%s): 0x%08X, %u accounts\n", PolicyNames[right],
                static_cast<unsigned>(status), static_cast<unsigned>(bare.size()));

    const TRowHolders row = ReadHolders("", right);
    if (status == 0 || status == STATUS_NO_MORE_ENTRIES) {
      ASSERT_FALSE(row.failed) << row.errorText;
      std::vector<std::string> read;
      for (const THolder& holder : row.holders) read.push_back(holder.sid);
      EXPECT_EQ(read, bare) << PolicyNames[right];
    } else {
      EXPECT_TRUE(row.failed);
      EXPECT_EQ(row.error, LsaApi::LsaNtStatusToWinError(status));
    }
  }
  ::LsaClose(policy);
}

// The privileges of the catalogue are known by name to the system, in any
// letter case; its logon rights are not privileges. Wine 8 knows none of the
// six privileges Windows added last (LUIDs 31 to 36).
TEST(AccountRightsSystem, PrivilegeNamesAreTheSystems) {
  HMODULE ntdll = LoadLibraryA("ntdll.dll");
  const bool wine = ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
  const std::vector<std::string> wineLacks = {"SeCreateSymbolicLinkPrivilege",
                                              "SeTimeZonePrivilege",
                                              "SeIncreaseWorkingSetPrivilege",
                                              "SeTrustedCredManAccessPrivilege",
                                              "SeRelabelPrivilege",
                                              "SeDelegateSessionUserImpersonatePrivilege"};
  std::vector<std::string> unknown;
  std::vector<DWORD> seen;
  for (int ordinal = 0; ordinal < RightCount; ++ordinal) {
    const TRightInfo& info = RightsCatalogue[ordinal];
    std::string lower = info.constant;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const std::string& name : {std::string(info.constant), lower}) {
      LUID luid = {};
      SetLastError(0);
      const BOOL known = LookupPrivilegeValueA(nullptr, name.c_str(), &luid);
      if (info.logonRight) {
        EXPECT_FALSE(known) << name;
        EXPECT_EQ(GetLastError(), ERROR_NO_SUCH_PRIVILEGE) << name;
        continue;
      }
      if (!known) {
        EXPECT_EQ(GetLastError(), ERROR_NO_SUCH_PRIVILEGE) << name;
        if (name == info.constant) unknown.push_back(name);
        continue;
      }
      EXPECT_EQ(luid.HighPart, 0);
      if (name == info.constant) seen.push_back(luid.LowPart);
    }
  }
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end()) << "two with one LUID";
  EXPECT_EQ(unknown, wine ? wineLacks : std::vector<std::string>());
  EXPECT_EQ(seen.size() + unknown.size(), 35u);
  if (ntdll != nullptr) FreeLibrary(ntdll);
}

}  // namespace
