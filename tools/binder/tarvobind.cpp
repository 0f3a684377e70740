// tarvobind RUNTIME.exe SCRIPT.TRV OUTPUT.exe
//
// Writes OUTPUT.exe: a copy of the runtime that carries the script and runs
// it when started, without a command line. The hook library Tarvomsg.dll,
// which keystroke sending loads from the program's folder, is copied beside
// OUTPUT.exe when it lies beside the runtime. Exit code 0 on success, 1 when
// the files cannot be bound or read or written, 2 for a wrong command line.
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "bindpatch.h"

namespace fs = std::filesystem;

static int fail(const std::string& message) {
  fprintf(stderr, "tarvobind: %s\n", message.c_str());
  return 1;
}

static std::string errno_text() {
  return errno ? std::string(": ") + strerror(errno) : std::string();
}

// Reads a whole file; false with *why set when it cannot.
static bool read_all(const std::string& path, std::vector<unsigned char>* data,
                     std::string* why) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    *why = "is a directory";
    return false;
  }
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *why = "cannot open" + errno_text();
    return false;
  }
  data->assign(std::istreambuf_iterator<char>(in),
               std::istreambuf_iterator<char>());
  if (in.bad()) {
    *why = "read error" + errno_text();
    return false;
  }
  return true;
}

static bool write_all(const std::string& path,
                      const std::vector<unsigned char>& data,
                      std::string* why) {
  errno = 0;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) {
    *why = "cannot create" + errno_text();
    return false;
  }
  out.write((const char*)data.data(), (std::streamsize)data.size());
  out.close();
  if (out.fail()) {
    *why = "write error" + errno_text();
    std::error_code ec;
    fs::remove(path, ec);  // leave no half-written program behind
    return false;
  }
  return true;
}

static bool same_file(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::exists(b, ec) && fs::equivalent(a, b, ec);
}

// Copies Tarvomsg.dll from the runtime's folder to the output's folder (when
// there is one and the folders differ); a failure is only reported.
static void copy_hook_library(const std::string& runtime_path, const std::string& output_path) {
  std::error_code ec;
  fs::path from = fs::path(runtime_path).parent_path() / "Tarvomsg.dll";
  fs::path to = fs::path(output_path).parent_path() / "Tarvomsg.dll";
  if (!fs::is_regular_file(from, ec)) return;
  if (fs::exists(to, ec) && fs::equivalent(from, to, ec)) return;
  if (!fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec))
    fprintf(stderr, "tarvobind: warning: could not copy %s beside the output: %s\n", from.string().c_str(),
            ec.message().c_str());
  else
    printf("tarvobind: copied %s (needed by SENDKEYS)\n", to.string().c_str());
}

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr,
            "usage: tarvobind RUNTIME.exe SCRIPT.TRV OUTPUT.exe\n"
            "  Copies the runtime to OUTPUT.exe with the script appended, so\n"
            "  that OUTPUT.exe runs the script when started.\n");
    return 2;
  }
  const std::string runtime_path = argv[1], script_path = argv[2],
                    output_path = argv[3];

  std::vector<unsigned char> runtime, script, bound;
  std::string why;
  if (!read_all(runtime_path, &runtime, &why))
    return fail("runtime '" + runtime_path + "': " + why);
  if (!read_all(script_path, &script, &why))
    return fail("script '" + script_path + "': " + why);
  if (same_file(runtime_path, output_path) ||
      same_file(script_path, output_path))
    return fail("output '" + output_path +
                "' is one of the input files; choose another name");

  BindResult r = bind_make(runtime, script, &bound);
  if (r != BIND_OK)
    return fail("runtime '" + runtime_path + "': " + bind_result_text(r));
  if (!write_all(output_path, bound, &why))
    return fail("output '" + output_path + "': " + why);

  copy_hook_library(runtime_path, output_path);
  printf("tarvobind: wrote %s: %zu bytes of runtime, %zu bytes of script at "
         "offset %zu\n",
         output_path.c_str(), runtime.size(), script.size(), runtime.size());
  return 0;
}
