// The clipboard (text only) and the DDE client: CLIPBOARDGET, CLIPBOARDPUT,
// CLIPBOARDAPPEND, CLIPBOARDEMPTY, DDEINITIATE, DDEREQUEST, DDEEXECUTE,
// DDEPOKE, DDETERMINATE. Clipboard and DDE data come from other programs:
// texts are taken up to their first NUL and never beyond the block's size.
// Conversations are handed to the script as plain numbers and are not
// passed on blindly: the runtime remembers the conversations it opened, and
// any other number (0, one already terminated, one never given) fails
// without reaching the DDE library, as with a refusing server. (Handing the
// library a number it never gave can crash it.)
#include "system/clipboard_dde.h"
#include "core/arguments.h"
#include "core/commands.h"
#include "core/errors.h"
#include "core/memory.h"
#include "core/runtime.h"
#include "core/variables.h"
#include <windows.h>
#include <ddeml.h>
#include <string.h>

static DWORD s_dde = 0;   // the DDE instance of this run

// The open conversations, in the order they were made.
static HCONV* s_convs = nullptr;
static uint32_t s_conv_count = 0, s_conv_capacity = 0;

static bool remember(HCONV c) {
  if (s_conv_count == s_conv_capacity) {
    uint32_t n = s_conv_capacity ? s_conv_capacity * 2 : 8;
    HCONV* grown = (HCONV*)mem_realloc(s_convs, sizeof(HCONV) * n);
    if (!grown) return false;
    s_convs = grown;
    s_conv_capacity = n;
  }
  s_convs[s_conv_count++] = c;
  return true;
}

static int32_t number_of(HCONV c) { return (int32_t)(uint32_t)(uintptr_t)c; }

// The conversation a script's number stands for, or null.
static HCONV conversation(int32_t number) {
  for (uint32_t i = 0; number && i < s_conv_count; ++i)
    if (number_of(s_convs[i]) == number) return s_convs[i];
  return nullptr;
}

static void forget(HCONV c) {
  for (uint32_t i = 0; i < s_conv_count; ++i)
    if (s_convs[i] == c) {
      s_convs[i] = s_convs[--s_conv_count];
      return;
    }
}

static HDDEDATA CALLBACK dde_callback(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
  return type == XTYP_ADVDATA ? (HDDEDATA)DDE_FACK : nullptr;
}

void start_dde() {
  s_dde = 0;
  DdeInitializeA(&s_dde, dde_callback, APPCMD_CLIENTONLY, 0);
}

void stop_dde() {
  if (s_dde) DdeUninitialize(s_dde);
  s_dde = 0;
  mem_free(s_convs);
  s_convs = nullptr;
  s_conv_count = s_conv_capacity = 0;
}

// ---- clipboard

// The length of a clipboard or DDE text: up to its first NUL, at most size.
static uint32_t text_length(const char* text, size_t size) {
  const char* end = (const char*)memchr(text, 0, size);
  return (uint32_t)(end ? end - text : size);
}

// Opens the clipboard and locks its text. Null when the text it announces
// cannot be had: the clipboard is closed again and the error is set.
static const char* open_clipboard_text(HANDLE* data) {
  OpenClipboard(g_mainwnd);
  *data = GetClipboardData(CF_TEXT);
  const char* text = *data ? (const char*)GlobalLock(*data) : nullptr;
  if (!text) {
    CloseClipboard();
    set_error_only(MSG_CLIPBOARD);
  }
  return text;
}

// A block of our own with two texts one after the other and a NUL, to hand
// to the clipboard; null when it cannot be had.
static HGLOBAL text_block(const char* a, uint32_t a_len, const char* b, uint32_t b_len) {
  uint64_t size = (uint64_t)a_len + b_len + 1;
  HGLOBAL block = size <= 0xFFFFFFFFu ? (HGLOBAL)mem_global_alloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (SIZE_T)size) : nullptr;
  char* p = block ? (char*)GlobalLock(block) : nullptr;
  if (!p) {
    if (block) mem_global_free(block);
    return nullptr;
  }
  memcpy(p, a, a_len);
  memcpy(p + a_len, b, b_len);
  GlobalUnlock(block);
  return block;
}

const ArgItem SYN_clipboardget[] = {LP_, STRVAR_, CM_, NUMVAR_, RP_, END_};
bool cmd_clipboardget() {
  bool found = IsClipboardFormatAvailable(CF_TEXT) != 0;
  StrVar* result = arg_strvar(0);
  if (!found) {
    if (!set_string_value(result, "", 0, MSG_NO_MEMORY)) return false;
    arg_numvar(1)->value = 0;
    return true;
  }
  HANDLE data;
  const char* text = open_clipboard_text(&data);
  if (!text) return false;
  bool ok = set_string_value(result, text, text_length(text, GlobalSize(data)), MSG_NO_MEMORY);
  GlobalUnlock(data);
  CloseClipboard();
  if (ok) arg_numvar(1)->value = 1;
  return ok;
}

const ArgItem SYN_clipboardput[] = {LP_, STR_, CM_, NUMVAR_, RP_, END_};
bool cmd_clipboardput() {
  HGLOBAL block = text_block(arg_text(0), arg_len(1), "", 0);
  if (!block) {
    set_error_only(MSG_NO_MEMORY);
    return false;
  }
  OpenClipboard(g_mainwnd);
  EmptyClipboard();
  if (SetClipboardData(CF_TEXT, block))
    mem_global_given(block);  // the clipboard owns it now
  else
    mem_global_free(block);
  CloseClipboard();
  arg_numvar(2)->value = 1;
  return true;
}

