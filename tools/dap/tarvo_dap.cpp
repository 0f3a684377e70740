// tarvo-dap: debug adapter for Tarvo scripts. Speaks the Debug Adapter
// Protocol on stdin/stdout and drives the runtime in debug mode (see
// host/debugger.h) over a loopback connection that only it can open: it
// listens on 127.0.0.1 with a port the system picks and hands the runtime
// the port and a random token on the command line; a connection that does
// not start with the token is closed. On Linux the runtime runs through Wine.
#include "tools/dap/platform.h"
#include "tools/protocol/framing.h"
#include "tools/protocol/latin1.h"
#include <nlohmann/json.hpp>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <stdio.h>
#include <string.h>
#include <thread>

using json = nlohmann::json;
using namespace dap;

// ---- the protocol stream

static std::mutex s_out_mutex;
static int s_seq = 1;

static void send_message(json m) {
  std::lock_guard<std::mutex> lock(s_out_mutex);
  m["seq"] = s_seq++;
  protocol::write_framed(m.dump(-1, ' ', false, json::error_handler_t::replace));
}

static void respond(const json& req, bool ok, json body = json::object(), const std::string& message = "") {
  json r = {{"type", "response"}, {"request_seq", req.value("seq", 0)}, {"success", ok},
            {"command", req.value("command", "")}, {"body", body}};
  if (!ok) r["message"] = message;
  send_message(r);
}

static void send_event(const std::string& name, json body = json::object()) {
  send_message({{"type", "event"}, {"event", name}, {"body", body}});
}

// One message from stdin; false at the end of the stream.
static bool read_message(json* out) {
  std::string body;
  if (!protocol::read_framed(&body)) return false;
  *out = json::parse(body, nullptr, false);
  return !out->is_discarded();
}

// Text between the two sides: the runtime speaks ANSI, the protocol UTF-8.
static std::string to_utf8(const std::string& s) { return protocol::latin1_to_utf8(s); }
static std::string from_utf8(const std::string& s) { return protocol::utf8_to_latin1(s); }

static std::string escape(const std::string& s) {
  std::string r;
  for (unsigned char c : s) {
    if (c == '\\') r += "\\\\";
    else if (c == '\t') r += "\\t";
    else if (c == '\n') r += "\\n";
    else if (c == '\r') r += "\\r";
    else if (c < 32) {
      char b[5];
      snprintf(b, sizeof b, "\\x%02X", c);
      r += b;
    } else r += (char)c;
  }
  return r;
}

static std::vector<std::string> split_line(const std::string& line) {
  std::vector<std::string> f(1);
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == '\t') {
      f.emplace_back();
    } else if (c == '\\' && i + 1 < line.size()) {
      char e = line[++i];
      if (e == 't') f.back() += '\t';
      else if (e == 'n') f.back() += '\n';
      else if (e == 'r') f.back() += '\r';
      else if (e == 'x' && i + 2 < line.size()) {
        f.back() += (char)strtoul(line.substr(i + 1, 2).c_str(), nullptr, 16);
        i += 2;
      } else f.back() += e;
    } else {
      f.back() += c;
    }
  }
  return f;
}

// ---- the runtime

static intptr_t s_sock = -1;
static std::mutex s_sock_mutex;
static Child s_child;
static std::atomic<bool> s_running{false};     // the runtime's process exists
static std::atomic<bool> s_finished{false};    // exited and terminated have been sent
static std::mutex s_finish_mutex;
static std::condition_variable s_finish_cv;
static std::thread s_reader, s_waiter;
static std::string s_program;                  // the script, as the client named it
static bool s_lines_from_1 = true;
static std::string s_exception;                // message of the last runtime error

// Requests that the runtime answers, by sequence number.
static std::mutex s_pending_mutex;
static std::map<int, json> s_pending;

static void send_runtime(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) line += '\t';
    line += escape(fields[i]);
  }
  line += '\n';
  std::lock_guard<std::mutex> lock(s_sock_mutex);
  if (s_sock >= 0) send_all(s_sock, line.data(), line.size());
}

