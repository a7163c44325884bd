// The catalogue of the 27 user rights (23 privileges, 4 logon rights) and the
// component that reads, stages and commits the rights of one account on one
// computer.
#pragma once

#include <array>
#include <cstdint>
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

// The rights in catalogue order: the ordinal is also the bit of the set, the
// legend line and the grid column (column c shows the right of ordinal c - 1).
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
};

constexpr int PrivilegeCount = 27;

// A set of rights: bit n for the right of ordinal n; bits 27 to 31 stay clear.
class TvmPrivileges {
 public:
  constexpr TvmPrivileges() = default;
  constexpr explicit TvmPrivileges(uint32_t mask) : mask_(mask & AllMask) {}
  constexpr TvmPrivileges(std::initializer_list<TvmPrivilege> rights) {
    for (TvmPrivilege right : rights) Include(right);
  }
  static constexpr uint32_t AllMask = 0x07FFFFFFu;
  static constexpr TvmPrivileges All() { return TvmPrivileges(AllMask); }

  constexpr uint32_t Mask() const { return mask_; }
  constexpr bool Contains(TvmPrivilege right) const { return (mask_ >> right) & 1u; }
  constexpr bool Empty() const { return mask_ == 0; }
  constexpr void Include(TvmPrivilege right) { mask_ |= 1u << right; }
  constexpr void Exclude(TvmPrivilege right) { mask_ &= ~(1u << right); }
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
  uint32_t mask_ = 0;
};

// The policy names by which the Local Security Authority knows the rights,
// indexed by ordinal.
extern const std::array<const char*, PrivilegeCount> PolicyNames;

// The legend lines ("CT - Create token"), indexed by ordinal.
extern const std::array<const char*, PrivilegeCount> PrivilegeLegend;

// The names Windows shows for the rights ("Back up files and directories"),
// indexed by ordinal.
extern const std::array<const char*, PrivilegeCount> PrivilegeDisplayNames;

// The right a policy name stands for: exact, case-sensitive comparison from
// ordinal 0 on; no right for any other text.
std::optional<TvmPrivilege> PrivilegeFromPolicyName(const std::string& name);

// The legend line of a right, and its two-letter code (the line's first two
// characters).
std::string PrivilegeLegendLine(TvmPrivilege right);
std::string PrivilegeCode(TvmPrivilege right);

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