// The clipboard's text and the new text become one new text block, which
// replaces the text on the clipboard (other formats stay).
const ArgItem SYN_clipboardappend[] = {LP_, STR_, CM_, NUMVAR_, RP_, END_};
bool cmd_clipboardappend() {
  NumVar* ok = arg_numvar(2);
  ok->value = 1;
  uint32_t add = arg_len(1);
  if (add == 0) return true;
  if (!IsClipboardFormatAvailable(CF_TEXT)) {
    ok->value = 0;
    return true;
  }
  HANDLE data;
  const char* old = open_clipboard_text(&data);
  if (!old) return false;
  HGLOBAL block = text_block(old, text_length(old, GlobalSize(data)), arg_text(0), add);
  GlobalUnlock(data);
  if (!block) {
    CloseClipboard();
    set_error_only(MSG_NO_MEMORY);
    return false;
  }
  if (SetClipboardData(CF_TEXT, block))
    mem_global_given(block);  // the clipboard owns it now
  else
    mem_global_free(block);
  CloseClipboard();
  return true;
}

const ArgItem SYN_clipboardempty[] = {END_};
bool cmd_clipboardempty() {
  OpenClipboard(g_mainwnd);
  EmptyClipboard();
  CloseClipboard();
  return true;
}

// ---- DDE client

static HSZ name_handle(const char* text) { return DdeCreateStringHandleA(s_dde, text, CP_WINANSI); }

static void free_name(HSZ h) {
  if (h) DdeFreeStringHandle(s_dde, h);
}

const ArgItem SYN_ddeinitiate[] = {LP_, STR_, CM_, STR_, CM_, NUMVAR_, RP_, END_};
bool cmd_ddeinitiate() {
  HSZ service = name_handle(arg_text(0));
  HSZ topic = name_handle(arg_text(2));
  CONVCONTEXT context;
  memset(&context, 0, sizeof context);
  context.cb = sizeof context;
  HCONV c = s_dde ? DdeConnect(s_dde, service, topic, &context) : nullptr;
  free_name(service);
  free_name(topic);
  // A conversation whose number could be mistaken for another, or that
  // cannot be remembered, is not handed out.
  if (c && (conversation(number_of(c)) || !remember(c))) {
    DdeDisconnect(c);
    c = nullptr;
  }
  arg_numvar(4)->value = number_of(c);
  return true;
}

const ArgItem SYN_ddeterminate[] = {LP_, NUM_, RP_, END_};
bool cmd_ddeterminate() {
  HCONV c = conversation(arg_num(0));
  if (c) {
    DdeDisconnect(c);
    forget(c);
  }
  return true;
}

const ArgItem SYN_ddeexecute[] = {LP_, NUM_, CM_, STR_, CM_, NUMVAR_, RP_, END_};
bool cmd_ddeexecute() {
  NumVar* ok = arg_numvar(3);
  ok->value = 1;
  HCONV c = conversation(arg_num(0));
  HDDEDATA data = c ? DdeCreateDataHandle(s_dde, (LPBYTE)arg_text(1), arg_len(2) + 1, 0, nullptr, CF_TEXT, 0)
                    : nullptr;
  if (!data || !DdeClientTransaction((LPBYTE)data, (DWORD)-1, c, nullptr, 0, XTYP_EXECUTE, 10000, nullptr))
    ok->value = 0;
  return true;
}

const ArgItem SYN_ddepoke[] = {LP_, NUM_, CM_, STR_, CM_, STR_, CM_, NUMVAR_, RP_, END_};
bool cmd_ddepoke() {
  NumVar* ok = arg_numvar(5);
  ok->value = 1;
  HCONV c = conversation(arg_num(0));
  HSZ item = c ? name_handle(arg_text(1)) : nullptr;
  HDDEDATA data = c ? DdeCreateDataHandle(s_dde, (LPBYTE)arg_text(3), arg_len(4) + 1, 0, item, CF_TEXT, 0)
                    : nullptr;
  if (!data || !DdeClientTransaction((LPBYTE)data, (DWORD)-1, c, item, CF_TEXT, XTYP_POKE, 10000, nullptr))
    ok->value = 0;
  free_name(item);
  return true;
}

const ArgItem SYN_dderequest[] = {LP_, NUM_, CM_, STR_, CM_, STRVAR_, RP_, END_};
bool cmd_dderequest() {
  HCONV c = conversation(arg_num(0));
  HSZ item = c ? name_handle(arg_text(1)) : nullptr;
  HDDEDATA data = c ? DdeClientTransaction(nullptr, 0, c, item, CF_TEXT, XTYP_REQUEST, 3000, nullptr) : nullptr;
  free_name(item);
  const char* text = "";
  uint32_t length = 0;
  DWORD size = 0;
  const char* bytes = data ? (const char*)DdeAccessData(data, &size) : nullptr;
  if (bytes) {
    text = bytes;
    length = text_length(bytes, size);
  }
  bool ok = set_string_value(arg_strvar(3), text, length, MSG_NO_MEMORY);
  if (bytes) DdeUnaccessData(data);
  if (data) DdeFreeDataHandle(data);
  return ok;
}
