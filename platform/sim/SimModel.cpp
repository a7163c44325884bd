// The model of the simulated network: building it from a description, and
// resolving names and SIDs as one computer's account lookups do.
#include "platform/sim/SimModel.h"

#include <algorithm>
#include <cstdio>
#include <thread>

namespace tavrin::sim::detail {
namespace {

[[noreturn]] void Fail(const std::string& path, const std::string& problem) {
  throw NetworkDescriptionError(path + ": " + problem);
}

// Name limits, in characters: NetBIOS names (computers and domains) have 15,
// the account database takes user names of 20 and group names of 256.
constexpr size_t kNetBiosNameLength = MAX_COMPUTERNAME_LENGTH;
constexpr size_t kUserNameLength = 20;
constexpr size_t kGroupNameLength = 256;
// The characters Windows refuses in account names; computer names refuse
// spaces too.
constexpr const char* kForbidden = "\"/\\[]:;|=,+*?<>";

// Refuses a name Windows would not take: empty, not UTF-8, too long, with a
// control character or a forbidden one, or made only of periods and spaces.
void CheckName(const std::string& name, const std::string& path, size_t limit,
               const std::string& forbidden = kForbidden) {
  if (name.empty()) Fail(path, "missing name");
  const std::string tooLong = " is longer than " + std::to_string(limit) + " characters";
  // Beyond 4 bytes a character, a name is too long whatever it holds.
  if (name.size() > 4 * limit) Fail(path, Quoted(name) + tooLong);
  bool invalid = false;
  const std::u32string chars = DecodeUtf8(name, &invalid);
  if (invalid) Fail(path, Quoted(name) + " is not valid UTF-8");
  if (chars.size() > limit) Fail(path, Quoted(name) + tooLong);
  bool dotsAndSpaces = true;
  for (char32_t c : chars) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
      Fail(path, Quoted(name) + " contains a control character");
    if (c < 0x80 && forbidden.find(static_cast<char>(c)) != std::string::npos)
      Fail(path, Quoted(name) + " contains '" + static_cast<char>(c) +
                     "', which Windows does not allow in a name");
    dotsAndSpaces = dotsAndSpaces && (c == '.' || c == ' ');
  }
  if (dotsAndSpaces) Fail(path, Quoted(name) + " is made only of periods and spaces");
}

// ---------------------------------------------------------------- well-known names
struct WellKnownEntry {
  const char* sid;
  const char* name;
  const char* domain;
  SID_NAME_USE use;
};

const WellKnownEntry kWellKnown[] = {
    {"S-1-0-0", "NULL SID", "", SidTypeWellKnownGroup},
    {"S-1-1-0", "Everyone", "", SidTypeWellKnownGroup},
    {"S-1-2-0", "LOCAL", "", SidTypeWellKnownGroup},
    {"S-1-3-0", "CREATOR OWNER", "", SidTypeWellKnownGroup},
    {"S-1-3-1", "CREATOR GROUP", "", SidTypeWellKnownGroup},
    {"S-1-3-2", "CREATOR OWNER SERVER", "", SidTypeWellKnownGroup},
    {"S-1-3-3", "CREATOR GROUP SERVER", "", SidTypeWellKnownGroup},
    {"S-1-5-1", "DIALUP", "NT AUTHORITY", SidTypeWellKnownGroup},
    {"S-1-5-2", "NETWORK", "NT AUTHORITY", SidTypeWellKnownGroup},
    {"S-1-5-3", "BATCH", "NT AUTHORITY", SidTypeWellKnownGroup},
    {"S-1-5-4", "INTERACTIVE", "NT AUTHORITY", SidTypeWellKnownGroup},
    {"S-1-5-6", "SERVICE", "NT AUTHORITY", SidTypeWellKnownGroup},
    {"S-1-5-7", "ANONYMOUS LOGON", "NT AUTHORITY", SidTypeWellKnownGroup},
    {"S-1-5-8", "PROXY", "NT AUTHORITY", SidTypeWellKnownGroup},
    {"S-1-5-11", "Authenticated Users", "NT AUTHORITY", SidTypeWellKnownGroup},
    {"S-1-5-18", "SYSTEM", "NT AUTHORITY", SidTypeWellKnownGroup},
    {"S-1-5-32", "BUILTIN", "BUILTIN", SidTypeDomain},
    {"S-1-5-32-544", "Administrators", "BUILTIN", SidTypeAlias},
    {"S-1-5-32-545", "Users", "BUILTIN", SidTypeAlias},
    {"S-1-5-32-546", "Guests", "BUILTIN", SidTypeAlias},
    {"S-1-5-32-547", "Power Users", "BUILTIN", SidTypeAlias},
    {"S-1-5-32-548", "Account Operators", "BUILTIN", SidTypeAlias},
    {"S-1-5-32-549", "Server Operators", "BUILTIN", SidTypeAlias},
    {"S-1-5-32-550", "Print Operators", "BUILTIN", SidTypeAlias},
    {"S-1-5-32-551", "Backup Operators", "BUILTIN", SidTypeAlias},
    {"S-1-5-32-552", "Replicator", "BUILTIN", SidTypeAlias},
};

struct WellKnownIndex {
  std::unordered_map<std::string, const WellKnownEntry*> bySid;
  std::unordered_map<std::string, const WellKnownEntry*> byName;  // bare upper-case name
  std::unordered_map<std::string, SidBytes> sids;
};

const WellKnownIndex& WellKnown() {
  static const WellKnownIndex index = [] {
    WellKnownIndex ix;
    for (const auto& e : kWellKnown) {
      ix.bySid.emplace(e.sid, &e);
      ix.byName.emplace(UpperKey(e.name), &e);
      SidBytes b;
      ParseSidText(e.sid, b);
      ix.sids.emplace(e.sid, b);
    }
    return ix;
  }();
  return index;
}

void FromWellKnown(const WellKnownEntry& e, Resolved& out) {
  out.sid = WellKnown().sids.at(e.sid);
  out.name = e.name;
  out.domain = e.domain;
  out.use = e.use;
}

uint32_t Fnv(const std::string& s) {
  uint32_t h = 2166136261u;
  for (unsigned char c : s) h = (h ^ c) * 16777619u;
  return h;
}

// The account databases a computer's lookups reach: its own, and its
// domain's when it is a member and a controller answers.
const AccountDb* DomainDbOf(const Model& m, const Computer& c) {
  if (c.role == Role::DomainController || c.domain < 0) return nullptr;
  const Domain& d = m.domains[c.domain];
  if (d.workgroup || d.db < 0) return nullptr;
  for (int dc : d.controllers)
    if (m.computers[dc].answers) return &m.dbs[d.db];
  return nullptr;
}

void AccountResult(const AccountDb& db, const Account& a, Resolved& out) {
  out.sid = db.sid;
  out.sid[1] = static_cast<uint8_t>(out.sid[1] + 1);
  const uint32_t rid = a.rid;
  const uint8_t* r = reinterpret_cast<const uint8_t*>(&rid);
  out.sid.insert(out.sid.end(), r, r + 4);
  out.name = a.name;
  out.domain = db.name;
  out.use = a.kind == AccountKind::User          ? SidTypeUser
            : a.kind == AccountKind::GlobalGroup ? SidTypeGroup
                                                 : SidTypeAlias;
}

void DbResult(const AccountDb& db, Resolved& out) {
  out.sid = db.sid;
  out.name = db.name;  // an account domain is named after itself
  out.domain = db.name;
  out.use = SidTypeDomain;
}

bool FindInDb(const AccountDb& db, const std::string& upperName, Resolved& out) {
  auto it = db.byName.find(upperName);
  if (it == db.byName.end()) return false;
  AccountResult(db, db.accounts[it->second], out);
  return true;
}

}  // namespace

