#include "computers/ComputerList.h"

#include <thread>

#include "pickers/Velmar_Net.h"
#include "rights/Velmar_CenterUtils.h"

namespace {
// What the scan asks of NetServerEnum: every kind of computer, level 101,
// batches of 4096 bytes.
constexpr DWORD kLevel = 101;
constexpr DWORD kPreferredLength = 4096;
}  // namespace

// ---------------------------------------------------------------- thread

TComputerListThread* TComputerListThread::Start(TComputerList* owner) {
  auto* thread = new TComputerListThread(owner);
  try {
    std::thread([thread] {
      thread->Execute();
      delete thread;
    }).detach();
  } catch (...) {
    delete thread;
    throw;
  }
  return thread;
}

bool TComputerListThread::CheckTerminated() {
  if (!Terminated()) return false;
  buffer_.Release();
  std::lock_guard<std::recursive_mutex> guard(owner_->lock_);
  switch (owner_->State()) {
    case lsScanning:
      owner_->SetState(lsDone);
      break;
    case lsStopping:
      owner_->SetState(lsStopped);
      break;
    default:
      owner_->SetState(lsFailed);
      break;
  }
  return true;
}

void TComputerListThread::Fail(uint32_t status) {
  buffer_.Release();
  const std::string text = "Ошибка: " + SystemErrorText(status);
  std::lock_guard<std::recursive_mutex> guard(owner_->lock_);
  owner_->errorText_ = text;
  owner_->SetState(lsFailed);
}

void TComputerListThread::Finish(TComputerListState state) {
  buffer_.Release();
  std::lock_guard<std::recursive_mutex> guard(owner_->lock_);
  owner_->SetState(state);
}

void TComputerListThread::Execute() {
  DWORD entriesRead = 0;
  DWORD totalEntries = 0;
  DWORD resume = 0;

  // The probe tells whether there is anything to list at all; its entries
  // are not used.
  NET_API_STATUS status =
      VelmarNet::NetServerEnum(nullptr, kLevel, buffer_.Receive(), kPreferredLength, &entriesRead,
                               &totalEntries, SV_TYPE_ALL, nullptr, &resume);
  if (status != NERR_Success && status != ERROR_MORE_DATA) return Fail(status);
  if (totalEntries == 0) return Finish(lsDone);
  if (CheckTerminated()) return;
  buffer_.Release();
  resume = 0;

  DWORD preferredLength = kPreferredLength;
  DWORD skip = 0;   // entries of the next batch already listed
  DWORD taken = 0;  // entries listed by this scan
  for (;;) {
    entriesRead = 0;
    totalEntries = 0;
    const DWORD resumeBefore = resume;
    status = VelmarNet::NetServerEnum(nullptr, kLevel, buffer_.Receive(), preferredLength,
                                      &entriesRead, &totalEntries, SV_TYPE_ALL, nullptr, &resume);
    if (status != NERR_Success && status != ERROR_MORE_DATA) return Fail(status);
    const DWORD count = buffer_.get() != nullptr ? entriesRead : 0;
    // Status 0 says that nothing follows, whatever the total hints.
    const bool last = count == 0 || count == totalEntries || status == NERR_Success;
    for (DWORD i = skip; i < count; ++i) {
      const auto* entry =
          reinterpret_cast<const SERVER_INFO_101*>(buffer_.get() + i * sizeof(SERVER_INFO_101));
      owner_->Add(VelmarNet::FromWide(entry->sv101_name));
      ++taken;
      if (CheckTerminated()) return;
    }
    buffer_.Release();
    if (last) return Finish(lsDone);
    skip = 0;
    if (resume == resumeBefore) {
      // NetServerEnum cannot resume: asked again it gives the same batch
      // for ever. The rest comes in one call of unlimited length.
      if (preferredLength == MAX_PREFERRED_LENGTH) return Fail(ERROR_MORE_DATA);
      preferredLength = MAX_PREFERRED_LENGTH;
      resume = 0;
      skip = taken;
    }
    if (CheckTerminated()) return;
  }
}

// ---------------------------------------------------------------- list

TComputerList::TComputerList(TComponent* owner) : TComponent(owner) {}

TComputerList::~TComputerList() {
  {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (Running(State())) Stop();
  }
  for (;;) {
    TComputerListState state;
    {
      std::lock_guard<std::recursive_mutex> guard(lock_);
      state = State();
    }
    if (!Running(state)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

void TComputerList::Scan() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (Running(State())) throw Exception("Invalid state");
  Clear();
  SetState(lsScanning);
  try {
    thread_ = TComputerListThread::Start(this);
  } catch (const std::system_error& e) {
    thread_ = nullptr;
    errorText_ = std::string("Ошибка: ") + e.what();
    SetState(lsFailed);
    throw Exception(e.what());
  }
}

void TComputerList::Stop() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (!Running(State())) return;
  thread_->Terminate();
  SetState(lsStopping);
}

void TComputerList::Clear() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (Running(State())) throw Exception("Invalid state");
  names_.clear();
  SetState(lsIdle);
}

int TComputerList::Count() const {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return static_cast<int>(names_.size());
}

std::string TComputerList::Names(int index) const {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return names_.at(static_cast<size_t>(index));
}

std::string TComputerList::ErrorText() const {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return errorText_;
}

void TComputerList::Add(const std::string& name) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  names_.push_back(name);
}
