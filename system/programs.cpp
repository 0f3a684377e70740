// Programs and processes: RUN, RUNEXT, SETPRIORITY, GETCMDLINE, WINVERSION.
//
// Every process that RUNEXT starts is remembered (its command text and the
// handles that CreateProcessA gave), so that SETPRIORITY can find it later
// by the name it was started with. The handles stay open until SETPRIORITY
// finds the process ended or the program ends; the processes themselves
// are never stopped.
#include "system/programs.h"
#include "core/arguments.h"
#include "core/commands.h"
#include "core/errors.h"
#include "core/memory.h"
#include "core/runtime.h"
#include "core/script.h"
#include "core/variables.h"
#include "graphics/surface.h"
#include <windows.h>
#include <string.h>

struct ProcessRecord {
  char* command;              // the command line RUNEXT was given (a copy)
  uint32_t length;
  PROCESS_INFORMATION info;
  ProcessRecord* next;        // in the order the processes were started
};

static ProcessRecord* s_first = nullptr;
static ProcessRecord* s_last = nullptr;

static bool add_process(const char* command, uint32_t length, const PROCESS_INFORMATION& info) {
  ProcessRecord* r = (ProcessRecord*)mem_alloc(sizeof(ProcessRecord));
  char* copy = r ? (char*)mem_alloc((size_t)length + 1) : nullptr;
  if (!copy) {
    mem_free(r);
    return false;
  }
  memcpy(copy, command, length);
  copy[length] = 0;
  r->command = copy;
  r->length = length;
  r->info = info;
  r->next = nullptr;
  if (s_last) s_last->next = r; else s_first = r;
  s_last = r;
  return true;
}

static void close_record(ProcessRecord* r) {
  CloseHandle(r->info.hProcess);
  CloseHandle(r->info.hThread);
  mem_free(r->command);
  mem_free(r);
}

static void remove_process(ProcessRecord* r) {
  ProcessRecord* prev = nullptr;
  for (ProcessRecord* p = s_first; p && p != r; p = p->next) prev = p;
  if (prev) prev->next = r->next; else s_first = r->next;
  if (s_last == r) s_last = prev;
  close_record(r);
}

void release_processes() {
  while (s_first) {
    ProcessRecord* r = s_first;
    s_first = r->next;
    close_record(r);
  }
  s_last = nullptr;
}

// A program is named by the leading run of letters, digits, "_" and "$" of
// its command text ("notepad c:\a.txt" is NOTEPAD, "C:\x\y.exe" is C).
static bool is_name_char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || is_digit(c) || c == '_' || c == '$';
}

static uint32_t name_run(const char* text, uint32_t length) {
  uint32_t n = 0;
  while (n < length && is_name_char(text[n])) ++n;
  return n;
}

static ProcessRecord* find_process(const char* name, uint32_t length) {
  uint32_t n = name_run(name, length);
  for (ProcessRecord* r = s_first; r; r = r->next) {
    if (name_run(r->command, r->length) != n) continue;
    uint32_t i = 0;
    while (i < n && upper_ascii(name[i]) == upper_ascii(r->command[i])) ++i;
    if (i == n) return r;
  }
  return nullptr;
}

// ---- starting programs

// Error codes 2, 3 and 193 are reported in a warning box and the script goes
// on; the message also stays in the error slot. False for any other code.
static bool warn_start_failure(UINT code) {
  int msg = code == ERROR_FILE_NOT_FOUND   ? MSG_CAUSE_EXE
            : code == ERROR_PATH_NOT_FOUND ? MSG_CAUSE_PATH
            : code == ERROR_BAD_EXE_FORMAT ? MSG_CAUSE_FORMAT
                                           : MSG_NONE;
  if (msg == MSG_NONE) return false;
  MessageBoxA(g_mainwnd, msg_text(msg), msg_text(MSG_RUN_WARNING), MB_ICONEXCLAMATION);
  set_error_only(msg);
  return true;
}

const ArgItem SYN_run[] = {LP_, STR_, RP_, END_};
bool cmd_run() {
  UINT result = WinExec(arg_text(0), SW_SHOWNORMAL);
  if (result > 31) return true;
  if (result == 0) {
    set_error_only(MSG_CAUSE_MEMORY);
    return false;
  }
  if (warn_start_failure(result)) return true;
  // The script stops with whatever the error slot holds.
  MessageBoxA(g_mainwnd, msg_text(MSG_RUN_UNEXPECTED), msg_text(MSG_RUN_WARNING), MB_ICONEXCLAMATION);
  return false;
}

static const KeywordRow s_priorities[] = {
    {"IDLE", IDLE_PRIORITY_CLASS}, {"NORMAL", NORMAL_PRIORITY_CLASS}, {"HIGH", HIGH_PRIORITY_CLASS}, {nullptr, 0}};
static const KeywordRow s_wait_modes[] = {{"WAIT", 0}, {"NOWAIT", 1}, {nullptr, 0}};

