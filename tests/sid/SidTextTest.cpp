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

namespace {

using namespace std::string_literals;

// The binary SID of a center, built first.
std::vector<BYTE> Bytes(TvmSidCenter& sc) {
  const BYTE* sid = static_cast<const BYTE*>(sc.GetSid());
  return sid == nullptr ? std::vector<BYTE>() : std::vector<BYTE>(sid, sid + sc.SidLength());
}

// What the formatter writes for a text the parser accepts.
std::string Canonical(const std::string& text) {
  TvmSidCenter parsed;
  parsed.SetSidString(text);
  TvmSidCenter copy;
  copy.SetSid(parsed.GetSid());
  return copy.SidString();
}

// The message of the exception of type E a call raises; "(nothing)" when
// it raises none.
template <typename E = Exception, typename F>
std::string Raised(F f) {
  try {
    f();
  } catch (const E& e) {
    return e.what();
  }
  return "(nothing)";
}

// The five readiness marks as one text, e.g. "10100".
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
    const char* text;
    const char* formatted;
  } cases[] = {
      {"S-1-5-32-544", "S-1-5-32-544"},
      {"s-1-5-32-544", "S-1-5-32-544"},
      {"S - 1 - 5 - 18", "S-1-5-18"},
      {"S-1-5-", "S-1-5"},
      {"S-1-5-32-", "S-1-5-32"},
      {"S-01-5-007", "S-1-5-7"},
      {"S-1-255-0", "S-1-255-0"},
      {"S-1-5-21-4294967295", "S-1-5-21-4294967295"},
      {"S-1-5-21-0000000000004294967295", "S-1-5-21-4294967295"},
      {"S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15", "S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Canonical(c.text), c.formatted);
    // What the formatter writes reads back as the same SID, except for a
    // SID without sub-authorities: "S-1-5" lacks the separator after the
    // authority.
    if (std::string(c.formatted) == "S-1-5") continue;
    TvmSidCenter first, again;
    first.SetSidString(c.text);
    again.SetSidString(c.formatted);
    ASSERT_NE(first.GetSid(), nullptr) << c.text;
    EXPECT_TRUE(EqualSid(first.GetSid(), again.GetSid())) << c.text;
  }
  TvmSidCenter empty;
  empty.SetSidString("S-1-5-");
  EXPECT_EQ(empty.Explicit().SubAuthorityCount, 0);
  empty.GetSid();
  EXPECT_EQ(empty.SidLength(), 8u);
}

TEST_F(SidText, EachRefusedShapeLeavesItsMessage) {
  const struct {
    std::string text;
    std::string entry;
  } cases[] = {
      {" S-1-5-18", "Error: The 's' expected but ' ' found"},
      {"", "Error: The 's' expected but '\0' found"s},
      {"S-1-5-18 ", "Error: The '-' expected but '\0' found"s},
      {"S-1-5", "Error: The '-' expected but '\0' found"s},
      {"S-1-0x5-32", "Error: The '-' expected but 'x' found"},
      {"S-1-5-32\0-544"s, "Error: The '-' expected but '\0' found"s},
      {"S-2-5-32", "Error: Invalid SID revision '2'"},
      {"S-1-256-1", "Error: Can't interpret IdentifierAuthority '256'"},
      {"S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16", "Error: Too many SubAuthorities"},
  };
  for (const auto& c : cases) {
    TvmSidCenter sc;
    sc.SetSidString(c.text);
    EXPECT_THROW(sc.GetSid(), EAbort) << c.text;
    ASSERT_EQ(sc.Errors().size(), 1u) << c.text;
    EXPECT_EQ(sc.Errors()[0], c.entry) << c.text;
    // The given text stays; the next read parses again and fails again.
    EXPECT_EQ(sc.SidString(), c.text);
    EXPECT_THROW(sc.WellKnown(), EAbort);
    EXPECT_EQ(sc.Errors().size(), 2u) << c.text;
    EXPECT_EQ(sc.UserName(), "");
    EXPECT_EQ(sc.Errors().size(), 3u) << c.text;
    EXPECT_EQ(sc.Source(), ssString);
    EXPECT_FALSE(sc.ExplicitReady());
    // A write empties the list.
    sc.SetSidString("S-1-1-0");
    EXPECT_TRUE(sc.Errors().empty());
    EXPECT_EQ(sc.WellKnown(), wkWorld);
  }
}