static int client_line(long runtime_line) { return (int)(s_lines_from_1 ? runtime_line : runtime_line - 1); }

static json source_json() {
  size_t k = s_program.find_last_of("/\\");
  return {{"name", k == std::string::npos ? s_program : s_program.substr(k + 1)}, {"path", s_program}};
}

static json take_pending(const std::string& seq) {
  std::lock_guard<std::mutex> lock(s_pending_mutex);
  auto it = s_pending.find(atoi(seq.c_str()));
  if (it == s_pending.end()) return json();
  json r = it->second;
  s_pending.erase(it);
  return r;
}

// An answer or event line from the runtime, turned into protocol messages.
static void runtime_line(const std::string& text) {
  std::vector<std::string> f = split_line(text);
  const std::string& w = f[0];
  if (w == "stopped" && f.size() >= 4) {
    json b = {{"reason", f[1]}, {"threadId", 1}, {"allThreadsStopped", true}};
    if (f[1] == "exception") {
      s_exception = to_utf8(f[3]);
      b["text"] = s_exception;
      b["description"] = s_exception;
    }
    send_event("stopped", b);
  } else if (w == "output" && f.size() >= 3) {
    send_event("output", {{"category", f[1]}, {"output", to_utf8(f[2])}});
  } else if (w == "stack" && f.size() >= 2) {
    json req = take_pending(f[1]);
    if (req.is_null()) return;
    json frames = json::array();
    for (size_t i = 2; i + 1 < f.size(); i += 2)
      frames.push_back({{"id", (int)frames.size()}, {"name", to_utf8(f[i + 1])}, {"line", client_line(atol(f[i].c_str()))},
                        {"column", s_lines_from_1 ? 1 : 0}, {"source", source_json()}});
    json args = req.value("arguments", json::object());
    size_t start = args.value("startFrame", 0), levels = args.value("levels", 0);
    json shown = json::array();
    for (size_t i = start; i < frames.size() && (levels == 0 || shown.size() < levels); ++i) shown.push_back(frames[i]);
    respond(req, true, {{"stackFrames", shown}, {"totalFrames", frames.size()}});
  } else if (w == "vars" && f.size() >= 3) {
    json req = take_pending(f[1]);
    if (req.is_null()) return;
    json vars = json::array();
    for (size_t i = 3; i + 1 < f.size(); i += 2) {
      std::string value = to_utf8(f[i + 1]);
      std::string type = f[2] == "num" ? "number" : f[2] == "str" ? "string" : "binding";
      if (f[2] == "str") value = "\"" + value + "\"";
      vars.push_back({{"name", to_utf8(f[i])}, {"value", value}, {"type", type}, {"variablesReference", 0}});
    }
    respond(req, true, {{"variables", vars}});
  } else if (w == "eval" && f.size() >= 4) {
    json req = take_pending(f[1]);
    if (req.is_null()) return;
    if (f[2] == "1")
      respond(req, true, {{"result", to_utf8(f[3])}, {"variablesReference", 0}});
    else
      respond(req, false, json::object(), to_utf8(f[3]));
  }
}

