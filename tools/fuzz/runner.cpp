// tarvofuzz: runs many scripts in one Wine session for the fuzzer, and
// runs the soak script while it measures the runtime's process.
//
//   tarvofuzz --list FILE [--work DIR] [--timeout MS]
//       runs each script named in FILE (one path a line) through the test
//       driver's session and prints one line a run:
//         RESULT INDEX MS | transcript line | transcript line ...
//       On stderr each run is framed by "@@fuzz INDEX" lines, so that the
//       runtime's own stderr (Wine's "Unhandled ..." line) can be told apart.
//   tarvofuzz --soak SCRIPT [--work DIR] [--timeout MS]
//       runs the script; each message box with the caption "soak" is a
//       mark: the process's counters are printed, then the box is answered.
//         mark TEXT gdi N windows N private N
//       then "exit N" or "killed".
//
// A crashed runtime waits for Wine's debugger until the time limit. With
// --watch FILE (the file that this program's stderr goes to, which the
// runtime shares) the run is ended as soon as Wine's "Unhandled" line for it
// appears there.
#include <windows.h>
#include <winternl.h>

#include <fcntl.h>
#include <io.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "tools/driver/casefile.h"
#include "tools/driver/session.h"

static std::string full_path(const std::string& p) {
  char buf[MAX_PATH * 2];
  DWORD n = GetFullPathNameA(win_path(p).c_str(), sizeof buf, buf, nullptr);
  return n > 0 && n < sizeof buf ? std::string(buf) : win_path(p);
}

// The stderr file is tailed from the "@@fuzz INDEX" line of the current run.
struct Watch {
  std::string path;
  Session* volatile session;   // the run in progress, or null
  volatile long from;           // file offset where the current run starts
};
static Watch g_watch;

static DWORD WINAPI watch_thread(void*) {
  for (;;) {
    Sleep(20);
    Session* s = g_watch.session;
    if (!s || !s->job) continue;
    HANDLE f = CreateFileA(g_watch.path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) continue;
    static char buf[65536];
    DWORD n = 0;
    SetFilePointer(f, g_watch.from, nullptr, FILE_BEGIN);
    bool ok = ReadFile(f, buf, sizeof buf - 1, &n, nullptr);
    CloseHandle(f);
    if (!ok) continue;
    buf[n] = 0;
    if (strstr(buf, "Unhandled") && g_watch.session == s) TerminateJobObject(s->job, 0xDEAD);
  }
  return 0;
}

static long file_size(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a)) return 0;
  return (long)a.nFileSizeLow;
}

static int run_list(const std::string& exe, const std::string& work, const std::string& list, int timeout_ms) {
  FILE* f = fopen(win_path(list).c_str(), "rb");
  if (!f) {
    fprintf(stderr, "tarvofuzz: cannot read %s\n", list.c_str());
    return 2;
  }
  std::vector<std::string> scripts;
  char line[4096];
  while (fgets(line, sizeof line, f)) {
    std::string s = line;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    if (!s.empty()) scripts.push_back(s);
  }
  fclose(f);
  std::vector<Step> none;
  for (size_t i = 0; i < scripts.size(); i++) {
    Session s;
    session_init(s);
    s.exe = exe;
    s.workdir = work;
    s.script = full_path(scripts[i]);
    s.cmdline = s.script;
    s.timeout_ms = timeout_ms;
    s.idle_exit_ms = 200;   // a script that waits for input is closed
    fprintf(stderr, "@@fuzz %d\n", (int)i);
    fflush(stderr);
    if (!g_watch.path.empty()) {
      g_watch.from = file_size(g_watch.path);
      g_watch.session = &s;
    }
    DWORD t0 = GetTickCount();
    session_run(s, none);
    g_watch.session = nullptr;
    printf("RESULT %d %lu", (int)i, (unsigned long)(GetTickCount() - t0));
    for (const std::string& l : s.lines) printf(" | %s", l.c_str());
    printf("\n");
    fflush(stdout);
    fprintf(stderr, "@@fuzz %d end\n", (int)i);
    fflush(stderr);
  }
  return 0;
}

