// Files and directories: FILECOPY, FILEMOVE (and FILERENAME), FILEDELETE,
// FILEEXIST, DIRCHANGE, DIRGET, DIRMAKE, DIRREMOVE and DISKCHANGE.
//
// The copy, move and delete commands share one walk over the matches of a
// source pattern. Nothing here stops the script for a file-system failure:
// each command reports a count or 1/0 in its output variable. Paths live in
// 256-byte buffers; a path that does not fit (as given, or once the walk
// appends "\*.*" or a match's name) is not worked on: the command counts
// nothing for it and the script goes on.
#include "system/files_directories.h"
#include "core/arguments.h"
#include "core/commands.h"
#include "core/errors.h"
#include "core/memory.h"
#include "core/variables.h"
#include <windows.h>
#include <string.h>

static const size_t PATH_SIZE = 256;   // 255 characters and the NUL

// ---- path operations, each in place on a buffer of PATH_SIZE bytes

static bool copy_path(char* buf, const char* text, uint32_t len) {
  if (len >= PATH_SIZE) return false;
  memcpy(buf, text, len);
  buf[len] = 0;
  return true;
}

static bool append(char* buf, const char* tail) {
  size_t n = strlen(buf), t = strlen(tail);
  if (n + t >= PATH_SIZE) return false;
  memcpy(buf + n, tail, t + 1);
  return true;
}

static void strip_trailing_backslash(char* buf) {
  size_t n = strlen(buf);
  if (n && buf[n - 1] == '\\') buf[n - 1] = 0;
}

// Offset of the last component: just behind the last "\", or 0.
static size_t last_component(const char* buf) {
  const char* slash = strrchr(buf, '\\');
  return slash ? (size_t)(slash - buf) + 1 : 0;
}

// "." becomes "*.*" and ".." becomes "..\*.*" (as last components).
static bool expand_dots(char* buf) {
  char* last = buf + last_component(buf);
  if (strcmp(last, ".") == 0) {
    *last = 0;
    return append(buf, "*.*");
  }
  if (strcmp(last, "..") == 0) return append(buf, "\\*.*");
  return true;
}

static bool has_wildcard(const char* buf) { return strpbrk(buf, "*?") != nullptr; }

void name_from_pattern(const char* name, const char* pattern, char* out) {
  char p[PATH_SIZE];
  lstrcpynA(p, pattern, sizeof p);
  const char* n = name;
  const char* q = p;
  while (*n && *q) {
    if (*q == '*') {
      if (*n != '.') {
        *out++ = *n++;
      } else {
        while (*q && *q != '.') ++q;
      }
    } else if (*q == '?') {
      *out++ = *n++;
      ++q;
    } else {
      *out++ = *q++;
      ++n;
    }
  }
  *out = 0;
}