TEST_F(SidText, BadNumbersAreConversionErrorsOutsideTheList) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"S-1-5--32", "'' is not a valid integer value"},
      {"S-+1-5-32", "'' is not a valid integer value"},
      {"S-1-5-4294967296", "'4294967296' is not a valid integer value"},
      {"S-1-5-99999999999999999999999", "'99999999999999999999999' is not a valid integer value"},
  };
  for (const auto& c : cases) {
    TvmSidCenter sc;
    sc.SetSidString(c.text);
    EXPECT_EQ(Raised<EConvertError>([&] { sc.GetSid(); }), c.message) << c.text;
    EXPECT_TRUE(sc.Errors().empty()) << c.text;
    EXPECT_EQ(sc.SidString(), c.text);
  }
}

TEST_F(SidText, BinaryAndExplicitFormsRoundTrip) {
  // A domain account SID with a sub-authority above 2^31, through the binary,
  // explicit and text forms and back, byte for byte.
  const std::vector<BYTE> bytes = {1,    5,    0,    0,    0,    0,    0,    5,    21,   0,
                                   0,    0,    0x10, 0x27, 0,    0,    0xFF, 0xFF, 0xFF, 0xFF,
                                   0x39, 0x30, 0,    0,    0xF4, 0x01, 0,    0};
  TvmSidCenter fromBinary;
  fromBinary.SetSid(const_cast<BYTE*>(bytes.data()));
  EXPECT_EQ(fromBinary.Source(), ssSID);
  EXPECT_EQ(fromBinary.SidString(), "S-1-5-21-10000-4294967295-12345-500");
  EXPECT_EQ(fromBinary.WellKnown(), wkAdmin);

  const TvmSidExplicit data = fromBinary.Explicit();
  EXPECT_EQ(data.SubAuthorityCount, 5);
  EXPECT_EQ(data.SubAuthority[2], 4294967295u);
  TvmSidCenter fromData;
  fromData.SetExplicit(data);
  EXPECT_EQ(fromData.Source(), ssData);
  ASSERT_NE(fromData.GetSid(), nullptr);
  EXPECT_EQ(fromData.SidLength(), bytes.size());
  EXPECT_EQ(Bytes(fromData), bytes);

  TvmSidCenter fromText;
  fromText.SetSidString(fromData.SidString());
  ASSERT_NE(fromText.GetSid(), nullptr);
  EXPECT_EQ(Bytes(fromText), bytes);

  // The copy is the component's own: the caller's buffer may change.
  std::vector<BYTE> scratch = bytes;
  TvmSidCenter owned;
  owned.SetSid(scratch.data());
  std::memset(scratch.data(), 0, scratch.size());
  EXPECT_EQ(Bytes(owned), bytes);
  // Given its own SID back, it keeps it.
  owned.SetSid(owned.GetSid());
  EXPECT_EQ(Bytes(owned), bytes);
}

