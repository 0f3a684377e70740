#include "core/variables.h"
#include "core/arguments.h"
#include "core/commands.h"
#include "core/errors.h"
#include "core/memory.h"
#include "core/name_cache.h"
#include "core/numbers.h"
#include "core/script.h"
#include "core/steps.h"
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
  v->capacity = 1;
  v->prev = s_str_last;
  if (s_str_last) s_str_last->next = v; else s_str_first = v;
  s_str_last = v;
  ++s_str_count;
  link_into_index(&s_str_index, v, h);
  if (slot) *slot = NameSlot{slot->num, v, g_str_generation, slot->label, len, 0, false};
  g_pos += len + 1;
  return v;
}

// A value is written into the block a variable has when it fits and the
// block is not far larger than it: statements that set a variable again and
// again (a loop over lines, a counter turned into text) allocate nothing.
static inline bool fits_block(const StrVar* v, uint32_t len) {
  return len < v->capacity && (v->capacity - len - 1) / 2 <= len + 32;
}

// A new block of at least need bytes for v's next value, with room to spare
// of up to half again when asked for (a variable that keeps growing). Null
// when there is no memory.
static char* new_block(uint32_t need, bool spare, uint32_t* capacity) {
  uint32_t cap = need;
  if (spare) cap = need + (need / 2 < 0xFFFFFFFFu - need ? need / 2 : 0xFFFFFFFFu - need);
  char* block = (char*)mem_alloc(cap);
  *capacity = cap;
  return block;
}

bool string_fits(const StrVar* v, uint32_t len) { return fits_block(v, len); }

static void take_block(StrVar* v, char* block, uint32_t capacity, uint32_t len) {
  block[len] = 0;
  mem_free(v->text);
  v->text = block;
  v->size = len + 1;
  v->capacity = capacity;
}

bool set_string_value(StrVar* v, const char* text, uint32_t len, int msg) {
  if (fits_block(v, len)) {
    memmove(v->text, text, len);  // the source may lie inside the block
    v->text[len] = 0;
    v->size = len + 1;
    return true;
  }
  // Otherwise a new block: the source may lie inside the old one.
  if (len > STR_MAX_LEN) {
    set_error_only(msg);
    return false;
  }
  uint32_t capacity;
  char* block = new_block(len + 1, false, &capacity);
  if (!block) {
    set_error_only(msg);
    return false;
  }
  memcpy(block, text, len);
  take_block(v, block, capacity, len);
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
  NumOperand a, b = {nullptr, 0};
  if (!read_num_source(&a)) return false;
  int32_t left = a.value;
  char* after = g_pos;
  if (!skip_blanks()) return false;
  char op = *g_pos;
  if (op == '*' || op == '+' || op == '-' || op == '/') {
    ++g_pos;
    if (!skip_blanks() || !read_num_source(&b)) return false;
    if (!arithmetic(op, left, b.value, &left)) return false;
  } else {
    op = 0;
    g_pos = after;
  }
  v->value = left;
  g_step = Step{};
  g_step.form = STEP_ASSIGN;
  g_step.op = (uint8_t)op;
  g_step.a = a;
  g_step.b = b;
  g_step.target = v;
  g_step.next = g_pos;
  return true;
}

int run_assign_step(const Step& s) {
  int32_t value = operand_value(s.a);
  if (s.op && !arithmetic((char)s.op, value, operand_value(s.b), &value)) return 0;
  s.target->value = value;
  g_pos = s.next;
  return 1;
}

// Stores a + b (b may be absent: null) as v's value. The error position is
// the script position.
static bool store_texts(StrVar* v, const char* a, uint32_t alen, const char* b, uint32_t blen) {
  if (alen > STR_MAX_LEN || (b && blen > STR_MAX_LEN - alen)) {
    set_error(MSG_NO_MEMORY);
    return false;
  }
  uint32_t total = alen + blen;
  // The value is built in the variable's own block when it fits, unless the
  // second text is that block and would be overwritten by the first
  // (A$ = B$ + A$). A$ = A$ + X and A$ = A$ + A$ keep their first part in place.
  if (fits_block(v, total) && (b != v->text || a == v->text)) {
    memmove(v->text, a, alen);
    if (blen) memcpy(v->text + alen, b, blen);
    v->text[total] = 0;
    v->size = total + 1;
    return true;
  }
  // Otherwise a new block, so that either text may come from the old one; a
  // variable that grows by appending to itself gets room to spare.
  uint32_t capacity;
  char* block = new_block(total + 1, b && a == v->text, &capacity);
  if (!block) {
    set_error(MSG_NO_MEMORY);
    return false;
  }
  memcpy(block, a, alen);
  if (blen) memcpy(block + alen, b, blen);
  take_block(v, block, capacity, total);
  return true;
}

static bool string_assignment() {
  StrVar* v = find_or_create_strvar();
  if (!v) return false;
  if (!skip_blanks() || !expect_char('=') || !skip_blanks()) return false;
  StrSource a, b = {nullptr, nullptr, 0};
  if (!read_str_source(&a)) return false;
  char* after = g_pos;
  if (!skip_blanks()) return false;
  bool two = *g_pos == '+';
  if (two) {
    ++g_pos;
    if (!skip_blanks() || !read_str_source(&b)) return false;
  } else {
    g_pos = after;
  }
  if (!store_texts(v, a.text, a.len, two ? b.text : nullptr, b.len)) return false;
  g_step = Step{};
  g_step.form = STEP_STR_ASSIGN;
  g_step.next = g_pos;
  g_step.generation = g_str_generation;
  g_step.count = (uint8_t)(two ? 2 : 1);
  g_step.str_target = v;
  g_step.sa = a;
  g_step.sb = b;
  return true;
}

static inline const char* source_text(const StrSource& s) { return s.var ? s.var->text : s.text; }
static inline uint32_t source_len(const StrSource& s) { return s.var ? str_len(s.var) : s.len; }

int run_str_assign_step(const Step& s) {
  if (s.generation != g_str_generation) return -1;
  g_pos = s.next;
  const char* b = s.count == 2 ? source_text(s.sb) : nullptr;
  return store_texts(s.str_target, source_text(s.sa), source_len(s.sa), b, b ? source_len(s.sb) : 0);
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
