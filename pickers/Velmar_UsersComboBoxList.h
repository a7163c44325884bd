// The account list behind the account picker: the well-known accounts, the
// users, the local groups and the global groups of one computer or domain,
// each resolved through a private SID center, listed once, filtered by kind.
//
// A fill asks for the enumerations in large batches and looks each
// enumerated name up once (LookupAccountNameA gives the SID, the domain and
// the kind together), many names at a time, so that a domain of thousands of
// accounts costs about one round trip per account spread over
// LookupThreads threads. TvmUserListFill runs a fill on a thread of its own.
#pragma once

#include <atomic>
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

  // How many look-ups a fill has under way at once.
  static constexpr int LookupThreads = 32;

  // Fills the list from scratch. Never raises: every failure is a line in
  // Errors. `stop`, when given, is watched before every remote call: once
  // it is set the fill ends early and leaves the list incomplete.
  void Fill(const std::atomic<bool>* stop = nullptr);
  // Takes the entries and the errors of another list's fill (the settings
  // stay); the other list is left empty.
  void TakeFill(TvmUserList& filled);
  // Drops every entry and the errors.
  void Clear();

  int Count() const { return static_cast<int>(entries_.size()); }
  // The entry at a position; none outside the list.
  const TvmUserInfo* UserInfo(int index) const;
  // The shown text of an entry: its name, or domain, "\" and name when
  // ShowFullName is set or another entry has the same name (in any letter
  // case), so that no two entries look alike.
  std::string ItemText(int index) const;
  // Whether another entry has the name of entry `index`.
  bool Ambiguous(int index) const;
  // The image number for an external image list: 0 to 31 for the
  // well-known values wkCurrentUser to wkReplicatorAlias, 32 and on for the
  // kinds of the other accounts; -1 outside the list.
  int ImageIndex(int index) const;
  // The failure texts of the last fill, oldest first.
  const std::vector<std::string>& Errors() const { return errors_; }

 private:
  // The well-known accounts, as far as the server names them.
  void AddWellKnown(const std::atomic<bool>* stop);
  // Adds an account whose SID, domain and use are known, unless it is listed
  // already or of a kind the filter leaves out; a SID given as wkOther is
  // recognised.
  void AddResolved(const std::string& domain, const std::string& name, SID_NAME_USE use, PSID sid,
                   TvmWellKnownSid wellKnown);
  bool Listed(const std::string& name, const std::string& sidString) const;
  // Adds every enumerated name of one step; a failing status is an error.
  using Enumeration = NET_API_STATUS (*)(const std::string&,
                                         const std::function<void(const std::string&)>&);
  void AddEnumerated(Enumeration enumerate, const std::atomic<bool>* stop);
  static std::string DuplicateKey(const std::string& name, const std::string& sidString);

  std::string domain_;
  std::string server_;
  std::unique_ptr<TvmSidCenter> center_;
  TvmSidTypes filter_ = DefaultFilter();
  std::vector<std::unique_ptr<TvmUserInfo>> entries_;
  // Name and SID text, folded to upper case, of every entry: the entries
  // with that key (equal in case-folded form; confirmed with lstrcmpiA).
  std::unordered_multimap<std::string, size_t> keys_;
  // Name folded to upper case -> how many entries have it.
  std::unordered_map<std::string, int> nameCounts_;
  bool showFullName_ = false;
  std::vector<std::string> errors_;
};

// A fill on a thread of its own, of a list of its own that has the settings
// of the list it was started from. When the fill is complete, `done` is
// called on that thread with the filled list, unless the fill was cancelled
// first. The thread keeps everything it uses; it ends by itself.
class TvmUserListFill {
 public:
  using Done = std::function<void(std::unique_ptr<TvmUserList> filled)>;
  TvmUserListFill(const TvmUserList& settings, Done done);
  // Cancels; does not wait for the thread.
  ~TvmUserListFill();
  TvmUserListFill(const TvmUserListFill&) = delete;
  TvmUserListFill& operator=(const TvmUserListFill&) = delete;

  // The thread stops before its next remote call, and `done` is not called
  // once Cancel has returned (a call under way is waited for).
  void Cancel();
  // Waits for the thread to end, at most `milliseconds`; whether it ended.
  bool WaitEnded(int milliseconds) const;

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};
