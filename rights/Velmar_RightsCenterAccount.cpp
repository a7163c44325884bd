// TvmAccountRigthsCenter: reading, staging and committing the rights of one
// account on one computer.
#include <cstring>

#include "base/Velmar_CenterUtils.h"
#include "rights/Velmar_LsaApi.h"
#include "rights/Velmar_LsaStringCenter.h"
#include "rights/Velmar_RightsCenter.h"
#include "sid/Velmar_SidCenter.h"

namespace {

// POLICY_LOOKUP_NAMES | POLICY_CREATE_ACCOUNT: enough to read and change
// the rights of an account.
constexpr ACCESS_MASK kPolicyAccess = POLICY_LOOKUP_NAMES | POLICY_CREATE_ACCOUNT;

// Recorded for a read that failed without an LSA status of its own (the SID
// center refused its SID, memory ran out), so that LastStatus never reports
// such a read as a success.
constexpr NTSTATUS kStatusUnsuccessful = static_cast<NTSTATUS>(0xC0000001);

// Whether a list holds a name, compared by the user's locale, case ignored.
bool Contains(const std::vector<std::string>& list, const std::string& name) {
  for (const std::string& line : list)
    if (lstrcmpiA(line.c_str(), name.c_str()) == 0) return true;
  return false;
}

// Frees an array the LSA returned, whatever happens to its reader.
class LsaArray {
 public:
  LsaArray() = default;
  ~LsaArray() {
    if (array_ != nullptr) LsaApi::LsaFreeMemory(array_);
  }
  LsaArray(const LsaArray&) = delete;
  LsaArray& operator=(const LsaArray&) = delete;
  PLSA_UNICODE_STRING* Place() { return &array_; }
  PLSA_UNICODE_STRING Get() const { return array_; }

 private:
  PLSA_UNICODE_STRING array_ = nullptr;
};

}  // namespace

TvmAccountRigthsCenter::TvmAccountRigthsCenter(TComponent* owner)
    : TComponent(owner), serverName_(std::make_unique<TvmLsaUnicodeStringCenter>()) {}

// The loaded SID copy and the policy are released by their owners.
TvmAccountRigthsCenter::~TvmAccountRigthsCenter() = default;

void TvmAccountRigthsCenter::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && sidCenter_ != nullptr &&
      component == static_cast<TComponent*>(sidCenter_))
    SetSidCenter(nullptr);
}

// ---------------------------------------------------------------- properties

std::string TvmAccountRigthsCenter::Server() const { return serverName_->Text(); }

void TvmAccountRigthsCenter::SetServer(const std::string& server) {
  serverName_->SetText(server);
  ClosePolicy();
  // What was read belongs to the previous computer, whatever SID the SID
  // center shows now: drop it outright.
  Forget();
}

void TvmAccountRigthsCenter::SetSidCenter(TvmSidCenter* sidCenter) {
  if (sidCenter_ != sidCenter && sidCenter_ != nullptr) RemoveFreeNotification(sidCenter_);
  sidCenter_ = sidCenter;
  if (sidCenter_ != nullptr) FreeNotification(sidCenter_);
  MarkStale();
}

std::vector<std::string>& TvmAccountRigthsCenter::CurrentAdditional() {
  CurrentPrivileges();
  snapshot_ = currentAdditional_;
  return snapshot_;
}

TvmPrivileges TvmAccountRigthsCenter::NewPrivileges() {
  Normalize();
  return new_;
}

std::vector<std::string>& TvmAccountRigthsCenter::NewAdditional() {
  Normalize();
  return newAdditional_;
}

void TvmAccountRigthsCenter::SetNewAdditional(const std::vector<std::string>& names) {
  if (&names != &newAdditional_) newAdditional_ = names;
  Normalize();
}

void TvmAccountRigthsCenter::SetCommitted(bool committed) {
  if (committed) Commit();
}

// ---------------------------------------------------------------- state

PSID TvmAccountRigthsCenter::DesignatedSid() const {
  return sidCenter_ != nullptr ? sidCenter_->Sid() : nullptr;
}

bool TvmAccountRigthsCenter::IsFresh() const {
  if (!loaded_) return false;
  PSID designated = DesignatedSid();
  if (designated == nullptr || !loadedSid_) return designated == nullptr && !loadedSid_;
  return EqualSid(designated, loadedSid_.get()) != FALSE;
}

void TvmAccountRigthsCenter::MarkStale() {
  if (!IsFresh()) return;
  Forget();
}

void TvmAccountRigthsCenter::MarkFresh() {
  if (IsFresh()) return;
  loadedSid_ = CloneSid(DesignatedSid());
  loaded_ = true;
}

void TvmAccountRigthsCenter::Forget() {
  loaded_ = false;
  loadedSid_ = {};
}

// ---------------------------------------------------------------- the LSA

void TvmAccountRigthsCenter::OpenPolicy() {
  if (policy_.IsOpen()) return;
  PLSA_UNICODE_STRING systemName = Server().empty() ? nullptr : serverName_->Value();
  LSA_OBJECT_ATTRIBUTES attributes;
  std::memset(&attributes, 0, sizeof attributes);
  attributes.Length = sizeof attributes;
  LSA_HANDLE handle = nullptr;
  NTSTATUS status = LsaApi::LsaOpenPolicy(systemName, &attributes, kPolicyAccess, &handle);
  // A failed open leaves no handle to keep, whatever it wrote.
  CheckStatus(status);
  policy_.Reset(handle);
}

