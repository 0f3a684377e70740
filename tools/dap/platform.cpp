// Sockets, processes and paths for tarvo-dap on Linux and on Windows.
#include "tools/dap/platform.h"
#include <errno.h>
#include <random>
#include <stdio.h>
#include <string.h>

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace dap {

#ifdef _WIN32
typedef SOCKET sock_t;
typedef int socklen_t;
static void close_native(sock_t s) { closesocket(s); }
static int poll_one(sock_t s, int timeout_ms) {
  fd_set r;
  FD_ZERO(&r);
  FD_SET(s, &r);
  timeval tv = {timeout_ms / 1000, (timeout_ms % 1000) * 1000};
  return select(0, &r, nullptr, nullptr, &tv);
}
#else
typedef int sock_t;
static void close_native(sock_t s) { close(s); }
static int poll_one(sock_t s, int timeout_ms) {
  pollfd p = {s, POLLIN, 0};
  return poll(&p, 1, timeout_ms);
}
#endif

void init_sockets() {
#ifdef _WIN32
  WSADATA wd;
  WSAStartup(MAKEWORD(2, 2), &wd);
#else
  signal(SIGPIPE, SIG_IGN);
#endif
}

bool listen_loopback(Listener* l) {
  sock_t s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if ((intptr_t)s < 0) return false;
#ifndef _WIN32
  fcntl(s, F_SETFD, FD_CLOEXEC);  // the runtime's process does not keep it
#endif
  sockaddr_in a;
  memset(&a, 0, sizeof a);
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = 0;
  socklen_t len = sizeof a;
  if (bind(s, (sockaddr*)&a, sizeof a) != 0 || listen(s, 4) != 0 ||
      getsockname(s, (sockaddr*)&a, &len) != 0) {
    close_native(s);
    return false;
  }
  l->sock = (intptr_t)s;
  l->port = ntohs(a.sin_port);
  return true;
}

intptr_t accept_within(Listener* l, int timeout_ms) {
  if (poll_one((sock_t)l->sock, timeout_ms) <= 0) return -1;
  sock_t c = accept((sock_t)l->sock, nullptr, nullptr);
  return (intptr_t)c < 0 ? -1 : (intptr_t)c;
}

void close_socket(intptr_t s) {
  if (s >= 0) close_native((sock_t)s);
}

void close_listener(Listener* l) {
  close_socket(l->sock);
  l->sock = -1;
}

int recv_some(intptr_t s, char* buf, int n) { return (int)recv((sock_t)s, buf, n, 0); }

bool send_all(intptr_t s, const char* p, size_t n) {
  while (n) {
    int k = (int)send((sock_t)s, p, (int)(n > 65536 ? 65536 : n), 0);
    if (k <= 0) return false;
    p += k;
    n -= (size_t)k;
  }
  return true;
}

bool readable_within(intptr_t s, int timeout_ms) { return poll_one((sock_t)s, timeout_ms) > 0; }

std::string random_token() {
  std::random_device rd;
  static const char hex[] = "0123456789abcdef";
  std::string t;
  for (int i = 0; i < 4; ++i) {
    uint32_t v = rd();
    for (int k = 0; k < 8; ++k, v >>= 4) t += hex[v & 15];
  }
  return t;
}

bool file_exists(const std::string& path) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  fclose(f);
  return true;
}

#ifdef _WIN32

bool start_child(const std::vector<std::string>& argv, const std::string& cwd, Child* c, std::string* error) {
  std::string line;
  for (const std::string& a : argv) {
    if (!line.empty()) line += ' ';
    if (a.find_first_of(" \t") != std::string::npos) line += '"' + a + '"'; else line += a;
  }
  STARTUPINFOA si;
  memset(&si, 0, sizeof si);
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  std::vector<char> buf(line.begin(), line.end());
  buf.push_back(0);
  if (!CreateProcessA(nullptr, buf.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      cwd.empty() ? nullptr : cwd.c_str(), &si, &pi)) {
    *error = "cannot start " + argv[0] + " (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  CloseHandle(pi.hThread);
  c->handle = (intptr_t)pi.hProcess;
  return true;
}

int wait_child(Child* c) {
  WaitForSingleObject((HANDLE)c->handle, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess((HANDLE)c->handle, &code);
  return (int)code;
}

void kill_child(Child* c) { TerminateProcess((HANDLE)c->handle, 1); }

std::string own_directory() {
  char p[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, p, sizeof p);
  std::string s(p, n < sizeof p ? n : 0);
  size_t k = s.find_last_of("\\/");
  return k == std::string::npos ? std::string() : s.substr(0, k + 1);
}

std::string runtime_path(const std::string& path) { return path; }

std::string absolute_path(const std::string& path, const std::string& base) {
  std::string p = path;
  if (!(p.size() > 1 && p[1] == ':') && !(p.size() && (p[0] == '\\' || p[0] == '/')) && !base.empty())
    p = base + "\\" + p;
  char full[MAX_PATH];
  DWORD n = GetFullPathNameA(p.c_str(), sizeof full, full, nullptr);
  return n && n < sizeof full ? std::string(full) : p;
}

void prepare_stdio() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

#else

bool start_child(const std::vector<std::string>& argv, const std::string& cwd, Child* c, std::string* error) {
  // A pipe that closes on exec tells the parent whether exec worked.
  int fds[2];
  if (pipe(fds) != 0) {
    *error = "no pipe";
    return false;
  }
  fcntl(fds[1], F_SETFD, FD_CLOEXEC);
  pid_t pid = fork();
  if (pid < 0) {
    *error = "cannot fork";
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  if (pid == 0) {
    close(fds[0]);
    int null = open("/dev/null", O_RDONLY);
    if (null >= 0) dup2(null, 0);
    dup2(2, 1);  // stdout is the protocol stream: the child must not write there
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) {
      int e = 1;
      (void)!write(fds[1], &e, 1);
      _exit(127);
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    int e = 2;
    (void)!write(fds[1], &e, 1);
    _exit(127);
  }
  close(fds[1]);
  char e = 0;
  ssize_t n = read(fds[0], &e, 1);
  close(fds[0]);
  if (n > 0) {
    waitpid(pid, nullptr, 0);
    *error = e == 1 ? "cannot change to the directory " + cwd : "cannot start " + argv[0];
    return false;
  }
  c->handle = pid;
  return true;
}

int wait_child(Child* c) {
  int status = 0;
  while (waitpid((pid_t)c->handle, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}

void kill_child(Child* c) { kill((pid_t)c->handle, SIGKILL); }

std::string own_directory() {
  char p[4096];
  ssize_t n = readlink("/proc/self/exe", p, sizeof p - 1);
  if (n <= 0) return "./";
  std::string s(p, (size_t)n);
  return s.substr(0, s.find_last_of('/') + 1);
}

std::string runtime_path(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string w = "Z:" + path;
  for (char& ch : w)
    if (ch == '/') ch = '\\';
  return w;
}

std::string absolute_path(const std::string& path, const std::string& base) {
  if (!path.empty() && path[0] == '/') return path;
  std::string b = base;
  if (b.empty()) {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd)) b = cwd;
  }
  return b.empty() ? path : b + "/" + path;
}

void prepare_stdio() {}

#endif

}  // namespace dap