// Reads the runtime's lines until the connection closes.
static void read_runtime(intptr_t sock) {
  std::string buf;
  char chunk[65536];
  for (;;) {
    int n = recv_some(sock, chunk, sizeof chunk);
    if (n <= 0) break;
    buf.append(chunk, (size_t)n);
    size_t start = 0, nl;
    while ((nl = buf.find('\n', start)) != std::string::npos) {
      std::string line = buf.substr(start, nl - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      runtime_line(line);
      start = nl + 1;
    }
    buf.erase(0, start);
  }
  // Questions that will never be answered now.
  std::map<int, json> left;
  {
    std::lock_guard<std::mutex> lock(s_pending_mutex);
    left.swap(s_pending);
  }
  for (auto& p : left) respond(p.second, false, json::object(), "the script has ended");
}

// Waits for the runtime's end, then reports it once its last lines are read.
static void wait_runtime() {
  int code = wait_child(&s_child);
  s_running = false;
  {
    // The socket closes with the process: the reader ends by itself.
    if (s_reader.joinable()) s_reader.join();
  }
  send_event("exited", {{"exitCode", code}});
  send_event("terminated");
  {
    std::lock_guard<std::mutex> lock(s_finish_mutex);
    s_finished = true;
  }
  s_finish_cv.notify_all();
}

// Asks the runtime to end; kills it if it has not ended after a while (it
// may be inside a message box of the script).
static void end_runtime(bool wait) {
  if (!s_running) return;
  send_runtime({"terminate"});
  std::unique_lock<std::mutex> lock(s_finish_mutex);
  if (!s_finish_cv.wait_for(lock, std::chrono::seconds(3), [] { return s_finished.load(); })) {
    kill_child(&s_child);
    if (wait) s_finish_cv.wait_for(lock, std::chrono::seconds(10), [] { return s_finished.load(); });
  }
}

// ---- breakpoints and configuration, kept until the runtime is there

struct Breakpoint {
  long line;
  std::string hit_op, hit_count, condition;
};
// By source: an editor sends the breakpoints of every file that has some;
// only those of the launched script reach the runtime.
static std::map<std::string, std::vector<Breakpoint>> s_breakpoints;
static bool s_configured = false, s_stop_on_entry = false, s_no_debug = false;

static std::string same_path_key(std::string p) {
#ifdef _WIN32
  for (char& c : p) {
    if (c == '/') c = '\\';
    if (c >= 'A' && c <= 'Z') c = (char)(c + 32);
  }
#endif
  return p;
}

static void send_breakpoints() {
  send_runtime({"bpclear"});
  if (s_no_debug) return;  // "Run Without Debugging": breakpoints do not stop
  auto it = s_breakpoints.find(same_path_key(s_program));
  if (it == s_breakpoints.end()) return;
  for (const Breakpoint& b : it->second)
    send_runtime({"bp", std::to_string(b.line), b.hit_op, b.hit_count, b.condition});
}

// "5", "= 5", "== 5", ">= 5", "> 5", "<= 5", "< 5", "% 5": the operator as
// the runtime spells it and the count; false when it is none of these. A
// bare count stops from that hit on, as editors commonly read it.
static bool parse_hit_condition(std::string s, std::string* op, std::string* count) {
  size_t a = s.find_first_not_of(" \t");
  s = a == std::string::npos ? "" : s.substr(a);
  static const char* const ops[][2] = {{"==", "="}, {">=", "g"}, {"<=", "l"}, {"=", "="}, {">", ">"}, {"<", "<"}, {"%", "%"}};
  *op = "g";
  for (auto& o : ops)
    if (s.compare(0, strlen(o[0]), o[0]) == 0) {
      *op = o[1];
      s = s.substr(strlen(o[0]));
      break;
    }
  a = s.find_first_not_of(" \t");
  s = a == std::string::npos ? "" : s.substr(a);
  size_t e = s.find_last_not_of(" \t");
  s = e == std::string::npos ? "" : s.substr(0, e + 1);
  if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos) return false;
  *count = s;
  return true;
}

static void set_breakpoints(const json& req) {
  json args = req.value("arguments", json::object());
  json source = args.value("source", json::object());
  std::string path = source.value("path", "");
  std::string key = same_path_key(path.empty() ? s_program : absolute_path(path, ""));
  std::vector<Breakpoint>& list_for_source = s_breakpoints[key];
  list_for_source.clear();
  json result = json::array();
  json list = args.value("breakpoints", json::array());
  if (list.empty() && args.contains("lines"))
    for (const json& l : args["lines"]) list.push_back({{"line", l}});
  int id = 1;
  for (const json& b : list) {
    long line = b.value("line", 0L);
    Breakpoint bp{s_lines_from_1 ? line : line + 1, "", "0", from_utf8(b.value("condition", ""))};
    for (char& c : bp.condition)
      if (c == '\r' || c == '\n') c = ' ';
    json shown = {{"id", id++}, {"line", line}, {"verified", true}, {"source", source_json()}};
    std::string hit = b.value("hitCondition", "");
    if (!hit.empty() && !parse_hit_condition(hit, &bp.hit_op, &bp.hit_count)) {
      shown["verified"] = false;
      shown["message"] = "hit count must be a number, optionally after ==, >=, >, <=, < or %";
      result.push_back(shown);
      continue;
    }
    list_for_source.push_back(bp);
    result.push_back(shown);
  }
  if (s_running && key == same_path_key(s_program)) send_breakpoints();
  respond(req, true, {{"breakpoints", result}});
}

