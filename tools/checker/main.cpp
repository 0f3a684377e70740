// tarvocheck FILE...: reports every mistake that the runtime would stop a
// script for, without running it, as FILE:LINE:COL: error|warning: TEXT;
// --json prints the same as a JSON array; --keywords lists every keyword. Exit status 1 when there is an
// error, 2 when a file cannot be read.
#include <stdio.h>
#include <string.h>
#include <string>
#include <nlohmann/json.hpp>
#include "tools/checker/checker.h"
#include "tools/protocol/latin1.h"

static bool read_file(const char* path, std::string* text) {
  FILE* f = fopen(path, "rb");
  if (!f) return false;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) text->append(buf, n);
  bool ok = !ferror(f);
  fclose(f);
  return ok;
}

int main(int argc, char** argv) {
  bool json = false;
  int files = 0, status = 0;
  if (argc == 2 && !strcmp(argv[1], "--keywords")) {
    for (const std::string& k : all_keywords()) printf("%s\n", k.c_str());
    return 0;
  }
  for (int i = 1; i < argc; ++i) {
    if (!strcmp(argv[i], "--json")) json = true;
    else ++files;
  }
  if (!files) {
    fprintf(stderr, "usage: tarvocheck [--json] FILE...\n");
    return 2;
  }
  nlohmann::json list = nlohmann::json::array();
  for (int i = 1; i < argc; ++i) {
    if (!strcmp(argv[i], "--json")) continue;
    std::string text;
    if (!read_file(argv[i], &text)) {
      fprintf(stderr, "tarvocheck: cannot read %s\n", argv[i]);
      status = 2;
      continue;
    }
    CheckResult r = check_script(text);
    if (r.errors && status == 0) status = 1;
    for (const Diagnostic& d : r.diagnostics) {
      const char* sev = d.error ? "error" : "warning";
      if (json) {
        list.push_back({{"file", protocol::latin1_to_utf8(argv[i])}, {"line", d.line + 1}, {"column", d.col + 1},
                        {"length", d.length}, {"severity", sev}, {"message", protocol::latin1_to_utf8(d.text)}});
      } else {
        printf("%s:%u:%u: %s: %s\n", argv[i], d.line + 1, d.col + 1, sev, d.text.c_str());
      }
    }
  }
  if (json) printf("%s\n", list.dump(1).c_str());
  return status;
}