// Argument words: command 0/1, priority 2, environment 3/4, directory 5/6,
// corners 7-10, wait mode 11, time-out 12.
const ArgItem SYN_runext[] = {LP_, STR_, CM_, KW_(s_priorities), CM_, STR_, CM_, STR_, CM_, POINT_, CM_,
                              POINT_, CM_, KW_(s_wait_modes), CM_, NUM_, RP_, END_};
bool cmd_runext() {
  SECURITY_ATTRIBUTES process_sa = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  SECURITY_ATTRIBUTES thread_sa = process_sa;

  // "NAME=value,NAME=value" becomes a block of NUL-terminated entries with
  // one more NUL behind the last; an empty text passes our own environment.
  char* environment = nullptr;
  uint32_t env_len = arg_len(4);
  if (env_len) {
    environment = (char*)mem_alloc((size_t)env_len + 2);
    if (!environment) {
      set_error_only(MSG_NO_MEMORY);
      return false;
    }
    memcpy(environment, arg_text(3), env_len);
    for (uint32_t i = 0; i < env_len; ++i)
      if (environment[i] == ',') environment[i] = 0;
    environment[env_len] = environment[env_len + 1] = 0;
  }

  STARTUPINFOA si;
  memset(&si, 0, sizeof si);
  si.cb = sizeof si;
  si.wShowWindow = SW_SHOWDEFAULT;
  int32_t left = arg_coord(7), top = arg_coord(8);
  int32_t right = arg_coord(9), bottom = arg_coord(10);
  if (left == 0 && top == 0 && right == 0 && bottom == 0) {
    si.dwFlags = STARTF_USESHOWWINDOW;
  } else {
    si.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESIZE | STARTF_USEPOSITION;
    si.dwX = (DWORD)left;
    si.dwY = (DWORD)top;
    si.dwXSize = (DWORD)(right - left);
    si.dwYSize = (DWORD)(bottom - top);
  }

  // CreateProcessA may write into the command line: it gets a copy.
  uint32_t cmd_len = arg_len(1);
  char* command = (char*)mem_alloc((size_t)cmd_len + 1);
  if (!command) {
    mem_free(environment);
    set_error_only(MSG_NO_MEMORY);
    return false;
  }
  memcpy(command, arg_text(0), cmd_len);
  command[cmd_len] = 0;
  // An empty working directory means the runtime's own.
  const char* directory = arg_len(6) ? arg_text(5) : nullptr;
  PROCESS_INFORMATION info;
  memset(&info, 0, sizeof info);
  BOOL started = CreateProcessA(nullptr, command, &process_sa, &thread_sa, TRUE, (DWORD)arg_num(2),
                                environment ? environment : nullptr, directory, &si, &info);
  DWORD error = started ? 0 : GetLastError();
  mem_free(environment);
  bool ok = true;
  if (!started) {
    // Other failures start and record nothing, without a box.
    warn_start_failure(error);
  } else {
    if (arg_num(11) == 0) WaitForInputIdle(info.hProcess, (DWORD)arg_num(12));
    if (!add_process(command, cmd_len, info)) {
      CloseHandle(info.hProcess);
      CloseHandle(info.hThread);
      set_error_only(MSG_NO_MEMORY);
      ok = false;
    }
  }
  mem_free(command);
  return ok;
}

const ArgItem SYN_setpriority[] = {LP_, STR_, CM_, KW_(s_priorities), CM_, NUMVAR_, RP_, END_};
bool cmd_setpriority() {
  NumVar* ok = arg_numvar(3);
  ok->value = 1;
  DWORD priority = (DWORD)arg_num(2);
  if (arg_len(1) == 0) {
    HANDLE self;
    if (DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self, 0, FALSE,
                        DUPLICATE_SAME_ACCESS)) {
      SetPriorityClass(self, priority);
      CloseHandle(self);
    }
    return true;
  }
  ProcessRecord* r = find_process(arg_text(0), arg_len(1));
  if (!r) {
    ok->value = 0;
    return true;
  }
  DWORD code = 0;
  if (GetExitCodeProcess(r->info.hProcess, &code) && code == STILL_ACTIVE) {
    SetPriorityClass(r->info.hProcess, priority);
    return true;
  }
  remove_process(r);
  ok->value = 0;
  return true;
}

const ArgItem SYN_getcmdline[] = {LP_, STRVAR_, RP_, END_};
const char* g_shown_cmdline = nullptr;

bool cmd_getcmdline() {
  const char* line = g_shown_cmdline ? g_shown_cmdline : GetCommandLineA();
  // Without room for the text the command fails without a message of its own.
  return set_string_value(arg_strvar(0), line, (uint32_t)strlen(line), g_error);
}

const ArgItem SYN_winversion[] = {LP_, NUMVAR_, CM_, NUMVAR_, CM_, NUMVAR_, RP_, END_};
bool cmd_winversion() {
  OSVERSIONINFOA os;
  memset(&os, 0, sizeof os);
  os.dwOSVersionInfoSize = sizeof os;
  GetVersionExA(&os);
  arg_numvar(0)->value = (int32_t)os.dwMajorVersion;
  arg_numvar(1)->value = (int32_t)os.dwMinorVersion;
  arg_numvar(2)->value = (int32_t)(os.dwBuildNumber & 0xFFFF);
  return true;
}
