// The SID center's conversions between the text form, the explicit data and
// the binary SID.
#include <cstring>

#include "base/Velmar_CenterUtils.h"
#include "sid/Velmar_SidCenter.h"

namespace {

// Walks the text form; past the last character the cursor reads code 0.
class TSidTextCursor {
 public:
  explicit TSidTextCursor(const std::string& text) : text_(text) {}

  bool AtEnd() const { return pos_ >= text_.size(); }
  char Current() const { return AtEnd() ? '\0' : text_[pos_]; }
  void Step() { ++pos_; }
  void SkipSpaces() {
    while (!AtEnd() && text_[pos_] == ' ') ++pos_;
  }
  // The longest run of decimal digits from the cursor, possibly empty.
  std::string DigitRun() {
    const size_t start = pos_;
    while (!AtEnd() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
    return text_.substr(start, pos_ - start);
  }

 private:
  const std::string& text_;
  size_t pos_ = 0;
};

// A run of digits as an unsigned 32-bit number; an empty run or one above
// 4294967295 is a conversion error.
DWORD RunValue(const std::string& run) {
  if (run.empty()) throw EConvertError("'" + run + "' is not a valid integer value");
  uint64_t value = 0;
  for (char c : run) {
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > 0xFFFFFFFFull) throw EConvertError("'" + run + "' is not a valid integer value");
  }
  return static_cast<DWORD>(value);
}

const char HexDigits[] = "0123456789ABCDEF";

// The identifier authority as Windows writes it: decimal when it fits in
// 32 bits, else "0x" and twelve hexadecimal digits.
std::string AuthorityText(const SID_IDENTIFIER_AUTHORITY& authority) {
  const BYTE* v = authority.Value;
  if (v[0] == 0 && v[1] == 0) {
    const DWORD value = (DWORD(v[2]) << 24) | (DWORD(v[3]) << 16) | (DWORD(v[4]) << 8) | v[5];
    return std::to_string(value);
  }
  std::string text = "0x";
  for (int i = 0; i < 6; ++i) {
    text += HexDigits[v[i] >> 4];
    text += HexDigits[v[i] & 0x0F];
  }
  return text;
}

}  // namespace

void TvmSidCenter::ParseError(const char* message, const std::string& argument) {
  std::string text = message;
  const size_t at = text.find('%');
  if (at != std::string::npos && at + 1 < text.size()) text.replace(at, 2, argument);
  errors_.push_back("Error: " + text);
  throw EAbort();
}

void TvmSidCenter::ParseSidString() {
  if (!stringReady_) ParseError("SID string is not ready", std::string());

  TSidTextCursor cursor(sidString_);
  auto separator = [&] {
    cursor.SkipSpaces();
    if (cursor.Current() != '-')
      ParseError("The '-' expected but '%s' found", std::string(1, cursor.Current()));
    cursor.Step();
    cursor.SkipSpaces();
  };
  auto number = [&] { return RunValue(cursor.DigitRun()); };

  // Parsed aside: a refused text leaves the explicit data as it was.
  TvmSidExplicit parsed;
  if (cursor.Current() != 'S' && cursor.Current() != 's')
    ParseError("The 's' expected but '%s' found", std::string(1, cursor.Current()));
  cursor.Step();

  separator();
  const DWORD revision = number();
  if (revision != 1) ParseError("Invalid SID revision '%d'", std::to_string(revision));
  parsed.Revision = SID_REVISION;

  separator();
  const DWORD authority = number();
  if (authority > 255)
    ParseError("Can't interpret IdentifierAuthority '%d'", std::to_string(authority));
  parsed.IdentifierAuthority.Value[5] = static_cast<BYTE>(authority);

  separator();
  while (!cursor.AtEnd()) {
    parsed.SubAuthority[parsed.SubAuthorityCount] = number();
    ++parsed.SubAuthorityCount;
    if (parsed.SubAuthorityCount > SID_MAX_SUB_AUTHORITIES)
      ParseError("Too many SubAuthorities", std::string());
    if (cursor.AtEnd()) break;
    separator();
  }
  explicit_ = parsed;
  explicitReady_ = true;
}

void TvmSidCenter::FormatSidString() {
  if (!explicitReady_) throw Exception("SID explicit data is not ready");
  if (stringReady_) return;
  std::string text = "S-" + std::to_string(explicit_.Revision) + "-" +
                     AuthorityText(explicit_.IdentifierAuthority);
  const int count = explicit_.SubAuthorityCount < 16 ? explicit_.SubAuthorityCount : 16;
  for (int i = 0; i < count; ++i) text += "-" + std::to_string(explicit_.SubAuthority[i]);
  sidString_ = text;
  stringReady_ = true;
}

void TvmSidCenter::ExplicitToSid() {
  if (!explicitReady_) throw Exception("SID explicit data is not ready");
  if (sidReady_) return;
  const DWORD count = explicit_.SubAuthorityCount;
  const DWORD length = 8 + 4 * count;
  TSid block(length);
  BYTE* bytes = static_cast<BYTE*>(block.get());
  bytes[0] = explicit_.Revision;
  bytes[1] = explicit_.SubAuthorityCount;
  std::memcpy(bytes + 2, explicit_.IdentifierAuthority.Value, 6);
  std::memcpy(bytes + 8, explicit_.SubAuthority, 4 * count);
  sid_ = std::move(block);
  sidReady_ = true;
}

void TvmSidCenter::SidToExplicit() {
  // An absent SID has no explicit form either.
  if (!sidReady_ || !sid_) throw Exception("SID is not ready");
  const BYTE* block = static_cast<const BYTE*>(sid_.get());
  if (block[1] > SID_MAX_SUB_AUTHORITIES) throw EWin32Error(ERROR_INVALID_SID);
  explicit_.Revision = block[0];
  explicit_.SubAuthorityCount = block[1];
  std::memcpy(explicit_.IdentifierAuthority.Value, block + 2, 6);
  std::memcpy(explicit_.SubAuthority, block + 8, 4 * explicit_.SubAuthorityCount);
}
