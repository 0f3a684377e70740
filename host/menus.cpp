#include "host/menus.h"
#include "core/arguments.h"
#include "core/commands.h"
#include "core/errors.h"
#include "core/labels.h"
#include "core/runtime.h"
#include "core/script.h"
#include "host/binding_syntax.h"
#include "host/bindings.h"
#include "host/window.h"

// The menu binding: the script position behind the last SETMENU keyword, or
// null. The statement's text is the only record of the menu's targets.
static char* s_menu = nullptr;
// Whether SETMENU adds the right-justified "&Info" popup (INFOMENU).
static int32_t s_info_menu = 1;

void destroy_menu(HMENU menu) {
  int count = GetMenuItemCount(menu);
  if (count == -1) return;
  for (int p = count - 1; p >= 0; --p)
    if (!DeleteMenu(menu, (UINT)p, MF_BYPOSITION)) return;
  DestroyMenu(menu);
}

// A failing menu call: "Not enough memory." at the binding, where the script
// position goes too.
static bool out_of_memory(char* binding) {
  set_error_at(MSG_NO_MEMORY, binding);
  g_pos = binding;
  return false;
}

// Builds the items of a non-empty list into the bar. A popup that could not
// be attached to the bar is destroyed here, the bar by the caller.
static bool build_items(HMENU bar, char* binding) {
  UINT_PTR id = 1;
  for (;;) {
    MenuItem item;
    if (!read_menu_item(&item)) return false;
    if (item.end_popup) {
      // A command directly in the bar; a separator has no place there.
      if (!AppendMenuA(bar, MF_STRING, id++, item.text)) return out_of_memory(binding);
      if (item.last) return true;
      continue;
    }
    HMENU popup = CreateMenu();
    if (!popup) return out_of_memory(binding);
    if (!AppendMenuA(bar, MF_POPUP, (UINT_PTR)popup, item.text)) {
      DestroyMenu(popup);
      return out_of_memory(binding);
    }
    ++id;  // popup titles are counted although they send no command
    for (;;) {
      if (item.separator && !AppendMenuA(popup, MF_SEPARATOR, 0, nullptr)) return out_of_memory(binding);
      if (item.end_popup) break;
      if (!read_menu_item(&item)) return false;
      if (!AppendMenuA(popup, MF_STRING, id++, item.text)) return out_of_memory(binding);
    }
    if (item.last) return true;
  }
}

// The right-justified "&Info" popup with the About item.
static bool add_info_menu(HMENU bar) {
  HMENU info = CreateMenu();
  if (!info) return false;
  if (!AppendMenuA(bar, MF_POPUP | MF_RIGHTJUSTIFY, (UINT_PTR)info, msg_text(MSG_INFO_MENU))) {
    DestroyMenu(info);
    return false;
  }
  const char* about = msg_text(g_bound ? MSG_ABOUT_RUNTIME_ITEM : MSG_ABOUT_ITEM);
  return AppendMenuA(info, MF_STRING, ABOUT_COMMAND, about) != 0;
}

bool stmt_setmenu() {
  char* binding = g_pos;
  s_menu = binding;
  if (!skip_blanks() || !expect_char('(') || !skip_blanks()) return false;
  HMENU bar = nullptr;
  if (*g_pos == ')') {
    ++g_pos;
    s_menu = nullptr;
  } else {
    bar = CreateMenu();
    if (!bar) return out_of_memory(binding);
    if (!build_items(bar, binding)) {
      destroy_menu(bar);  // the window keeps the menu it has
      return false;
    }
  }
  if (s_info_menu) {
    if (!bar && !(bar = CreateMenu())) return out_of_memory(binding);
    if (!add_info_menu(bar)) {
      destroy_menu(bar);
      return out_of_memory(binding);
    }
  }
  HMENU old = GetMenu(g_mainwnd);
  if (!SetMenu(g_mainwnd, bar)) {
    // No window to carry it (never the case once the script runs).
    if (bar) destroy_menu(bar);
    return true;
  }
  if (old) destroy_menu(old);
  return true;
}