// ---------------------------------------------------------------- messages

std::string Shown(std::string_view text, size_t limit) {
  // Only the start is decoded: a text may be hundreds of megabytes.
  size_t cut = std::min(text.size(), 4 * limit);
  for (int back = 0;
       back < 3 && cut > 0 && cut < text.size() && (static_cast<uint8_t>(text[cut]) & 0xC0) == 0x80;
       ++back)
    --cut;  // not inside a character
  const std::u32string chars = DecodeUtf8(text.substr(0, cut));
  std::string out;
  for (size_t i = 0; i < chars.size() && i < limit; ++i) {
    const char32_t c = chars[i];
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
      out += escape;
    } else {
      AppendUtf8(out, c);
    }
  }
  if (chars.size() > limit || cut < text.size()) out += "...";
  return out;
}

std::string Quoted(std::string_view text) { return "'" + Shown(text) + "'"; }

// ---------------------------------------------------------------- building

void BuildModel(const NetworkSpec& description, Model& m) {
  m = Model{};
  m.description = description;
  m.platformId = description.platformId;
  m.browserAnswers = description.browserAnswers;
  if (description.latency.count() < 0) Fail("latency", "must not be negative");
  if (description.timeout.count() < 0) Fail("timeout", "must not be negative");

  for (size_t i = 0; i < description.domains.size(); ++i) {
    const DomainSpec& ds = description.domains[i];
    const std::string path = "domains[" + std::to_string(i) + "]";
    CheckName(ds.name, path + ".name", kNetBiosNameLength);
    Domain d;
    d.name = ds.name;
    d.upper = UpperKey(ds.name);
    d.workgroup = ds.workgroup;
    d.listed = ds.listed;
    if (!m.domainByName.emplace(d.upper, static_cast<int>(m.domains.size())).second)
      Fail(path + ".name", "duplicate domain " + Quoted(ds.name));
    m.domains.push_back(std::move(d));
  }

  // Computers, their memberships and machine SIDs.
  std::unordered_map<std::string, std::string> sidOwner;  // machine SID -> path
  for (size_t i = 0; i < description.computers.size(); ++i) {
    const ComputerSpec& cs = description.computers[i];
    const std::string path = "computers[" + std::to_string(i) + "]";
    CheckName(cs.name, path + ".name", kNetBiosNameLength, std::string(kForbidden) + " ");
    Computer c;
    c.name = cs.name;
    c.upper = UpperKey(cs.name);
    c.role = cs.role;
    c.answers = cs.answers;
    c.policyDenied = cs.policyDenied;
    c.listed = cs.listed;
    if (m.domainByName.count(c.upper))
      Fail(path + ".name", Quoted(cs.name) + " is already a domain's name");
    if (!m.computerByName.emplace(c.upper, static_cast<int>(m.computers.size())).second)
      Fail(path + ".name", "duplicate computer " + Quoted(cs.name));
    if (!cs.domain.empty()) {
      auto it = m.domainByName.find(UpperKey(cs.domain));
      if (it == m.domainByName.end())
        Fail(path + ".domain", Quoted(cs.domain) + " is not among domains");
      c.domain = it->second;
    }
    if (cs.role == Role::DomainController && (c.domain < 0 || m.domains[c.domain].workgroup))
      Fail(path + ".role", "a domain controller must belong to a domain (not a workgroup)");

    SidBytes sid;
    std::string sidText = cs.machineSid;
    if (sidText.empty()) {
      Domain* d = c.domain >= 0 ? &m.domains[c.domain] : nullptr;
      if (cs.role == Role::DomainController && d->db >= 0) {
        sidText = m.dbs[d->db].sidText;
      } else {
        sidText = "S-1-5-21-" + std::to_string(Fnv(c.upper) % 900000000 + 100000000) + "-" +
                  std::to_string(Fnv(c.upper + "#") % 900000000 + 100000000) + "-" +
                  std::to_string(1000 + i);
      }
    }
    if (!ParseSidText(sidText, sid) || sid[1] != 4 || SidAuthority(sid.data()) != 5 ||
        SidSub(sid.data(), 0) != 21)
      Fail(path + ".machineSid", "bad SID text " + Quoted(sidText) + " (expected S-1-5-21-a-b-c)");
    sidText = SidText(sid.data());

    if (cs.role == Role::DomainController) {
      Domain& d = m.domains[c.domain];
      if (d.db >= 0) {
        if (m.dbs[d.db].sidText != sidText)
          Fail(path + ".machineSid", "controllers of domain " + Quoted(d.name) +
                                         " must share the domain's SID " + m.dbs[d.db].sidText);
        c.db = d.db;
      } else {
        if (sidOwner.count(sidText))
          Fail(path + ".machineSid", sidText + " is already used by " + sidOwner[sidText]);
        sidOwner[sidText] = path;
        AccountDb db;
        db.name = d.name;
        db.sidText = sidText;
        db.sid = sid;
        d.db = c.db = static_cast<int>(m.dbs.size());
        m.dbs.push_back(std::move(db));
      }
      d.controllers.push_back(static_cast<int>(m.computers.size()));
    } else {
      if (sidOwner.count(sidText))
        Fail(path + ".machineSid", sidText + " is already used by " + sidOwner[sidText]);
      sidOwner[sidText] = path;
      AccountDb db;
      db.name = c.name;
      db.sidText = sidText;
      db.sid = sid;
      c.db = static_cast<int>(m.dbs.size());
      m.dbs.push_back(std::move(db));
    }
    if (c.domain >= 0) m.domains[c.domain].members.push_back(static_cast<int>(m.computers.size()));
    m.computers.push_back(std::move(c));
  }

  // Accounts: the implicit ones first, then those described.
  auto addAccount = [&](AccountDb& db, const Account& a, const std::string& path, bool implicit) {
    const std::string key = UpperKey(a.name);
    auto byName = db.byName.find(key);
    auto byRid = db.byRid.find(a.rid);
    if (byName != db.byName.end() && byRid != db.byRid.end() && byName->second == byRid->second &&
        db.accounts[byName->second].kind == a.kind)
      return;  // the same account given twice (an implicit one spelled out)
    if (byName != db.byName.end())
      Fail(path + ".name", "duplicate account " + Quoted(a.name) + " in " + Quoted(db.name));
    if (byRid != db.byRid.end())
      Fail(path + ".rid", "RID " + std::to_string(a.rid) + " of " + Quoted(a.name) +
                              " is already used by " + Quoted(db.accounts[byRid->second].name));
    (void)implicit;
    db.byName.emplace(key, db.accounts.size());
    db.byRid.emplace(a.rid, db.accounts.size());
    db.accounts.push_back(a);
  };
  for (Domain& d : m.domains) {
    if (d.db < 0) continue;
    AccountDb& db = m.dbs[d.db];
    const std::string path = "domains(" + d.name + ")";
    addAccount(db, {"Administrator", AccountKind::User, 500}, path, true);
    addAccount(db, {"Guest", AccountKind::User, 501}, path, true);
    addAccount(db, {"Domain Admins", AccountKind::GlobalGroup, 512}, path, true);
    addAccount(db, {"Domain Users", AccountKind::GlobalGroup, 513}, path, true);
    addAccount(db, {"Domain Guests", AccountKind::GlobalGroup, 514}, path, true);
  }
  for (Computer& c : m.computers) {
    if (c.role == Role::DomainController) continue;
    AccountDb& db = m.dbs[c.db];
    addAccount(db, {"Administrator", AccountKind::User, 500}, c.name, true);
    addAccount(db, {"Guest", AccountKind::User, 501}, c.name, true);
    addAccount(db, {"None", AccountKind::GlobalGroup, 513}, c.name, true);
  }
  for (size_t i = 0; i < description.computers.size(); ++i) {
    const ComputerSpec& cs = description.computers[i];
    AccountDb& db = m.dbs[m.computers[i].db];
    for (size_t j = 0; j < cs.accounts.size(); ++j) {
      const AccountSpec& as = cs.accounts[j];
      const std::string path =
          "computers[" + std::to_string(i) + "].accounts[" + std::to_string(j) + "]";
      CheckName(as.name, path + ".name",
                as.kind == AccountKind::User ? kUserNameLength : kGroupNameLength);
      if (as.rid == 0) Fail(path + ".rid", "missing RID");
      if (WellKnown().byName.count(UpperKey(as.name)))
        Fail(path + ".name", Quoted(as.name) + " is the name of a well-known account");
      addAccount(db, {as.name, as.kind, as.rid}, path, false);
    }
  }
  for (AccountDb& db : m.dbs) {
    std::vector<size_t> order(db.accounts.size());
    for (size_t k = 0; k < order.size(); ++k) order[k] = k;
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return db.accounts[a].rid < db.accounts[b].rid; });
    std::vector<Account> sorted;
    sorted.reserve(order.size());
    for (size_t k : order) sorted.push_back(db.accounts[k]);
    db.accounts = std::move(sorted);
    db.byName.clear();
    db.byRid.clear();
    for (size_t k = 0; k < db.accounts.size(); ++k) {
      db.byName.emplace(UpperKey(db.accounts[k].name), k);
      db.byRid.emplace(db.accounts[k].rid, k);
      auto& list = db.accounts[k].kind == AccountKind::User          ? db.users
                   : db.accounts[k].kind == AccountKind::GlobalGroup ? db.globalGroups
                                                                     : db.localGroups;
      list.push_back(k);
    }
    m.dbBySid.emplace(db.sidText, static_cast<int>(&db - m.dbs.data()));
  }

  // LSA policies.
  const auto& known = KnownRights();
  for (size_t i = 0; i < description.computers.size(); ++i) {
    for (const auto& [sidText, rights] : description.computers[i].rights) {
      const std::string path =
          "computers[" + std::to_string(i) + "].rights[" + Shown(sidText) + "]";
      SidBytes sid;
      if (!ParseSidText(sidText, sid)) Fail(path, "bad SID text " + Quoted(sidText));
      std::vector<std::string>& list = m.computers[i].policy[SidText(sid.data())];
      for (const std::string& r : rights) {
        auto it = known.find(UpperKey(r));
        if (it == known.end()) Fail(path, "unknown right name " + Quoted(r));
        if (std::find(list.begin(), list.end(), it->second) == list.end())
          list.push_back(it->second);
      }
    }
  }

  // This computer and the user running the program.
  auto self = m.computerByName.find(UpperKey(description.thisComputer));
  if (description.thisComputer.empty()) Fail("thisComputer", "missing name");
  if (self == m.computerByName.end())
    Fail("thisComputer", Quoted(description.thisComputer) + " is not among computers");
  m.thisComputer = self->second;
  const Computer& here = m.computers[m.thisComputer];
  std::string user = description.currentUser.empty() ? m.dbs[here.db].name + "\\Administrator"
                                                     : description.currentUser;
  // The token holds the user's SID whether or not a controller answers now.
  const size_t slash = user.find('\\');
  const std::string prefix = slash == std::string::npos ? "." : UpperKey(user.substr(0, slash));
  const std::string uname = UpperKey(slash == std::string::npos ? user : user.substr(slash + 1));
  std::vector<const AccountDb*> dbs = {&m.dbs[here.db]};
  if (here.domain >= 0 && m.domains[here.domain].db >= 0)
    dbs.push_back(&m.dbs[m.domains[here.domain].db]);
  bool found = false;
  for (const AccountDb* db : dbs) {
    if (prefix != "." && prefix != UpperKey(db->name)) continue;
    Resolved r;
    if (FindInDb(*db, uname, r) && r.use == SidTypeUser) {
      m.currentUserSid = r.sid;
      found = true;
      break;
    }
  }
  if (!found)
    Fail("currentUser", Quoted(user) + " is not a user of " + here.name + " or of its domain");
}

