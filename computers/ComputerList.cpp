#include "computers/ComputerList.h"

#include <exception>
#include <thread>

#include "base/Velmar_CenterUtils.h"
#include "base/Velmar_Net.h"

namespace {
// What the scan asks of NetServerEnum: every kind of computer, level 101,
// batches of 4096 bytes.
constexpr DWORD kLevel = 101;
constexpr DWORD kPreferredLength = 4096;
constexpr const char* kErrorPrefix = "Ошибка: ";

std::atomic<int> gAlive{0};
std::function<void()> gStartHook;

// The text of a caught failure.
std::string TextOf(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown failure";
  }
}
}  // namespace

// ---------------------------------------------------------------- thread

std::shared_ptr<TComputerListThread> TComputerListThread::Start(
    std::shared_ptr<TComputerListShared> shared) {
  std::shared_ptr<TComputerListThread> thread(new TComputerListThread(std::move(shared)));
  ++gAlive;
  try {
    if (gStartHook) gStartHook();
    std::thread([self = thread]() mutable {
      self->Run();
      self.reset();  // the last holder frees the thread and, the list gone, the names
      --gAlive;
    }).detach();
  } catch (...) {
    --gAlive;
    throw;
  }
  return thread;
}

int TComputerListThread::Alive() { return gAlive.load(); }

void TComputerListThread::SetStartHook(std::function<void()> hook) { gStartHook = std::move(hook); }

void TComputerListThread::Run() noexcept {
  std::exception_ptr failure;
  try {
    Execute();
  } catch (...) {
    failure = std::current_exception();
  }
  if (!failure) return;
  try {
    const std::string text = kErrorPrefix + TextOf(failure);
    std::lock_guard<std::recursive_mutex> guard(shared_->lock);
    shared_->errorText = text;
    shared_->errorCode = 0;
    shared_->state.store(lsFailed);
  } catch (...) {
    shared_->state.store(lsFailed);  // not even the text could be made
  }
}

bool TComputerListThread::CheckTerminated() {
  if (!Terminated()) return false;
  std::lock_guard<std::recursive_mutex> guard(shared_->lock);
  switch (shared_->state.load()) {
    case lsScanning:
      shared_->state.store(lsDone);
      break;
    case lsStopping:
      shared_->state.store(lsStopped);
      break;
    default:
      shared_->state.store(lsFailed);
      break;
  }
  return true;
}

void TComputerListThread::Fail(uint32_t code) {
  std::lock_guard<std::recursive_mutex> guard(shared_->lock);
  shared_->errorText = kErrorPrefix + SystemErrorText(code);
  shared_->errorCode = code;
  shared_->state.store(lsFailed);
}

void TComputerListThread::Finish(TComputerListState state) {
  std::lock_guard<std::recursive_mutex> guard(shared_->lock);
  shared_->state.store(state);
}

void TComputerListThread::Execute() {
  // A list destroyed (or stopped) before the thread got here calls nothing.
  if (CheckTerminated()) return;
  // The probe tells whether there is anything to list at all; its entries
  // are not used. Every buffer goes before the final state is set.
  DWORD totalEntries = 0;
  NET_API_STATUS status;
  {
    VelmarNet::NetBuffer probe;
    DWORD entriesRead = 0;
    DWORD resume = 0;
    status = VelmarNet::NetServerEnum(nullptr, kLevel, probe.Receive(), kPreferredLength,
                                      &entriesRead, &totalEntries, SV_TYPE_ALL, nullptr, &resume);
  }
  if (status != NERR_Success && status != ERROR_MORE_DATA) return Fail(status);
  if (totalEntries == 0) return Finish(lsDone);
  if (CheckTerminated()) return;

  status = VelmarNet::EnumerateServers(
      kLevel, SV_TYPE_ALL, {kPreferredLength, sizeof(SERVER_INFO_101), true},
      [this](const BYTE* record) {
        const std::string name =
            VelmarNet::FromWide(reinterpret_cast<const SERVER_INFO_101*>(record)->sv101_name);
        std::lock_guard<std::recursive_mutex> guard(shared_->lock);
        shared_->names.push_back(name);
      },
      [this] { return Terminated(); });
  if (status == VelmarNet::EnumerationStopped && CheckTerminated()) return;
  if (status != NERR_Success) return Fail(status);
  Finish(lsDone);
}

// ---------------------------------------------------------------- list

TComputerList::TComputerList(TComponent* owner) : TComponent(owner) {}

TComputerList::~TComputerList() {
  // The thread holds the shared block: it sets its final state there at its
  // next check and frees it.
  Stop();
}

void TComputerList::Scan() {
  std::lock_guard<std::recursive_mutex> guard(shared_->lock);
  if (Running(State())) throw Exception("Invalid state");
  Clear();
  SetState(lsScanning);
  try {
    // The thread's first use of the lock waits until this returns.
    thread_ = TComputerListThread::Start(shared_);
  } catch (...) {
    thread_.reset();
    SetState(lsFailed);
    const std::string text = TextOf(std::current_exception());
    shared_->errorText = kErrorPrefix + text;
    shared_->errorCode = 0;
    throw Exception(text);
  }
}

void TComputerList::Stop() {
  std::lock_guard<std::recursive_mutex> guard(shared_->lock);
  if (!Running(State()) || thread_ == nullptr) return;
  thread_->Terminate();
  SetState(lsStopping);
}

void TComputerList::Clear() {
  std::lock_guard<std::recursive_mutex> guard(shared_->lock);
  if (Running(State())) throw Exception("Invalid state");
  shared_->names.clear();
  SetState(lsIdle);
}

int TComputerList::Count() const {
  std::lock_guard<std::recursive_mutex> guard(shared_->lock);
  return static_cast<int>(shared_->names.size());
}

std::string TComputerList::Names(int index) const {
  std::lock_guard<std::recursive_mutex> guard(shared_->lock);
  return shared_->names.at(static_cast<size_t>(index));
}

uint32_t TComputerList::ErrorCode() const {
  std::lock_guard<std::recursive_mutex> guard(shared_->lock);
  return shared_->errorCode;
}

std::string TComputerList::ErrorText() const {
  std::lock_guard<std::recursive_mutex> guard(shared_->lock);
  return shared_->errorText;
}