// Re-reads the SETMENU text up to the item with the ordinal id. An IGNORE
// item, an id beyond the last item or no menu binding at all is no match,
// and then the script position goes back to where it was: the window
// procedure resumes the script after every menu command, and so it simply
// carries on behind its WAITINPUT, as it does after a time-out.
bool match_menu(uint16_t id) {
  if (!s_menu || id == 0) return false;
  SavedPosition saved = enter_binding(s_menu);
  MenuItem item;
  for (uint32_t k = 1;; ++k) {
    if (!read_menu_item(&item)) break;
    if (k == id) {
      if (!item.target) break;
      g_pos = (char*)item.target->name;
      return true;
    }
    if (item.last) break;
  }
  return no_match(saved);
}

void retitle_about_item() {
  HMENU bar = GetMenu(g_mainwnd);
  HMENU first = bar ? GetSubMenu(bar, 0) : nullptr;
  if (first)
    ModifyMenuA(first, ABOUT_COMMAND, MF_BYCOMMAND | MF_STRING, ABOUT_COMMAND,
                msg_text(MSG_ABOUT_RUNTIME_ITEM));
  DrawMenuBar(g_mainwnd);
}

// ---- items by text

// Finds the item whose text is exactly the given one (case and "&"
// included). Popups are searched from the rightmost, each from its lowest
// item up; commands placed directly in the bar are not looked at.
static bool find_item(const char* text, HMENU* popup_out, UINT* pos_out) {
  HMENU bar = GetMenu(g_mainwnd);
  if (!bar) return false;
  int count = GetMenuItemCount(bar);
  if (count <= 0) return false;
  char buffer[100];
  for (int p = count - 1; p >= 0; --p) {
    HMENU popup = GetSubMenu(bar, p);
    if (!popup) continue;
    for (int q = GetMenuItemCount(popup) - 1; q >= 0; --q) {
      buffer[0] = 0;  // a separator has no text: it reads as ""
      GetMenuStringA(popup, (UINT)q, buffer, sizeof buffer, MF_BYPOSITION);
      if (lstrcmpA(buffer, text) == 0) {
        *popup_out = popup;
        *pos_out = (UINT)q;
        return true;
      }
    }
  }
  return false;
}

static const KeywordRow s_change_words[] = {
    {"CHECK", 8}, {"UNCHECK", -1}, {"GRAY", 1}, {"ENABLE", 0}, {nullptr, 0}};
const ArgItem SYN_changemenuitem[] = {LP_, STR_, CM_, KW_(s_change_words), CM_, NUMVAR_, RP_, END_};
bool cmd_changemenuitem() {
  NumVar* result = arg_numvar(3);
  result->value = 0;
  HMENU popup;
  UINT pos;
  if (!find_item(arg_text(0), &popup, &pos)) return true;
  switch (arg_num(2)) {
    case 8: CheckMenuItem(popup, pos, MF_BYPOSITION | MF_CHECKED); break;
    case -1: CheckMenuItem(popup, pos, MF_BYPOSITION | MF_UNCHECKED); break;
    case 1: EnableMenuItem(popup, pos, MF_BYPOSITION | MF_GRAYED); break;
    default: EnableMenuItem(popup, pos, MF_BYPOSITION | MF_ENABLED); break;
  }
  result->value = 1;
  return true;
}

static const KeywordRow s_status_words[] = {{"CHECKED", 8}, {"GRAYED", 1}, {nullptr, 0}};
const ArgItem SYN_getmenustatus[] = {LP_, STR_, CM_, KW_(s_status_words), CM_, NUMVAR_, RP_, END_};
bool cmd_getmenustatus() {
  NumVar* result = arg_numvar(3);
  result->value = 0;
  HMENU popup;
  UINT pos;
  if (!find_item(arg_text(0), &popup, &pos)) return true;
  UINT state = GetMenuState(popup, pos, MF_BYPOSITION);
  if (state != (UINT)-1 && (state & (UINT)arg_num(2))) result->value = 1;
  return true;
}

static const KeywordRow s_info_words[] = {{"ADD", 1}, {"REMOVE", 0}, {nullptr, 0}};
const ArgItem SYN_infomenu[] = {LP_, KW_(s_info_words), RP_, END_};
bool cmd_infomenu() {
  s_info_menu = arg_num(0);
  return true;
}

const char* menu_binding() { return s_menu; }
