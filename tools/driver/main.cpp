// tarvodrv: runs the runtime under control and checks what it shows.
//
//   tarvodrv [options] FILE.cases...     runs the cases of the files
//   tarvodrv [options] --run SCRIPT.TRV  runs one script and prints what it shows
//
// The last line of a case run is "N passed, M failed"; the exit code is 0
// only when nothing failed.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "casefile.h"
#include "session.h"

static const char USAGE[] =
    "usage: tarvodrv [options] FILE.cases...\n"
    "       tarvodrv [options] --run SCRIPT.TRV\n"
    "options:\n"
    "  --exe PATH        the runtime (default: Tarvopro.exe beside tarvodrv.exe)\n"
    "  --work DIR        where the scripts and files of the cases are written\n"
    "  --timeout MS      time limit of one run (cases 10000, --run 60000)\n"
    "  --only TEXT       only the cases whose name contains TEXT\n"
    "  --expect-fail     every case must fail (checks that the bench notices faults)\n"
    "  --verbose         print every transcript\n"
    "with --run:\n"
    "  --args TEXT       command line tail instead of the script path\n"
    "  --answers A,B     buttons for the boxes as they come, in order, whatever the\n"
    "                    steps are doing (boxes after the last: the first button)\n"
    "  --steps \"S; S\"    steps as in a case file, separated by \";\"\n"
    "  --png FILE        picture of the main window's client area at the end\n"
    "  --idle MS         once the runtime has waited this long for input with nothing\n"
    "                    to do, a step that waits for a box fails and, after the\n"
    "                    steps, the runtime is closed (default 1000, 0 = never)\n";

struct Options {
  std::string exe, work, only, run, args, answers, steps, png;
  bool has_args, expect_fail, verbose;
  int timeout_ms, idle_ms;
  std::vector<std::string> files;
};

static double now_ms() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return (double)c.QuadPart * 1000.0 / (double)f.QuadPart;
}

static bool read_file(const std::string& path, std::string& out) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  char buf[65536];
  size_t n;
  out.clear();
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  fclose(f);
  return true;
}

static bool write_file(const std::string& path, const std::string& data) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
  return fclose(f) == 0 && ok;
}

static std::string full_path(const std::string& p) {
  char buf[MAX_PATH * 2];
  DWORD n = GetFullPathNameA(win_path(p).c_str(), sizeof buf, buf, nullptr);
  return n > 0 && n < sizeof buf ? std::string(buf) : win_path(p);
}

static std::string base_name(const std::string& path) {
  size_t s = path.find_last_of("\\/");
  std::string b = s == std::string::npos ? path : path.substr(s + 1);
  size_t d = b.rfind('.');
  return d == std::string::npos ? b : b.substr(0, d);
}

static void print_lines(const std::vector<std::string>& lines, const char* indent) {
  for (const std::string& l : lines) printf("%s%s\n", indent, l.c_str());
}

// Runs the cases of one file; adds to the counters.
static void run_file(const Options& o, const std::string& path, int& passed, int& failed) {
  std::string text;
  if (!read_file(win_path(path), text)) {
    printf("FAIL %s: cannot read the file\n", path.c_str());
    failed++;
    return;
  }
  std::vector<Case> cases;
  std::vector<std::string> errors;
  if (!parse_cases(text, path, cases, errors)) {
    printf("FAIL %s: the file has errors\n", path.c_str());
    print_lines(errors, "    ");
    failed++;
    return;
  }
  std::string base = base_name(path);
  for (size_t k = 0; k < cases.size(); k++) {
    const Case& c = cases[k];
    if (!o.only.empty() && c.name.find(o.only) == std::string::npos) continue;
    char num[16];
    snprintf(num, sizeof num, "-%02d", (int)k + 1);
    std::string script = o.work + "\\" + base + num + ".TRV";
    bool written = write_file(script, c.script);
    for (const ExtraFile& f : c.files) written = write_file(o.work + "\\" + f.name, f.data) && written;

    Session s;
    session_init(s);
    s.exe = o.exe;
    s.workdir = o.work;
    s.script = script;
    s.cmdline = c.has_args ? replace_all(c.args, "$SCRIPT", script) : script;
    s.timeout_ms = c.timeout_ms > 0 ? c.timeout_ms : o.timeout_ms;
    double t0 = now_ms();
    if (!written) s.lines.push_back("! cannot write the files of the case into " + o.work);
    else session_run(s, c.steps);
    double t = now_ms() - t0;

    std::vector<std::string> want, got;
    for (const std::string& l : c.expect) want.push_back(normalize_line(l, true, script, s.cmdline));
    for (const std::string& l : s.lines) got.push_back(normalize_line(l, false, "", ""));
    bool match = want == got;
    bool ok = match != o.expect_fail;
    printf("%s %s (%.0f ms)%s\n", ok ? "PASS" : "FAIL", c.name.c_str(), t,
           o.expect_fail ? (match ? ": passed, but must fail" : ": failed as it must") : "");
    if (!ok || o.verbose) {
      printf("    %s:%d\n", path.c_str(), c.line);
      if (match) print_lines(got, "      ");
      else print_lines(diff_lines(want, got), "    ");
    }
    fflush(stdout);
    (ok ? passed : failed)++;
  }
}