// ---------------------------------------------------------------- lookups

bool ResolveName(const Model& m, const Computer& asked, const std::string& accountName,
                 Resolved& out) {
  const AccountDb& own = m.dbs[asked.db];
  const AccountDb* dom = DomainDbOf(m, asked);
  const WellKnownIndex& wk = WellKnown();
  const size_t slash = accountName.find('\\');
  if (slash != std::string::npos) {
    const std::string prefix = UpperKey(accountName.substr(0, slash));
    const std::string name = UpperKey(accountName.substr(slash + 1));
    if (name.empty()) return false;
    if (prefix == "." || prefix == UpperKey(own.name)) return FindInDb(own, name, out);
    if (dom != nullptr && prefix == UpperKey(dom->name)) return FindInDb(*dom, name, out);
    if (prefix == "BUILTIN" || prefix == "NT AUTHORITY") {
      auto it = wk.byName.find(name);
      if (it == wk.byName.end() || UpperKey(it->second->domain) != prefix ||
          it->second->use == SidTypeDomain)
        return false;
      FromWellKnown(*it->second, out);
      return true;
    }
    return false;
  }
  const std::string name = UpperKey(accountName);
  if (name.empty()) return false;
  if (auto it = wk.byName.find(name); it != wk.byName.end()) {
    FromWellKnown(*it->second, out);
    return true;
  }
  if (name == UpperKey(own.name) || name == asked.upper) {
    DbResult(own, out);
    return true;
  }
  if (FindInDb(own, name, out)) return true;
  if (dom != nullptr) {
    if (name == UpperKey(dom->name)) {
      DbResult(*dom, out);
      return true;
    }
    if (FindInDb(*dom, name, out)) return true;
  }
  return false;
}

