#include "pickers/Velmar_SidSourceComboBoxList.h"

#include "pickers/Velmar_Net.h"
#include "rights/Velmar_CenterUtils.h"

namespace Velmar_SidSourceComboBox {

namespace {

std::string ThisComputerName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  if (!GetComputerNameA(name, &size)) return {};
  name[MAX_COMPUTERNAME_LENGTH] = '\0';
  return name;
}

// A controller's name as NetGetAnyDCName gives it ("\\DC01"), without the
// two leading backslashes.
std::string WithoutUncPrefix(const std::string& name) {
  if (name.size() >= 2 && name[0] == '\\' && name[1] == '\\') return name.substr(2);
  return name;
}

}  // namespace

void TvmSidSourceList::Clear() {
  sources_.clear();
  errors_.clear();
}

const TvmSidSource* TvmSidSourceList::Sources(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return sources_[static_cast<size_t>(index)].get();
}

void TvmSidSourceList::Fill() {
  Clear();
  sources_.push_back(std::make_unique<TvmSidSource>("", ThisComputerName(), kindComputer));

  const NET_API_STATUS status = VelmarNet::EnumerateDomains([this](const std::string& domain) {
    const VelmarNet::WideString wideDomain = VelmarNet::ToWide(domain);
    VelmarNet::NetBuffer controller;
    if (VelmarNet::NetGetAnyDCName(nullptr, wideDomain.c_str(), controller.Receive()) !=
        NERR_Success)
      return;
    const std::string server =
        WithoutUncPrefix(VelmarNet::FromWide(reinterpret_cast<LPCWSTR>(controller.get())));
    sources_.push_back(std::make_unique<TvmSidSource>(server, domain, kindDomain));
  });
  if (status != NERR_Success) {
    // No browser answering is common: this computer stays listed.
    SetLastError(status);
    errors_.push_back(LastWin32ErrorMessage());
  }
}

}  // namespace Velmar_SidSourceComboBox
