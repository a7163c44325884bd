#include "pickers/Velmar_SidRes.h"

#include "base/Velmar_CenterUtils.h"

TvmUserInfo::TvmUserInfo(const std::string& domain, const std::string& name, TvmSidType sidType,
                         PSID sid, const std::string& sidString, TvmWellKnownSid wellKnown)
    : domain_(domain),
      name_(name),
      sidType_(sidType),
      sid_(CloneSid(sid)),
      sidString_(sidString),
      wellKnown_(wellKnown) {}

const char* WellKnownBitmapName(TvmWellKnownSid wellKnown) {
  switch (wellKnown) {
    case wkWorld:
      return "SID_WORLD";
    case wkCreatorOwner:
      return "SID_OWNER";
    case wkDialup:
      return "SID_DIALUP";
    case wkNetwork:
      return "SID_NETWORK";
    case wkBatch:
      return "SID_BATCH";
    case wkInteractive:
      return "SID_INTERACTIVE";
    case wkService:
      return "SID_SERVICE";
    case wkAnonymous:
      return "SID_ANONYMOUS";
    case wkBuildIn:
      return "SID_BUILTIN";
    case wkAuthenticated:
      return "SID_AUTHENTICATED";
    case wkLocalSystem:
      return "SID_SYSTEM";
    case wkAdmin:
      return "SID_ADMIN";
    case wkGuest:
      return "SID_GUEST";
    case wkAdminsGroup:
      return "SID_DOMAIN_ADMINS";
    case wkUsersGroup:
      return "SID_DOMAIN_USERS";
    case wkGuestsGroup:
      return "SID_DOMAIN_GUESTS";
    case wkAdminsAlias:
      return "SID_ADMINS";
    case wkUsersAlias:
      return "SID_USERS";
    case wkGuestsAlias:
      return "SID_GUESTS";
    case wkPowerUsersAlias:
      return "SID_POWER_USERS";
    case wkBackupOpsAlias:
      return "SID_BACKUP";
    case wkReplicatorAlias:
      return "SID_REPLICATOR";
    default:
      return nullptr;
  }
}

const char* SidTypeBitmapName(TvmSidType sidType) {
  switch (sidType) {
    case stUser:
      return "SID_USER";
    case stGroup:
      return "SID_GROUP";
    default:
      return nullptr;
  }
}

const char* SidBitmapName(TvmWellKnownSid wellKnown, TvmSidType sidType) {
  const char* name = WellKnownBitmapName(wellKnown);
  return name != nullptr ? name : SidTypeBitmapName(sidType);
}