static bool is_directory(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// ---- the walk

enum WalkAction { WALK_DELETE, WALK_COPY, WALK_MOVE };

struct Walk {
  WalkAction action;
  char path[PATH_SIZE];       // the source; each match's name replaces its last component
  size_t name_at;             // where the match's name goes in path
  bool wildcard;              // the source names several files
  char dest[PATH_SIZE];       // the destination, or the destination pattern
  size_t dest_name_at;        // where a built name goes in dest
  char dest_pattern[PATH_SIZE];  // the pattern's last component
  bool pattern;               // each destination name is built from the pattern
  bool stop;                  // a copy could not be finished: no further files
};

static bool prepare_source(Walk* w, const char* text, uint32_t len) {
  if (!copy_path(w->path, text, len)) return false;
  strip_trailing_backslash(w->path);
  if (!expand_dots(w->path)) return false;
  w->wildcard = has_wildcard(w->path);
  w->name_at = last_component(w->path);
  return true;
}

static bool prepare_destination(Walk* w, const char* text, uint32_t len) {
  if (!copy_path(w->dest, text, len)) return false;
  strip_trailing_backslash(w->dest);
  if (!expand_dots(w->dest)) return false;
  w->pattern = has_wildcard(w->dest);
  if (!w->pattern && is_directory(GetFileAttributesA(w->dest))) {
    if (!append(w->dest, "\\*.*")) return false;
    w->pattern = true;
  }
  w->dest_name_at = last_component(w->dest);
  memcpy(w->dest_pattern, w->dest + w->dest_name_at, strlen(w->dest + w->dest_name_at) + 1);
  return true;
}

// Writes a match's name over the last component of the source path.
static bool take_match(Walk* w, const char* name) {
  size_t n = strlen(name);
  if (w->name_at + n >= PATH_SIZE) return false;
  memcpy(w->path + w->name_at, name, n + 1);
  return true;
}

// Acts on the file whose path the walk holds; true when the action worked.
static bool act(Walk* w, const char* name, DWORD attributes, bool first) {
  if (w->action == WALK_DELETE) return DeleteFileA(w->path) != 0;
  if (w->pattern) {
    if (w->dest_name_at + strlen(name) >= PATH_SIZE) return false;
    name_from_pattern(name, w->dest_pattern, w->dest + w->dest_name_at);
  }
  if (w->action == WALK_MOVE) return MoveFileA(w->path, w->dest) != 0;
  if (!CopyFileA(w->path, w->dest, first ? FALSE : TRUE)) return false;
  if (!SetFileAttributesA(w->dest, attributes)) {
    DeleteFileA(w->dest);
    w->stop = true;
    return false;
  }
  return true;
}

static int32_t walk(Walk* w) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(w->path, &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int32_t count = 0;
  bool named = take_match(w, found.cFileName);
  DWORD attributes = named ? GetFileAttributesA(w->path) : INVALID_FILE_ATTRIBUTES;
  if (w->action != WALK_MOVE && is_directory(attributes)) {
    if (!w->wildcard) {
      // A directory named without a wildcard: the command works on every
      // file directly inside it (once).
      FindClose(search);
      if (!append(w->path, "\\*.*")) return 0;
      w->wildcard = true;
      w->name_at = last_component(w->path);
      search = FindFirstFileA(w->path, &found);
      if (search == INVALID_HANDLE_VALUE) return 0;
      named = take_match(w, found.cFileName);
      attributes = named ? GetFileAttributesA(w->path) : INVALID_FILE_ATTRIBUTES;
    }
  }
  // The first match: a directory is skipped (moved, for FILEMOVE).
  if (named && (w->action == WALK_MOVE || !is_directory(attributes)))
    count = act(w, found.cFileName, attributes, true) ? 1 : 0;
  if (w->wildcard) {
    while (!w->stop && FindNextFileA(search, &found)) {
      if (!take_match(w, found.cFileName)) continue;
      attributes = GetFileAttributesA(w->path);
      if (attributes == INVALID_FILE_ATTRIBUTES || is_directory(attributes)) continue;
      if (act(w, found.cFileName, attributes, false)) ++count;
    }
  }
  FindClose(search);
  return count;
}

static int32_t walk_command(WalkAction action, bool has_destination) {
  Walk w;
  memset(&w, 0, sizeof w);
  w.action = action;
  if (!prepare_source(&w, arg_text(0), arg_len(1))) return 0;
  if (has_destination && !prepare_destination(&w, arg_text(2), arg_len(3))) return 0;
  return walk(&w);
}

// ---- the commands

const ArgItem SYN_filecopy[] = {LP_, STR_, CM_, STR_, CM_, NUMVAR_, RP_, END_};
bool cmd_filecopy() {
  arg_numvar(4)->value = walk_command(WALK_COPY, true);
  return true;
}

// FILERENAME is the same command.
const ArgItem SYN_filemove[] = {LP_, STR_, CM_, STR_, CM_, NUMVAR_, RP_, END_};
bool cmd_filemove() {
  arg_numvar(4)->value = walk_command(WALK_MOVE, true);
  return true;
}

const ArgItem SYN_filedelete[] = {LP_, STR_, CM_, NUMVAR_, RP_, END_};
bool cmd_filedelete() {
  arg_numvar(2)->value = walk_command(WALK_DELETE, false);
  return true;
}

const ArgItem SYN_fileexist[] = {LP_, STR_, CM_, NUMVAR_, RP_, END_};
bool cmd_fileexist() {
  char path[PATH_SIZE];
  int32_t count = 0;
  if (copy_path(path, arg_text(0), arg_len(1))) {
    strip_trailing_backslash(path);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search != INVALID_HANDLE_VALUE) {
      do ++count;
      while (FindNextFileA(search, &found));
      FindClose(search);
    }
  }
  arg_numvar(2)->value = count;
  return true;
}

const ArgItem SYN_dirchange[] = {LP_, STR_, CM_, NUMVAR_, RP_, END_};
bool cmd_dirchange() {
  arg_numvar(2)->value = SetCurrentDirectoryA(arg_text(0)) ? 1 : 0;
  return true;
}

// A current directory longer than the usual buffer is read whole.
const ArgItem SYN_dirget[] = {LP_, STRVAR_, RP_, END_};
bool cmd_dirget() {
  char buf[PATH_SIZE];
  DWORD n = GetCurrentDirectoryA(sizeof buf, buf);
  if (n < sizeof buf) return set_string_value(arg_strvar(0), buf, n, MSG_NO_MEMORY);
  char* big = (char*)mem_alloc(n);
  if (!big) {
    set_error_only(MSG_NO_MEMORY);
    return false;
  }
  DWORD got = GetCurrentDirectoryA(n, big);
  bool ok = set_string_value(arg_strvar(0), big, got < n ? got : 0, MSG_NO_MEMORY);
  mem_free(big);
  return ok;
}

const ArgItem SYN_dirmake[] = {LP_, STR_, CM_, NUMVAR_, RP_, END_};
bool cmd_dirmake() {
  SECURITY_ATTRIBUTES sa;
  sa.nLength = sizeof sa;
  sa.lpSecurityDescriptor = nullptr;
  sa.bInheritHandle = TRUE;
  arg_numvar(2)->value = CreateDirectoryA(arg_text(0), &sa) ? 1 : 0;
  return true;
}

const ArgItem SYN_dirremove[] = {LP_, STR_, CM_, NUMVAR_, RP_, END_};
bool cmd_dirremove() {
  arg_numvar(2)->value = RemoveDirectoryA(arg_text(0)) ? 1 : 0;
  return true;
}

// A lone drive letter gets its colon: "D" changes to the current directory
// of drive D.
const ArgItem SYN_diskchange[] = {LP_, STR_, CM_, NUMVAR_, RP_, END_};
bool cmd_diskchange() {
  char drive[3] = {0, ':', 0};
  const char* target = arg_text(0);
  if (arg_len(1) == 1) {
    drive[0] = target[0];
    target = drive;
  }
  arg_numvar(2)->value = SetCurrentDirectoryA(target) ? 1 : 0;
  return true;
}