// The runtime: the launch argument, or Tarvopro.exe beside the adapter or
// in the 64-bit build beside the native one.
static std::string find_runtime(const json& args) {
  std::string r = args.value("runtime", "");
  if (!r.empty()) return r;
  std::string dir = own_directory();
  for (const char* rel : {"Tarvopro.exe", "../x64/Tarvopro.exe", "../Tarvopro.exe"})
    if (file_exists(dir + rel)) return dir + rel;
  return "";
}

static void launch(const json& req) {
  json args = req.value("arguments", json::object());
  if (s_running || s_finished) {
    respond(req, false, json::object(), "a script has already been launched");
    return;
  }
  std::string cwd = args.value("cwd", "");
  std::string program = args.value("program", "");
  if (program.empty()) {
    respond(req, false, json::object(), "launch needs \"program\": the script to run");
    return;
  }
  s_program = absolute_path(program, cwd.empty() ? "" : absolute_path(cwd, ""));
  if (!file_exists(s_program)) {
    respond(req, false, json::object(), "script not found: " + s_program);
    return;
  }
  std::string runtime = find_runtime(args);
  if (runtime.empty() || !file_exists(runtime)) {
    respond(req, false, json::object(), "runtime Tarvopro.exe not found (set \"runtime\" in the launch configuration)");
    return;
  }
  s_no_debug = args.value("noDebug", false);
  s_stop_on_entry = args.value("stopOnEntry", false) && !s_no_debug;
  if (args.contains("args") && args["args"].is_array() && !args["args"].empty())
    send_event("output", {{"category", "console"},
                          {"output", "The runtime's command line is the script path: the arguments are not passed.\n"}});

  Listener listener;
  if (!listen_loopback(&listener)) {
    respond(req, false, json::object(), "cannot open a loopback port for the runtime");
    return;
  }
  std::string token = random_token();
  std::vector<std::string> argv;
#ifndef _WIN32
  argv.push_back(args.value("wine", "wine"));
#endif
  argv.push_back(runtime);
  argv.push_back("|tarvo-debug:" + std::to_string(listener.port) + ":" + token + "|");
  argv.push_back(runtime_path(from_utf8(s_program)));
  std::string error;
  if (!start_child(argv, cwd, &s_child, &error)) {
    close_listener(&listener);
    respond(req, false, json::object(), error);
    return;
  }
  s_running = true;
  s_waiter = std::thread(wait_runtime);
  // The runtime connects and names the token; Wine may take a while to start.
  intptr_t sock = -1;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(args.value("connectTimeout", 60));
  while (sock < 0 && s_running && std::chrono::steady_clock::now() < deadline) {
    intptr_t c = accept_within(&listener, 200);
    if (c < 0) continue;
    std::string hello;
    char ch;
    while (hello.size() < 200 && readable_within(c, 5000) && recv_some(c, &ch, 1) == 1 && ch != '\n') hello += ch;
    if (hello == "hello\t" + token) sock = c;
    else close_socket(c);
  }
  close_listener(&listener);
  if (sock < 0) {
    if (s_running) kill_child(&s_child);
    respond(req, false, json::object(), "the runtime did not connect");
    return;
  }
  {
    std::lock_guard<std::mutex> lock(s_sock_mutex);
    s_sock = sock;
  }
  s_reader = std::thread(read_runtime, sock);
  send_breakpoints();
  if (s_stop_on_entry) send_runtime({"entry"});
  if (s_configured) send_runtime({"run"});
  respond(req, true);
}

