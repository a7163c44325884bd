// The SID forms without any lookup: the text parser and its messages, the
// formatter, the copies between binary SID and explicit data, building the
// well-known SIDs and recognising them. Holds on every NT system.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "rights/Velmar_CenterUtils.h"
#include "sid/Velmar_SidCenter.h"
#include "tests/support/Raised.h"

namespace {

using namespace std::string_literals;
using tavrin::test::Raised;
using Names = std::vector<std::string>;

// The binary SID of a center, built first.
std::vector<BYTE> Bytes(TvmSidCenter& sc) {
  const BYTE* sid = static_cast<const BYTE*>(sc.GetSid());
  return sid == nullptr ? std::vector<BYTE>() : std::vector<BYTE>(sid, sid + sc.SidLength());
}

// The five readiness marks as one text: SID, text, data, name, well-known.
std::string Marks(const TvmSidCenter& sc) {
  std::string marks;
  for (bool ready :
       {sc.SidReady(), sc.StringReady(), sc.ExplicitReady(), sc.NameReady(), sc.WellKnownReady()})
    marks += ready ? '1' : '0';
  return marks;
}

class SidText : public ::testing::Test {
 protected:
  void SetUp() override { tavrin::RunStartSteps(); }
  void TearDown() override { tavrin::RunEndSteps(); }
};

TEST_F(SidText, AcceptedShapesFormatCanonically) {
  const struct {
    const char *text, *formatted;
  } cases[] = {
      {"s-1-5-32-544", "S-1-5-32-544"},
      {"S - 1 - 5 - 18", "S-1-5-18"},
      {"S-1-5-32-", "S-1-5-32"},
      {"S-01-5-007", "S-1-5-7"},
      {"S-1-255-0", "S-1-255-0"},
      {"S-1-5-21-0000000000004294967295", "S-1-5-21-4294967295"},
      {"S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15", "S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    // Formatted from a copy of the binary SID, which knows no text.
    TvmSidCenter parsed, copy;
    parsed.SetSidString(c.text);
    copy.SetSid(parsed.GetSid());
    EXPECT_EQ(copy.SidString(), c.formatted);
  }
  // No sub-authority at all: formats without the separator it was given.
  TvmSidCenter bare, copy;
  bare.SetSidString("S-1-5-");
  copy.SetSid(bare.GetSid());
  EXPECT_EQ(bare.SidLength(), 8u);
  EXPECT_EQ(copy.SidString(), "S-1-5");
}

TEST_F(SidText, RefusedTextsReportAndLeaveTheExplicitDataAsItWas) {
  // A refused shape leaves its entry in Errors; a bad number raises the
  // conversion error instead, outside the list.
  const struct {
    std::string text, entry, conversion;
  } cases[] = {
      {" S-1-5-18", "Error: The 's' expected but ' ' found", ""},
      {"", "Error: The 's' expected but '\0' found"s, ""},
      {"S-1-5-18 ", "Error: The '-' expected but '\0' found"s, ""},
      {"S-1-5", "Error: The '-' expected but '\0' found"s, ""},
      {"S-1-0x5-32", "Error: The '-' expected but 'x' found", ""},
      {"S-1-5-32\0-544"s, "Error: The '-' expected but '\0' found"s, ""},
      {"S-2-5-32", "Error: Invalid SID revision '2'", ""},
      {"S-1-256-1", "Error: Can't interpret IdentifierAuthority '256'", ""},
      {"S-1-7-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16", "Error: Too many SubAuthorities", ""},
      {"S-1-5--32", "", "'' is not a valid integer value"},
      {"S-1-7-4294967296", "", "'4294967296' is not a valid integer value"},
      {"S-1-5-99999999999999999999999", "",
       "'99999999999999999999999' is not a valid integer value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    TvmSidCenter sc;
    sc.SetSidString("S-1-5-32-544");
    sc.GetSid();
    sc.SetSidString(c.text);
    if (c.entry.empty()) {
      EXPECT_EQ(Raised<EConvertError>([&] { sc.GetSid(); }), c.conversion);
      EXPECT_TRUE(sc.Errors().empty());
    } else {
      EXPECT_EQ(Raised<EAbort>([&] { sc.GetSid(); }), "Operation aborted");
      EXPECT_EQ(sc.Errors(), Names{c.entry});
      // Every read parses again and fails again, one entry each.
      EXPECT_THROW(sc.WellKnown(), EAbort);
      EXPECT_EQ(sc.UserName(), "");
      EXPECT_EQ(sc.Errors(), Names(3, c.entry));
    }
    EXPECT_EQ(sc.SidString(), c.text);
    EXPECT_EQ(sc.Source(), ssString);
    EXPECT_FALSE(sc.ExplicitReady());
    // The explicit data still holds the SID parsed before; a write empties
    // the list.
    sc.SetSource(ssData);
    EXPECT_TRUE(sc.Errors().empty());
    EXPECT_EQ(sc.SidString(), "S-1-5-32-544");
    EXPECT_TRUE(IsValidSid(sc.GetSid()));
  }
}

TEST_F(SidText, BinaryAndExplicitFormsRoundTrip) {
  // A domain account SID with a sub-authority above 2^31, through the binary,
  // explicit and text forms and back, byte for byte.
  const std::vector<BYTE> bytes = {1,    5,    0,    0,    0,    0,    0,    5,    21,   0,
                                   0,    0,    0x10, 0x27, 0,    0,    0xFF, 0xFF, 0xFF, 0xFF,
                                   0x39, 0x30, 0,    0,    0xF4, 0x01, 0,    0};
  // The copy is the center's own: the caller's buffer may change.
  std::vector<BYTE> scratch = bytes;
  TvmSidCenter fromBinary, fromData, fromText;
  fromBinary.SetSid(scratch.data());
  std::memset(scratch.data(), 0, scratch.size());
  EXPECT_EQ(fromBinary.SidString(), "S-1-5-21-10000-4294967295-12345-500");
  EXPECT_EQ(fromBinary.WellKnown(), wkAdmin);
  TvmSidExplicit data = fromBinary.Explicit();
  EXPECT_EQ(data.SubAuthority[2], 4294967295u);
  fromData.SetExplicit(data);
  EXPECT_EQ(Bytes(fromData), bytes);
  fromText.SetSidString(fromData.SidString());
  EXPECT_EQ(Bytes(fromText), bytes);
  // Given its own SID back, it keeps it.
  fromText.SetSid(fromText.GetSid());
  EXPECT_EQ(Bytes(fromText), bytes);

  // Authorities beyond one byte are written as Windows writes them, and the
  // parser does not take them back.
  const struct {
    BYTE value[6];
    const char* text;
  } authorities[] = {
      {{0, 0, 0x12, 0x34, 0x56, 0x78}, "S-1-305419896-21-10000-4294967295-12345-500"},
      {{0, 0, 0xFF, 0xFF, 0xFF, 0xFF}, "S-1-4294967295-21-10000-4294967295-12345-500"},
      {{0, 1, 0, 0, 0, 0}, "S-1-0x000100000000-21-10000-4294967295-12345-500"},
      {{0xAB, 0xCD, 0, 0, 0, 0x2A}, "S-1-0xABCD0000002A-21-10000-4294967295-12345-500"},
  };
  for (const auto& c : authorities) {
    std::memcpy(data.IdentifierAuthority.Value, c.value, 6);
    TvmSidCenter sc, back;
    sc.SetExplicit(data);
    EXPECT_EQ(sc.SidString(), c.text);
    EXPECT_EQ(sc.WellKnown(), wkOther) << c.text;
    back.SetSidString(c.text);
    EXPECT_ANY_THROW(back.GetSid()) << c.text;
  }
  data.SubAuthorityCount = 16;
  EXPECT_THROW(fromData.SetExplicit(data), Exception);
  EXPECT_EQ(Bytes(fromData), bytes);
}

TEST_F(SidText, WellKnownValuesAreBuiltAndRecognisedBack) {
  // wkNull to wkLocalSystem, then wkAdminsAlias to wkReplicatorAlias.
  const std::vector<std::string> texts = {
      "S-1-0-0",      "S-1-1-0",      "S-1-2-0",      "S-1-3-0",      "S-1-3-1",
      "S-1-3-2",      "S-1-3-3",      "S-1-5-1",      "S-1-5-2",      "S-1-5-3",
      "S-1-5-4",      "S-1-5-6",      "S-1-5-7",      "S-1-5-8",      "S-1-5-32",
      "S-1-5-11",     "S-1-5-18",     "S-1-5-32-544", "S-1-5-32-545", "S-1-5-32-546",
      "S-1-5-32-547", "S-1-5-32-548", "S-1-5-32-549", "S-1-5-32-550", "S-1-5-32-551",
      "S-1-5-32-552"};
  auto text = texts.begin();
  for (int value = wkNull; value <= wkReplicatorAlias; ++value) {
    if (value >= wkAdmin && value <= wkGuestsGroup) continue;
    SCOPED_TRACE(*text);
    TvmSidCenter built, given;
    built.SetWellKnown(static_cast<TvmWellKnownSid>(value));
    EXPECT_EQ(built.SidString(), *text);
    ASSERT_TRUE(IsValidSid(built.GetSid()));
    given.SetSidString(*text++);
    EXPECT_EQ(given.WellKnown(), value);
    EXPECT_TRUE(EqualSid(given.GetSid(), built.GetSid()));
  }

  const struct {
    const char* text;
    TvmWellKnownSid value;
  } shapes[] = {
      // clang-format off
      // The domain-relative values, from any domain and even without one.
      {"S-1-5-21-1-2-3-500", wkAdmin}, {"S-1-5-21-1-2-3-501", wkGuest},
      {"S-1-5-21-1-2-3-512", wkAdminsGroup}, {"S-1-5-21-1-2-3-513", wkUsersGroup},
      {"S-1-5-21-1-2-3-514", wkGuestsGroup}, {"S-1-5-21-500", wkAdmin},
      // No count check for these two.
      {"S-1-5-18-7", wkLocalSystem}, {"S-1-5-11-1", wkAuthenticated},
      // Near misses.
      {"S-1-5-21", wkOther}, {"S-1-5-21-1-2-3-502", wkOther}, {"S-1-5-21-1-2-3-1000", wkOther},
      {"S-1-5-32-543", wkOther}, {"S-1-5-32-553", wkOther}, {"S-1-5-32-544-1", wkOther},
      {"S-1-5-4-1", wkOther}, {"S-1-5-8-0", wkOther}, {"S-1-5-5", wkOther}, {"S-1-5-9", wkOther},
      {"S-1-3-4", wkOther}, {"S-1-4-0", wkOther}, {"S-1-1-0-0", wkOther}, {"S-1-1-1", wkOther},
      {"S-1-0-1", wkOther}, {"S-1-2-1", wkOther}, {"S-1-6-0", wkOther}, {"S-1-16-12288", wkOther},
      // clang-format on
  };
  for (const auto& s : shapes) {
    TvmSidCenter sc;
    sc.SetSidString(s.text);
    EXPECT_EQ(sc.WellKnown(), s.value) << s.text;
  }

  // No sub-authority at all (the text form cannot say this): the slots
  // beyond the count are not read.
  TvmSidExplicit bare;
  bare.Revision = 1;
  for (const auto& [authority, stale] : {std::pair<BYTE, DWORD>{1, 0}, {5, 18}}) {
    bare.IdentifierAuthority.Value[5] = authority;
    bare.SubAuthority[0] = stale;
    TvmSidCenter sc;
    sc.SetExplicit(bare);
    EXPECT_EQ(sc.WellKnown(), wkOther) << int(authority);
  }
  // Only the last byte of the authority is examined.
  TvmSidCenter admins, wide;
  admins.SetSidString("S-1-5-32-544");
  TvmSidExplicit data = admins.Explicit();
  data.IdentifierAuthority.Value[0] = 1;
  wide.SetExplicit(data);
  EXPECT_EQ(wide.WellKnown(), wkAdminsAlias);
}

TEST_F(SidText, GivenFormsAndReadinessMarks) {
  TvmSidCenter sc;
  EXPECT_EQ(sc.SidString(), "S-0-0");  // a new center's explicit data
  // wkOther presents the SID converted last.
  sc.SetSidString("S-1-5-18");
  EXPECT_EQ(sc.WellKnown(), wkLocalSystem);
  sc.SetWellKnown(wkOther);
  EXPECT_EQ(sc.SidString(), "S-1-5-18");
  // A well-known source with no well-known value.
  sc.SetSource(ssWellKnown);
  EXPECT_EQ(sc.SidString(), "");
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
  TvmSidCenter text, binary, kind;
  text.SetSidString("S-1-5-32-545");
  EXPECT_EQ(text.WellKnown(), wkUsersAlias);
  text.SetDomain("ELSEWHERE");
  EXPECT_EQ(Marks(text), "01000");
  EXPECT_EQ(text.WellKnown(), wkUsersAlias);
  binary.SetSid(text.GetSid());
  binary.SetDomain("ELSEWHERE");
  EXPECT_EQ(binary.SidString(), "S-1-5-32-545");
  kind.SetWellKnown(wkLocalSystem);
  kind.SetDomain("ELSEWHERE");
  EXPECT_EQ(kind.SidString(), "S-1-5-18");

  // A malformed SID leaves nothing given; an absent one is given as such.
  BYTE malformed[16] = {2, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
  sc.GetSid();
  EXPECT_THROW(sc.SetSid(malformed), EWin32Error);
  EXPECT_EQ(sc.Source(), ssNone);
  EXPECT_EQ(Marks(sc), "00000");
  EXPECT_EQ(sc.SidLength(), 0u);

  sc.SetSidString("S-1-5-18");
  sc.GetSid();
  sc.SetSid(nullptr);
  EXPECT_EQ(sc.Source(), ssSID);
  EXPECT_EQ(sc.GetSid(), nullptr);
  EXPECT_EQ(sc.SidLength(), 0u);
  EXPECT_EQ(sc.SidString(), "");
  EXPECT_EQ(Raised([&] { sc.WellKnown(); }), "SID is not ready");
}

}  // namespace
