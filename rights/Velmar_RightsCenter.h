// The catalogue of the 27 user rights (23 privileges, 4 logon rights) and the
// component that reads, stages and commits the rights of one account on one
// computer.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

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

// The right a policy name stands for: exact, case-sensitive comparison from
// ordinal 0 on; no right for any other text.
std::optional<TvmPrivilege> PrivilegeFromPolicyName(const std::string& name);

// The legend line of a right, and its two-letter code (the line's first two
// characters).
std::string PrivilegeLegendLine(TvmPrivilege right);
std::string PrivilegeCode(TvmPrivilege right);