// Requests that the runtime answers itself.
static void ask_runtime(const json& req, std::vector<std::string> fields) {
  if (!s_running || s_sock < 0) {
    respond(req, false, json::object(), "no script is running");
    return;
  }
  {
    std::lock_guard<std::mutex> lock(s_pending_mutex);
    s_pending[req.value("seq", 0)] = req;
  }
  fields.insert(fields.begin() + 1, std::to_string(req.value("seq", 0)));
  send_runtime(fields);
}

static void handle(const json& req, bool* done) {
  std::string cmd = req.value("command", "");
  json args = req.value("arguments", json::object());
  if (cmd == "initialize") {
    s_lines_from_1 = args.value("linesStartAt1", true);
    respond(req, true, {{"supportsConfigurationDoneRequest", true}, {"supportsConditionalBreakpoints", true},
                        {"supportsHitConditionalBreakpoints", true}, {"supportsEvaluateForHovers", true},
                        {"supportsTerminateRequest", true}, {"supportsExceptionInfoRequest", true}});
    send_event("initialized");
  } else if (cmd == "launch") {
    launch(req);
  } else if (cmd == "setBreakpoints") {
    set_breakpoints(req);
  } else if (cmd == "setExceptionBreakpoints") {
    respond(req, true, {{"breakpoints", json::array()}});
  } else if (cmd == "configurationDone") {
    s_configured = true;
    if (s_running) send_runtime({"run"});
    respond(req, true);
  } else if (cmd == "threads") {
    respond(req, true, {{"threads", {{{"id", 1}, {"name", "script"}}}}});
  } else if (cmd == "stackTrace") {
    ask_runtime(req, {"stack"});
  } else if (cmd == "scopes") {
    respond(req, true, {{"scopes", {{{"name", "Numbers"}, {"variablesReference", 1}, {"expensive", false}},
                                    {{"name", "Strings"}, {"variablesReference", 2}, {"expensive", false}},
                                    {{"name", "Bindings"}, {"variablesReference", 3}, {"expensive", false}}}}});
  } else if (cmd == "variables") {
    int ref = args.value("variablesReference", 0);
    if (ref < 1 || ref > 3) respond(req, true, {{"variables", json::array()}});
    else ask_runtime(req, {"vars", ref == 1 ? "num" : ref == 2 ? "str" : "bind"});
  } else if (cmd == "evaluate") {
    ask_runtime(req, {"eval", from_utf8(args.value("expression", ""))});
  } else if (cmd == "continue" || cmd == "next" || cmd == "stepIn" || cmd == "stepOut" || cmd == "pause") {
    static const std::map<std::string, std::string> words = {
        {"continue", "continue"}, {"next", "next"}, {"stepIn", "stepin"}, {"stepOut", "stepout"}, {"pause", "pause"}};
    if (!s_running) {
      respond(req, false, json::object(), "no script is running");
      return;
    }
    send_runtime({words.at(cmd)});
    respond(req, true, cmd == "continue" ? json{{"allThreadsContinued", true}} : json::object());
  } else if (cmd == "exceptionInfo") {
    respond(req, true, {{"exceptionId", "runtime error"}, {"description", s_exception}, {"breakMode", "always"}});
  } else if (cmd == "terminate") {
    respond(req, true);
    std::thread(end_runtime, false).detach();
  } else if (cmd == "disconnect") {
    end_runtime(true);
    respond(req, true);
    *done = true;
  } else {
    respond(req, false, json::object(), "unsupported request " + cmd);
  }
}

int main() {
  prepare_stdio();
  init_sockets();
  bool done = false;
  json req;
  while (!done && read_message(&req)) {
    if (req.value("type", "") == "request") handle(req, &done);
  }
  if (!done) end_runtime(true);
  if (s_waiter.joinable()) {
    if (s_finished) s_waiter.join(); else s_waiter.detach();
  }
  {
    std::lock_guard<std::mutex> lock(s_sock_mutex);
    close_socket(s_sock);
    s_sock = -1;
  }
  return 0;
}
