// The names of SIDs met on other computers, kept for the whole run: a list of
// accounts found in many places names each SID once, through a SID center
// asking the computer it was found on, and every later meeting is answered
// from memory without a call.
//
// SIDs are unique across computers and domains, and the well-known and
// built-in ones are named alike everywhere, so the first computer's answer
// serves every other. A SID no computer could name is not kept: the next
// computer asks again. Safe to use from several threads; two threads that
// meet the same SID at once make one look-up between them.
#pragma once

#include <cstddef>
#include <string>

#include "platform/win32api.h"

struct TSidName {
  std::string sid;     // the text form, "S-1-5-32-544"
  std::string domain;  // "BUILTIN"; empty when not named
  std::string name;    // "Administrators"; empty when not named
  bool named = false;
  // "BUILTIN\Administrators", the bare name when the domain is empty, and
  // the SID text when the SID was not named.
  std::string FullName() const;
};

// The name of `sid` as computer `server` (empty: this computer) gives it,
// from the cache when a computer named it before.
TSidName SidNameCached(const std::string& server, PSID sid);

// The look-ups made for the cache since the start (or the last clear).
size_t SidNameLookups();
// Forgets every name kept, and the count.
void SidNameCacheClear();