// ------------------------------------------------------------------ soak

// GDI objects of another process: Wine keeps each process's GDI handles in
// a table that the process's PEB points to (GdiSharedHandleTable, as on
// Windows); an entry in use has a non-zero type. GetGuiResources is not
// implemented by Wine (it returns 0).
struct GdiEntry {
  void* kernel;
  uint32_t owner;
  uint16_t unique;
  uint8_t type;
  uint8_t flags;
  void* user;
};
static const int GDI_TABLE_ROWS = 0x4000;

static long gdi_objects(HANDLE proc) {
  DWORD n = GetGuiResources(proc, GR_GDIOBJECTS);
  if (n) return (long)n;
  typedef LONG(WINAPI * Query)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
  Query q = (Query)(void*)GetProcAddress(GetModuleHandleA("ntdll"), "NtQueryInformationProcess");
  PROCESS_BASIC_INFORMATION pbi = PROCESS_BASIC_INFORMATION();
  ULONG got = 0;
  if (!q || q(proc, ProcessBasicInformation, &pbi, sizeof pbi, &got) != 0) return -1;
  void* table = nullptr;
  SIZE_T read = 0;
  size_t at = sizeof(void*) == 8 ? 0xF8 : 0x94;   // PEB.GdiSharedHandleTable
  if (!ReadProcessMemory(proc, (char*)pbi.PebBaseAddress + at, &table, sizeof table, &read) || !table) return -1;
  static GdiEntry rows[GDI_TABLE_ROWS];
  if (!ReadProcessMemory(proc, table, rows, sizeof rows, &read)) return -1;
  long count = 0;
  for (int i = 0; i < GDI_TABLE_ROWS; i++) count += rows[i].type != 0;
  return count;
}

// USER objects that can be seen from outside: the process's windows, top
// level, children and message-only ones (DDE conversations have windows).
struct WindowCount {
  DWORD pid;
  long count;
};
static BOOL CALLBACK count_child(HWND h, LPARAM lp) {
  ((WindowCount*)lp)->count++;
  return TRUE;
}
static BOOL CALLBACK count_top(HWND h, LPARAM lp) {
  WindowCount* c = (WindowCount*)lp;
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (pid != c->pid) return TRUE;
  c->count++;
  EnumChildWindows(h, count_child, lp);
  return TRUE;
}
static long user_objects(DWORD pid) {
  WindowCount c = {pid, 0};
  EnumWindows(count_top, (LPARAM)&c);
  for (HWND h = nullptr; (h = FindWindowExA(HWND_MESSAGE, h, nullptr, nullptr)) != nullptr;) count_top(h, (LPARAM)&c);
  return c.count;
}

// Committed private memory (heap, stacks, allocations) of another process.
static unsigned long long private_bytes(HANDLE proc) {
  unsigned long long total = 0;
  MEMORY_BASIC_INFORMATION m;
  char* a = nullptr;
  while (VirtualQueryEx(proc, a, &m, sizeof m) == sizeof m) {
    if (m.State == MEM_COMMIT && m.Type == MEM_PRIVATE) total += m.RegionSize;
    char* next = (char*)m.BaseAddress + m.RegionSize;
    if (next <= a) break;
    a = next;
  }
  return total;
}

struct FindBox {
  DWORD pid;
  HWND box;
};
static BOOL CALLBACK find_box(HWND h, LPARAM lp) {
  FindBox* f = (FindBox*)lp;
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  char cls[32] = "", text[64] = "";
  if (pid != f->pid || !IsWindowVisible(h)) return TRUE;
  GetClassNameA(h, cls, sizeof cls);
  if (strcmp(cls, "#32770") != 0) return TRUE;
  f->box = h;
  GetWindowTextA(h, text, sizeof text);
  return strcmp(text, "soak") != 0;   // another box is answered too, but not measured
}

