// The account list behind the account picker: the well-known accounts, the
// users, the local groups and the global groups of one computer or domain,
// each resolved through a private SID center, listed once, filtered by kind.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "pickers/Velmar_SidRes.h"
#include "sid/Velmar_SidCenter.h"

class TvmUserList {
 public:
  TvmUserList();
  ~TvmUserList();
  TvmUserList(const TvmUserList&) = delete;
  TvmUserList& operator=(const TvmUserList&) = delete;

  // The kinds the picker lists when nothing else is said.
  static constexpr TvmSidTypes DefaultFilter() {
    return {stUser, stGroup, stDomain, stAlias, stWellKnownGroup, stDeletedAccount};
  }

  // The domain the candidates are qualified with.
  const std::string& Domain() const { return domain_; }
  void SetDomain(const std::string& value) { domain_ = value; }
  // The computer whose accounts are listed; empty: this computer.
  const std::string& Server() const { return server_; }
  void SetServer(const std::string& value) { server_ = value; }
  // The kinds listed. Setting it drops the entries (the caller fills again).
  TvmSidTypes Filter() const { return filter_; }
  void SetFilter(TvmSidTypes value);
  // Whether the shown texts carry the domain ("DOMAIN\name").
  bool ShowFullName() const { return showFullName_; }
  void SetShowFullName(bool value) { showFullName_ = value; }

  // Fills the list from scratch. Never raises: every failure is a line in
  // Errors.
  void Fill();
  // Drops every entry and the errors.
  void Clear();

  int Count() const { return static_cast<int>(entries_.size()); }
  // The entry at a position; none outside the list.
  const TvmUserInfo* UserInfo(int index) const;
  // The shown text of an entry: its name, or domain, "\" and name.
  std::string ItemText(int index) const;
  // The image number for an external image list: 0 to 31 for the
  // well-known values wkCurrentUser to wkReplicatorAlias, 32 and on for the
  // kinds of the other accounts; -1 outside the list.
  int ImageIndex(int index) const;
  // The failure texts of the last fill, oldest first.
  const std::vector<std::string>& Errors() const { return errors_; }

 private:
  // Adds the account the SID center holds, unless it is unnamed, listed
  // already, not named by the server or of a kind the filter leaves out.
  void AddCandidate();
  // Adds every enumerated name of one step; returns the failing status.
  using Enumeration = NET_API_STATUS (*)(const std::string&,
                                         const std::function<void(const std::string&)>&);
  void AddEnumerated(Enumeration enumerate);
  static std::string DuplicateKey(const std::string& name, const std::string& sidString);

  std::string domain_;
  std::string server_;
  std::unique_ptr<TvmSidCenter> center_;
  TvmSidTypes filter_ = DefaultFilter();
  std::vector<std::unique_ptr<TvmUserInfo>> entries_;
  // Name and SID text, folded to upper case, of every entry: the entries
  // with that key (equal in case-folded form; confirmed with lstrcmpiA).
  std::unordered_multimap<std::string, size_t> keys_;
  bool showFullName_ = false;
  std::vector<std::string> errors_;
};
