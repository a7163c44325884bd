#include "pickers/Velmar_SidSourceComboBoxList.h"

#include "base/Velmar_CenterUtils.h"
#include "base/Velmar_Net.h"

namespace Velmar_SidSourceComboBox {

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
    std::string server;
    if (!VelmarNet::AnyDomainController(domain, server)) return;
    sources_.push_back(std::make_unique<TvmSidSource>(server, domain, kindDomain));
  });
  if (status != NERR_Success) {
    // No browser answering is common: this computer stays listed.
    SetLastError(status);
    errors_.push_back(LastWin32ErrorMessage());
  }
}

}  // namespace Velmar_SidSourceComboBox
