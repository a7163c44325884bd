#include "pickers/Velmar_UsersComboBoxList.h"

#include "pickers/Velmar_Net.h"
#include "rights/Velmar_CenterUtils.h"

namespace {

// Name and domain buffers of the look-up of a candidate's SID: 65
// characters, offered with a capacity of 64.
constexpr DWORD kNameCapacity = 64;

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
    char name[kNameCapacity + 1] = {};
    char domain[kNameCapacity + 1] = {};
    DWORD nameLength = kNameCapacity;
    DWORD domainLength = kNameCapacity;
    SID_NAME_USE use = SidTypeUnknown;
    if (!LookupAccountSidA(server_.empty() ? nullptr : server_.c_str(), sid, name, &nameLength,
                           domain, &domainLength, &use))
      return;
    name[kNameCapacity] = '\0';
    domain[kNameCapacity] = '\0';

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
