#include "core/variables.h"
#include "core/arguments.h"
#include "core/commands.h"
#include "core/errors.h"
#include "core/memory.h"
#include "core/name_cache.h"
#include "core/numbers.h"
#include "core/script.h"
#include <string.h>

// Creation-order lists. The numeric list only grows; the string list is
// doubly linked so that FREEVAR unlinks in constant time.
static NumVar* s_num_first = nullptr;
static NumVar* s_num_last = nullptr;
static uint32_t s_num_count = 0;
static StrVar* s_str_first = nullptr;
static StrVar* s_str_last = nullptr;
static uint32_t s_str_count = 0;

// Hash indexes by upper-cased name: lookups cost the same with ten names or
// ten thousand. Bucket arrays grow by doubling; if growing fails the index
// keeps working with longer chains.
struct Index {
  void** buckets;
  uint32_t mask;
};
static Index s_num_index = {nullptr, 0};
static Index s_str_index = {nullptr, 0};

static inline bool same_name(const char* a, const char* b, uint32_t len) {
  for (uint32_t i = 0; i < len; ++i)
    if (upper_ascii(a[i]) != upper_ascii(b[i])) return false;
  return !is_ident(b[len]);
}

// Chain links live at different offsets in the two record kinds, hence the
// templates.
template <typename T>
static void link_into_index(Index* ix, T* v, uint32_t h) {
  uint32_t b = h & ix->mask;
  v->hnext = (T*)ix->buckets[b];
  ix->buckets[b] = v;
}

template <typename T>
static bool grow_index(Index* ix, uint32_t count, T* first) {
  if (ix->buckets && count <= ix->mask + 1) return true;
  uint32_t n = ix->buckets ? (ix->mask + 1) * 2 : 64;
  void** b = (void**)mem_alloc(sizeof(void*) * n);
  if (!b) return ix->buckets != nullptr;
  mem_free(ix->buckets);
  ix->buckets = b;
  ix->mask = n - 1;
  for (T* v = first; v; v = v->next) link_into_index(ix, v, hash_name(v->name, word_length(v->name)));
  return true;
}

template <typename T>
static T* find_in_index(const Index& ix, const char* p, uint32_t len, uint32_t h) {
  if (!ix.buckets) return nullptr;
  for (T* v = (T*)ix.buckets[h & ix.mask]; v; v = v->hnext)
    if (same_name(p, v->name, len)) return v;
  return nullptr;
}

NumVar* find_or_create_numvar() {
  const char* p = g_pos;
  if (!is_ident_start(*p)) {
    set_error(MSG_SYNTAX);
    return nullptr;
  }
  NameSlot* slot = name_slot(p);
  if (slot && slot->num) {
    g_pos += slot->length;
    return slot->num;
  }
  uint32_t len = word_length(p);
  uint32_t h = hash_name(p, len);
  NumVar* v = find_in_index<NumVar>(s_num_index, p, len, h);
  if (v) {
    if (slot) *slot = NameSlot{v, slot->str, slot->str_generation, slot->label, len, 0, false};
    g_pos += len;
    return v;
  }
  v = (NumVar*)mem_alloc(sizeof(NumVar));
  if (!v || !grow_index(&s_num_index, s_num_count + 1, s_num_first)) {
    mem_free(v);
    set_error(MSG_NO_MEMORY);
    return nullptr;
  }
  v->name = p;
  if (s_num_last) s_num_last->next = v; else s_num_first = v;
  s_num_last = v;
  ++s_num_count;
  link_into_index(&s_num_index, v, h);
  if (slot) *slot = NameSlot{v, slot->str, slot->str_generation, slot->label, len, 0, false};
  g_pos += len;
  return v;
}

StrVar* find_or_create_strvar() {
  const char* p = g_pos;
  if (!is_ident_start(*p)) {
    set_error(MSG_SYNTAX);
    return nullptr;
  }
  NameSlot* slot = name_slot(p);
  if (slot && slot->str && slot->str_generation == g_str_generation) {
    g_pos += slot->length + 1;
    return slot->str;
  }
  uint32_t len = word_length(p);
  if (p[len] != '$') {
    set_error_at(MSG_SYNTAX, g_pos + len);
    return nullptr;
  }
  uint32_t h = hash_name(p, len);
  StrVar* v = find_in_index<StrVar>(s_str_index, p, len, h);
  if (v) {
    if (slot) *slot = NameSlot{slot->num, v, g_str_generation, slot->label, len, 0, false};
    g_pos += len + 1;
    return v;
  }
  v = (StrVar*)mem_alloc(sizeof(StrVar));
  char* text = v ? (char*)mem_alloc(1) : nullptr;
  if (!text || !grow_index(&s_str_index, s_str_count + 1, s_str_first)) {
    mem_free(text);
    mem_free(v);
    set_error(MSG_NO_MEMORY);
    return nullptr;
  }
  v->name = p;
  v->text = text;
  v->size = 1;
  v->prev = s_str_last;
  if (s_str_last) s_str_last->next = v; else s_str_first = v;
  s_str_last = v;
  ++s_str_count;
  link_into_index(&s_str_index, v, h);
  if (slot) *slot = NameSlot{slot->num, v, g_str_generation, slot->label, len, 0, false};
  g_pos += len + 1;
  return v;
}

