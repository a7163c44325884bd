#include "passes/RowWork.h"

#include "base/Velmar_CenterUtils.h"
#include "base/Velmar_Net.h"
#include "platform/TextSafety.h"
#include "rights/Velmar_LsaApi.h"
#include "rights/Velmar_LsaStringCenter.h"
#include "rights/Velmar_RightsCenter.h"
#include "sid/Velmar_SidCenter.h"
#include "sid/Velmar_SidCenterNames.h"

std::string ErrorDescription(DWORD code) {
  std::string text = OneLine(SystemErrorText(code));
  return text.empty() ? "error " + std::to_string(code) : text;
}

std::string RightNames(TvmPrivileges rights) {
  std::string text;
  for (int ordinal = 0; ordinal < RightCount; ++ordinal) {
    if (!rights.Contains(static_cast<TvmPrivilege>(ordinal))) continue;
    if (!text.empty()) text += ", ";
    text += PolicyNames[ordinal];
  }
  return text;
}

std::string ErrorWithCode(const std::string& text, DWORD code) {
  // "error N", for a code the system has no text for, says it already.
  if (code == 0 || text == "error " + std::to_string(code)) return text;
  return text + " (" + std::to_string(code) + ")";
}

std::string CommitProblem(const TRowCommit& commit) {
  const std::string reason = ErrorWithCode(commit.errorText, commit.error);
  std::string text;
  const auto part = [&](const std::string& piece) { text += (text.empty() ? "" : "; ") + piece; };
  switch (commit.outcome) {
    case TCommitOutcome::InForce:
    case TCommitOutcome::Written:
      return {};
    case TCommitOutcome::Skipped:
      return "not read: " + reason;
    case TCommitOutcome::Cancelled:
      return reason;
    case TCommitOutcome::Unverified:
      return "written, not verified: " + reason;
    case TCommitOutcome::Failed:
      break;
  }
  if (!commit.granted.Empty()) part("granted " + RightNames(commit.granted));
  if (!commit.revoked.Empty()) part("revoked " + RightNames(commit.revoked));
  part(commit.failedRight.empty() ? "failed: " + reason
                                  : "failed " + commit.failedRight + ": " + reason);
  return text;
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
                    const TSid& account) {
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
  } catch (const EWin32Error& e) {
    result.error = e.ErrorCode();
    result.errorText = ErrorDescription(e.ErrorCode());
  } catch (const std::exception& e) {
    result.errorText = OneLine(e.what());
  } catch (...) {
    result.errorText = "unknown failure";
  }
  return result;
}

TRowHolders ReadHolders(const std::string& name, TvmPrivilege right) {
  TRowHolders result;
  const auto fail = [&](NTSTATUS status) {
    result.error = LsaApi::LsaNtStatusToWinError(status);
    result.errorText = ErrorDescription(result.error);
  };
  try {
    TvmLsaUnicodeStringCenter server, rightName;
    server.SetText(name);
    rightName.SetText(PolicyNames[right]);
    LSA_OBJECT_ATTRIBUTES attributes{};
    attributes.Length = sizeof attributes;
    LSA_HANDLE handle = nullptr;
    if (const NTSTATUS status =
            LsaApi::LsaOpenPolicy(name.empty() ? nullptr : server.Value(), &attributes,
                                  POLICY_LOOKUP_NAMES | POLICY_VIEW_LOCAL_INFORMATION, &handle);
        status != STATUS_SUCCESS) {
      fail(status);
      return result;
    }
    TLsaPolicy policy;
    policy.Reset(handle);
    PVOID block = nullptr;
    ULONG count = 0;
    const NTSTATUS status =
        LsaApi::LsaEnumerateAccountsWithUserRight(policy.Get(), rightName.Value(), &block, &count);
    policy.Close();
    if (status == STATUS_NO_MORE_ENTRIES) {
      result.failed = false;  // nobody holds it there
      return result;
    }
    if (status != STATUS_SUCCESS) {
      fail(status);
      return result;
    }
    // Copied out before naming, so that the block is freed whatever happens.
    std::vector<TSid> sids;
    const auto* entries = static_cast<const LSA_ENUMERATION_INFORMATION*>(block);
    for (ULONG i = 0; i < count; ++i)
      if (IsValidSid(entries[i].Sid)) sids.push_back(CloneSid(entries[i].Sid));
    LsaApi::LsaFreeMemory(block);
    for (const TSid& sid : sids) {
      const TSidName found = SidNameCached(name, sid.get());
      result.holders.push_back({found.sid, found.FullName()});
    }
    result.failed = false;
  } catch (const EWin32Error& e) {
    result.holders.clear();
    result.error = e.ErrorCode();
    result.errorText = ErrorDescription(e.ErrorCode());
  } catch (const std::exception& e) {
    result.holders.clear();
    result.errorText = OneLine(e.what());
  }
  return result;
}

