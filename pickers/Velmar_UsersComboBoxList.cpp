#include "pickers/Velmar_UsersComboBoxList.h"

#include <algorithm>
#include <vector>

#include "pickers/Velmar_Net.h"
#include "rights/Velmar_CenterUtils.h"

namespace {

// Name and domain buffers of the look-up of a candidate's SID: 65
// characters, offered with a capacity of 64 at first.
constexpr DWORD kNameCapacity = 64;

// Looks a SID up on a system (null: this computer) and gives the domain
// part and the kind. A name or domain longer than the first buffers (group
// names run to 256 characters) is asked for again at the lengths the first
// call reported. False when the look-up fails.
bool LookupDomainAndUse(LPCSTR system, PSID sid, std::string& domain, SID_NAME_USE& use) {
  std::vector<char> nameBuffer(kNameCapacity + 1);
  std::vector<char> domainBuffer(kNameCapacity + 1);
  DWORD nameLength = kNameCapacity;
  DWORD domainLength = kNameCapacity;
  for (int attempt = 0;; ++attempt) {
    if (LookupAccountSidA(system, sid, nameBuffer.data(), &nameLength, domainBuffer.data(),
                          &domainLength, &use))
      break;
    if (attempt > 0 || GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
    // The lengths reported count the terminating zero.
    nameBuffer.assign(std::max<size_t>(nameLength, nameBuffer.size()), '\0');
    domainBuffer.assign(std::max<size_t>(domainLength, domainBuffer.size()), '\0');
    nameLength = static_cast<DWORD>(nameBuffer.size());
    domainLength = static_cast<DWORD>(domainBuffer.size());
  }
  domainBuffer.back() = '\0';
  domain = domainBuffer.data();
  return true;
}

std::string Upper(std::string text) {
  if (!text.empty()) CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

}  // namespace

TvmUserList::TvmUserList() : center_(std::make_unique<TvmSidCenter>(nullptr)) {}

TvmUserList::~TvmUserList() = default;

void TvmUserList::SetFilter(TvmSidTypes value) {
  filter_ = value;
  entries_.clear();
  keys_.clear();
}

void TvmUserList::Clear() {
  entries_.clear();
  keys_.clear();
  errors_.clear();
}

const TvmUserInfo* TvmUserList::UserInfo(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return entries_[static_cast<size_t>(index)].get();
}

std::string TvmUserList::ItemText(int index) const {
  const TvmUserInfo* entry = UserInfo(index);
  if (entry == nullptr) return {};
  return showFullName_ ? entry->Domain() + "\\" + entry->Name() : entry->Name();
}

int TvmUserList::ImageIndex(int index) const {
  const TvmUserInfo* entry = UserInfo(index);
  if (entry == nullptr) return -1;
  if (entry->WellKnown() != wkOther) return entry->WellKnown() - 1;
  return static_cast<int>(wkReplicatorAlias) + static_cast<int>(entry->SidType());
}

std::string TvmUserList::DuplicateKey(const std::string& name, const std::string& sidString) {
  return Upper(name) + '\n' + Upper(sidString);
}

void TvmUserList::Fill() {
  Clear();
  try {
    // The well-known accounts, as far as the server names them.
    center_->SetServer(server_);
    for (int value = wkNull; value <= wkReplicatorAlias; ++value) {
      center_->SetDomain(domain_);
      center_->SetWellKnown(static_cast<TvmWellKnownSid>(value));
      AddCandidate();
    }
    AddEnumerated(&VelmarNet::EnumerateUsers);
    AddEnumerated(&VelmarNet::EnumerateLocalGroups);
    try {
      AddEnumerated(&VelmarNet::EnumerateGroups);
    } catch (const std::exception& e) {
      errors_.push_back(e.what());
    }
  } catch (const std::exception& e) {
    errors_.push_back(e.what());
  }
}

void TvmUserList::AddEnumerated(Enumeration enumerate) {
  const NET_API_STATUS status = enumerate(server_, [this](const std::string& name) {
    center_->SetDomain(domain_);
    center_->SetUserName(name);
    AddCandidate();
  });
  if (status != NERR_Success) {
    SetLastError(status);
    errors_.push_back(LastWin32ErrorMessage());
  }
}

void TvmUserList::AddCandidate() {
  // A candidate that cannot be resolved is left out and its failure noted;
  // the accounts after it are still listed.
  try {
    const std::string userName = center_->UserName();
    if (userName.empty()) return;
    const std::string sidString = center_->SidString();

    const std::string key = DuplicateKey(userName, sidString);
    const auto [first, last] = keys_.equal_range(key);
    for (auto it = first; it != last; ++it) {
      const TvmUserInfo& entry = *entries_[it->second];
      if (lstrcmpiA(entry.Name().c_str(), userName.c_str()) == 0 &&
          lstrcmpiA(entry.SidString().c_str(), sidString.c_str()) == 0)
        return;
    }

    PSID sid = center_->GetSid();
    std::string domain;
    SID_NAME_USE use = SidTypeUnknown;
    if (!LookupDomainAndUse(server_.empty() ? nullptr : server_.c_str(), sid, domain, use)) return;

    const int kind = static_cast<int>(use) - 1;
    if (kind < stUser || kind > stUnknown) return;
    const auto sidType = static_cast<TvmSidType>(kind);
    if (!filter_.Contains(sidType)) return;

    entries_.push_back(std::make_unique<TvmUserInfo>(domain, userName, sidType, sid, sidString,
                                                     center_->WellKnown()));
    keys_.emplace(key, entries_.size() - 1);
  } catch (const EAbort& e) {
    // The SID center noted why it gave up; its last note says it best.
    errors_.push_back(center_->Errors().empty() ? e.what() : center_->Errors().back());
  } catch (const std::exception& e) {
    errors_.push_back(e.what());
  }
}
