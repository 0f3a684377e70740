// File information, paths and disks: FILEGETDATE, FILEGETTIME,
// FILEGETDATEEXT, FILEGETTIMEEXT, FILEGETSIZE, FILEEXTENSION, FILENAME,
// FILEPATH, GETDISKSPACE, GETVOLUMETYPE, DIRGETWINDOWS, DIRGETSYSTEM.
// Nothing here changes a file; a missing file or drive gives ok = 0 (or 0
// sizes) and the script goes on. Only a string variable that cannot grow
// stops it.
#include "core/arguments.h"
#include "core/commands.h"
#include "core/errors.h"
#include "core/variables.h"
#include <windows.h>
#include <string.h>

// ---- file times

enum { TIME_CREATION = 0, TIME_LASTACCESS = 1, TIME_LASTWRITE = 2 };

// The file's times as local SYSTEMTIMEs (creation, last access, last write);
// with all_three false only the last write is read.
static bool file_times(const char* path, bool all_three, SYSTEMTIME out[3]) {
  HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  FILETIME t[3];
  BOOL ok = all_three ? GetFileTime(f, &t[0], &t[1], &t[2]) : GetFileTime(f, nullptr, nullptr, &t[2]);
  CloseHandle(f);
  if (!ok) return false;
  for (int i = all_three ? 0 : 2; i < 3; ++i) {
    FILETIME local;
    if (!FileTimeToLocalFileTime(&t[i], &local) || !FileTimeToSystemTime(&local, &out[i])) return false;
  }
  return true;
}

// The four commands differ in which time they read and which fields they
// store: the plain forms the last write into three variables (the year less
// 1900), the EXT forms the chosen time into four.
enum TimeForm { PLAIN_DATE, PLAIN_TIME, EXT_DATE, EXT_TIME };

static bool time_command(TimeForm form) {
  bool ext = form == EXT_DATE || form == EXT_TIME;
  NumVar* ok = arg_numvar(ext ? 7 : 5);
  ok->value = 0;
  SYSTEMTIME t[3];
  if (!file_times(arg_text(0), ext, t)) return true;
  const SYSTEMTIME& s = t[ext ? arg_num(2) : TIME_LASTWRITE];
  int32_t v[4];
  switch (form) {
    case PLAIN_DATE: v[0] = (int32_t)s.wYear - 1900; v[1] = s.wMonth; v[2] = s.wDay; break;
    case PLAIN_TIME: v[0] = s.wHour; v[1] = s.wMinute; v[2] = s.wSecond; break;
    case EXT_DATE: v[0] = s.wYear; v[1] = s.wMonth; v[2] = s.wDayOfWeek; v[3] = s.wDay; break;
    default: v[0] = s.wHour; v[1] = s.wMinute; v[2] = s.wSecond; v[3] = s.wMilliseconds; break;
  }
  for (int i = 0; i < (ext ? 4 : 3); ++i) arg_numvar((ext ? 3 : 2) + i)->value = v[i];
  ok->value = 1;
  return true;
}

// Argument words: file 0/1, three values 2-4, ok 5.
const ArgItem SYN_filegetdate[] = {LP_, STR_, CM_, NUMVAR_, CM_, NUMVAR_, CM_, NUMVAR_, CM_, NUMVAR_, RP_, END_};
bool cmd_filegetdate() { return time_command(PLAIN_DATE); }

const ArgItem SYN_filegettime[] = {LP_, STR_, CM_, NUMVAR_, CM_, NUMVAR_, CM_, NUMVAR_, CM_, NUMVAR_, RP_, END_};
bool cmd_filegettime() { return time_command(PLAIN_TIME); }

static const KeywordRow s_which_time[] = {
    {"CREATION", TIME_CREATION}, {"LASTACCESS", TIME_LASTACCESS}, {"LASTWRITE", TIME_LASTWRITE}, {nullptr, 0}};

// Argument words: file 0/1, which time 2, four values 3-6, ok 7.
const ArgItem SYN_filegetdateext[] = {LP_, STR_, CM_, KW_(s_which_time), CM_, NUMVAR_, CM_, NUMVAR_, CM_,
                                      NUMVAR_, CM_, NUMVAR_, CM_, NUMVAR_, RP_, END_};
bool cmd_filegetdateext() { return time_command(EXT_DATE); }

const ArgItem SYN_filegettimeext[] = {LP_, STR_, CM_, KW_(s_which_time), CM_, NUMVAR_, CM_, NUMVAR_, CM_,
                                      NUMVAR_, CM_, NUMVAR_, CM_, NUMVAR_, RP_, END_};
bool cmd_filegettimeext() { return time_command(EXT_TIME); }

