#include "host/bindings.h"
#include "host/binding_syntax.h"
#include "core/arguments.h"
#include "core/errors.h"
#include "core/labels.h"
#include "core/memory.h"
#include "core/numbers.h"
#include "core/runtime.h"
#include "core/script.h"
#include "graphics/surface.h"
#include "host/window.h"

static char* s_mouse[BIND_MOUSE_KINDS];
static char* s_keyboard = nullptr;
static char* s_button = nullptr;


// Buttons made by the last BUTTON statement, in creation order.
struct ButtonRecord {
  HWND wnd;
  ButtonRecord* next;
};
static ButtonRecord* s_buttons = nullptr;
static ButtonRecord* s_buttons_last = nullptr;

void destroy_buttons() {
  while (s_buttons) {
    ButtonRecord* b = s_buttons;
    s_buttons = b->next;
    if (b->wnd && IsWindow(b->wnd)) DestroyWindow(b->wnd);
    mem_free(b);
  }
  s_buttons_last = nullptr;
}

static bool mouse_statement(int kind) { return read_mouse_list(&s_mouse[kind]); }

bool stmt_setmouse() { return mouse_statement(BIND_LEFT); }
bool stmt_setctrlmouse() { return mouse_statement(BIND_CTRL_LEFT); }
bool stmt_setdblmouse() { return mouse_statement(BIND_DOUBLE); }
bool stmt_setrightmouse() { return mouse_statement(BIND_RIGHT); }
bool stmt_setshftrightmouse() { return mouse_statement(BIND_SHIFT_RIGHT); }

// Matchers run while the script waits. They move the script position through
// the binding's text; when nothing matches it is put back where it was, so a
// pending WAITINPUT time-out still resumes behind WAITINPUT.
static inline void jump_to(Label* l) { g_pos = (char*)l->name; }

SavedPosition enter_binding(char* binding) {
  SavedPosition saved = {g_pos, g_error, g_error_pos};
  g_pos = binding;
  skip_blanks();
  ++g_pos;
  return saved;
}

bool no_match(const SavedPosition& saved) {
  g_pos = saved.pos;
  g_error = saved.error;
  g_error_pos = saved.error_pos;
  return false;
}

bool match_mouse(int kind, int32_t x, int32_t y) {
  char* binding = s_mouse[kind];
  if (!binding) return false;
  SavedPosition saved = enter_binding(binding);
  for (;;) {
    if (!parse_arguments(g_mouse_group)) break;
    int32_t x1 = arg_num(0), y1 = arg_num(1), x2 = arg_num(2), y2 = arg_num(3);
    if (x1 <= x && x < x2 && y1 <= y && y < y2) {
      bool metric = g_draw.coord_mode == COORD_METRIC;
      arg_numvar(5)->value = metric ? pixel_to_metric_x(x) : x;
      arg_numvar(6)->value = metric ? pixel_to_metric_y(y) : y;
      jump_to(arg_label(4));
      return true;
    }
    if (!skip_blanks() || *g_pos != ',') break;
    ++g_pos;
  }
  return no_match(saved);
}

bool stmt_setkeyboard() { return read_keyboard_list(&s_keyboard); }

// Walks the keyboard entries; returns the label of the first entry that
// accepts the event.
static bool match_keyboard(bool want_text, uint32_t code) {
  char* binding = s_keyboard;
  if (!binding) return false;
  SavedPosition saved = enter_binding(binding);
  for (;;) {
    bool is_text;
    const char* text;
    uint32_t len;
    int32_t number;
    if (!skip_blanks() || !read_key(&is_text, &text, &len, &number)) break;
    bool hit;
    if (is_text) {
      // Texts are NUL-terminated, so "^" alone reads its terminator.
      unsigned char key = (unsigned char)text[0];
      if (key == '^') key = (unsigned char)(text[1] - 64);
      hit = want_text && key == (unsigned char)code;
    } else {
      hit = !want_text && (uint32_t)number == code;
    }
    if (!skip_blanks() || *g_pos != ',') break;
    ++g_pos;
    if (!skip_blanks() || !parse_arguments(g_label_only)) break;
    if (hit) {
      jump_to(arg_label(0));
      return true;
    }
    if (!skip_blanks() || *g_pos != ',') break;
    ++g_pos;
  }
  return no_match(saved);
}

void forget_bindings() {
  for (char*& b : s_mouse) b = nullptr;
  s_keyboard = nullptr;
  destroy_buttons();
}

bool match_key(uint32_t vk) { return match_keyboard(false, vk); }
bool match_char(unsigned char c) { return match_keyboard(true, c); }

// Makes the button whose group was just read.
static bool make_button(int i, char* binding) {
  int32_t x1 = arg_coord(0), y1 = arg_coord(1), x2 = arg_coord(2), y2 = arg_coord(3);
  ButtonRecord* rec = (ButtonRecord*)mem_alloc(sizeof(ButtonRecord));
  HWND wnd = rec ? CreateWindowExA(0, "BUTTON", arg_text(4), WS_CHILD | WS_VISIBLE,
                                   x1, y1, gdi_coord(x2 - x1), gdi_coord(y2 - y1), g_mainwnd,
                                   (HMENU)(INT_PTR)(uint16_t)(FIRST_BUTTON_ID + i), g_inst, nullptr)
                 : nullptr;
  if (!wnd) {
    mem_free(rec);
    set_error_at(MSG_NO_MEMORY, binding);
    return false;
  }
  rec->wnd = wnd;
  if (s_buttons_last) s_buttons_last->next = rec; else s_buttons = rec;
  s_buttons_last = rec;
  return true;
}

bool stmt_button() {
  destroy_buttons();
  return read_button_list(&s_button, make_button);
}

bool match_button(uint16_t id) {
  char* binding = s_button;
  if (!binding) return false;
  SavedPosition saved = enter_binding(binding);
  uint16_t wanted = (uint16_t)(id - FIRST_BUTTON_ID);
  for (uint16_t j = 0;; ++j) {
    if (!skip_blanks() || !parse_arguments(g_button_group)) break;
    if (j == wanted) {
      jump_to(arg_label(6));
      return true;
    }
    if (!skip_blanks() || *g_pos != ',') break;
    ++g_pos;
  }
  return no_match(saved);
}

bool stmt_waitinput() {
  bool forever;
  int32_t ms;
  if (!read_wait_time(&forever, &ms)) return false;
  if (forever) {
    disarm_input_timeout();
    return true;
  }
  if (ms < 0) {
    set_error_only(MSG_NEGATIVE);
    return false;
  }
  if (ms == 0) ms = 1;
  if (!skip_blanks() || !expect_char(')')) return false;
  g_timeout.duration = (uint32_t)ms;
  g_timeout.start = GetTickCount();
  g_timeout.armed = 1;
  return true;
}

const char* mouse_binding(int kind) { return kind >= 0 && kind < BIND_MOUSE_KINDS ? s_mouse[kind] : nullptr; }
const char* keyboard_binding() { return s_keyboard; }
const char* button_binding() { return s_button; }
