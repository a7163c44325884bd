#include "pickers/Velmar_UsersComboBoxList.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "base/Velmar_CenterUtils.h"
#include "base/Velmar_Net.h"
#include "platform/WideText.h"
#include "sid/Velmar_SidCenterCache.h"

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

std::string Upper(const std::string& text) { return tavrin::platform::text::UpperKey(text); }

bool Stopped(const std::atomic<bool>* stop) { return stop != nullptr && stop->load(); }

// The per-server lookup cache behind the SID center's name look-ups is not
// made for several threads: fills take turns at it.
std::mutex gCacheTurn;

// What one look-up answered: the SID, the name (of a SID look-up), the
// domain part and the use; ok false when the call failed.
struct Answer {
  bool ok = false;
  TSid sid;
  std::string name;
  std::string domain;
  SID_NAME_USE use = SidTypeUnknown;
};

LPCSTR SystemOf(const std::string& server) { return server.empty() ? nullptr : server.c_str(); }

// The account text the SID center looks a name up by: "DOMAIN\name", or
// ".\name" without a domain.
std::string AccountOf(const std::string& domain, const std::string& name) {
  return (domain.empty() ? std::string(".") : domain) + "\\" + name;
}

// A name looked up once, with buffers that hold any SID and the domain part
// the SID center accepts (64 characters). A use left unwritten counts as a
// failure: the caller then resolves the name the SID center's way.
Answer LookUpName(const std::string& server, const std::string& account) {
  Answer answer;
  BYTE sid[SECURITY_MAX_SID_SIZE] = {};
  char domain[kNameCapacity + 1] = {};
  DWORD sidLength = sizeof sid;
  DWORD domainLength = kNameCapacity;
  SID_NAME_USE use = static_cast<SID_NAME_USE>(0);
  if (!LookupAccountNameA(SystemOf(server), account.c_str(), sid, &sidLength, domain, &domainLength,
                          &use) ||
      use == static_cast<SID_NAME_USE>(0) || !IsValidSid(sid))
    return answer;
  domain[kNameCapacity] = '\0';
  answer.ok = true;
  answer.sid = CloneSid(sid);
  answer.domain = domain;
  answer.use = use;
  return answer;
}

// A SID looked up as the SID center looks it up (name 128, domain 64
// characters).
Answer LookUpSid(const std::string& server, TSid sid) {
  Answer answer;
  char name[129] = {};
  char domain[kNameCapacity + 1] = {};
  DWORD nameLength = 128;
  DWORD domainLength = kNameCapacity;
  if (!LookupAccountSidA(SystemOf(server), sid.get(), name, &nameLength, domain, &domainLength,
                         &answer.use))
    return answer;
  name[128] = '\0';
  domain[kNameCapacity] = '\0';
  answer.ok = true;
  answer.sid = std::move(sid);
  answer.name = name;
  answer.domain = domain;
  return answer;
}

// Runs `work` for every index below `count`, on up to LookupThreads threads
// at once, taking no further index once `stop` is set.
void ForEachAtOnce(size_t count, const std::atomic<bool>* stop,
                   const std::function<void(size_t)>& work) {
  std::atomic<size_t> next{0};
  const auto run = [&] {
    for (size_t i = next++; i < count && !Stopped(stop); i = next++) work(i);
  };
  std::vector<std::thread> helpers;
  const size_t wanted = std::min<size_t>(count, TvmUserList::LookupThreads);
  for (size_t t = 1; t < wanted; ++t) {
    try {
      helpers.emplace_back(run);
    } catch (const std::system_error&) {
      break;  // fewer threads do the same work
    }
  }
  run();
  for (std::thread& helper : helpers) helper.join();
}

// The relative identifiers of wkAdmin to wkGuestsGroup.
constexpr DWORD kDomainRids[] = {500, 501, 512, 513, 514};

}  // namespace

TvmUserList::TvmUserList() : center_(std::make_unique<TvmSidCenter>(nullptr)) {}

TvmUserList::~TvmUserList() = default;

void TvmUserList::SetFilter(TvmSidTypes value) {
  filter_ = value;
  entries_.clear();
  keys_.clear();
  nameCounts_.clear();
}

void TvmUserList::Clear() {
  entries_.clear();
  keys_.clear();
  nameCounts_.clear();
  errors_.clear();
}

