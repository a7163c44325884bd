#include "passes/RowWork.h"

#include "pickers/Velmar_Net.h"
#include "rights/Velmar_CenterUtils.h"
#include "rights/Velmar_LsaApi.h"
#include "rights/Velmar_RightsCenter.h"
#include "sid/Velmar_SidCenter.h"

TAccountSid::TAccountSid(PSID sid) {
  if (sid == nullptr || !IsValidSid(sid)) return;
  const auto* first = static_cast<const BYTE*>(sid);
  bytes_.assign(first, first + GetLengthSid(sid));
}

std::string ErrorDescription(DWORD code) {
  std::string text = SystemErrorText(code);
  return text.empty() ? "error " + std::to_string(code) : text;
}

namespace {

// Whether the computer answers; the information returned is not used.
DWORD ServerAnswers(const std::string& name) {
  VelmarNet::WideString wide = VelmarNet::ToWide(name);
  VelmarNet::NetBuffer info;
  return VelmarNet::NetServerGetInfo(wide.data(), 100, info.Receive());
}

std::string StatusDescription(NTSTATUS status) {
  return ErrorDescription(LsaApi::LsaNtStatusToWinError(status));
}

}  // namespace

TRowRead ReadRights(TvmSidCenter& sc, TvmAccountRigthsCenter& arc, const std::string& name,
                    const TAccountSid& account) {
  TRowRead result;
  try {
    if (const DWORD answer = ServerAnswers(name); answer != NERR_Success) {
      result.error = answer;
      result.errorText = ErrorDescription(answer);
      return result;
    }
    if (!account) {
      result.errorText = "no account chosen";
      return result;
    }
    sc.SetSid(account.get());
    arc.SetServer(name);
    result.rights = arc.CurrentPrivileges();
    if (const NTSTATUS status = arc.LastStatus(); status != 0) {
      result.error = LsaApi::LsaNtStatusToWinError(status);
      result.errorText = StatusDescription(status);
      result.rights = TvmPrivileges();
      return result;
    }
    result.failed = false;
  } catch (const std::exception& e) {
    result.errorText = e.what();
  } catch (...) {
    result.errorText = "unknown failure";
  }
  return result;
}

TRowCommit CommitRights(TvmSidCenter& sc, TvmAccountRigthsCenter& arc, const std::string& name,
                        const TAccountSid& account, const TRowCodes& codes,
                        const std::function<bool()>& beforeWrite) {
  TRowCommit result;
  result.codes = codes;
  const auto fail = [&](const std::string& why) {
    result.outcome = TCommitOutcome::Failed;
    result.errorText = why;
    result.codes = FailedRow(codes);
  };
  try {
    if (!account) {
      fail("no account chosen");
      return result;
    }
    sc.SetSid(account.get());
    arc.SetServer(name);
    TvmPrivileges rights = arc.CurrentPrivileges();
    if (const NTSTATUS status = arc.LastStatus(); status != 0) {
      result.errorText = StatusDescription(status);
      return result;  // skipped: the row keeps its marks
    }
    result.before = rights;
    if (!ApplyMarks(codes, rights)) {
      result.errorText = "the computer's rights were not readable";
      return result;
    }
    arc.SetNewPrivileges(rights);
    arc.SetNewAdditional(arc.CurrentAdditional());
    if (arc.Committed()) {
      result.outcome = TCommitOutcome::InForce;
    } else {
      if (beforeWrite && !beforeWrite()) {
        result.outcome = TCommitOutcome::Cancelled;
        result.errorText = "stopped before writing";
        return result;
      }
      arc.Commit();
      if (!arc.Committed()) {
        fail("the computer does not hold the rights written");
        return result;
      }
      result.outcome = TCommitOutcome::Written;
    }
    result.rights = rights;
    result.codes = CommittedRow(rights);
  } catch (const std::exception& e) {
    fail(e.what());
  } catch (...) {
    fail("unknown failure");
  }
  return result;
}