// Runs one script and prints what it shows as it happens.
static std::string trim_blanks(const std::string& s) {
  size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

static int run_script(const Options& o) {
  // The answers are not steps: they go to the boxes as the boxes come,
  // also while a step waits for the runtime to show one.
  std::vector<std::string> answers;
  std::string list = o.answers;
  for (size_t p = 0; !list.empty();) {
    size_t e = list.find(',', p);
    answers.push_back(trim_blanks(list.substr(p, e == std::string::npos ? std::string::npos : e - p)));
    if (e == std::string::npos) break;
    p = e + 1;
  }
  std::vector<Step> steps;
  std::vector<std::string> parts;
  std::string sl = o.steps;
  for (size_t p = 0; !sl.empty();) {
    size_t e = sl.find(';', p);
    std::string one = sl.substr(p, e == std::string::npos ? std::string::npos : e - p);
    if (one.find_first_not_of(" \t") != std::string::npos) parts.push_back(one);
    if (e == std::string::npos) break;
    p = e + 1;
  }
  for (const std::string& part : parts) {
    std::string err;
    if (!parse_steps(part, steps, err)) {
      fprintf(stderr, "tarvodrv: %s: %s\n", part.c_str(), err.c_str());
      return 2;
    }
  }
  Session s;
  session_init(s);
  s.exe = o.exe;
  s.script = full_path(o.run);
  s.cmdline = o.has_args ? replace_all(o.args, "$SCRIPT", s.script) : s.script;
  s.timeout_ms = o.timeout_ms;
  s.echo = true;
  s.png_path = o.png;
  s.idle_exit_ms = o.idle_ms;
  s.stuck_ms = o.idle_ms;
  s.answers = answers;
  char cwd[MAX_PATH];
  GetCurrentDirectoryA(sizeof cwd, cwd);
  s.workdir = cwd;
  double t0 = now_ms();
  if (!session_run(s, steps)) return 2;
  printf("(%.0f ms)\n", now_ms() - t0);
  if (!o.png.empty() && !s.shot.empty()) printf("picture: %s (%dx%d)\n", o.png.c_str(), s.shot_w, s.shot_h);
  for (const std::string& l : s.lines)
    if (l[0] == '!') return 1;
  return s.killed ? 1 : 0;
}

int main(int argc, char** argv) {
  // Plain line ends for the shell that reads the output.
  _setmode(_fileno(stdout), _O_BINARY);
  Options o = Options();
  o.timeout_ms = -1;
  o.idle_ms = 1000;
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    bool more = i + 1 < argc;
    if (a == "--exe" && more) o.exe = argv[++i];
    else if (a == "--work" && more) o.work = argv[++i];
    else if (a == "--timeout" && more) o.timeout_ms = atoi(argv[++i]);
    else if (a == "--only" && more) o.only = argv[++i];
    else if (a == "--run" && more) o.run = argv[++i];
    else if (a == "--args" && more) { o.args = argv[++i]; o.has_args = true; }
    else if (a == "--answers" && more) o.answers = argv[++i];
    else if (a == "--steps" && more) o.steps = argv[++i];
    else if (a == "--png" && more) o.png = argv[++i];
    else if (a == "--idle" && more) o.idle_ms = atoi(argv[++i]);
    else if (a == "--expect-fail") o.expect_fail = true;
    else if (a == "--verbose" || a == "-v") o.verbose = true;
    else if (a == "--help" || a == "-h") { fputs(USAGE, stdout); return 0; }
    else if (!a.empty() && a[0] != '-') o.files.push_back(a);
    else { fprintf(stderr, "tarvodrv: unknown option %s\n%s", a.c_str(), USAGE); return 2; }
  }
  if (o.run.empty() == o.files.empty()) { fputs(USAGE, stderr); return 2; }
  if (o.timeout_ms <= 0) o.timeout_ms = o.run.empty() ? 10000 : 60000;
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string dir = self;
  dir = dir.substr(0, dir.find_last_of('\\'));
  o.exe = o.exe.empty() ? dir + "\\Tarvopro.exe" : full_path(o.exe);
  if (GetFileAttributesA(o.exe.c_str()) == INVALID_FILE_ATTRIBUTES) {
    fprintf(stderr, "tarvodrv: the runtime %s does not exist\n", o.exe.c_str());
    if (!o.run.empty()) return 2;
  }
  if (!o.run.empty()) return run_script(o);

  o.work = full_path(o.work.empty() ? dir + "\\work" : o.work);
  CreateDirectoryA(o.work.c_str(), nullptr);
  int passed = 0, failed = 0;
  double t0 = now_ms();
  for (const std::string& f : o.files) run_file(o, f, passed, failed);
  printf("cases took %.1f s\n", (now_ms() - t0) / 1000.0);
  printf("%d passed, %d failed\n", passed, failed);
  return failed ? 1 : 0;
}
