// The SID center: one account's security identifier in all its forms (name
// pair, binary SID, explicit data, text form, well-known kind, the account
// as a user types it), each computed on demand from the form that was given
// and cached until the next write.
// Names are resolved against the computer named by Server.
//
// The unit also holds the well-known SIDs and the per-server lookup cache of
// well-known accounts (see Velmar_SidCenterCache.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/Velmar_CenterUtils.h"
#include "base/Velmar_Component.h"
#include "platform/win32api.h"

// The principals the SID center can build by kind. The ordinals are fixed:
// 19 to 23 are relative to an account domain, 24 to 32 the built-in aliases.
enum TvmWellKnownSid : uint8_t {
  wkOther,               // not a well-known SID
  wkCurrentUser,         // the user of the running process's token
  wkNull,                // S-1-0-0
  wkWorld,               // S-1-1-0
  wkLocal,               // S-1-2-0
  wkCreatorOwner,        // S-1-3-0
  wkCreatorGroup,        // S-1-3-1
  wkCreatorOwnerServer,  // S-1-3-2
  wkCreatorGroupServer,  // S-1-3-3
  wkDialup,              // S-1-5-1
  wkNetwork,             // S-1-5-2
  wkBatch,               // S-1-5-3
  wkInteractive,         // S-1-5-4
  wkService,             // S-1-5-6
  wkAnonymous,           // S-1-5-7
  wkProxy,               // S-1-5-8
  wkBuildIn,             // S-1-5-32, the built-in domain itself
  wkAuthenticated,       // S-1-5-11
  wkLocalSystem,         // S-1-5-18
  wkAdmin,               // domain-500
  wkGuest,               // domain-501
  wkAdminsGroup,         // domain-512
  wkUsersGroup,          // domain-513
  wkGuestsGroup,         // domain-514
  wkAdminsAlias,         // S-1-5-32-544
  wkUsersAlias,          // S-1-5-32-545
  wkGuestsAlias,         // S-1-5-32-546
  wkPowerUsersAlias,     // S-1-5-32-547
  wkAccountOpsAlias,     // S-1-5-32-548
  wkSystemOpsAlias,      // S-1-5-32-549
  wkPrintOpsAlias,       // S-1-5-32-550
  wkBackupOpsAlias,      // S-1-5-32-551
  wkReplicatorAlias,     // S-1-5-32-552
};

constexpr int WellKnownSidCount = 33;

// The form in which a SID center's SID was given.
enum TvmSidSource : uint8_t {
  ssNone,       // nothing given: the explicit data is used as it stands
  ssName,       // the name pair Domain and UserName
  ssSID,        // a binary SID, through SetSid
  ssData,       // the explicit data, through SetExplicit
  ssString,     // the text form SidString
  ssWellKnown,  // the WellKnown value
  ssAccount,    // an account as a user types it, through SetAccount
};

// The identifier authorities of the well-known SIDs (6 bytes, most
// significant first).
constexpr SID_IDENTIFIER_AUTHORITY NullSidAuthority = {{0, 0, 0, 0, 0, 0}};
constexpr SID_IDENTIFIER_AUTHORITY WorldSidAuthority = {{0, 0, 0, 0, 0, 1}};
constexpr SID_IDENTIFIER_AUTHORITY LocalSidAuthority = {{0, 0, 0, 0, 0, 2}};
constexpr SID_IDENTIFIER_AUTHORITY CreatorSidAuthority = {{0, 0, 0, 0, 0, 3}};
constexpr SID_IDENTIFIER_AUTHORITY NonUniqueAuthority = {{0, 0, 0, 0, 0, 4}};
constexpr SID_IDENTIFIER_AUTHORITY NtAuthority = {{0, 0, 0, 0, 0, 5}};

// The SID unpacked: the fields of the binary SID with room for sixteen
// sub-authorities (a valid SID uses at most fifteen).
struct TvmSidExplicit {
  BYTE Revision = 0;
  BYTE SubAuthorityCount = 0;
  SID_IDENTIFIER_AUTHORITY IdentifierAuthority = {{0, 0, 0, 0, 0, 0}};
  DWORD SubAuthority[16] = {};
};

class TvmSidCenter : public TComponent {
 public:
  explicit TvmSidCenter(TComponent* owner = nullptr);
  ~TvmSidCenter() override;

  // ------------------------------------------------------- published
  // The computer whose account database resolves names; empty: this one.
  const std::string& Server() const { return server_; }
  void SetServer(const std::string& value);

