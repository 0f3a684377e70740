// Syntax descriptors, keyword tables and the argument area.
#pragma once
#include <stdint.h>
#include "core/variables.h"

enum ArgKind : uint32_t {
  A_LPAREN = 0, A_RPAREN = 1, A_COMMA = 2, A_NUM = 3, A_POINT = 4, A_COLOUR = 5,
  A_STR = 6, A_NUMVAR = 7, A_LABEL = 8, A_NUMRELOP = 9, A_KEYWORD = 10,
  A_END = 12, A_STRVAR = 13, A_STRRELOP = 14,
};

struct KeywordRow {
  const char* name;   // null ends the table
  int32_t value;
};

struct ArgItem {
  uint32_t kind;
  const KeywordRow* table;  // Keyword items only
};

// Shorthands for writing descriptors.
#define LP_ {A_LPAREN, nullptr}
#define RP_ {A_RPAREN, nullptr}
#define CM_ {A_COMMA, nullptr}
#define NUM_ {A_NUM, nullptr}
#define POINT_ {A_POINT, nullptr}
#define COLOUR_ {A_COLOUR, nullptr}
#define STR_ {A_STR, nullptr}
#define NUMVAR_ {A_NUMVAR, nullptr}
#define STRVAR_ {A_STRVAR, nullptr}
#define LABEL_ {A_LABEL, nullptr}
#define NUMREL_ {A_NUMRELOP, nullptr}
#define STRREL_ {A_STRRELOP, nullptr}
#define KW_(t) {A_KEYWORD, t}
#define END_ {A_END, nullptr}

// The argument area: words are pointer-sized so that references and text
// addresses fit on every target; numbers occupy the low 32 bits.
extern intptr_t g_args[20];

inline int32_t arg_num(int i) { return (int32_t)g_args[i]; }
inline const char* arg_text(int i) { return (const char*)g_args[i]; }
inline uint32_t arg_len(int i) { return (uint32_t)g_args[i]; }
inline NumVar* arg_numvar(int i) { return (NumVar*)g_args[i]; }
inline StrVar* arg_strvar(int i) { return (StrVar*)g_args[i]; }
struct Label;
inline Label* arg_label(int i) { return (Label*)g_args[i]; }
// COLORREF of a Colour argument starting at word i.
inline uint32_t arg_colour(int i) {
  return (uint32_t)(g_args[i] & 0xFF) | (uint32_t)(g_args[i + 1] & 0xFF) << 8 |
         (uint32_t)(g_args[i + 2] & 0xFF) << 16;
}

// Turns a Point argument as written into pixels. The drawing layer, which
// owns the coordinate mode, installs it; without it (the native tools)
// points stay as written.
extern void (*g_scale_point)(int32_t* x, int32_t* y);

// Parses the arguments at the script position by the descriptor into g_args.
bool parse_arguments(const ArgItem* desc);
// Reads one string operand (literal or string variable).
bool read_str_operand(const char** text, uint32_t* len);
// Looks the word at the script position up in a keyword table (first equal
// row wins); "Syntax error." when no row matches.
bool read_keyword(const KeywordRow* table, int32_t* value);
