// What tarvo-dap needs from the operating system, for Linux (the runtime
// runs through Wine) and for Windows: the loopback listener that the runtime
// connects to, starting and ending the runtime, and where the adapter lives.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

namespace dap {

// A TCP listener on 127.0.0.1 with a port chosen by the system.
struct Listener {
  intptr_t sock = -1;
  unsigned port = 0;
};
bool listen_loopback(Listener* l);
// Waits up to timeout_ms for a connection; the connected socket or -1.
intptr_t accept_within(Listener* l, int timeout_ms);
void close_socket(intptr_t s);
void close_listener(Listener* l);
// Reads up to n bytes; 0 at the end of the stream, negative on error.
int recv_some(intptr_t s, char* buf, int n);
bool send_all(intptr_t s, const char* p, size_t n);
// Waits up to timeout_ms for bytes to read; false on time-out.
bool readable_within(intptr_t s, int timeout_ms);

// The runtime's process.
struct Child {
  intptr_t handle = -1;   // pid on Linux, process handle on Windows
};
// Starts argv[0] with the arguments in cwd (empty: the adapter's). On Linux
// argv is handed to execvp as it is; on Windows it is joined into a command
// line, quoting arguments that hold blanks. The child's stdout goes to the
// adapter's stderr, never to the protocol stream.
bool start_child(const std::vector<std::string>& argv, const std::string& cwd, Child* c, std::string* error);
// Waits for the child's end; its exit code.
int wait_child(Child* c);
void kill_child(Child* c);

// Directory of the adapter's executable, with a trailing separator.
std::string own_directory();
bool file_exists(const std::string& path);
// 32 random hexadecimal digits.
std::string random_token();
// Path of the script as the runtime sees it: on Linux a Windows path through
// Wine's Z: drive for an absolute path; unchanged on Windows.
std::string runtime_path(const std::string& path);
std::string absolute_path(const std::string& path, const std::string& base);
// Binary stdin and stdout.
void prepare_stdio();
void init_sockets();

}  // namespace dap
