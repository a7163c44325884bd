// The SID center's properties, its readiness marks and the name lookups.
#include "sid/Velmar_SidCenter.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "base/Velmar_CenterUtils.h"
#include "platform/WideText.h"
#include "sid/Velmar_SidCenterCache.h"

TvmSidCenter::TvmSidCenter(TComponent* owner) : TComponent(owner) {}

TvmSidCenter::~TvmSidCenter() = default;

// ------------------------------------------------------------ marks

void TvmSidCenter::Invalidate() {
  errors_.clear();
  lookupError_ = 0;
  stringReady_ = false;
  explicitReady_ = false;
  sidReady_ = false;
  nameReady_ = false;
  wellKnownReady_ = false;
}

void TvmSidCenter::MarkGivenForm() {
  switch (source_) {
    case ssName:
      nameReady_ = true;
      break;
    case ssSID:
      sidReady_ = true;
      break;
    case ssData:
      explicitReady_ = true;
      break;
    case ssString:
      stringReady_ = true;
      break;
    case ssWellKnown:
      wellKnownReady_ = true;
      break;
    case ssNone:
    case ssAccount:
      break;
  }
}

// ------------------------------------------------------------ writes

void TvmSidCenter::SetSource(TvmSidSource value) {
  Invalidate();
  source_ = value;
  MarkGivenForm();
}

void TvmSidCenter::SetServer(const std::string& value) {
  server_ = value;
  Invalidate();
  MarkGivenForm();
}

void TvmSidCenter::SetDomain(const std::string& value) {
  stringReady_ = false;
  explicitReady_ = false;
  sidReady_ = false;
  wellKnownReady_ = false;
  domain_ = value;
  // The given form stays the given form: a SID, a text or a kind given
  // before the domain is not lost, and a domain-relative kind is built again
  // in the new domain.
  MarkGivenForm();
}

void TvmSidCenter::SetUserName(const std::string& value) {
  Invalidate();
  userName_ = value;
  nameReady_ = true;
  source_ = ssName;
}

void TvmSidCenter::SetWellKnown(TvmWellKnownSid value) {
  Invalidate();
  wellKnown_ = value;
  wellKnownReady_ = true;
  source_ = value == wkOther ? ssNone : ssWellKnown;
}

void TvmSidCenter::SetSidString(const std::string& value) {
  Invalidate();
  sidString_ = value;
  stringReady_ = true;
  source_ = ssString;
}

void TvmSidCenter::SetSid(PSID value) {
  Invalidate();
  source_ = ssNone;
  // The block held goes when this write ends, whatever happens: not before
  // the copy, for the SID given may be that very block.
  const TSid held = std::move(sid_);
  sid_ = CloneSid(value);
  sidReady_ = true;
  source_ = ssSID;
}

bool TvmSidCenter::IsSidText(const std::string& text) {
  return text.size() > 2 && (text[0] == 'S' || text[0] == 's') && text[1] == '-';
}

void TvmSidCenter::SetAccount(const std::string& text, const std::string& qualifier) {
  if (IsSidText(text)) return SetSidString(text);
  Invalidate();
  account_ = text;
  qualifier_ = qualifier;
  source_ = ssAccount;
}

void TvmSidCenter::SetExplicit(const TvmSidExplicit& value) {
  if (value.SubAuthorityCount > SID_MAX_SUB_AUTHORITIES) throw Exception("Too many SubAuthorities");
  Invalidate();
  explicit_ = value;
  explicitReady_ = true;
  source_ = ssData;
}

// ------------------------------------------------------------ reads

std::string TvmSidCenter::SidString() {
  if (!stringReady_) {
    try {
      EnsureExplicit();
      FormatSidString();
    } catch (const std::exception&) {
      return std::string();
    }
  }
  return sidString_;
}

