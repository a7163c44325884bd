// LSA string conversion: holds on every platform.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/Velmar_CenterUtils.h"
#include "rights/Velmar_LsaStringCenter.h"

namespace {

// One block: header, characters, an uncounted zero; up to 32,767 units, longer stays text.
TEST(LsaString, TextToValue) {
  TvmLsaUnicodeStringCenter holder;
  for (const std::string& text :
       {std::string(), std::string("SeDebugPrivilege"), std::string(32767, 'a')}) {
    SCOPED_TRACE(text.substr(0, 20));
    holder.SetText(text);
    PLSA_UNICODE_STRING value = holder.Value();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(static_cast<void*>(value->Buffer), static_cast<void*>(value + 1));
    const auto bytes = static_cast<USHORT>(text.size() * sizeof(WCHAR));
    EXPECT_EQ(value->Length, bytes);
    EXPECT_EQ(value->MaximumLength, bytes);
    std::vector<WCHAR> units(text.begin(), text.end());
    units.push_back(0);
    EXPECT_EQ(std::vector<WCHAR>(value->Buffer, value->Buffer + units.size()), units);
    EXPECT_EQ(holder.Value(), value);  // built once
  }
  holder.SetText(std::string(32768, 'a'));
  EXPECT_THROW(holder.Value(), EConvertError);
  EXPECT_EQ(holder.Text(), std::string(32768, 'a'));
}

// Foreign strings: whole characters within MaximumLength, copied, the source not kept.
TEST(LsaString, ForeignValuesAreCopiedWithinTheirBuffers) {
  const struct {
    USHORT length, maximum, copiedLength;
    const char* text;
  } cases[] = {{6, 10, 6, "abc"},  // the rest of the buffer is not the string's
               {12, 6, 6, "abc"},  // Length past MaximumLength: clamped to it
               {9, 7, 6, "abc"},   // odd Length: the half character is dropped
               {1, 1, 0, ""}};     // not even one character
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.length) + "/" + std::to_string(c.maximum));
    // Exactly MaximumLength bytes on the heap, so that a sanitiser sees any read past it.
    std::vector<char> bytes(c.maximum);
    std::memcpy(bytes.data(), u"abcde", c.maximum);
    LSA_UNICODE_STRING source{c.length, c.maximum, reinterpret_cast<PWSTR>(bytes.data())};
    TvmLsaUnicodeStringCenter holder;
    holder.SetValue(&source);
    std::fill(bytes.begin(), bytes.end(), 0);
    EXPECT_EQ(holder.Text(), c.text);
    EXPECT_EQ(static_cast<void*>(holder.Value()->Buffer), static_cast<void*>(holder.Value() + 1));
    EXPECT_EQ(holder.Value()->Length, c.copiedLength);
    EXPECT_EQ(holder.Value()->MaximumLength, c.maximum);
  }

  // A null buffer copies nothing; no source, no block until a text is written.
  LSA_UNICODE_STRING dangling{8, 8, nullptr};
  PLSA_UNICODE_STRING copy = CopyLsaUnicodeString(&dangling);
  EXPECT_EQ(copy->Length, 0);
  FreeLsaUnicodeString(copy);
  TvmLsaUnicodeStringCenter holder;
  holder.SetValue(nullptr);
  EXPECT_EQ(holder.Value(), nullptr);
  holder.SetText("x");
  EXPECT_EQ(holder.Value()->Length, 2);
}

}  // namespace