bool ResolveSid(const Model& m, const Computer& asked, const void* sid, Resolved& out) {
  const std::string text = SidText(sid);
  const WellKnownIndex& wk = WellKnown();
  if (auto it = wk.bySid.find(text); it != wk.bySid.end()) {
    FromWellKnown(*it->second, out);
    return true;
  }
  const uint8_t count = SidSubCount(sid);
  if (SidAuthority(sid) != 5 || count < 4 || count > 5 || SidSub(sid, 0) != 21) return false;
  const AccountDb& own = m.dbs[asked.db];
  const AccountDb* dom = DomainDbOf(m, asked);
  std::string dbText = text;
  if (count == 5) dbText.resize(dbText.rfind('-'));
  const AccountDb* db = nullptr;
  if (dbText == own.sidText)
    db = &own;
  else if (dom != nullptr && dbText == dom->sidText)
    db = dom;
  if (db == nullptr) return false;
  if (count == 4) {
    DbResult(*db, out);
    return true;
  }
  auto it = db->byRid.find(SidSub(sid, 4));
  if (it == db->byRid.end()) return false;
  AccountResult(*db, db->accounts[it->second], out);
  return true;
}

// ---------------------------------------------------------------- state

State& TheState() {
  static State* state = new State;  // lives for the whole process
  return *state;
}

