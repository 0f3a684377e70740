// The static checker: parses every statement of a script with the runtime's
// own lexer, tables and parsers, without running anything, and collects
// what it finds. Used by tarvocheck and tarvo-lsp.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>
#include "core/arguments.h"

struct Diagnostic {
  uint32_t line;    // 0-based
  uint32_t col;     // 0-based, in bytes
  uint32_t length;  // bytes the mark covers on its line (at least 1)
  bool error;
  std::string text;
};

struct Symbol {
  std::string name;
  uint32_t line, col;
};

struct CheckResult {
  std::vector<Diagnostic> diagnostics;  // in text order
  std::vector<Symbol> labels;           // definitions, in text order
  std::vector<Symbol> variables;        // first mention of each ("A", "B$")
  int errors = 0;
};

// Checks one script given as its file's bytes.
CheckResult check_script(const std::string& text);

// The syntax of a command or statement for people, as "DRAWLINE (x1, y1,
// x2, y2)"; empty when the word is neither. *meaning gets one line saying
// what it does.
std::string describe_keyword(const std::string& word, std::string* meaning);
// Every command, statement and END, in table order.
std::vector<std::string> all_keywords();