  // The text form ("S-1-5-32-544"). Reading never raises: a SID that cannot
  // be computed reads as the empty text.
  std::string SidString();
  void SetSidString(const std::string& value);

  // The name pair. Reading never raises: a SID the server cannot name reads
  // as empty texts. A write of Domain keeps the name pair and the given form
  // and discards the other forms.
  std::string Domain();
  void SetDomain(const std::string& value);
  std::string UserName();
  void SetUserName(const std::string& value);

  // The well-known kind. Reading recognises the current SID (wkOther for any
  // other SID); failures to compute the SID pass to the caller.
  TvmWellKnownSid WellKnown();
  void SetWellKnown(TvmWellKnownSid value);

  // An account as a user types it. A SID text (see IsSidText) is given as
  // SidString. A name is looked up on Server when the SID is first needed:
  // "DOMAIN\name" as it stands; a bare name first qualified with
  // `qualifier` (when there is one) and then as it stands, which is how the
  // system finds "Everyone" or "Administrators". The name pair then reads
  // as the server names the account.
  void SetAccount(const std::string& text, const std::string& qualifier = {});
  // Whether an account text is a SID text: "S-" and more.
  static bool IsSidText(const std::string& text);
  // Why the last name look-up failed: the system error code; 0 when it
  // found the account or none was made since the last write.
  DWORD LookupError() const { return lookupError_; }

  // The form that was given.
  TvmSidSource Source() const { return source_; }
  void SetSource(TvmSidSource value);

  // Whether a form storing the component keeps the property.
  bool SidStringStored() const;
  bool DomainStored() const;
  bool UserNameStored() const;

  // ------------------------------------------------------- public
  // The binary SID: a pointer into the component's own block (none when
  // there is none), valid until the next write or the destruction.
  // Failures pass to the caller (the silent abort after a failed lookup).
  PSID GetSid();
  PSID Sid() { return GetSid(); }
  // Copies the SID given; none gives no SID. A malformed SID raises
  // EWin32Error and leaves the component with nothing given.
  void SetSid(PSID value);
  // The length in bytes of the block GetSid hands out (after GetSid).
  DWORD SidLength() const { return sid_.Length(); }

  // The explicit data, computed like GetSid; the write gives it as the SID.
  TvmSidExplicit Explicit();
  void SetExplicit(const TvmSidExplicit& value);

  // The texts of the failed conversions and lookups since the last write.
  const std::vector<std::string>& Errors() const { return errors_; }

  // The readiness marks, for those who want to know what is cached.
  bool StringReady() const { return stringReady_; }
  bool ExplicitReady() const { return explicitReady_; }
  bool NameReady() const { return nameReady_; }
  bool SidReady() const { return sidReady_; }
  bool WellKnownReady() const { return wellKnownReady_; }

 private:
  void Invalidate();
  void MarkGivenForm();
  void EnsureExplicit();
  [[noreturn]] void ParseError(const char* message, const std::string& argument);

  // Conversions between the forms.
  void ParseSidString();
  void FormatSidString();
  void ExplicitToSid();
  void SidToExplicit();
  void BuildWellKnown();
  void BuildDomainRelative(DWORD rid);
  TvmWellKnownSid Recognise() const;
  void LookupName();
  void LookupTyped();
  // Looks an account text up on Server into the SID block. When the system
  // cannot: false with the code in LookupError, or when it was the `last`
  // try, also the message in Errors and the silent abort.
  bool LookupAccount(const std::string& account, bool last);
  void LookupSid();
  // Looks the name pair up from the SID unless it is ready; false when that
  // failed (the failure is in Errors).
  bool EnsureNamePair();
  LPCSTR SystemName() const;

  std::string server_;
  TvmSidSource source_ = ssNone;
  bool stringReady_ = false;
  std::string sidString_;
  bool explicitReady_ = false;
  TvmSidExplicit explicit_;
  bool nameReady_ = false;
  std::string domain_;
  std::string userName_;
  bool sidReady_ = false;
  TSid sid_;
  bool wellKnownReady_ = false;
  TvmWellKnownSid wellKnown_ = wkOther;
  std::string account_;
  std::string qualifier_;
  DWORD lookupError_ = 0;
  std::vector<std::string> errors_;
};

// The user SID of the running process's access token; none outside the NT
// family. A failing token function
// appends its message to `errors` and raises the silent abort.
TSid CurrentUserSid(std::vector<std::string>& errors);
