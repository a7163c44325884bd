// LSA string conversion: holds on every platform.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "rights/Velmar_CenterUtils.h"
#include "rights/Velmar_LsaStringCenter.h"

namespace {

std::vector<WCHAR> Units(const char* ascii) {
  std::vector<WCHAR> units;
  for (const char* p = ascii; *p; ++p) units.push_back(static_cast<WCHAR>(*p));
  return units;
}

// The characters sit in the same block, right after the platform's header.
void ExpectOneBlock(const LSA_UNICODE_STRING* value) {
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(reinterpret_cast<const char*>(value->Buffer) - reinterpret_cast<const char*>(value),
            static_cast<std::ptrdiff_t>(sizeof(LSA_UNICODE_STRING)));
}

// A new holder's block is the header and a zero; "SeDebugPrivilege"'s is the
// header, 32 bytes of text and a zero.
TEST(LsaString, TextToValue) {
  TvmLsaUnicodeStringCenter holder;
  EXPECT_EQ(holder.Text(), "");
  for (const char* text : {"", "SeDebugPrivilege", "ab"}) {
    SCOPED_TRACE(text);
    if (*text) holder.SetText(text);  // a new text drops the block
    PLSA_UNICODE_STRING value = holder.Value();
    ExpectOneBlock(value);
    const std::vector<WCHAR> expected = Units(text);
    const auto bytes = static_cast<USHORT>(expected.size() * sizeof(WCHAR));
    EXPECT_EQ(value->Length, bytes);
    EXPECT_EQ(value->MaximumLength, bytes);
    EXPECT_EQ(std::vector<WCHAR>(value->Buffer, value->Buffer + expected.size()), expected);
    EXPECT_EQ(value->Buffer[expected.size()], 0);  // the terminator, not counted
    EXPECT_EQ(holder.Value(), value);              // built once
    EXPECT_EQ(holder.Text(), text);
  }
}

TEST(LsaString, ForeignValueToText) {
  TvmLsaUnicodeStringCenter holder;
  {
    // "abc" in a buffer of 10 bytes; the rest is not the string's.
    WCHAR buffer[5] = {u'a', u'b', u'c', u'x', u'y'};
    LSA_UNICODE_STRING foreign{6, 10, buffer};
    holder.SetValue(&foreign);
    std::memset(buffer, 0, sizeof buffer);  // the holder keeps no reference
    foreign.Buffer = nullptr;
  }
  EXPECT_EQ(holder.Text(), "abc");
  ExpectOneBlock(holder.Value());
  EXPECT_EQ(holder.Value()->Length, 6);
  EXPECT_EQ(holder.Value()->MaximumLength, 10);

  // Without a string: empty text, no value.
  holder.SetValue(nullptr);
  EXPECT_EQ(holder.Text(), "");
  EXPECT_EQ(holder.Value(), nullptr);
  // A text written afterwards gets a value of its own again.
  holder.SetText("x");
  ASSERT_NE(holder.Value(), nullptr);
  EXPECT_EQ(holder.Value()->Length, 2);
}

// Strings that do not come from the LSA: never a byte past the source's
// MaximumLength nor past the copy's block, only whole characters.
TEST(LsaString, MalformedForeignStringsAreCopiedWithinTheirBuffers) {
  struct Case {
    USHORT length, maximum;
    USHORT copiedLength;
    const char* text;
  } cases[] = {{12, 6, 6, "abc"},  // Length past MaximumLength: clamped to it
               {7, 10, 6, "abc"},  // odd Length: the half character is dropped
               {9, 7, 6, "abc"},   // both
               {1, 1, 0, ""},      // not even one character
               {0, 0, 0, ""}};
  for (const Case& c : cases) {
    // The source buffer holds exactly MaximumLength bytes (heap, so that a
    // sanitiser sees any read past it).
    std::vector<char> bytes(c.maximum);
    const WCHAR abcd[] = {u'a', u'b', u'c', u'd', u'e'};
    if (c.maximum > 0) std::memcpy(bytes.data(), abcd, c.maximum);
    LSA_UNICODE_STRING source{c.length, c.maximum, reinterpret_cast<PWSTR>(bytes.data())};
    PLSA_UNICODE_STRING copy = CopyLsaUnicodeString(&source);
    ASSERT_NE(copy, nullptr);
    ExpectOneBlock(copy);
    EXPECT_EQ(copy->Length, c.copiedLength) << c.length << "/" << c.maximum;
    EXPECT_EQ(copy->MaximumLength, c.maximum);
    EXPECT_LE(copy->Length, copy->MaximumLength);
    FreeLsaUnicodeString(copy);

    TvmLsaUnicodeStringCenter holder;
    holder.SetValue(&source);
    EXPECT_EQ(holder.Text(), c.text) << c.length << "/" << c.maximum;
  }

  // A null buffer with a Length copies no characters.
  LSA_UNICODE_STRING dangling{8, 8, nullptr};
  PLSA_UNICODE_STRING copy = CopyLsaUnicodeString(&dangling);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Length, 0);
  FreeLsaUnicodeString(copy);
  EXPECT_EQ(CopyLsaUnicodeString(nullptr), nullptr);
}

TEST(LsaString, TextTooLongForAnLsaString) {
  TvmLsaUnicodeStringCenter holder;
  holder.SetText(std::string(32767, 'a'));
  PLSA_UNICODE_STRING longest = holder.Value();
  ASSERT_NE(longest, nullptr);
  EXPECT_EQ(longest->Length, 65534);
  EXPECT_EQ(longest->Buffer[32767], 0);

  holder.SetText(std::string(32768, 'a'));
  EXPECT_THROW(holder.Value(), EConvertError);
  EXPECT_EQ(holder.Text(), std::string(32768, 'a'));  // the text form stays
}

}  // namespace
