// The checker walks a script from its first byte to its last, statement
// after statement, the way the statement loop would if every statement were
// reached: the label pre-scan, the keyword tables and every parser are the
// runtime's own. Nothing runs: commands are parsed by their descriptors and
// never handed to their handlers, and statements are read by their parsing
// steps (IF, the bindings, SETMENU, WAITINPUT); only the assignment, which
// touches nothing but the checker's own variables, runs as it is.
#include "tools/checker/checker.h"
#include <algorithm>
#include <map>
#include <set>
#include "core/commands.h"
#include "core/conditionals.h"
#include "core/errors.h"
#include "core/labels.h"
#include "core/name_cache.h"
#include "core/numbers.h"
#include "core/script.h"
#include "core/variables.h"
#include "host/binding_syntax.h"

namespace {

// Errors that the text alone decides. Others ("Divide by zero.", a negative
// time) depend on values that only a run has.
bool syntax_class(int msg) {
  switch (msg) {
    case MSG_SYNTAX: case MSG_UNBALANCED_COMMENT: case MSG_LABEL_NOT_FOUND:
    case MSG_LABEL_MULTIDEFINED: case MSG_NUMBER_RANGE: case MSG_INVALID_NUMBER:
    case MSG_FRACTIONAL: case MSG_COLOUR_RANGE: case MSG_SWITCH: case MSG_NO_ENDIF:
      return true;
    default:
      return false;
  }
}

struct Walk {
  std::string text;               // the file as read
  std::vector<uint32_t> line_starts;
  CheckResult out;
  int box_msg = MSG_NONE;         // what the pre-scan reported
  char* box_pos = nullptr;

  // Block IF ranges: from behind the condition to the ENDIF it found.
  std::vector<std::pair<char*, char*>> blocks;
  std::set<char*> block_targets;  // ELSE and ENDIF words that block IFs found
  std::vector<char*> false_targets;  // where false IFs continue
  std::set<char*> starts;         // statements of the main walk
  std::set<char*> reported;       // positions already reported
  std::set<uint32_t> dup_labels;  // offsets of second definitions
  std::vector<const char*> label_defs;        // beside out.labels
  std::map<const char*, int> label_uses;      // by definition

  struct VarUse {
    int reads = 0, sets = 0;
    char* first_read = nullptr;
    std::string name;
  };
  std::map<const void*, VarUse> vars;
  std::vector<const void*> var_order;

  uint32_t offset_of(const char* p) const { return (uint32_t)(p - g_script - 1); }

  void index_lines() {
    line_starts.push_back(0);
    for (uint32_t i = 0; i < text.size(); ++i) {
      char c = text[i];
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
      if (c == '\r' || c == '\n') line_starts.push_back(i + 1);
    }
  }

  void place(uint32_t off, uint32_t* line, uint32_t* col) const {
    if (off > text.size()) off = (uint32_t)text.size();
    size_t lo = 0, hi = line_starts.size();
    while (hi - lo > 1) {
      size_t mid = (lo + hi) / 2;
      if (line_starts[mid] <= off) lo = mid; else hi = mid;
    }
    *line = (uint32_t)lo;
    *col = off - line_starts[lo];
  }

  void report(const char* pos, bool error, const std::string& msg) {
    Diagnostic d;
    uint32_t off = pos < g_script + 1 ? 0 : offset_of(pos);
    place(off, &d.line, &d.col);
    uint32_t n = 0;
    while (off + n < text.size() && (is_ident(text[off + n]) || text[off + n] == '$')) ++n;
    d.length = n ? n : 1;
    d.error = error;
    d.text = msg;
    if (error) ++out.errors;
    out.diagnostics.push_back(d);
  }

