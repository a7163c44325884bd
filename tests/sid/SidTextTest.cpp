// The SID forms without any lookup: parser, formatter, copies, well-known SIDs.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/Velmar_CenterUtils.h"
#include "sid/Velmar_SidCenter.h"
#include "tests/support/Raised.h"

namespace {

using namespace std::string_literals;
using tavrin::test::Raised;
using Names = std::vector<std::string>;

std::vector<BYTE> Bytes(TvmSidCenter& sc) {
  const BYTE* sid = static_cast<const BYTE*>(sc.GetSid());
  return std::vector<BYTE>(sid, sid + sc.SidLength());
}

// The readiness marks: SID, text, data, name, well-known.
std::string Marks(const TvmSidCenter& sc) {
  std::string marks;
  for (bool ready :
       {sc.SidReady(), sc.StringReady(), sc.ExplicitReady(), sc.NameReady(), sc.WellKnownReady()})
    marks += ready ? '1' : '0';
  return marks;
}

TEST(SidText, RefusedTextsReportAndLeaveTheExplicitDataAsItWas) {
  const std::pair<std::string, std::string> cases[] = {
      {" S-1-5-18", "The 's' expected but ' ' found"},
      {"S-1-5-18 ", "The '-' expected but '\0' found"s},
      {"S-1-5", "The '-' expected but '\0' found"s},
      {"S-1-0x5-32", "The '-' expected but 'x' found"},
      {"S-1-5-32\0-544"s, "The '-' expected but '\0' found"s},
      {"S-2-5-32", "Invalid SID revision '2'"},
      {"S-1-256-1", "Can't interpret IdentifierAuthority '256'"},
      {"S-1-7-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16", "Too many SubAuthorities"},
      {"S-1-5--32", "'' is not a valid integer value"},
      {"S-1-7-4294967296", "'4294967296' is not a valid integer value"},
  };
  for (const auto& [text, message] : cases) {
    SCOPED_TRACE(text);
    TvmSidCenter sc;
    sc.SetSidString("S-1-5-32-544");
    sc.GetSid();
    sc.SetSidString(text);
    const std::string raised = Raised([&] { sc.GetSid(); });
    if (message[0] == '\'') {  // a bad number: the conversion error, not listed
      EXPECT_EQ(raised, message);
      EXPECT_TRUE(sc.Errors().empty());
    } else {  // the silent abort, listed at every read, as every read parses
      EXPECT_THROW(sc.WellKnown(), EAbort);
      EXPECT_EQ(sc.UserName(), "");
      EXPECT_EQ(sc.Errors(), Names(3, "Error: " + message));
    }
    // The text stays, the explicit data too; a write empties the list.
    EXPECT_EQ(sc.SidString(), text);
    sc.SetSource(ssData);
    EXPECT_TRUE(sc.Errors().empty());
    EXPECT_EQ(sc.SidString(), "S-1-5-32-544");
  }
}

TEST(SidText, BinaryAndExplicitFormsRoundTrip) {
  // A sub-authority above 2^31 through every form; the caller's buffer is copied.
  const std::vector<BYTE> bytes = {1,    5,    0,    0,    0,    0,    0,    5,    21,   0,
                                   0,    0,    0x10, 0x27, 0,    0,    0xFF, 0xFF, 0xFF, 0xFF,
                                   0x39, 0x30, 0,    0,    0xF4, 0x01, 0,    0};
  std::vector<BYTE> scratch = bytes;
  TvmSidCenter fromBinary, fromData, fromText;
  fromBinary.SetSid(scratch.data());
  std::memset(scratch.data(), 0, scratch.size());
  EXPECT_EQ(fromBinary.SidString(), "S-1-5-21-10000-4294967295-12345-500");
  TvmSidExplicit data = fromBinary.Explicit();
  fromData.SetExplicit(data);
  EXPECT_EQ(Bytes(fromData), bytes);
  // Any letter case, blanks around separators, leading zeros, a last separator.
  fromText.SetSidString("s - 01 - 5-021 -10000- 4294967295-0000000000012345-500-");
  EXPECT_EQ(Bytes(fromText), bytes);
  fromText.SetSid(fromText.GetSid());  // its own SID given back
  EXPECT_EQ(Bytes(fromText), bytes);

  // The limits: authority 255 with fifteen sub-authorities, and none at all.
  for (const std::string text : {"S-1-255-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15", "S-1-5"}) {
    TvmSidCenter parsed, copy;
    parsed.SetSidString(text + "-");
    copy.SetSid(parsed.GetSid());
    EXPECT_EQ(copy.SidString(), text);  // formatted from the binary SID alone
  }

  // Authorities beyond one byte are written as Windows writes them.
  const struct {
    BYTE value[6];
    const char* text;
  } authorities[] = {
      {{0, 0, 0x12, 0x34, 0x56, 0x78}, "S-1-305419896-21-10000-4294967295-12345-500"},
      {{0, 1, 0, 0, 0, 0}, "S-1-0x000100000000-21-10000-4294967295-12345-500"},
      {{0xAB, 0xCD, 0, 0, 0, 0x2A}, "S-1-0xABCD0000002A-21-10000-4294967295-12345-500"},
  };
  for (const auto& c : authorities) {
    std::memcpy(data.IdentifierAuthority.Value, c.value, 6);
    TvmSidCenter sc;
    sc.SetExplicit(data);
    EXPECT_EQ(sc.SidString(), c.text);
  }
  // Sixteen sub-authorities are refused, and the data given before stays.
  data.SubAuthorityCount = 16;
  EXPECT_THROW(fromData.SetExplicit(data), Exception);
  EXPECT_EQ(Bytes(fromData), bytes);
}

TEST(SidText, WellKnownValuesAreBuiltAndRecognisedBack) {
  // Every value not relative to a domain, built and recognised back.
  for (int value = wkNull; value <= wkReplicatorAlias; ++value) {
    if (value >= wkAdmin && value <= wkGuestsGroup) continue;
    TvmSidCenter built, given;
    built.SetWellKnown(static_cast<TvmWellKnownSid>(value));
    given.SetSidString(built.SidString());
    EXPECT_EQ(given.WellKnown(), value) << given.SidString();
  }
  // Domain-relative values from any domain or none, then near misses.
  const std::pair<const char*, TvmWellKnownSid> shapes[] = {
      // clang-format off
      {"S-1-5-21-1-2-3-500", wkAdmin}, {"S-1-5-21-1-2-3-501", wkGuest},
      {"S-1-5-21-1-2-3-512", wkAdminsGroup}, {"S-1-5-21-1-2-3-513", wkUsersGroup},
      {"S-1-5-21-1-2-3-514", wkGuestsGroup}, {"S-1-5-21-500", wkAdmin},
      {"S-1-5-18-7", wkLocalSystem}, {"S-1-5-11-1", wkAuthenticated},
      {"S-1-5-21", wkOther}, {"S-1-5-21-1-2-3-502", wkOther}, {"S-1-5-32-543", wkOther},
      {"S-1-5-32-553", wkOther}, {"S-1-5-32-544-1", wkOther}, {"S-1-5-4-1", wkOther},
      {"S-1-5-8-0", wkOther}, {"S-1-5-5", wkOther}, {"S-1-3-4", wkOther}, {"S-1-4-0", wkOther},
      {"S-1-1-0-0", wkOther}, {"S-1-1-1", wkOther}, {"S-1-0-1", wkOther}, {"S-1-2-1", wkOther},
      {"S-1-16-12288", wkOther},
      // clang-format on
  };
  for (const auto& [text, value] : shapes) {
    TvmSidCenter sc;
    sc.SetSidString(text);
    EXPECT_EQ(sc.WellKnown(), value) << text;
  }

  // No sub-authority (the text form cannot say this): stale slots are not read.
  TvmSidExplicit data;
  data.Revision = 1;
  for (const auto& [authority, stale] : {std::pair<BYTE, DWORD>{1, 0}, {5, 18}}) {
    data.IdentifierAuthority.Value[5] = authority;
    data.SubAuthority[0] = stale;
    TvmSidCenter sc;
    sc.SetExplicit(data);
    EXPECT_EQ(sc.WellKnown(), wkOther) << int(authority);
  }
}

TEST(SidText, GivenFormsAndReadinessMarks) {
  TvmSidCenter sc;
  EXPECT_EQ(sc.SidString(), "S-0-0");  // a new center's explicit data
  // wkOther presents the SID converted last; ssWellKnown needs a value.
  sc.SetSidString("S-1-5-18");
  EXPECT_EQ(sc.WellKnown(), wkLocalSystem);
  sc.SetWellKnown(wkOther);
  EXPECT_EQ(sc.SidString(), "S-1-5-18");
  sc.SetSource(ssWellKnown);
  EXPECT_EQ(Raised([&] { sc.GetSid(); }), "No well-known SID");
  sc.SetWellKnown(static_cast<TvmWellKnownSid>(200));
  EXPECT_THROW(sc.GetSid(), Exception);

  // Writing Server discards the computed forms, even with the same value.
  sc.SetWellKnown(wkAdminsAlias);
  EXPECT_EQ(sc.SidString(), "S-1-5-32-544");
  sc.GetSid();
  EXPECT_EQ(Marks(sc), "11101");
  sc.SetServer("");
  EXPECT_EQ(Marks(sc), "00001");

  // Writing Domain keeps the form that was given and drops the others.
  TvmSidCenter text, binary;
  text.SetSidString("S-1-5-32-545");
  EXPECT_EQ(text.WellKnown(), wkUsersAlias);
  text.SetDomain("ELSEWHERE");
  EXPECT_EQ(Marks(text), "01000");
  binary.SetSid(text.GetSid());
  binary.SetDomain("ELSEWHERE");
  EXPECT_EQ(binary.SidString(), "S-1-5-32-545");

  // A malformed SID leaves nothing given; an absent one is given as such.
  BYTE malformed[16] = {2, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
  EXPECT_THROW(sc.SetSid(malformed), EWin32Error);
  EXPECT_EQ(sc.Source(), ssNone);
  EXPECT_TRUE(Marks(sc) == "00000" && sc.SidLength() == 0u);
  sc.SetSidString("S-1-5-18");
  sc.GetSid();
  sc.SetSid(nullptr);
  EXPECT_EQ(sc.GetSid(), nullptr);
  EXPECT_EQ(sc.SidString(), "");
  EXPECT_EQ(Raised([&] { sc.WellKnown(); }), "SID is not ready");
}

}  // namespace