TEST_F(SidText, AuthoritiesBeyondOneByteAreWrittenAsWindowsWritesThem) {
  TvmSidExplicit data;
  data.Revision = 1;
  data.SubAuthorityCount = 1;
  data.SubAuthority[0] = 7;
  const struct {
    BYTE value[6];
    const char* text;
  } cases[] = {
      {{0, 0, 0, 0, 1, 0}, "S-1-256-7"},
      {{0, 0, 0x12, 0x34, 0x56, 0x78}, "S-1-305419896-7"},
      {{0, 0, 0xFF, 0xFF, 0xFF, 0xFF}, "S-1-4294967295-7"},
      {{0, 1, 0, 0, 0, 0}, "S-1-0x000100000000-7"},
      {{0xAB, 0xCD, 0, 0, 0, 0x2A}, "S-1-0xABCD0000002A-7"},
  };
  for (const auto& c : cases) {
    std::memcpy(data.IdentifierAuthority.Value, c.value, 6);
    TvmSidCenter sc;
    sc.SetExplicit(data);
    EXPECT_EQ(sc.SidString(), c.text);
    EXPECT_EQ(sc.WellKnown(), wkOther) << c.text;
    // The parser does not take them back.
    TvmSidCenter back;
    back.SetSidString(c.text);
    EXPECT_ANY_THROW(back.GetSid()) << c.text;
  }
  data.SubAuthorityCount = 16;
  TvmSidCenter sc;
  EXPECT_THROW(sc.SetExplicit(data), Exception);
  EXPECT_EQ(sc.Source(), ssNone);
}

TEST_F(SidText, WellKnownValuesAreBuiltAndRecognisedBack) {
  const struct {
    TvmWellKnownSid value;
    const char* text;
  } table[] = {
      // clang-format off
      {wkNull, "S-1-0-0"}, {wkWorld, "S-1-1-0"}, {wkLocal, "S-1-2-0"},
      {wkCreatorOwner, "S-1-3-0"}, {wkCreatorGroup, "S-1-3-1"},
      {wkCreatorOwnerServer, "S-1-3-2"}, {wkCreatorGroupServer, "S-1-3-3"},
      {wkDialup, "S-1-5-1"}, {wkNetwork, "S-1-5-2"}, {wkBatch, "S-1-5-3"},
      {wkInteractive, "S-1-5-4"}, {wkService, "S-1-5-6"}, {wkAnonymous, "S-1-5-7"},
      {wkProxy, "S-1-5-8"}, {wkBuildIn, "S-1-5-32"}, {wkAuthenticated, "S-1-5-11"},
      {wkLocalSystem, "S-1-5-18"}, {wkAdminsAlias, "S-1-5-32-544"},
      {wkUsersAlias, "S-1-5-32-545"}, {wkGuestsAlias, "S-1-5-32-546"},
      {wkPowerUsersAlias, "S-1-5-32-547"}, {wkAccountOpsAlias, "S-1-5-32-548"},
      {wkSystemOpsAlias, "S-1-5-32-549"}, {wkPrintOpsAlias, "S-1-5-32-550"},
      {wkBackupOpsAlias, "S-1-5-32-551"}, {wkReplicatorAlias, "S-1-5-32-552"},
      // clang-format on
  };
  for (const auto& w : table) {
    SCOPED_TRACE(w.text);
    TvmSidCenter built;
    built.SetWellKnown(w.value);
    EXPECT_EQ(built.Source(), ssWellKnown);
    EXPECT_EQ(built.SidString(), w.text);
    ASSERT_NE(built.GetSid(), nullptr);
    EXPECT_TRUE(IsValidSid(built.GetSid()));

    TvmSidCenter given;
    given.SetSidString(w.text);
    EXPECT_EQ(given.WellKnown(), w.value) << w.text;
    EXPECT_TRUE(EqualSid(given.GetSid(), built.GetSid())) << w.text;
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
    EXPECT_TRUE(sc.WellKnownReady());
  }

  // No sub-authority at all (the text form cannot say this).
  for (BYTE authority : {0, 1, 5}) {
    TvmSidExplicit bare;
    bare.Revision = 1;
    bare.IdentifierAuthority.Value[5] = authority;
    TvmSidCenter sc;
    sc.SetExplicit(bare);
    EXPECT_EQ(sc.WellKnown(), wkOther) << int(authority);
  }

  // Only the last byte of the authority is examined.
  TvmSidCenter admins;
  admins.SetSidString("S-1-5-32-544");
  TvmSidExplicit data = admins.Explicit();
  data.IdentifierAuthority.Value[0] = 1;
  TvmSidCenter wide;
  wide.SetExplicit(data);
  EXPECT_EQ(wide.WellKnown(), wkAdminsAlias);
}

