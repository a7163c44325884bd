// The catalogue of the 45 user rights of current Windows (the classic 27,
// 23 privileges and 4 logon rights, first) and the component that reads, stages and commits the
// rights of one account on one computer.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Velmar_CenterUtils.h"
#include "base/Velmar_Component.h"
#include "platform/win32api.h"
#include "rights/Velmar_LsaApi.h"

class TvmSidCenter;
class TvmLsaUnicodeStringCenter;

// The rights in catalogue order: the ordinal is also the bit of the set.
// The first 27 are the classic catalogue (23 privileges, 4 logon rights),
// whose legend line and grid column in the classic view follow the ordinal
// (column c shows the right of ordinal c - 1); the 18 after them complete
// the user rights current Windows assigns.
enum TvmPrivilege : uint8_t {
  spCreateToken,
  spAssignPrimaryToken,
  spLockMemory,
  spIncreaseQuota,
  spMachineAccount,
  spTCB,
  spSecurity,
  spTakeOwnership,
  spLoadDriver,
  spSystemProfile,
  spSystemTyme,
  spProfSingleProcess,
  spIncBasePriority,
  spCreatePageFile,
  spCreatePermanent,
  spBackup,
  spRestore,
  spShutdown,
  spDebug,
  spAudit,
  spSystemEnvironement,
  spChangeNotify,
  spRemoteShutdown,
  spInteractiveLogon,
  spNetworkLogon,
  spBatchLogon,
  spServiceLogon,
  // The rights of current Windows beyond the classic catalogue.
  spImpersonate,
  spCreateGlobal,
  spManageVolume,
  spCreateSymbolicLink,
  spTimeZone,
  spIncreaseWorkingSet,
  spTrustedCredManAccess,
  spRelabel,
  spEnableDelegation,
  spSyncAgent,
  spUndock,
  spDelegateSessionUserImpersonate,
  spRemoteInteractiveLogon,
  spDenyInteractiveLogon,
  spDenyNetworkLogon,
  spDenyBatchLogon,
  spDenyServiceLogon,
  spDenyRemoteInteractiveLogon,
};

// The classic catalogue: the rights of ordinal 0 to 26.
constexpr int PrivilegeCount = 27;
// Every right of the catalogue.
constexpr int RightCount = 45;

// A set of rights: bit n for the right of ordinal n; bits 45 to 63 stay clear.
class TvmPrivileges {
 public:
  constexpr TvmPrivileges() = default;
  constexpr explicit TvmPrivileges(uint64_t mask) : mask_(mask & AllMask) {}
  constexpr TvmPrivileges(std::initializer_list<TvmPrivilege> rights) {
    for (TvmPrivilege right : rights) Include(right);
  }
  static constexpr uint64_t AllMask = (uint64_t{1} << RightCount) - 1;
  static constexpr uint64_t ClassicMask = (uint64_t{1} << PrivilegeCount) - 1;
  static constexpr TvmPrivileges All() { return TvmPrivileges(AllMask); }
  static constexpr TvmPrivileges Classic() { return TvmPrivileges(ClassicMask); }

  constexpr uint64_t Mask() const { return mask_; }
  constexpr bool Contains(TvmPrivilege right) const {
    return right < RightCount && ((mask_ >> right) & 1u);
  }
  constexpr bool Empty() const { return mask_ == 0; }
  constexpr void Include(TvmPrivilege right) {
    if (right < RightCount) mask_ |= uint64_t{1} << right;
  }
  constexpr void Exclude(TvmPrivilege right) {
    if (right < RightCount) mask_ &= ~(uint64_t{1} << right);
  }
  constexpr friend bool operator==(TvmPrivileges, TvmPrivileges) = default;
  constexpr TvmPrivileges operator|(TvmPrivileges other) const {
    return TvmPrivileges(mask_ | other.mask_);
  }
  constexpr TvmPrivileges operator&(TvmPrivileges other) const {
    return TvmPrivileges(mask_ & other.mask_);
  }
  constexpr TvmPrivileges operator-(TvmPrivileges other) const {
    return TvmPrivileges(mask_ & ~other.mask_);
  }

 private:
  uint64_t mask_ = 0;
};

// What the catalogue knows of one right.
struct TRightInfo {
  const char* constant;    // the name the LSA knows it by: "SeBackupPrivilege"
  const char* code;        // two letters, unique in the catalogue: "BK"
  const char* shortName;   // the short name of the legend: "Backup"
  const char* policyName;  // Windows' name in User Rights Assignment
  bool logonRight;         // a logon right (…LogonRight), else a privilege
  bool deny;               // a right that denies a logon
};

// The catalogue, indexed by ordinal.
extern const std::array<TRightInfo, RightCount> RightsCatalogue;
inline const TRightInfo& RightInfo(TvmPrivilege right) { return RightsCatalogue[right]; }

// The policy names by which the Local Security Authority knows the rights,
// indexed by ordinal.
extern const std::array<const char*, RightCount> PolicyNames;

// The legend lines of the classic catalogue ("CT - Create token"), indexed
// by ordinal.
extern const std::array<const char*, PrivilegeCount> PrivilegeLegend;

// The right a policy name stands for: exact, case-sensitive comparison from
// ordinal 0 on; no right for any other text.
std::optional<TvmPrivilege> PrivilegeFromPolicyName(const std::string& name);