void TvmAccountRigthsCenter::ClosePolicy() { policy_.Close(); }

void TvmAccountRigthsCenter::CheckStatus(NTSTATUS status) {
  lastStatus_ = status;
  if (status == 0) return;
  statusChecked_ = true;
  SetLastError(LsaApi::LsaNtStatusToWinError(status));
  RaiseLastWin32Error();
}

// ---------------------------------------------------------------- reading

TvmPrivileges TvmAccountRigthsCenter::CurrentPrivileges() {
  statusChecked_ = false;
  try {
    if (IsFresh()) {
      readFailed_ = false;
      return current_;
    }
    // The cache is replaced from here on, whatever the outcome.
    Forget();
    current_ = TvmPrivileges();
    currentAdditional_.clear();
    readFailed_ = false;

    PSID sid = DesignatedSid();
    if (sid == nullptr) return current_;

    OpenPolicy();
    LsaArray rights;
    ULONG count = 0;
    NTSTATUS status = LsaApi::LsaEnumerateAccountRights(policy_.Get(), sid, rights.Place(), &count);
    if (status == STATUS_OBJECT_NAME_NOT_FOUND) {
      // The account holds no rights there: a successful read. Recorded so
      // that an earlier failure on the same open policy does not linger.
      lastStatus_ = 0;
    } else {
      CheckStatus(status);
    }
    if (rights.Get() != nullptr) {
      TvmLsaUnicodeStringCenter holder;
      for (ULONG i = 0; i < count; ++i) {
        holder.SetValue(&rights.Get()[i]);
        std::string name = holder.Text();
        if (auto right = PrivilegeFromPolicyName(name))
          current_.Include(*right);
        else
          currentAdditional_.push_back(std::move(name));
      }
    }
    MarkFresh();
    return current_;
  } catch (...) {
    ReadFailed();
    return current_;
  }
}

void TvmAccountRigthsCenter::ReadFailed() {
  Forget();
  current_ = TvmPrivileges();
  currentAdditional_.clear();
  readFailed_ = true;
  if (!statusChecked_) lastStatus_ = kStatusUnsuccessful;
}

void TvmAccountRigthsCenter::Normalize() {
  for (size_t i = newAdditional_.size(); i-- > 0;) {
    if (auto right = PrivilegeFromPolicyName(newAdditional_[i])) {
      new_.Include(*right);
      newAdditional_.erase(newAdditional_.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
}

bool TvmAccountRigthsCenter::Committed() {
  try {
    TvmPrivileges current = CurrentPrivileges();
    // What cannot be read cannot be said to be in force.
    if (readFailed_) return false;
    if (current != NewPrivileges()) return false;
    for (const std::string& name : currentAdditional_)
      if (!Contains(newAdditional_, name)) return false;
    for (const std::string& name : newAdditional_)
      if (!Contains(currentAdditional_, name)) return false;
    return true;
  } catch (...) {
    return false;
  }
}

// ---------------------------------------------------------------- committing

void TvmAccountRigthsCenter::WriteRight(bool grant, PSID sid, TvmLsaUnicodeStringCenter& holder,
                                        const std::string& name) {
  holder.SetText(name);
  failedWrite_ = TRightWrite{grant, name};
  NTSTATUS status =
      grant ? LsaApi::LsaAddAccountRights(policy_.Get(), sid, holder.Value(), 1)
            : LsaApi::LsaRemoveAccountRights(policy_.Get(), sid, FALSE, holder.Value(), 1);
  CheckStatus(status);
  lastWrites_.push_back(std::move(*failedWrite_));
  failedWrite_.reset();
}

void TvmAccountRigthsCenter::Commit() {
  lastWrites_.clear();
  failedWrite_.reset();
  if (Committed()) return;
  // Whatever happens below, the next read fetches what is then in force and
  // the commit ends with the policy closed.
  Forget();
  struct CloseAtEnd {
    TLsaPolicy& policy;
    ~CloseAtEnd() { policy.Close(); }
  } closeAtEnd{policy_};

  // Never write from a state that could not be read: rights to revoke would
  // be missed and the commit would look successful.
  if (readFailed_) {
    if (lastStatus_ != 0) CheckStatus(lastStatus_);
    throw EWin32Error(0);
  }
  PSID sid = DesignatedSid();
  if (sid == nullptr) return;
  OpenPolicy();
  TvmLsaUnicodeStringCenter holder;
  for (int ordinal = 0; ordinal < RightCount; ++ordinal) {
    const auto right = static_cast<TvmPrivilege>(ordinal);
    const bool inCurrent = current_.Contains(right);
    const bool inNew = new_.Contains(right);
    if (inNew && !inCurrent) WriteRight(true, sid, holder, PolicyNames[ordinal]);
    if (inCurrent && !inNew) WriteRight(false, sid, holder, PolicyNames[ordinal]);
  }
  for (const std::string& name : newAdditional_)
    if (!Contains(currentAdditional_, name)) WriteRight(true, sid, holder, name);
  for (const std::string& name : currentAdditional_)
    if (!Contains(newAdditional_, name)) WriteRight(false, sid, holder, name);
}