static int run_soak(const std::string& exe, const std::string& work, const std::string& script, int timeout_ms) {
  std::string path = full_path(script);
  std::string cmd = "\"" + exe + "\" " + path;
  std::vector<char> buf(cmd.begin(), cmd.end());
  buf.push_back(0);
  STARTUPINFOA si = STARTUPINFOA();
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  HANDLE job = CreateJobObjectA(nullptr, nullptr);
  if (!CreateProcessA(exe.c_str(), buf.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                      work.empty() ? nullptr : work.c_str(), &si, &pi)) {
    printf("cannot start %s\n", exe.c_str());
    return 2;
  }
  AssignProcessToJobObject(job, pi.hProcess);
  ResumeThread(pi.hThread);
  DWORD start = GetTickCount();
  bool exited = false;
  while (!(exited = WaitForSingleObject(pi.hProcess, 20) == WAIT_OBJECT_0)) {
    if (GetTickCount() - start > (DWORD)timeout_ms) break;
    FindBox f = {pi.dwProcessId, nullptr};
    EnumWindows(find_box, (LPARAM)&f);
    if (!f.box) continue;
    char caption[64] = "";
    GetWindowTextA(f.box, caption, sizeof caption);
    if (strcmp(caption, "soak") == 0) {
      Sleep(300);   // the box's loop paints what is pending first
      wchar_t wtext[256] = L"";
      HWND st = GetDlgItem(f.box, 0xFFFF);
      if (st) SendMessageTimeoutW(st, WM_GETTEXT, 256, (LPARAM)wtext, SMTO_NORMAL, 2000, nullptr);
      char text[256] = "";
      WideCharToMultiByte(CP_ACP, 0, wtext, -1, text, sizeof text, nullptr, nullptr);
      printf("mark %s gdi %ld windows %ld private %llu (%.1f s)\n", text, gdi_objects(pi.hProcess),
             user_objects(pi.dwProcessId), private_bytes(pi.hProcess), (GetTickCount() - start) / 1000.0);
    } else {
      printf("box %s\n", caption);
    }
    fflush(stdout);
    DWORD_PTR r = 0;
    SendMessageTimeoutA(f.box, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0, SMTO_NORMAL, 3000, &r);
    SendMessageTimeoutA(f.box, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0, SMTO_NORMAL, 3000, &r);
  }
  DWORD code = 0;
  if (exited) GetExitCodeProcess(pi.hProcess, &code);
  TerminateJobObject(job, 1);
  WaitForSingleObject(pi.hProcess, 5000);
  if (exited) printf("exit %lu (%.1f s)\n", (unsigned long)code, (GetTickCount() - start) / 1000.0);
  else printf("killed (time limit %d ms)\n", timeout_ms);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  CloseHandle(job);
  return exited && code == 0 ? 0 : 1;
}

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  std::string exe, work, list, soak;
  int timeout_ms = 3000;
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    bool more = i + 1 < argc;
    if (a == "--exe" && more) exe = argv[++i];
    else if (a == "--work" && more) work = argv[++i];
    else if (a == "--list" && more) list = argv[++i];
    else if (a == "--soak" && more) soak = argv[++i];
    else if (a == "--timeout" && more) timeout_ms = atoi(argv[++i]);
    else if (a == "--watch" && more) g_watch.path = win_path(argv[++i]);
    else {
      fprintf(stderr, "usage: tarvofuzz (--list FILE [--watch STDERR] | --soak SCRIPT) [--exe PATH] [--work DIR] [--timeout MS]\n");
      return 2;
    }
  }
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string dir = self;
  dir = dir.substr(0, dir.find_last_of('\\'));
  exe = exe.empty() ? dir + "\\Tarvopro.exe" : full_path(exe);
  if (!work.empty()) {
    work = full_path(work);
    CreateDirectoryA(work.c_str(), nullptr);
  }
  if (!g_watch.path.empty()) CreateThread(nullptr, 0, watch_thread, nullptr, 0, nullptr);
  if (!list.empty()) return run_list(exe, work, list, timeout_ms);
  if (!soak.empty()) return run_soak(exe, work, soak, timeout_ms);
  fprintf(stderr, "tarvofuzz: --list or --soak\n");
  return 2;
}
