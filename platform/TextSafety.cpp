#include "platform/TextSafety.h"

#include <cstdint>
#include <cstdio>

namespace {

// The length of the valid UTF-8 sequence at `at` (1 to 4), or 0 when the
// byte there does not start one. Overlong forms, surrogates and code points
// above U+10FFFF are not valid.
size_t SequenceAt(std::string_view text, size_t at, uint32_t& point) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(at);
  if (lead < 0x80) {
    point = lead;
    return 1;
  }
  size_t length;
  uint32_t min;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, min = 0x80, point = lead & 0x1Fu;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, min = 0x800, point = lead & 0x0Fu;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, min = 0x10000, point = lead & 0x07u;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    point = (point << 6) | (byte(at + i) & 0x3Fu);
  }
  if (point < min || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return 0;
  return length;
}

bool IsControl(uint32_t point) { return point < 0x20 || (point >= 0x7F && point <= 0x9F); }

// The length of the character at `at`, 0 for a byte to escape. On Windows
// texts are in the ANSI code page, where every byte from 0x80 up is a
// printable character; elsewhere they are UTF-8.
size_t PrintableAt(std::string_view text, size_t at) {
#ifdef _WIN32
  const auto byte = static_cast<uint8_t>(text[at]);
  return byte < 0x20 || byte == 0x7F ? 0 : 1;
#else
  uint32_t point = 0;
  const size_t length = SequenceAt(text, at, point);
  return length == 0 || IsControl(point) ? 0 : length;
#endif
}

}  // namespace

std::string OneLine(std::string_view text) {
  std::string out;
  bool pendingBlank = false;
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      pendingBlank = !out.empty();
      continue;
    }
    if (pendingBlank && c != ' ') out += ' ';
    pendingBlank = false;
    out += c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  const size_t first = out.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : out.substr(first);
}

std::string EscapeControls(std::string_view text) {
  std::string out;
  for (size_t at = 0; at < text.size();) {
    const size_t length = PrintableAt(text, at);
    if (length == 0) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<uint8_t>(text[at++]));
      out += escaped;
      continue;
    }
    out.append(text.substr(at, length));
    at += length;
  }
  return out;
}

bool HasControls(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    const size_t length = PrintableAt(text, at);
    if (length == 0) return true;
    at += length;
  }
  return false;
}

std::string ValidUtf8(std::string_view text, bool& replaced) {
  replaced = false;
  std::string out;
  for (size_t at = 0; at < text.size();) {
    uint32_t point = 0;
    const size_t length = SequenceAt(text, at, point);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      replaced = true;
      ++at;
      continue;
    }
    out.append(text.substr(at, length));
    at += length;
  }
  return out;
}
