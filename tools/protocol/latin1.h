// Scripts, their names and everything the runtime says are ANSI text, taken
// here as Latin-1 (each byte one character); JSON and the editor protocols
// are UTF-8. Shared by tarvocheck, tarvo-lsp and tarvo-dap.
#pragma once
#include <stdint.h>
#include <string>

namespace protocol {

inline std::string latin1_to_utf8(const std::string& s) {
  std::string r;
  r.reserve(s.size());
  for (unsigned char c : s) {
    if (c < 0x80) {
      r += (char)c;
    } else {
      r += (char)(0xC0 | (c >> 6));
      r += (char)(0x80 | (c & 0x3F));
    }
  }
  return r;
}

// Characters beyond Latin-1 become '?'.
inline std::string utf8_to_latin1(const std::string& s) {
  std::string r;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = (unsigned char)s[i];
    if (c < 0x80) {
      r += (char)c;
      ++i;
      continue;
    }
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
    uint32_t cp = c & (0x3F >> extra);
    for (int k = 1; k <= extra && i + k < s.size(); ++k) cp = cp << 6 | ((unsigned char)s[i + k] & 0x3F);
    r += cp < 256 ? (char)cp : '?';
    i += extra + 1;
  }
  return r;
}

}  // namespace protocol