  // Over literals and comments to the next line end (the rest of a line that
  // no run reaches).
  void skip_line(char* p) {
    while (!is_line_end(*p)) {
      if (*p == '"') {
        // The pre-scan ended every literal with a NUL where its quote was.
        ++p;
        while (*p && *p != '"' && *p != (char)CH_EOT) ++p;
        if (*p != (char)CH_EOT) ++p;
      } else if (*p == '{') {
        if (!skip_comment(&p)) break;
      } else {
        ++p;
      }
    }
    g_pos = p;
  }

  static void capture(int msg, const char*);

  // The label pre-scan. A second definition stops the runtime at start-up;
  // here it is reported and hidden from the next round so that every
  // duplicate is found and the rest of the script is still checked.
  bool prescan() {
    for (;;) {
      free_labels();
      free_name_cache();
      free_script();
      if (!load_script_text(text.data(), (uint32_t)text.size())) return false;
      for (uint32_t off : dup_labels) g_script[off] = ' ';  // the line end before it
      init_name_cache();
      box_msg = MSG_NONE;
      if (prescan_labels()) return true;
      char* pos = box_pos;
      int msg = box_msg;
      report(pos, true, msg_text(msg));
      if (msg != MSG_LABEL_MULTIDEFINED) return false;
      dup_labels.insert((uint32_t)(pos - 1 - g_script));
    }
  }

  void define_label(char* p) {
    Symbol s;
    s.name.assign(p, word_length(p));
    place(offset_of(p), &s.line, &s.col);
    label_defs.push_back(p);
    out.labels.push_back(s);
  }

  bool in_block(char* p) const {
    for (auto& b : blocks)
      if (p >= b.first && p <= b.second) return true;
    return false;
  }

  VarUse& var(const void* v, const char* name, bool text_var) {
    auto it = vars.find(v);
    if (it == vars.end()) {
      VarUse u;
      u.name.assign(name, word_length(name));
      if (text_var) u.name += '$';
      it = vars.emplace(v, u).first;
      var_order.push_back(v);
    }
    return it->second;
  }

  // What the statement just parsed from start to the script position looked
  // up: labels count as used, variables as read, except those the statement
  // sets (outputs: *sets of them, or the first mention for an assignment).
  void account(char* start, char* end, const std::vector<const void*>& outputs, bool first_is_set,
               bool all_set) {
    std::map<const void*, int> out_left;
    for (auto v : outputs) ++out_left[v];
    bool first = true;
    for (char* p = start; p < end; ++p) {
      const NameSlot* s = find_name_slot(p);
      if (!s) continue;
      if (s->label) ++label_uses[s->label->name];
      const void* v = nullptr;
      bool text_var = p[s->length] == '$';
      if (text_var && s->str) v = s->str;
      else if (!text_var && s->num) v = s->num;
      if (!v || (p > g_script && is_ident(p[-1]))) continue;
      // Values stay 0: a value that an assignment gave must not turn into
      // an error of a statement that may never run after it.
      if (!text_var) s->num->value = 0;
      VarUse& u = var(v, p, text_var);
      if (all_set || (first && first_is_set)) {
        ++u.sets;
        if (all_set) ++u.reads;
      } else if (out_left[v] > 0) {
        --out_left[v];
        ++u.sets;
      } else {
        ++u.reads;
        if (!u.first_read) u.first_read = p;
      }
      first = false;
    }
  }

  // The variables that a command's descriptor names as outputs, from the
  // argument area (the word layout of the argument kinds).
  static std::vector<const void*> outputs_of(const ArgItem* desc) {
    std::vector<const void*> r;
    int w = 0;
    for (;; ++desc) {
      int kind = (signed char)(desc->kind & 0xFF);
      if (kind < 0 || kind > 14 || kind == 11 || kind == A_END) break;
      switch (kind) {
        case A_NUM: case A_LABEL: case A_NUMRELOP: case A_STRRELOP: case A_KEYWORD: w += 1; break;
        case A_POINT: case A_STR: w += 2; break;
        case A_COLOUR: w += 3; break;
        case A_NUMVAR: case A_STRVAR: r.push_back((const void*)g_args[w]); w += 1; break;
        default: break;
      }
    }
    return r;
  }