TEST_F(SidText, GivenFormsAndReadinessMarks) {
  TvmSidCenter fresh;
  EXPECT_EQ(fresh.Source(), ssNone);
  EXPECT_EQ(fresh.SidString(), "S-0-0");
  EXPECT_EQ(fresh.WellKnown(), wkOther);
  EXPECT_TRUE(fresh.Errors().empty());

  // wkOther presents the SID converted last.
  TvmSidCenter sc;
  sc.SetSidString("S-1-5-18");
  EXPECT_EQ(sc.WellKnown(), wkLocalSystem);
  sc.SetWellKnown(wkOther);
  EXPECT_EQ(sc.Source(), ssNone);
  EXPECT_EQ(sc.WellKnown(), wkOther);
  EXPECT_EQ(sc.SidString(), "S-1-5-18");

  // A well-known source with no well-known value.
  TvmSidCenter none;
  none.SetSource(ssWellKnown);
  EXPECT_EQ(none.SidString(), "");
  EXPECT_EQ(Raised([&] { none.GetSid(); }), "No well-known SID");
  none.SetWellKnown(static_cast<TvmWellKnownSid>(200));
  EXPECT_THROW(none.GetSid(), Exception);

  // Writing Server discards the computed forms, even with the same value.
  TvmSidCenter server;
  server.SetWellKnown(wkAdminsAlias);
  EXPECT_EQ(server.SidString(), "S-1-5-32-544");
  server.GetSid();
  EXPECT_EQ(Marks(server).substr(0, 2), "11");
  server.SetServer("");
  server.SetServer("");
  EXPECT_EQ(Marks(server), "00001") << "sid, text, data, name, well-known";
  EXPECT_EQ(server.Source(), ssWellKnown);
  EXPECT_EQ(server.SidString(), "S-1-5-32-544");

  // Writing Domain keeps the form that was given and drops the others.
  TvmSidCenter text;
  text.SetSidString("S-1-5-32-545");
  EXPECT_EQ(text.WellKnown(), wkUsersAlias);
  text.SetDomain("ELSEWHERE");
  EXPECT_FALSE(text.WellKnownReady());
  EXPECT_FALSE(text.SidReady());
  EXPECT_EQ(text.Source(), ssString);
  EXPECT_EQ(text.WellKnown(), wkUsersAlias);
  TvmSidCenter binary;
  binary.SetSid(text.GetSid());
  binary.SetDomain("ELSEWHERE");
  EXPECT_EQ(binary.SidString(), "S-1-5-32-545");
  TvmSidCenter kind;
  kind.SetWellKnown(wkLocalSystem);
  kind.SetDomain("ELSEWHERE");
  EXPECT_EQ(kind.SidString(), "S-1-5-18");
}

TEST_F(SidText, AbsentAndMalformedSids) {
  TvmSidCenter sc;
  sc.SetSidString("S-1-5-18");
  sc.GetSid();
  sc.SetSid(nullptr);
  EXPECT_EQ(sc.Source(), ssSID);
  EXPECT_EQ(sc.GetSid(), nullptr);
  EXPECT_EQ(sc.SidLength(), 0u);
  EXPECT_EQ(sc.SidString(), "");
  EXPECT_EQ(sc.UserName(), "");
  EXPECT_EQ(Raised([&] { sc.WellKnown(); }), "SID is not ready");

  BYTE malformed[16] = {2, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
  TvmSidCenter bad;
  bad.SetWellKnown(wkAdminsAlias);
  bad.GetSid();
  EXPECT_THROW(bad.SetSid(malformed), EWin32Error);
  EXPECT_EQ(bad.Source(), ssNone);
  EXPECT_EQ(Marks(bad), "00000");
  EXPECT_EQ(bad.SidLength(), 0u);
}

}  // namespace
