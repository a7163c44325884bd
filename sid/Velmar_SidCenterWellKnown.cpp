// The well-known SIDs: building them by kind and recognising them.
#include <cstdlib>
#include <memory>

#include "base/Velmar_CenterUtils.h"
#include "base/Velmar_WinVer.h"
#include "sid/Velmar_SidCenter.h"

namespace {

struct TWellKnownShape {
  SID_IDENTIFIER_AUTHORITY authority;
  DWORD rid;
};

// wkNull to wkLocalSystem, in ordinal order from wkNull.
const TWellKnownShape SingleRidShapes[] = {
    {NullSidAuthority, 0},    {WorldSidAuthority, 0},   {LocalSidAuthority, 0},
    {CreatorSidAuthority, 0}, {CreatorSidAuthority, 1}, {CreatorSidAuthority, 2},
    {CreatorSidAuthority, 3}, {NtAuthority, 1},         {NtAuthority, 2},
    {NtAuthority, 3},         {NtAuthority, 4},         {NtAuthority, 6},
    {NtAuthority, 7},         {NtAuthority, 8},         {NtAuthority, 32},
    {NtAuthority, 11},        {NtAuthority, 18},
};
static_assert(sizeof SingleRidShapes / sizeof SingleRidShapes[0] == wkLocalSystem - wkNull + 1);

// The relative identifiers of wkAdmin to wkGuestsGroup.
const DWORD DomainRids[] = {500, 501, 512, 513, 514};

constexpr DWORD BuiltinDomainRid = 32;
constexpr DWORD FirstAliasRid = 544;

struct TokenClose {
  void operator()(HANDLE token) const { CloseHandle(token); }
};
struct MemoryFree {
  void operator()(void* block) const { std::free(block); }
};

}  // namespace

TSid CurrentUserSid(std::vector<std::string>& errors) {
  if (!IsWinNT()) return {};

  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    errors.push_back(LastWin32ErrorMessage());
    throw EAbort();
  }
  const std::unique_ptr<void, TokenClose> tokenHeld(token);

  DWORD needed = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &needed);
  // Never less than the record itself, so that a short answer cannot make
  // the read below run past the buffer.
  const std::unique_ptr<void, MemoryFree> buffer(
      std::malloc(needed > sizeof(TOKEN_USER) ? needed : sizeof(TOKEN_USER)));
  if (buffer == nullptr) throw EWin32Error(ERROR_NOT_ENOUGH_MEMORY);
  if (!GetTokenInformation(token, TokenUser, buffer.get(), needed, &needed)) {
    errors.push_back(LastWin32ErrorMessage());
    throw EAbort();
  }
  return CloneSid(static_cast<TOKEN_USER*>(buffer.get())->User.Sid);
}

void TvmSidCenter::BuildWellKnown() {
  if (!wellKnownReady_ || wellKnown_ == wkOther || wellKnown_ > wkReplicatorAlias)
    throw Exception("No well-known SID");

  explicit_.Revision = SID_REVISION;
  const TvmWellKnownSid value = wellKnown_;
  if (value >= wkNull && value <= wkLocalSystem) {
    const TWellKnownShape& shape = SingleRidShapes[value - wkNull];
    explicit_.SubAuthorityCount = 1;
    explicit_.IdentifierAuthority = shape.authority;
    explicit_.SubAuthority[0] = shape.rid;
  } else if (value >= wkAdminsAlias) {
    explicit_.SubAuthorityCount = 2;
    explicit_.IdentifierAuthority = NtAuthority;
    explicit_.SubAuthority[0] = BuiltinDomainRid;
    explicit_.SubAuthority[1] = FirstAliasRid + (value - wkAdminsAlias);
  } else if (value == wkCurrentUser) {
    TSid user = CurrentUserSid(errors_);
    if (!user) throw Exception("No well-known SID");
    sid_ = std::move(user);
    sidReady_ = true;
    SidToExplicit();
  } else {
    BuildDomainRelative(DomainRids[value - wkAdmin]);
  }
}

// Looks up the account domain named by Domain (this computer's when Domain
// is empty) on Server and appends the relative identifier to its SID.
void TvmSidCenter::BuildDomainRelative(DWORD rid) {
  const std::string givenUserName = userName_;
  const bool givenNameReady = nameReady_;
  const TvmSidSource givenSource = source_;

  userName_.clear();
  nameReady_ = true;
  source_ = ssName;
  try {
    LookupName();
    SidToExplicit();
  } catch (...) {
    // Back to the form that was given, so that the next read tries the
    // domain again rather than presenting the bare domain as the account.
    userName_ = givenUserName;
    nameReady_ = givenNameReady;
    sidReady_ = false;
    source_ = givenSource;
    throw;
  }
  nameReady_ = false;
  sidReady_ = false;
  source_ = givenSource;

  if (explicit_.SubAuthorityCount >= SID_MAX_SUB_AUTHORITIES)
    ParseError("Too many SubAuthorities", std::string());
  explicit_.SubAuthority[explicit_.SubAuthorityCount] = rid;
  ++explicit_.SubAuthorityCount;
}

TvmWellKnownSid TvmSidCenter::Recognise() const {
  const BYTE a = explicit_.IdentifierAuthority.Value[5];
  const int n = explicit_.SubAuthorityCount;
  const DWORD first = explicit_.SubAuthority[0];
  const DWORD last = n > 0 ? explicit_.SubAuthority[n - 1] : 0;

  if (a <= 4 && n != 1) return wkOther;
  switch (a) {
    case 0:
      return first == 0 ? wkNull : wkOther;
    case 1:
      return first == 0 ? wkWorld : wkOther;
    case 2:
      return first == 0 ? wkLocal : wkOther;
    case 3:
      if (first <= 3) return static_cast<TvmWellKnownSid>(wkCreatorOwner + first);
      return wkOther;
    case 4:
      return wkOther;
    case 5:
      break;
    default:
      return wkOther;
  }

  if (n == 0) return wkOther;
  const bool singleOnly = (first >= 1 && first <= 4) || (first >= 6 && first <= 8);
  if (singleOnly && n != 1) return wkOther;
  switch (first) {
    case 1:
      return wkDialup;
    case 2:
      return wkNetwork;
    case 3:
      return wkBatch;
    case 4:
      return wkInteractive;
    case 6:
      return wkService;
    case 7:
      return wkAnonymous;
    case 8:
      return wkProxy;
    case 11:
      return wkAuthenticated;
    case 18:
      return wkLocalSystem;
    case 21:
      switch (last) {
        case 500:
          return wkAdmin;
        case 501:
          return wkGuest;
        case 512:
          return wkAdminsGroup;
        case 513:
          return wkUsersGroup;
        case 514:
          return wkGuestsGroup;
        default:
          return wkOther;
      }
    case 32:
      if (n == 1) return wkBuildIn;
      if (n == 2 && last >= 544 && last <= 552)
        return static_cast<TvmWellKnownSid>(wkAdminsAlias + (last - 544));
      return wkOther;
    default:
      return wkOther;
  }
}