std::unique_lock<std::mutex> LockModel() {
  State& s = TheState();
  std::unique_lock<std::mutex> lock(s.mutex);
  if (!s.installed) {
    BuildModel(BuiltInNetwork(), s.model);
    s.latencyUs = s.model.description.latency.count();
    s.timeoutUs = s.model.description.timeout.count();
    s.installed = true;
  }
  return lock;
}

void NetworkDelay() {
  const int64_t us = TheState().latencyUs.load();
  if (us > 0) std::this_thread::sleep_for(std::chrono::microseconds(us));
}

void NetworkDelay(const char* systemName) {
  if (systemName != nullptr && systemName[0] != 0) NetworkDelay();
}

void NetworkDelay(const WCHAR* serverName) {
  if (serverName != nullptr && serverName[0] != 0) NetworkDelay();
}

void LogCall(State& s, const char* function, std::string target, std::string argument) {
  ++s.callCounts[function];
  // The log keeps the first million calls; the counts keep counting.
  if (s.calls.size() < 1000000)
    s.calls.push_back({function, std::move(target), std::move(argument)});
}

Computer* FindSystem(Model& m, const std::string& systemName, std::string& logged) {
  if (systemName.empty()) {
    logged.clear();
    return &m.computers[m.thisComputer];
  }
  const std::string name = StripBackslashes(systemName);
  logged = name.empty() ? systemName : UpperKey(name);
  if (name.empty()) return nullptr;
  auto it = m.computerByName.find(UpperKey(name));
  return it == m.computerByName.end() ? nullptr : &m.computers[it->second];
}

bool Reachable(const Model& m, const Computer* c) {
  if (c == nullptr) return false;
  return c == &m.computers[m.thisComputer] || c->answers;
}

bool Unanswered(std::unique_lock<std::mutex>& lock, const Model& m, const Computer* c) {
  if (Reachable(m, c)) return false;
  // An unknown name fails at once; a computer that is there but silent
  // keeps the caller waiting.
  const int64_t us = TheState().timeoutUs.load();
  if (c != nullptr && us > 0) {
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::microseconds(us));
  }
  return true;
}

uint32_t EnumFault(const State& s, const std::string& function,
                   std::initializer_list<std::string> targets) {
  if (s.enumFaults.empty()) return 0;
  auto it = s.enumFaults.find({function, ""});
  if (it != s.enumFaults.end()) return it->second;
  for (const std::string& t : targets) {
    if (t.empty()) continue;
    it = s.enumFaults.find({function, UpperKey(t)});
    if (it != s.enumFaults.end()) return it->second;
  }
  return 0;
}

}  // namespace tavrin::sim::detail