// Opened without sharing: a file that another program holds open reads as 0.
const ArgItem SYN_filegetsize[] = {LP_, STR_, CM_, NUMVAR_, RP_, END_};
bool cmd_filegetsize() {
  NumVar* size = arg_numvar(2);
  size->value = 0;
  HANDLE f = CreateFileA(arg_text(0), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return true;
  DWORD high = 0;
  DWORD low = GetFileSize(f, &high);
  CloseHandle(f);
  if (low != INVALID_FILE_SIZE) size->value = (int32_t)low;
  return true;
}

// ---- parts of a path: the last "\" ends the directory, the last "." starts
// the extension; no other separator counts.

static const char* last_of(const char* text, uint32_t len, char c) {
  for (uint32_t i = len; i > 0; --i)
    if (text[i - 1] == c) return text + i - 1;
  return nullptr;
}

enum PathPart { PART_EXTENSION, PART_NAME, PART_DIRECTORY };

// The text [from, to) of a part of the path; false when the path has none:
// an extension needs a "." after the last "\" that is not the last
// character; a name needs that "." and text before it (a bare file name such
// as readme.txt gives readme, as if the path began with a "\"); a directory
// needs a "\".
static bool find_part(PathPart part, const char* path, uint32_t len, const char** from, const char** to) {
  const char* dot = last_of(path, len, '.');
  const char* slash = last_of(path, len, '\\');
  if (part == PART_DIRECTORY) {
    *from = path;
    *to = slash;
    return slash != nullptr;
  }
  if (!dot || (slash && dot < slash)) return false;
  if (part == PART_EXTENSION) {
    *from = dot + 1;
    *to = path + len;
    return *from < *to;
  }
  *from = slash ? slash + 1 : path;
  *to = dot;
  return *from < *to;  // not empty, as in C:\dir\.cfg
}

static bool part_command(PathPart part) {
  NumVar* ok = arg_numvar(3);
  ok->value = 0;
  const char *from, *to;
  if (!find_part(part, arg_text(0), arg_len(1), &from, &to)) return true;
  if (!set_string_value(arg_strvar(2), from, (uint32_t)(to - from), MSG_NO_MEMORY_REALLOC)) return false;
  ok->value = 1;
  return true;
}

const ArgItem SYN_fileextension[] = {LP_, STR_, CM_, STRVAR_, CM_, NUMVAR_, RP_, END_};
bool cmd_fileextension() { return part_command(PART_EXTENSION); }

const ArgItem SYN_filename[] = {LP_, STR_, CM_, STRVAR_, CM_, NUMVAR_, RP_, END_};
bool cmd_filename() { return part_command(PART_NAME); }

const ArgItem SYN_filepath[] = {LP_, STR_, CM_, STRVAR_, CM_, NUMVAR_, RP_, END_};
bool cmd_filepath() { return part_command(PART_DIRECTORY); }

// ---- drives and system directories

const ArgItem SYN_getdiskspace[] = {LP_, STR_, CM_, STRVAR_, CM_, NUMVAR_, CM_, NUMVAR_, RP_, END_};
bool cmd_getdiskspace() {
  NumVar* total = arg_numvar(3);
  NumVar* free_kb = arg_numvar(4);
  total->value = 0;
  free_kb->value = 0;
  DWORD sectors, bytes, free_clusters, clusters;
  if (!GetDiskFreeSpaceA(arg_text(0), &sectors, &bytes, &free_clusters, &clusters)) return true;
  uint64_t cluster_bytes = (uint64_t)sectors * bytes;
  uint32_t total_value = (uint32_t)((uint64_t)clusters * cluster_bytes / 1024);
  uint32_t free_value = (uint32_t)((uint64_t)free_clusters * cluster_bytes / 1024);
  const char* type;
  switch (GetDriveTypeA(arg_text(0))) {
    case DRIVE_REMOVABLE: type = "REMOVABLE"; break;
    case DRIVE_FIXED: type = "FIXED"; break;
    case DRIVE_REMOTE: type = "REMOTE"; break;
    case DRIVE_CDROM: type = "CD-ROM"; break;
    case DRIVE_RAMDISK: type = "RAMDISK"; break;
    default: type = "UNKNOWN"; break;
  }
  if (!set_string_value(arg_strvar(2), type, (uint32_t)strlen(type), MSG_NO_MEMORY_REALLOC)) return false;
  total->value = (int32_t)total_value;
  free_kb->value = (int32_t)free_value;
  return true;
}

const ArgItem SYN_getvolumetype[] = {LP_, STR_, CM_, STRVAR_, CM_, NUMVAR_, RP_, END_};
bool cmd_getvolumetype() {
  NumVar* ok = arg_numvar(3);
  ok->value = 0;
  char system[20];
  DWORD max_component = 0, flags = 0;
  if (!GetVolumeInformationA(arg_text(0), nullptr, 0, nullptr, &max_component, &flags, system, sizeof system))
    return true;
  system[sizeof system - 1] = 0;
  if (!set_string_value(arg_strvar(2), system, (uint32_t)strlen(system), MSG_NO_MEMORY)) return false;
  ok->value = 1;
  return true;
}

typedef UINT(WINAPI* DirectoryCall)(LPSTR, UINT);

static bool store_directory(DirectoryCall call) {
  char buf[260];
  UINT n = call(buf, sizeof buf);
  if (n >= sizeof buf) n = 0;  // did not fit: nothing was written
  return set_string_value(arg_strvar(0), buf, n, MSG_NO_MEMORY);
}

const ArgItem SYN_dirgetwindows[] = {LP_, STRVAR_, RP_, END_};
bool cmd_dirgetwindows() { return store_directory(GetWindowsDirectoryA); }

const ArgItem SYN_dirgetsystem[] = {LP_, STRVAR_, RP_, END_};
bool cmd_dirgetsystem() { return store_directory(GetSystemDirectoryA); }