  int find_keyword(const char* p, int* index) const {
    if (word_is(p, "END")) return 1;
    for (int i = 0; i < g_statement_count; ++i)
      if (word_is(p, g_statements[i].name)) { *index = i; return 2; }
    for (int i = 0; i < g_command_count; ++i)
      if (word_is(p, g_commands[i].name)) { *index = i; return 3; }
    return 0;
  }

  void run() {
    index_lines();
    if (!prescan()) return;
    walk(g_script, true);
    // A false IF ... THEN goes on from the line end, a false block IF behind
    // the ELSE or at the ENDIF that its scan found. When that place is inside
    // a literal, a comment, a longer name or a statement that spans lines,
    // the run goes on from there all the same.
    for (size_t i = 0; i < false_targets.size(); ++i)
      if (!starts.count(false_targets[i])) walk(false_targets[i], false);
    finish();
  }

  // Walks statements from p: the main walk to the end of the text, another
  // one until it meets a statement of the main walk.
  void walk(char* from, bool main) {
    g_pos = from;
    bool unreachable = false, warned = false;
    char* conditional_until = nullptr;  // the line end behind IF ... THEN
    for (;;) {
      g_error = MSG_NONE;
      if (!skip_blanks()) {
        report(g_error_pos, true, msg_text(g_error));
        return;
      }
      char* start = g_pos;
      if (*start == (char)CH_EOT) break;
      if (!main && starts.count(start)) break;
      if (main) starts.insert(start);
      if (is_ident_start(*start) && is_line_end(start[-1]) && step_over_label()) {
        if (main) define_label(start);
        unreachable = false;
        continue;
      }
      if (dup_labels.count(offset_of(start)) && is_ident_start(*start) &&
          start[word_length(start)] == ':') {
        g_pos = start + word_length(start) + 1;
        unreachable = false;
        continue;
      }
      if (conditional_until && start > conditional_until) {
        conditional_until = nullptr;
        unreachable = false;  // where a false IF ... THEN continues
      }
      if (block_targets.count(start)) unreachable = false;
      if (unreachable && !warned && main) {
        report(start, false, "Unreachable code: no label or IF leads here.");
        warned = true;
      }
      g_error_pos = start;
      int index = -1;
      int kind = find_keyword(start, &index);
      bool ok = true;
      bool ends_flow = false;
      std::vector<const void*> outputs;
      bool first_is_set = false, all_set = false;
      if (kind == 1) {
        skip_line(start + 3);
        ends_flow = true;
      } else if (kind == 2) {
        const char* name = g_statements[index].name;
        g_pos = start + word_length(start);
        ok = check_statement(name, start, &conditional_until, &first_is_set, &all_set);
      } else if (kind == 3) {
        const Command& c = g_commands[index];
        g_pos = start + word_length(start);
        ok = parse_arguments(c.syntax);
        if (ok) {
          outputs = outputs_of(c.syntax);
          ends_flow = c.handler == cmd_goto || c.handler == cmd_return;
        }
      } else {
        ok = stmt_assignment();
        first_is_set = true;
      }
      if (!ok) {
        int msg = g_error;
        char* pos = g_error_pos ? g_error_pos : start;
        bool literal = is_digit(*pos) || (*pos == '-' && is_digit(pos[1]));
        if (syntax_class(msg) && (msg != MSG_COLOUR_RANGE || literal)) {
          if (reported.insert(pos).second) report(pos, true, msg_text(msg));
          if (!main) return;
          char* from = pos > g_pos ? pos : g_pos;
          if (from < start) from = start;
          skip_line(from);
          continue;
        }
        // A value's error: the statement's text was read to here.
      }
      account(start, g_pos, outputs, first_is_set, all_set);
      if (ends_flow && !conditional_until) {
        unreachable = true;
        warned = false;
      }
    }
  }