const TvmUserInfo* TvmUserList::UserInfo(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return entries_[static_cast<size_t>(index)].get();
}

std::string TvmUserList::ItemText(int index) const {
  const TvmUserInfo* entry = UserInfo(index);
  if (entry == nullptr) return {};
  return showFullName_ || Ambiguous(index) ? entry->Domain() + "\\" + entry->Name() : entry->Name();
}

bool TvmUserList::Ambiguous(int index) const {
  const TvmUserInfo* entry = UserInfo(index);
  if (entry == nullptr) return false;
  const auto it = nameCounts_.find(Upper(entry->Name()));
  return it != nameCounts_.end() && it->second > 1;
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

void TvmUserList::TakeFill(TvmUserList& filled) {
  entries_ = std::move(filled.entries_);
  keys_ = std::move(filled.keys_);
  nameCounts_ = std::move(filled.nameCounts_);
  errors_ = std::move(filled.errors_);
  filled.Clear();
}

void TvmUserList::Fill(const std::atomic<bool>* stop) {
  Clear();
  try {
    AddWellKnown(stop);
    AddEnumerated(&VelmarNet::EnumerateUsers, stop);
    AddEnumerated(&VelmarNet::EnumerateLocalGroups, stop);
    try {
      AddEnumerated(&VelmarNet::EnumerateGroups, stop);
    } catch (const std::exception& e) {
      errors_.push_back(e.what());
    }
  } catch (const std::exception& e) {
    errors_.push_back(e.what());
  }
}

void TvmUserList::AddWellKnown(const std::atomic<bool>* stop) {
  // Each value's SID is built here (the five relative to the account domain
  // from one look-up of the domain); then the SIDs are looked up at once.
  // A value that cannot be built or named is left out without a message.
  struct Known {
    TvmWellKnownSid value;
    TSid sid;
  };
  std::vector<Known> known;
  TSid domainRelative;  // wkAdmin's SID; none when it cannot be built
  center_->SetServer(server_);
  for (int value = wkNull; value <= wkReplicatorAlias && !Stopped(stop); ++value) {
    const auto wellKnown = static_cast<TvmWellKnownSid>(value);
    TSid sid;
    if (wellKnown > wkAdmin && wellKnown <= wkGuestsGroup) {
      if (!domainRelative) continue;
      sid = domainRelative;
      const DWORD rid = kDomainRids[wellKnown - wkAdmin];
      std::memcpy(static_cast<BYTE*>(sid.get()) + sid.Length() - sizeof rid, &rid, sizeof rid);
    } else {
      center_->SetDomain(domain_);
      center_->SetWellKnown(wellKnown);
      try {
        const std::lock_guard<std::mutex> turn(gCacheTurn);
        sid = CloneSid(center_->GetSid());
        if (!sid) continue;
      } catch (const std::exception&) {
        continue;
      }
      if (wellKnown == wkAdmin) domainRelative = sid;
    }
    known.push_back({wellKnown, std::move(sid)});
  }

  std::vector<Answer> answers(known.size());
  ForEachAtOnce(known.size(), stop,
                [&](size_t i) { answers[i] = LookUpSid(server_, known[i].sid); });
  for (size_t i = 0; i < known.size() && !Stopped(stop); ++i) {
    Answer& answer = answers[i];
    if (!answer.ok || answer.name.empty()) continue;
    try {
      AddResolved(answer.domain, answer.name, answer.use, answer.sid.get(), known[i].value);
    } catch (const std::exception& e) {
      errors_.push_back(e.what());
    }
  }
}

void TvmUserList::AddEnumerated(Enumeration enumerate, const std::atomic<bool>* stop) {
  if (Stopped(stop)) return;
  std::vector<std::string> names;
  const NET_API_STATUS status =
      enumerate(server_, [&names](const std::string& name) { names.push_back(name); });

  // Every name is looked up once, many at a time; the answers are then
  // taken in the order of the names. A name the system did not map is asked
  // once more the SID center's way; what still fails is an error.
  std::vector<Answer> answers(names.size());
  ForEachAtOnce(names.size(), stop, [&](size_t i) {
    if (!names[i].empty()) answers[i] = LookUpName(server_, AccountOf(domain_, names[i]));
  });
  for (size_t i = 0; i < names.size() && !Stopped(stop); ++i) {
    if (names[i].empty()) continue;
    try {
      Answer& answer = answers[i];
      if (!answer.ok) {
        // Asked again as the SID center asks, through the per-server cache
        // of well-known accounts, which answers some names the system does
        // not map but leaves the use unknown; the SID look-up gives it.
        const std::lock_guard<std::mutex> turn(gCacheTurn);
        BYTE sid[SECURITY_MAX_SID_SIZE] = {};
        char domain[kNameCapacity + 1] = {};
        DWORD sidLength = sizeof sid;
        DWORD domainLength = kNameCapacity;
        SID_NAME_USE use = SidTypeUnknown;
        if (!LookupAccountNameCached(SystemOf(server_), AccountOf(domain_, names[i]).c_str(), sid,
                                     &sidLength, domain, &domainLength, &use)) {
          errors_.push_back(LastWin32ErrorMessage());
          continue;
        }
        if (!LookupDomainAndUse(SystemOf(server_), sid, answer.domain, answer.use)) continue;
        answer.sid = CloneSid(sid);
      }
      AddResolved(answer.domain, names[i], answer.use, answer.sid.get(), wkOther);
    } catch (const std::exception& e) {
      errors_.push_back(e.what());
    }
  }
  if (status != NERR_Success) {
    SetLastError(status);
    errors_.push_back(LastWin32ErrorMessage());
  }
}

bool TvmUserList::Listed(const std::string& name, const std::string& sidString) const {
  const auto [first, last] = keys_.equal_range(DuplicateKey(name, sidString));
  for (auto it = first; it != last; ++it) {
    const TvmUserInfo& entry = *entries_[it->second];
    if (lstrcmpiA(entry.Name().c_str(), name.c_str()) == 0 &&
        lstrcmpiA(entry.SidString().c_str(), sidString.c_str()) == 0)
      return true;
  }
  return false;
}

void TvmUserList::AddResolved(const std::string& domain, const std::string& name, SID_NAME_USE use,
                              PSID sid, TvmWellKnownSid wellKnown) {
  TvmSidCenter center(nullptr);
  center.SetSid(sid);
  const std::string sidString = center.SidString();
  if (Listed(name, sidString)) return;
  const int kind = static_cast<int>(use) - 1;
  if (kind < stUser || kind > stUnknown) return;
  const auto sidType = static_cast<TvmSidType>(kind);
  if (!filter_.Contains(sidType)) return;
  // A SID that is no well-known one is recognised as the SID center would.
  if (wellKnown == wkOther) wellKnown = center.WellKnown();
  entries_.push_back(
      std::make_unique<TvmUserInfo>(domain, name, sidType, sid, sidString, wellKnown));
  keys_.emplace(DuplicateKey(name, sidString), entries_.size() - 1);
  ++nameCounts_[Upper(name)];
}

// ------------------------------------------------------------ TvmUserListFill

struct TvmUserListFill::Shared {
  std::atomic<bool> stop{false};
  std::mutex lock;
  std::condition_variable ended;
  bool cancelled = false;  // under lock
  bool done = false;       // under lock: the thread has ended
  Done onDone;
};

TvmUserListFill::TvmUserListFill(const TvmUserList& settings, Done done)
    : shared_(std::make_shared<Shared>()) {
  shared_->onDone = std::move(done);
  auto list = std::make_unique<TvmUserList>();
  list->SetDomain(settings.Domain());
  list->SetServer(settings.Server());
  list->SetFilter(settings.Filter());
  list->SetShowFullName(settings.ShowFullName());
  std::thread([shared = shared_, list = std::move(list)]() mutable {
    list->Fill(&shared->stop);
    const std::lock_guard<std::mutex> hold(shared->lock);
    if (!shared->cancelled) shared->onDone(std::move(list));
    shared->onDone = nullptr;
    shared->done = true;
    shared->ended.notify_all();
  }).detach();
}

TvmUserListFill::~TvmUserListFill() { Cancel(); }

void TvmUserListFill::Cancel() {
  shared_->stop = true;
  const std::lock_guard<std::mutex> hold(shared_->lock);
  shared_->cancelled = true;
}

bool TvmUserListFill::WaitEnded(int milliseconds) const {
  std::unique_lock<std::mutex> hold(shared_->lock);
  return shared_->ended.wait_for(hold, std::chrono::milliseconds(milliseconds),
                                 [this] { return shared_->done; });
}
