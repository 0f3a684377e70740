// tarvosyn: prints the runtime's own command table with each command's
// syntax descriptor, one command a line, so that the fuzzer builds its
// random statements from the table the runtime really uses:
//
//   NAME ( point , num , kw:OK|YESNO , str , numvar ) end
//
// A keyword item lists its table's words; the statements that read their
// own text follow as "statement NAME".
#include <stdio.h>

#include "core/commands.h"

static const char* item_word(uint32_t kind) {
  switch (kind) {
    case A_LPAREN: return "(";
    case A_RPAREN: return ")";
    case A_COMMA: return ",";
    case A_NUM: return "num";
    case A_POINT: return "point";
    case A_COLOUR: return "colour";
    case A_STR: return "str";
    case A_NUMVAR: return "numvar";
    case A_LABEL: return "label";
    case A_NUMRELOP: return "numrel";
    case A_KEYWORD: return "kw";
    case A_END: return "end";
    case A_STRVAR: return "strvar";
    case A_STRRELOP: return "strrel";
  }
  return "?";
}

int main() {
  for (int i = 0; i < g_command_count; i++) {
    const Command& c = g_commands[i];
    printf("%s", c.name);
    for (const ArgItem* a = c.syntax;; a++) {
      printf(" %s", item_word(a->kind));
      if (a->kind == A_KEYWORD) {
        char sep = ':';
        for (const KeywordRow* r = a->table; r && r->name; r++) {
          printf("%c%s", sep, r->name);
          sep = '|';
        }
      }
      if (a->kind == A_END) break;
    }
    printf("\n");
  }
  for (int i = 0; i < g_statement_count; i++) printf("statement %s\n", g_statements[i].name);
  return 0;
}