// The right a person means by a text: its constant in any letter case, its
// two-letter code in any letter case, or Windows' policy name (letter case
// ignored); blanks around the text do not count. No right for any other
// text.
std::optional<TvmPrivilege> RightFromUserText(const std::string& text);

// The legend line of a right ("BK - Backup"), and its two-letter code (the
// line's first two characters).
std::string PrivilegeLegendLine(TvmPrivilege right);
std::string PrivilegeCode(TvmPrivilege right);

// A right described in full: "BK - Back up files and directories
// (SeBackupPrivilege)", with "denies: " before the policy name of a deny
// right.
std::string RightDescription(TvmPrivilege right);

// Which rights are shown, and in which order: the classic 27 in catalogue
// order, or all 45 with the privileges first, then the logon rights, each
// deny right after the right it denies.
enum class TRightsView : uint8_t { Classic, All };
const std::vector<TvmPrivilege>& ViewRights(TRightsView view);
TvmPrivileges ViewSet(TRightsView view);
// "classic" / "all", and back (none for any other text).
const char* ViewName(TRightsView view);
std::optional<TRightsView> ViewFromName(const std::string& name);

// The user rights of one account on one computer: reads what the account
// holds in the computer's LSA policy, splits it into catalogue rights and
// other right names, holds a desired state of both, tells whether that state
// is in force, and commits the difference one LSA call per right.
//
// The account is the current SID of the attached SID center; the computer is
// Server (empty: this computer). Reads are cached per SID and never raise:
// a failed read gives the empty set and a non-zero LastStatus. A commit
// raises EWin32Error at the first LSA call that fails, after closing the
// policy. Not re-entrant; used from the window's thread only.
class TvmAccountRigthsCenter : public TComponent {
 public:
  explicit TvmAccountRigthsCenter(TComponent* owner = nullptr);
  ~TvmAccountRigthsCenter() override;

  void Notification(TComponent* component, TOperation operation) override;

  // Every write closes the policy and drops the state read, also when the
  // text is unchanged.
  std::string Server() const;
  void SetServer(const std::string& server);

  // Not owned; cleared when the SID center is destroyed. A write drops the
  // state read; an open policy stays open.
  TvmSidCenter* SidCenter() const { return sidCenter_; }
  void SetSidCenter(TvmSidCenter* sidCenter);

  // The catalogue rights the account holds (read from the LSA when the
  // state is not fresh). Never raises. Writes are ignored.
  TvmPrivileges CurrentPrivileges();
  void SetCurrentPrivileges(TvmPrivileges) {}

  // The other right names the account holds, in the order the LSA gave
  // them: a snapshot owned by the component, overwritten by the next read
  // of this property. Writes are ignored.
  std::vector<std::string>& CurrentAdditional();
  void SetCurrentAdditional(const std::vector<std::string>&) {}

  // The desired catalogue rights. Catalogue names put into NewAdditional
  // move here at the next read of NewPrivileges, NewAdditional or
  // Committed. The write stores the set as given.
  TvmPrivileges NewPrivileges();
  void SetNewPrivileges(TvmPrivileges rights) { new_ = rights; }

  // The desired other right names: the component's own list, which a caller
  // may edit. The write copies the given lines.
  std::vector<std::string>& NewAdditional();
  void SetNewAdditional(const std::vector<std::string>& names);

  // True when the rights in force equal the desired state: the same
  // catalogue rights, and the same other names compared ignoring case,
  // order and repetition. False when the rights in force cannot be read.
  // Never raises. Writing true commits; writing false does nothing.
  bool Committed();
  void SetCommitted(bool committed);

  // Makes the account's rights equal to the desired state, one LSA call per
  // right that differs. Raises EWin32Error at the first failing call; the
  // calls made before it stay in force. Always ends with the policy closed
  // and the state stale.
  void Commit();

  // The status of the last LSA call checked; 0 is success.
  NTSTATUS LastStatus() const { return lastStatus_; }

  // One right the last Commit wrote, or tried to write.
  struct TRightWrite {
    bool grant = false;
    std::string name;  // the right's policy name
  };
  // The writes of the last Commit that went through, in the order made.
  const std::vector<TRightWrite>& LastWrites() const { return lastWrites_; }
  // The write the last Commit failed on (its status in LastStatus); none
  // when the commit failed before any write, or did not fail.
  const std::optional<TRightWrite>& FailedWrite() const { return failedWrite_; }

 private:
  PSID DesignatedSid() const;
  bool IsFresh() const;
  void MarkStale();
  void MarkFresh();
  void Forget();
  void OpenPolicy();
  void ClosePolicy();
  void CheckStatus(NTSTATUS status);
  void Normalize();
  void ReadFailed();
  void WriteRight(bool grant, PSID sid, TvmLsaUnicodeStringCenter& holder, const std::string& name);

  NTSTATUS lastStatus_ = 0;
  TLsaPolicy policy_;
  std::unique_ptr<TvmLsaUnicodeStringCenter> serverName_;
  TvmSidCenter* sidCenter_ = nullptr;
  TSid loadedSid_;
  bool loaded_ = false;
  TvmPrivileges current_;
  std::vector<std::string> currentAdditional_;
  std::vector<std::string> snapshot_;
  TvmPrivileges new_;
  std::vector<std::string> newAdditional_;
  std::vector<TRightWrite> lastWrites_;
  std::optional<TRightWrite> failedWrite_;
  bool readFailed_ = false;     // the last read ended in a failure
  bool statusChecked_ = false;  // the failure came through CheckStatus
};
