// The source list behind the source picker: this computer, then every
// domain the network browser lists for which a domain controller answers.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/win32api.h"

// The unit's own names: its item class shares its name with the SID
// center's enumeration of given forms.
namespace Velmar_SidSourceComboBox {

// One place whose accounts the account picker can list.
class TvmSidSource {
 public:
  TvmSidSource(const std::string& server, const std::string& domain, int kind)
      : server_(server), domain_(domain), caption_(domain), kind_(kind) {}

  // The computer holding the accounts: empty for this computer, a domain
  // controller's name (without "\\") for a domain.
  const std::string& Server() const { return server_; }
  // This computer's name, or the domain's name.
  const std::string& Domain() const { return domain_; }
  // The shown text, the same as Domain.
  const std::string& Caption() const { return caption_; }
  // 0 this computer, 1 a domain; also the image number.
  int Kind() const { return kind_; }

 private:
  std::string server_;
  std::string domain_;
  std::string caption_;
  int kind_;
};

constexpr int kindComputer = 0;
constexpr int kindDomain = 1;

class TvmSidSourceList {
 public:
  // Fills the list from scratch: this computer first, then the domains in
  // the order the browser lists them. Never raises: a failing domain
  // enumeration keeps what was found so far and notes its text in Errors.
  void Fill();
  void Clear();

  int Count() const { return static_cast<int>(sources_.size()); }
  // The source at a position; none outside the list.
  const TvmSidSource* Sources(int index) const;
  // The failure texts of the last fill.
  const std::vector<std::string>& Errors() const { return errors_; }

 private:
  std::vector<std::unique_ptr<TvmSidSource>> sources_;
  std::vector<std::string> errors_;
};

}  // namespace Velmar_SidSourceComboBox
