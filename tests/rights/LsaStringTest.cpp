// LSA string conversion: holds on every platform.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "rights/Velmar_CenterUtils.h"
#include "rights/Velmar_LsaStringCenter.h"

namespace {

// The characters sit in the same block, right after the platform's header.
void ExpectOneBlock(const LSA_UNICODE_STRING* value) {
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(reinterpret_cast<const char*>(value->Buffer) - reinterpret_cast<const char*>(value),
            static_cast<std::ptrdiff_t>(sizeof(LSA_UNICODE_STRING)));
}

// A new holder's block is the header and a zero; "SeDebugPrivilege"'s is the
// header, 32 bytes of text and a zero. The longest text an LSA string holds
// is 32,767 units.
TEST(LsaString, TextToValue) {
  TvmLsaUnicodeStringCenter holder;
  EXPECT_EQ(holder.Text(), "");
  for (const std::string& text :
       {std::string(), std::string("SeDebugPrivilege"), std::string(32767, 'a')}) {
    SCOPED_TRACE(text.substr(0, 20));
    if (!text.empty()) holder.SetText(text);  // a new text drops the block
    PLSA_UNICODE_STRING value = holder.Value();
    ExpectOneBlock(value);
    const auto bytes = static_cast<USHORT>(text.size() * sizeof(WCHAR));
    EXPECT_EQ(value->Length, bytes);
    EXPECT_EQ(value->MaximumLength, bytes);
    EXPECT_EQ(std::vector<WCHAR>(value->Buffer, value->Buffer + text.size()),
              std::vector<WCHAR>(text.begin(), text.end()));
    EXPECT_EQ(value->Buffer[text.size()], 0);  // the terminator, not counted
    EXPECT_EQ(holder.Value(), value);          // built once
    EXPECT_EQ(holder.Text(), text);
  }
  holder.SetText(std::string(32768, 'a'));
  EXPECT_THROW(holder.Value(), EConvertError);
  EXPECT_EQ(holder.Text(), std::string(32768, 'a'));  // the text form stays
}

// Strings that do not come from the LSA: never a byte past the source's
// MaximumLength nor past the copy's block, only whole characters; the
// holder keeps no reference to the source.
TEST(LsaString, ForeignValuesAreCopiedWithinTheirBuffers) {
  struct Case {
    USHORT length, maximum;
    USHORT copiedLength;
    const char* text;
  } cases[] = {{6, 10, 6, "abc"},  // the rest of the buffer is not the string's
               {12, 6, 6, "abc"},  // Length past MaximumLength: clamped to it
               {7, 10, 6, "abc"},  // odd Length: the half character is dropped
               {9, 7, 6, "abc"},   // both
               {1, 1, 0, ""},      // not even one character
               {0, 0, 0, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.length) + "/" + std::to_string(c.maximum));
    // The source buffer holds exactly MaximumLength bytes (heap, so that a
    // sanitiser sees any read past it).
    std::vector<char> bytes(c.maximum);
    const WCHAR abcde[] = {u'a', u'b', u'c', u'd', u'e'};
    if (c.maximum > 0) std::memcpy(bytes.data(), abcde, c.maximum);
    LSA_UNICODE_STRING source{c.length, c.maximum, reinterpret_cast<PWSTR>(bytes.data())};
    TvmLsaUnicodeStringCenter holder;
    holder.SetValue(&source);
    std::fill(bytes.begin(), bytes.end(), 0);
    EXPECT_EQ(holder.Text(), c.text);
    ExpectOneBlock(holder.Value());
    EXPECT_EQ(holder.Value()->Length, c.copiedLength);
    EXPECT_EQ(holder.Value()->MaximumLength, c.maximum);
  }

  // A null buffer with a Length copies no characters; no source, no block.
  LSA_UNICODE_STRING dangling{8, 8, nullptr};
  PLSA_UNICODE_STRING copy = CopyLsaUnicodeString(&dangling);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Length, 0);
  FreeLsaUnicodeString(copy);
  TvmLsaUnicodeStringCenter holder;
  holder.SetValue(nullptr);
  EXPECT_EQ(holder.Text(), "");
  EXPECT_EQ(holder.Value(), nullptr);
  // A text written afterwards gets a value of its own again.
  holder.SetText("x");
  ASSERT_NE(holder.Value(), nullptr);
  EXPECT_EQ(holder.Value()->Length, 2);
}

}  // namespace
