// The script buffer, the script position and the small scanning steps that
// every parser of the runtime shares.
#pragma once
#include <stdint.h>

extern char* g_script;          // [0] = CR, text, Ctrl-Z
extern uint32_t g_script_len;   // bytes of text (buffer holds len + 2)
extern char* g_pos;             // the script position

enum : unsigned char { CH_EOT = 26 };

// A new script buffer of len bytes of text: CR, the text (not filled in),
// Ctrl-Z. False when there is no memory (nothing allocated).
bool make_script_buffer(uint32_t len);
// Makes the script buffer from text in memory (tests, the native tools).
bool load_script_text(const char* text, uint32_t len);
void free_script();

enum CharClass : unsigned char {
  CC_BLANK = 1,      // TAB LF CR space |
  CC_LINE_END = 2,   // CR LF Ctrl-Z
  CC_IDENT = 4,      // letters digits _
  CC_IDENT_START = 8,  // letters _
  CC_DIGIT = 16,
};
extern const unsigned char g_cclass[256];

inline bool is_blank(char c) { return g_cclass[(unsigned char)c] & CC_BLANK; }
inline bool is_line_end(char c) { return g_cclass[(unsigned char)c] & CC_LINE_END; }
inline bool is_ident(char c) { return g_cclass[(unsigned char)c] & CC_IDENT; }
inline bool is_ident_start(char c) { return g_cclass[(unsigned char)c] & CC_IDENT_START; }
inline bool is_digit(char c) { return (unsigned char)(c - '0') < 10; }
inline char upper_ascii(char c) { return (c >= 'a' && c <= 'z') ? (char)(c - 32) : c; }

// Moves the script position over blanks and comments; false after an
// unbalanced comment ("Unbalanced comment markers." at its opening brace).
bool skip_blanks_from_here();
inline bool skip_blanks() {
  char c = *g_pos;
  if (c == ' ') c = *++g_pos;                 // the common cases: one space,
  if (!is_blank(c) && c != '{') return true;  // or nothing to skip
  return skip_blanks_from_here();
}
// At a "{": moves p past the matching "}". False at Ctrl-Z.
bool skip_comment(char** p);
// If the character at the script position is c, steps over it; otherwise
// "Syntax error." there.
bool expect_char(char c);
// Compares the word at p with a keyword, both taken as words, ignoring case,
// in the order of the platform's case-insensitive comparison.
int compare_word(const char* p, const char* keyword);
// True when the word at p is the keyword (whole word, case ignored).
bool word_is(const char* p, const char* keyword);
// Length of the word at p.
inline uint32_t word_length(const char* p) {
  const char* q = p;
  while (is_ident(*q)) ++q;
  return (uint32_t)(q - p);
}
inline void skip_word() { g_pos += word_length(g_pos); }
// Hash of a name without regard to case (the name indexes use it).
inline uint32_t hash_name(const char* p, uint32_t len) {
  uint32_t h = 2166136261u;
  for (uint32_t i = 0; i < len; ++i) h = (h ^ (unsigned char)upper_ascii(p[i])) * 16777619u;
  return h;
}
// At a double quote: scans the literal, terminating it in place with NUL.
// False ("Syntax error." at the quote) when Ctrl-Z comes first.
bool scan_literal(const char** text, uint32_t* len);
inline bool at_line_end() { return is_line_end(*g_pos); }