bool TvmSidCenter::EnsureNamePair() {
  if (nameReady_) return true;
  try {
    EnsureExplicit();
    ExplicitToSid();
    LookupSid();
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

std::string TvmSidCenter::Domain() { return EnsureNamePair() ? domain_ : std::string(); }

std::string TvmSidCenter::UserName() { return EnsureNamePair() ? userName_ : std::string(); }

TvmWellKnownSid TvmSidCenter::WellKnown() {
  if (!wellKnownReady_) {
    EnsureExplicit();
    wellKnown_ = Recognise();
    wellKnownReady_ = true;
  }
  return wellKnown_;
}

PSID TvmSidCenter::GetSid() {
  if (!sidReady_) {
    EnsureExplicit();
    ExplicitToSid();
    sidReady_ = true;
  }
  return sid_.get();
}

TvmSidExplicit TvmSidCenter::Explicit() {
  EnsureExplicit();
  return explicit_;
}

bool TvmSidCenter::SidStringStored() const { return source_ == ssString; }

bool TvmSidCenter::DomainStored() const {
  return source_ == ssName ||
         (source_ == ssWellKnown && wellKnown_ >= wkAdmin && wellKnown_ <= wkGuestsGroup);
}

bool TvmSidCenter::UserNameStored() const { return source_ == ssName; }

void TvmSidCenter::EnsureExplicit() {
  if (explicitReady_) return;
  switch (source_) {
    case ssName:
      LookupName();
      SidToExplicit();
      break;
    case ssSID:
      SidToExplicit();
      break;
    case ssString:
      ParseSidString();
      break;
    case ssWellKnown:
      BuildWellKnown();
      break;
    case ssAccount:
      LookupTyped();
      SidToExplicit();
      break;
    case ssNone:
    case ssData:
      break;
  }
  explicitReady_ = true;
}

// ------------------------------------------------------------ lookups

namespace {

// Account names compare without regard to case.
bool SameName(const std::string& a, const std::string& b) {
  return tavrin::platform::text::UpperKey(a) == tavrin::platform::text::UpperKey(b);
}

}  // namespace

// The system name of the lookups: none (this computer) when Server is empty.
LPCSTR TvmSidCenter::SystemName() const { return server_.empty() ? nullptr : server_.c_str(); }

void TvmSidCenter::LookupName() {
  if (!nameReady_) throw Exception("Name is not ready");

  std::string account;
  if (domain_.empty() && userName_.empty()) {
    char computer[65] = {};
    DWORD size = 64;
    if (!GetComputerNameA(computer, &size)) {
      errors_.push_back(LastWin32ErrorMessage());
      throw EAbort();
    }
    computer[64] = '\0';
    account = computer;
  } else if (domain_.empty()) {
    account = ".\\" + userName_;
  } else if (userName_.empty() || SameName(userName_, domain_)) {
    // A domain is named by its name alone: the system names a domain's SID
    // "DOMAIN\DOMAIN", which no name lookup accepts.
    account = domain_;
  } else {
    account = domain_ + "\\" + userName_;
  }

  LookupAccount(account, true);
}

void TvmSidCenter::LookupTyped() {
  const bool bare = account_.find('\\') == std::string::npos;
  if (bare && !qualifier_.empty() && LookupAccount(qualifier_ + "\\" + account_, false)) return;
  LookupAccount(account_, true);
}

bool TvmSidCenter::LookupAccount(const std::string& account, bool last) {
  sid_ = {};
  const LPCSTR systemName = SystemName();
  char referencedDomain[65] = {};
  DWORD domainSize = 64;
  SID_NAME_USE use = SidTypeUnknown;
  DWORD length = 0;
  if (!LookupAccountNameCached(systemName, account.c_str(), nullptr, &length, referencedDomain,
                               &domainSize, &use) &&
      GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    TSid block(length);
    domainSize = 64;
    if (LookupAccountNameCached(systemName, account.c_str(), block.get(), &length, referencedDomain,
                                &domainSize, &use)) {
      sid_ = std::move(block);
      sidReady_ = true;
      lookupError_ = 0;
      return true;
    }
  }
  lookupError_ = GetLastError();
  if (!last) return false;
  errors_.push_back(Win32ErrorMessage(lookupError_));
  throw EAbort();
}

void TvmSidCenter::LookupSid() {
  if (!sidReady_) throw Exception("SID is not ready");
  if (nameReady_) return;
  if (!sid_) throw EAbort();

  char name[129] = {};
  char domain[65] = {};
  DWORD nameSize = 128;
  DWORD domainSize = 64;
  SID_NAME_USE use = SidTypeUnknown;
  if (!LookupAccountSidA(SystemName(), sid_.get(), name, &nameSize, domain, &domainSize, &use))
    throw EAbort();
  name[128] = '\0';
  domain[64] = '\0';
  userName_ = name;
  domain_ = domain;
  nameReady_ = true;
}
