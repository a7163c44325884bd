// Account kinds, the account entry of the account picker, and the names of
// the account images.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "platform/win32api.h"
#include "sid/Velmar_SidCenter.h"

// The kind of an account: the platform's SID_NAME_USE value minus 1.
enum TvmSidType : uint8_t {
  stUser,
  stGroup,
  stDomain,
  stAlias,
  stWellKnownGroup,
  stDeletedAccount,
  stInvalid,
  stUnknown,
};

constexpr int SidTypeCount = 8;

// A set of account kinds: bit n for the kind of ordinal n.
class TvmSidTypes {
 public:
  constexpr TvmSidTypes() = default;
  constexpr TvmSidTypes(std::initializer_list<TvmSidType> types) {
    for (TvmSidType type : types) Include(type);
  }
  static constexpr TvmSidTypes FromMask(uint8_t mask) {
    TvmSidTypes types;
    types.mask_ = mask;
    return types;
  }
  constexpr bool Contains(TvmSidType type) const { return (mask_ >> type) & 1u; }
  constexpr void Include(TvmSidType type) { mask_ = uint8_t(mask_ | (1u << type)); }
  constexpr void Exclude(TvmSidType type) { mask_ = uint8_t(mask_ & ~(1u << type)); }
  constexpr uint8_t Mask() const { return mask_; }
  constexpr bool Empty() const { return mask_ == 0; }
  friend constexpr bool operator==(TvmSidTypes, TvmSidTypes) = default;

 private:
  uint8_t mask_ = 0;
};

// One account of the account picker; owns its copy of the SID.
class TvmUserInfo {
 public:
  // Copies `sid` with CloneSid, which raises EWin32Error for an invalid SID.
  TvmUserInfo(const std::string& domain, const std::string& name, TvmSidType sidType, PSID sid,
              const std::string& sidString, TvmWellKnownSid wellKnown);

  const std::string& Domain() const { return domain_; }
  const std::string& Name() const { return name_; }
  TvmSidType SidType() const { return sidType_; }
  // The entry's own block, valid as long as the entry.
  PSID Sid() const { return sid_.get(); }
  DWORD SidLength() const { return sid_.Length(); }
  const std::string& SidString() const { return sidString_; }
  TvmWellKnownSid WellKnown() const { return wellKnown_; }

 private:
  std::string domain_;
  std::string name_;
  TvmSidType sidType_;
  TSid sid_;
  std::string sidString_;
  TvmWellKnownSid wellKnown_;
};

// The resource name of the image of a well-known account ("SID_ADMINS"), or
// none for a value that has no image of its own.
const char* WellKnownBitmapName(TvmWellKnownSid wellKnown);
// The resource name of the image of an account kind ("SID_USER"), or none.
const char* SidTypeBitmapName(TvmSidType sidType);
// The image an entry shows: the well-known image when the value has one,
// else the kind's image, else none.
const char* SidBitmapName(TvmWellKnownSid wellKnown, TvmSidType sidType);