bool set_string_value(StrVar* v, const char* text, uint32_t len, int msg) {
  // A value of the same size is written into the block it has (the source
  // may lie inside that block: memmove).
  if (v->size == len + 1) {
    memmove(v->text, text, len);
    v->text[len] = 0;
    return true;
  }
  // Otherwise a new block: the source may lie inside the old one.
  if (len > STR_MAX_LEN) {
    set_error_only(msg);
    return false;
  }
  char* block = (char*)mem_alloc((size_t)len + 1);
  if (!block) {
    set_error_only(msg);
    return false;
  }
  memcpy(block, text, len);
  block[len] = 0;
  mem_free(v->text);
  v->text = block;
  v->size = len + 1;
  return true;
}

static void unlink_strvar(StrVar* v) {
  ++g_str_generation;
  if (s_str_index.buckets) {
    void** link = &s_str_index.buckets[hash_name(v->name, word_length(v->name)) & s_str_index.mask];
    while (*link && *link != v) link = (void**)&((StrVar*)*link)->hnext;
    if (*link) *link = v->hnext;
  }
  if (v->prev) v->prev->next = v->next; else s_str_first = v->next;
  if (v->next) v->next->prev = v->prev; else s_str_last = v->prev;
  --s_str_count;
  mem_free(v->text);
  mem_free(v);
}

static bool numeric_assignment() {
  NumVar* v = find_or_create_numvar();
  if (!v) return false;
  if (!skip_blanks() || !expect_char('=') || !skip_blanks()) return false;
  int32_t left;
  if (!read_num_operand(&left)) return false;
  char* after = g_pos;
  if (!skip_blanks()) return false;
  char op = *g_pos;
  if (op == '*' || op == '+' || op == '-' || op == '/') {
    ++g_pos;
    int32_t right;
    if (!skip_blanks() || !read_num_operand(&right)) return false;
    if (!arithmetic(op, left, right, &left)) return false;
  } else {
    g_pos = after;
  }
  v->value = left;
  return true;
}

static bool string_assignment() {
  StrVar* v = find_or_create_strvar();
  if (!v) return false;
  if (!skip_blanks() || !expect_char('=') || !skip_blanks()) return false;
  const char* a;
  uint32_t alen;
  if (!read_str_operand(&a, &alen)) return false;
  char* block = (char*)mem_alloc((size_t)alen + 1);
  if (!block) {
    set_error(MSG_NO_MEMORY);
    return false;
  }
  memcpy(block, a, alen);
  uint32_t total = alen;
  char* after = g_pos;
  if (!skip_blanks()) {
    mem_free(block);
    return false;
  }
  if (*g_pos == '+') {
    ++g_pos;
    const char* b;
    uint32_t blen;
    if (!skip_blanks() || !read_str_operand(&b, &blen)) {
      mem_free(block);
      return false;
    }
    char* grown = (blen <= STR_MAX_LEN - total) ? (char*)mem_realloc(block, (size_t)total + blen + 1) : nullptr;
    if (!grown) {
      mem_free(block);
      set_error(MSG_NO_MEMORY);
      return false;
    }
    block = grown;
    memcpy(block + total, b, blen);
    total += blen;
  } else {
    g_pos = after;
  }
  block[total] = 0;
  mem_free(v->text);
  v->text = block;
  v->size = total + 1;
  return true;
}

bool stmt_assignment() {
  if (!skip_blanks()) return false;
  const char* p = g_pos;
  if (p[word_length(p)] == '$') return string_assignment();
  return numeric_assignment();
}

bool stmt_set() { return stmt_assignment(); }

const ArgItem SYN_freevar[] = {LP_, STRVAR_, RP_, END_};
bool cmd_freevar() {
  unlink_strvar(arg_strvar(0));
  return true;
}

const ArgItem SYN_freevarall[] = {END_};
bool cmd_freevarall() {
  ++g_str_generation;
  for (StrVar* v = s_str_first; v;) {
    StrVar* n = v->next;
    mem_free(v->text);
    mem_free(v);
    v = n;
  }
  s_str_first = s_str_last = nullptr;
  s_str_count = 0;
  if (s_str_index.buckets) memset(s_str_index.buckets, 0, sizeof(void*) * (s_str_index.mask + 1));
  return true;
}

void free_all_variables() {
  // Plain walks: nothing here reads the names, so the order against the
  // script text does not matter.
  cmd_freevarall();
  for (NumVar* v = s_num_first; v;) {
    NumVar* n = v->next;
    mem_free(v);
    v = n;
  }
  s_num_first = s_num_last = nullptr;
  s_num_count = 0;
  mem_free(s_num_index.buckets);
  mem_free(s_str_index.buckets);
  s_num_index = {nullptr, 0};
  s_str_index = {nullptr, 0};
}

uint32_t numvar_count() { return s_num_count; }
uint32_t strvar_count() { return s_str_count; }
NumVar* first_numvar() { return s_num_first; }
StrVar* first_strvar() { return s_str_first; }
