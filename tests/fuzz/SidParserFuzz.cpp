// libFuzzer target: arbitrary text given to the SID center as its text form.
// Built and run by scripts/fuzz-sid-parser.sh, not by the default build.
//
// Every text must either be refused in one of the two documented ways (the
// silent abort with exactly one "Error: " entry, or a conversion error with
// none) or give a valid SID whose canonical text reads back as the same SID.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/Velmar_CenterUtils.h"
#include "sid/Velmar_SidCenter.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  TvmSidCenter sc;
  sc.SetSidString(text);
  PSID sid = nullptr;
  try {
    sid = sc.GetSid();
  } catch (const EAbort&) {
    Check(sc.Errors().size() == 1);
    Check(sc.Errors()[0].rfind("Error: ", 0) == 0);
    Check(sc.SidString() == text);
    return 0;
  } catch (const EConvertError& e) {
    Check(sc.Errors().empty());
    Check(std::string(e.what()).find("is not a valid integer value") != std::string::npos);
    return 0;
  }

  // Accepted: a valid SID of the length the center states.
  Check(sid != nullptr);
  Check(IsValidSid(sid) != FALSE);
  Check(GetLengthSid(sid) == sc.SidLength());
  Check(sc.Errors().empty());
  const TvmWellKnownSid kind = sc.WellKnown();
  Check(kind != wkCurrentUser && kind <= wkReplicatorAlias);

  // Its canonical text gives the same SID again.
  TvmSidCenter copy;
  copy.SetSid(sid);
  const std::string canonical = copy.SidString();
  Check(canonical.rfind("S-1-", 0) == 0);
  const BYTE count = static_cast<const BYTE*>(sid)[1];
  if (count > 0) {
    TvmSidCenter back;
    back.SetSidString(canonical);
    PSID again = back.GetSid();
    Check(again != nullptr && EqualSid(again, sid) != FALSE);
    Check(back.WellKnown() == kind);
  }
  return 0;
}
