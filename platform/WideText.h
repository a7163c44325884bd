// Text helpers of the platform: UTF-8 and UTF-16 in both directions, the
// upper-cased key every name is compared by, and names as Windows functions
// take them.
#pragma once

#include <string>
#include <string_view>

#include "platform/win32api.h"

namespace tavrin::platform::text {

// Invalid sequences become U+FFFD; `invalid` (if given) tells whether any was met.
std::u32string DecodeUtf8(std::string_view text, bool* invalid = nullptr);
void AppendUtf8(std::string& out, char32_t c);
char32_t FoldUpper(char32_t c);
// The one case folding of names: the upper-cased form names are compared
// and indexed by (UTF-8 here; on Windows the ANSI code page, upper-cased as
// the system does).
std::string UpperKey(std::string_view utf8);
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
#ifndef _WIN32
// A wide, null-terminated name (may be null) as UTF-8.
std::string WideArg(const WCHAR* text);
#endif
// "\\NAME" or "NAME" without the leading backslashes.
std::string StripBackslashes(const std::string& name);

}  // namespace tavrin::platform::text