TRowCommit CommitRights(TvmSidCenter& sc, TvmAccountRigthsCenter& arc, const std::string& name,
                        const TSid& account, const TRowCodes& codes,
                        const std::function<bool()>& beforeWrite) {
  TRowCommit result;
  result.codes = codes;
  const auto fail = [&](const std::string& why, DWORD code = 0) {
    result.outcome = TCommitOutcome::Failed;
    result.error = code;
    result.errorText = why;
    result.codes = FailedRow(codes);
  };
  // The writes that went through, whatever came after them.
  const auto noteWrites = [&] {
    for (const auto& write : arc.LastWrites())
      if (const auto right = PrivilegeFromPolicyName(write.name))
        (write.grant ? result.granted : result.revoked).Include(*right);
  };
  try {
    if (!account) {
      fail("no account chosen");
      return result;
    }
    // Skipped for the same reason, in the same words, as a read.
    if (const DWORD answer = ServerAnswers(name); answer != NERR_Success) {
      result.error = answer;
      result.errorText = ErrorDescription(answer);
      return result;
    }
    sc.SetSid(account.get());
    arc.SetServer(name);
    TvmPrivileges rights = arc.CurrentPrivileges();
    if (const NTSTATUS status = arc.LastStatus(); status != 0) {
      result.error = LsaApi::LsaNtStatusToWinError(status);
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
    result.rights = rights;
    if (arc.Committed()) {
      result.outcome = TCommitOutcome::InForce;
      result.codes = CommittedRow(rights);
      return result;
    }
    if (beforeWrite && !beforeWrite()) {
      result.outcome = TCommitOutcome::Cancelled;
      result.errorText = "stopped before writing";
      return result;
    }
    try {
      arc.Commit();
    } catch (const EWin32Error& e) {
      noteWrites();
      if (const auto& failed = arc.FailedWrite()) result.failedRight = failed->name;
      fail(ErrorDescription(e.ErrorCode()), e.ErrorCode());
      return result;
    }
    noteWrites();
    // Read back: every write went through, so a read that fails now leaves
    // the rights written but unconfirmed, which is not a failed write.
    arc.CurrentPrivileges();
    if (const NTSTATUS status = arc.LastStatus(); status != 0) {
      result.outcome = TCommitOutcome::Unverified;
      result.error = LsaApi::LsaNtStatusToWinError(status);
      result.errorText = StatusDescription(status);
      result.codes = ApplyRead(CommittedRow(rights), true, TvmPrivileges());
      return result;
    }
    if (!arc.Committed()) {
      fail("the computer does not hold the rights written");
      return result;
    }
    result.outcome = TCommitOutcome::Written;
    result.codes = CommittedRow(rights);
  } catch (const EWin32Error& e) {
    fail(ErrorDescription(e.ErrorCode()), e.ErrorCode());
  } catch (const std::exception& e) {
    fail(OneLine(e.what()));
  } catch (...) {
    fail("unknown failure");
  }
  return result;
}