  bool check_statement(const char* name, char* start, char** conditional_until, bool* first_is_set,
                       bool* all_set) {
    std::string n = name;
    char* binding;
    if (n == "IF") {
      bool numeric;
      if (!read_condition(&numeric)) return false;
      char* after = g_pos;
      if (!skip_blanks()) return false;
      if (word_is(g_pos, "THEN")) {
        g_pos += 4;
        char* p = g_pos;
        while (!is_line_end(*p)) ++p;
        *conditional_until = p;
        false_targets.push_back(p);  // a false condition goes on from the raw line end
        return true;
      }
      char *else_pos, *endif_pos;
      if (!scan_block(after, &else_pos, &endif_pos)) {
        g_error = MSG_NO_ENDIF;
        g_error_pos = start;
        return false;
      }
      blocks.push_back({after, endif_pos});
      if (else_pos) block_targets.insert(else_pos);
      block_targets.insert(endif_pos);
      false_targets.push_back(else_pos ? else_pos + 4 : endif_pos);
      g_pos = after;
      return true;
    }
    if (n == "ELSE" || n == "ENDIF") {
      if (in_block(start)) return true;
      // Before any block IF it has no target: the runtime stops. After one
      // it jumps to the ENDIF of the block IF that ran last.
      if (blocks.empty()) {
        g_error = MSG_SYNTAX;
        g_error_pos = start;
        return false;
      }
      if (reported.insert(start).second)
        report(start, false, n + " closes no block IF here: it goes on behind the ENDIF of the block IF that ran last.");
      return true;
    }
    if (n == "SET") {
      *first_is_set = true;
      return stmt_set();
    }
    if (n == "SWITCH") {
      g_error = MSG_SWITCH;
      g_error_pos = start;
      return false;
    }
    if (n == "SETKEYBOARD") return read_keyboard_list(&binding);
    if (n == "BUTTON") return read_button_list(&binding, nullptr);
    if (n == "SETMENU") return read_menu_list();
    if (n == "WAITINPUT") {
      bool forever;
      int32_t ms;
      if (!read_wait_time(&forever, &ms)) return false;
      return forever || (skip_blanks() && expect_char(')'));
    }
    // SETMOUSE and its kin: the two variables of each area are set by a click.
    *all_set = true;
    return read_mouse_list(&binding);
  }

  void finish() {
    for (size_t i = 0; i < out.labels.size(); ++i) {
      if (label_uses[label_defs[i]]) continue;
      Diagnostic d;
      d.line = out.labels[i].line;
      d.col = out.labels[i].col;
      d.length = (uint32_t)out.labels[i].name.size();
      d.error = false;
      d.text = "Label " + out.labels[i].name + " is never used.";
      out.diagnostics.push_back(d);
    }
    for (auto v : var_order) {
      VarUse& u = vars[v];
      Symbol s;
      s.name = u.name;
      s.line = s.col = 0;
      out.variables.push_back(s);
      if (u.reads && !u.sets && u.first_read)
        report(u.first_read, false, "Variable " + u.name + " is read but never set.");
    }
  }
};

Walk* s_walk = nullptr;

void Walk::capture(int msg, const char*) {
  s_walk->box_msg = msg;
  s_walk->box_pos = g_error_pos;
}

}  // namespace

CheckResult check_script(const std::string& text) {
  Walk w;
  w.text = text;
  // A Ctrl-Z in the file ends the script there, as in the runtime.
  s_walk = &w;
  g_error_box_hook = Walk::capture;
  w.run();
  g_error_box_hook = nullptr;
  s_walk = nullptr;
  free_all_variables();
  free_labels();
  free_name_cache();
  free_script();
  std::stable_sort(w.out.diagnostics.begin(), w.out.diagnostics.end(),
                   [](const Diagnostic& a, const Diagnostic& b) {
                     return a.line != b.line ? a.line < b.line : a.col < b.col;
                   });
  return w.out;
}
