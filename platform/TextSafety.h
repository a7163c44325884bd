// Texts that came from outside (names from the network or a file, server
// messages) made safe to print: on one line, with no control character a
// terminal would act on, and as valid UTF-8.
#pragma once

#include <string>
#include <string_view>

// Line breaks (CR, LF and runs of them) become one blank; blanks at both
// ends go.
std::string OneLine(std::string_view text);

// Control characters (C0, DEL and the C1 range U+0080-U+009F) and bytes that
// are not valid UTF-8 written as \xHH, byte by byte: "PC\x1b[31m".
// Printable text, non-ASCII letters included, and backslashes stay as they
// are. On Windows, where texts are in the ANSI code page, only C0 and DEL
// count as control characters.
std::string EscapeControls(std::string_view text);

// Whether the text holds a control character (C0, DEL or C1) or a byte that
// is not valid UTF-8.
bool HasControls(std::string_view text);

// The text with every byte that is not part of a valid UTF-8 sequence
// replaced by U+FFFD; `replaced` tells whether any was.
std::string ValidUtf8(std::string_view text, bool& replaced);
