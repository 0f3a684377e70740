// Message framing of the editor protocols (language server and debug
// adapter) on stdin and stdout: "Content-Length: N" headers, a blank line,
// then N bytes of JSON. Shared by tarvo-lsp and tarvo-dap.
#pragma once
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <string>

namespace protocol {

// Larger bodies are taken for a broken stream rather than allocated.
const size_t MAX_BODY = 64u << 20;

// One message body from stdin; false at the end of the stream or on a
// body that is too long or cut short.
inline bool read_framed(std::string* body) {
  size_t length = 0;
  bool have_length = false;
  char line[1024];
  for (;;) {
    if (!fgets(line, sizeof line, stdin)) return false;
    size_t n = strlen(line);
    while (n && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = 0;
    if (n == 0) {
      if (have_length) break;
      continue;
    }
    if (!strncasecmp(line, "Content-Length:", 15)) {
      length = strtoul(line + 15, nullptr, 10);
      have_length = true;
    }
  }
  if (length > MAX_BODY) return false;
  body->assign(length, '\0');
  return length == 0 || fread(&(*body)[0], 1, length, stdin) == length;
}

inline void write_framed(const std::string& body) {
  fprintf(stdout, "Content-Length: %zu\r\n\r\n", body.size());
  fwrite(body.data(), 1, body.size(), stdout);
  fflush(stdout);
}

}  // namespace protocol
