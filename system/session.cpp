// Session control: LOGOFF, EXITWINDOWS, SHUTDOWN, ABORTSHUTDOWN. The three
// shutdown commands need Windows NT (on Windows 95 they only show a notice)
// and enable the shutdown privilege of the runtime's own token first.
#include "core/arguments.h"
#include "core/commands.h"
#include "core/errors.h"
#include "core/runtime.h"
#include <windows.h>

// Set by SHUTDOWN just before it asks; cleared by an ABORTSHUTDOWN that
// completes.
static bool s_shutdown_pending = false;

// Windows 95: the notice, and the command goes on.
static bool windows95_notice(int msg) {
  if (!g_win95) return false;
  MessageBoxA(g_mainwnd, msg_text(msg), msg_text(MSG_WIN95_CAPTION), MB_ICONEXCLAMATION);
  return true;
}

// Enables (or disables) the shutdown privilege. A privilege the account does
// not hold (ERROR_NOT_ALL_ASSIGNED) counts as failure.
static bool shutdown_privilege(bool enable) {
  HANDLE token = nullptr;
  OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token);
  TOKEN_PRIVILEGES tp;
  tp.PrivilegeCount = 1;
  tp.Privileges[0].Luid.LowPart = 0;
  tp.Privileges[0].Luid.HighPart = 0;
  LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &tp.Privileges[0].Luid);
  tp.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
  SetLastError(0);
  AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr);
  bool ok = GetLastError() == 0;
  if (token) CloseHandle(token);
  if (!ok) set_error_only(MSG_ADJUST_PRIVILEGES);
  return ok;
}

// The result of ExitWindowsEx is not looked at.
const ArgItem SYN_logoff[] = {END_};
bool cmd_logoff() {
  ExitWindowsEx(EWX_LOGOFF, (DWORD)-1);
  return true;
}

const ArgItem SYN_exitwindows[] = {END_};
bool cmd_exitwindows() {
  if (windows95_notice(MSG_WIN95_EXITWINDOWS)) return true;
  if (!shutdown_privilege(true)) return false;
  if (!InitiateSystemShutdownA(nullptr, nullptr, 0, FALSE, FALSE)) {
    set_error_only(MSG_SHUTDOWN_FAILED);
    return false;
  }
  return true;
}

static const KeywordRow s_restart[] = {{"RESTART", 1}, {"NORESTART", 0}, {nullptr, 0}};
// Argument words: machine 0/1, message 2/3, time-out 4, restart 5.
const ArgItem SYN_shutdown[] = {LP_, STR_, CM_, STR_, CM_, NUM_, CM_, KW_(s_restart), RP_, END_};
bool cmd_shutdown() {
  if (windows95_notice(MSG_WIN95_SHUTDOWN)) return true;
  if (!shutdown_privilege(true)) return false;
  s_shutdown_pending = true;
  if (!InitiateSystemShutdownA((LPSTR)arg_text(0), (LPSTR)arg_text(2), (DWORD)arg_num(4), FALSE,
                               arg_num(5) ? TRUE : FALSE)) {
    set_error_only(MSG_SHUTDOWN_FAILED);
    return false;
  }
  return shutdown_privilege(false);
}

const ArgItem SYN_abortshutdown[] = {END_};
bool cmd_abortshutdown() {
  if (windows95_notice(MSG_WIN95_ABORTSHUTDOWN)) return true;
  if (!s_shutdown_pending) return true;
  if (!shutdown_privilege(true)) return false;
  if (!AbortSystemShutdownA(nullptr)) {
    MessageBoxA(g_mainwnd, msg_text(MSG_ABORT_SHUTDOWN), msg_text(MSG_TARVO_CAPTION), MB_ICONEXCLAMATION);
    return true;
  }
  if (!shutdown_privilege(false)) return false;
  s_shutdown_pending = false;
  return true;
}
