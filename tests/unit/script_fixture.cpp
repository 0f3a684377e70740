#include "script_fixture.h"
#include <cstring>
#include <windows.h>
#include "core/commands.h"
#include "host/bindings.h"

ScriptResult g_last;

static void capture(int msg, const char* line) {
  g_last.msg = msg;
  g_last.line = line;
}

void unload_script() {
  mem_fail_after(0);
  forget_bindings();
  reset_block_if();
  free_all_variables();
  free_labels();
  free_dispatch();
  free_script();
}

ScriptResult run_script(const std::string& text, int fail_after) {
  unload_script();
  g_last = ScriptResult();
  g_error = MSG_NONE;
  g_error_box_hook = capture;
  g_script_ended = false;
  g_script_running = false;
  if (!load_script_text(text.data(), (uint32_t)text.size()) || !init_dispatch()) {
    g_last.msg = MSG_NO_MEMORY;
    return g_last;
  }
  if (!prescan_labels()) return g_last;
  g_pos = g_script;
  reset_gosub_stack();
  g_last.started = true;
  mem_fail_after(fail_after);
  run_statements();
  g_last.injected = fail_after > 0 && !mem_failure_pending();
  mem_fail_after(0);
  return g_last;
}

static bool same_word(const char* a, const char* b) {
  size_t n = std::strlen(b);
  for (size_t i = 0; i < n; ++i)
    if (upper_ascii(a[i]) != upper_ascii(b[i])) return false;
  return !is_ident(a[n]);
}

int num(const char* name) {
  for (NumVar* v = first_numvar(); v; v = v->next)
    if (same_word(v->name, name)) return v->value;
  return 0;
}

static StrVar* find_str(const char* name) {
  for (StrVar* v = first_strvar(); v; v = v->next)
    if (same_word(v->name, name)) return v;
  return nullptr;
}

std::string str(const char* name) {
  StrVar* v = find_str(name);
  return v ? std::string(v->text, str_len(v)) : std::string();
}

bool has_str(const char* name) { return find_str(name) != nullptr; }
