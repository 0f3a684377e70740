#include "core/labels.h"
#include "core/arguments.h"
#include "core/commands.h"
#include "core/errors.h"
#include "core/memory.h"
#include "core/name_cache.h"
#include "core/script.h"

static Label* s_first = nullptr;
static Label* s_last = nullptr;
static uint32_t s_count = 0;
static Label** s_buckets = nullptr;
static uint32_t s_mask = 0;

struct GosubFrame {
  char* ret;
  GosubFrame* below;
};
static GosubFrame* s_top = nullptr;
static GosubFrame* s_spare = nullptr;  // popped frames kept for the next GOSUB
static uint32_t s_depth = 0;

static Label* lookup(const char* p, uint32_t len, uint32_t h) {
  if (!s_buckets) return nullptr;
  for (Label* l = s_buckets[h & s_mask]; l; l = l->hnext) {
    const char* n = l->name;
    uint32_t i = 0;
    while (i < len && upper_ascii(n[i]) == upper_ascii(p[i])) ++i;
    if (i == len && !is_ident(n[len])) return l;
  }
  return nullptr;
}

static bool grow() {
  if (s_buckets && s_count < s_mask + 1) return true;
  uint32_t n = s_buckets ? (s_mask + 1) * 2 : 64;
  Label** b = (Label**)mem_alloc(sizeof(Label*) * n);
  if (!b) return s_buckets != nullptr;
  mem_free(s_buckets);
  s_buckets = b;
  s_mask = n - 1;
  for (Label* l = s_first; l; l = l->next) {
    uint32_t h = hash_name(l->name, word_length(l->name)) & s_mask;
    l->hnext = b[h];
    b[h] = l;
  }
  return true;
}

// A label definition: a word starting with a letter or "_" at the very start
// of a line, directly followed by ":".
static inline bool label_at(const char* p, uint32_t* len) {
  if (!is_ident_start(*p) || !is_line_end(p[-1])) return false;
  uint32_t n = word_length(p);
  if (p[n] != ':') return false;
  *len = n;
  return true;
}

bool prescan_labels() {
  char* p = g_script;
  for (;;) {
    char c = *p;
    if (c == (char)CH_EOT) return true;
    if (c == '"') {
      g_pos = p;
      const char* text;
      uint32_t len;
      if (!scan_literal(&text, &len)) {
        report_error();
        return false;
      }
      p = g_pos;
      continue;
    }
    if (c == '{') {
      char* open = p;
      if (!skip_comment(&p)) {
        set_error_at(MSG_UNBALANCED_COMMENT, open);
        report_error();
        return false;
      }
      continue;
    }
    uint32_t len;
    if (label_at(p, &len)) {
      uint32_t h = hash_name(p, len);
      if (lookup(p, len, h)) {
        set_error_at(MSG_LABEL_MULTIDEFINED, p);
        report_error();
        return false;
      }
      Label* l = (Label*)mem_alloc(sizeof(Label));
      if (!l || !grow()) {
        mem_free(l);
        set_error_at(MSG_NO_MEMORY, p);
        report_error();
        return false;
      }
      l->name = p;
      if (s_last) s_last->next = l; else s_first = l;
      s_last = l;
      ++s_count;
      uint32_t b = h & s_mask;
      l->hnext = s_buckets[b];
      s_buckets[b] = l;
      p += len + 1;
      continue;
    }
    ++p;
  }
}

Label* find_label() {
  NameSlot* slot = name_slot(g_pos);
  if (slot && slot->label) return slot->label;
  uint32_t len = word_length(g_pos);
  if (len == 0) return nullptr;
  Label* l = lookup(g_pos, len, hash_name(g_pos, len));
  if (slot && l) *slot = NameSlot{slot->num, slot->str, slot->str_generation, l, len, 0, false};
  return l;
}

bool step_over_label() {
  uint32_t len;
  if (!label_at(g_pos, &len)) return false;
  g_pos += len + 1;
  return true;
}

void reset_gosub_stack() {
  GosubFrame* lists[2] = {s_top, s_spare};
  for (GosubFrame* f : lists) {
    while (f) {
      GosubFrame* below = f->below;
      mem_free(f);
      f = below;
    }
  }
  s_top = s_spare = nullptr;
  s_depth = 0;
}

uint32_t gosub_depth() { return s_depth; }

const char* gosub_return(uint32_t i) {
  GosubFrame* f = s_top;
  for (; f && i; --i) f = f->below;
  return f ? f->ret : nullptr;
}

void free_labels() {
  reset_gosub_stack();
  for (Label* l = s_first; l;) {
    Label* n = l->next;
    mem_free(l);
    l = n;
  }
  s_first = s_last = nullptr;
  s_count = 0;
  mem_free(s_buckets);
  s_buckets = nullptr;
  s_mask = 0;
}

const ArgItem SYN_goto[] = {LABEL_, END_};
bool cmd_goto() {
  g_pos = (char*)arg_label(0)->name;
  return true;
}

const ArgItem SYN_gosub[] = {LABEL_, END_};
bool cmd_gosub() {
  GosubFrame* f = s_spare;
  if (f)
    s_spare = f->below;
  else
    f = (GosubFrame*)mem_alloc(sizeof(GosubFrame));
  if (!f) {
    set_error_only(MSG_NO_MEMORY);
    return false;
  }
  f->ret = g_pos;
  f->below = s_top;
  s_top = f;
  ++s_depth;
  g_pos = (char*)arg_label(0)->name;
  return true;
}

const ArgItem SYN_return[] = {END_};
bool cmd_return() {
  GosubFrame* f = s_top;
  if (!f) {
    set_error_only(MSG_RETURN_WITHOUT_GOSUB);
    return false;
  }
  g_pos = f->ret;
  s_top = f->below;
  --s_depth;
  f->below = s_spare;
  s_spare = f;
  return true;
}
