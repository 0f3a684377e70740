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

const ArgItem SYN_filegetdate[] = {LP_, STR_, CM_, NUMVAR_, CM_, NUMVAR_, CM_, NUMVAR_, CM_, NUMVAR_, RP_, END_};
bool cmd_filegetdate() {
  NumVar* ok = arg_numvar(5);
  ok->value = 0;
  SYSTEMTIME t[3];
  if (!file_times(arg_text(0), false, t)) return true;
  arg_numvar(2)->value = (int32_t)t[TIME_LASTWRITE].wYear - 1900;
  arg_numvar(3)->value = t[TIME_LASTWRITE].wMonth;
  arg_numvar(4)->value = t[TIME_LASTWRITE].wDay;
  ok->value = 1;
  return true;
}

const ArgItem SYN_filegettime[] = {LP_, STR_, CM_, NUMVAR_, CM_, NUMVAR_, CM_, NUMVAR_, CM_, NUMVAR_, RP_, END_};
bool cmd_filegettime() {
  NumVar* ok = arg_numvar(5);
  ok->value = 0;
  SYSTEMTIME t[3];
  if (!file_times(arg_text(0), false, t)) return true;
  arg_numvar(2)->value = t[TIME_LASTWRITE].wHour;
  arg_numvar(3)->value = t[TIME_LASTWRITE].wMinute;
  arg_numvar(4)->value = t[TIME_LASTWRITE].wSecond;
  ok->value = 1;
  return true;
}

static const KeywordRow s_which_time[] = {
    {"CREATION", TIME_CREATION}, {"LASTACCESS", TIME_LASTACCESS}, {"LASTWRITE", TIME_LASTWRITE}, {nullptr, 0}};

// Argument words: file 0/1, which time 2, four values 3-6, ok 7.
const ArgItem SYN_filegetdateext[] = {LP_, STR_, CM_, KW_(s_which_time), CM_, NUMVAR_, CM_, NUMVAR_, CM_,
                                      NUMVAR_, CM_, NUMVAR_, CM_, NUMVAR_, RP_, END_};
bool cmd_filegetdateext() {
  NumVar* ok = arg_numvar(7);
  ok->value = 0;
  SYSTEMTIME t[3];
  if (!file_times(arg_text(0), true, t)) return true;
  const SYSTEMTIME& s = t[arg_num(2)];
  arg_numvar(3)->value = s.wYear;
  arg_numvar(4)->value = s.wMonth;
  arg_numvar(5)->value = s.wDayOfWeek;
  arg_numvar(6)->value = s.wDay;
  ok->value = 1;
  return true;
}

const ArgItem SYN_filegettimeext[] = {LP_, STR_, CM_, KW_(s_which_time), CM_, NUMVAR_, CM_, NUMVAR_, CM_,
                                      NUMVAR_, CM_, NUMVAR_, CM_, NUMVAR_, RP_, END_};
bool cmd_filegettimeext() {
  NumVar* ok = arg_numvar(7);
  ok->value = 0;
  SYSTEMTIME t[3];
  if (!file_times(arg_text(0), true, t)) return true;
  const SYSTEMTIME& s = t[arg_num(2)];
  arg_numvar(3)->value = s.wHour;
  arg_numvar(4)->value = s.wMinute;
  arg_numvar(5)->value = s.wSecond;
  arg_numvar(6)->value = s.wMilliseconds;
  ok->value = 1;
  return true;
}

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

static bool store_part(uint32_t var_word, const char* from, const char* to) {
  return set_string_value(arg_strvar((int)var_word), from, (uint32_t)(to - from), MSG_NO_MEMORY_REALLOC);
}

const ArgItem SYN_fileextension[] = {LP_, STR_, CM_, STRVAR_, CM_, NUMVAR_, RP_, END_};
bool cmd_fileextension() {
  NumVar* ok = arg_numvar(3);
  ok->value = 0;
  const char* path = arg_text(0);
  uint32_t len = arg_len(1);
  const char* dot = last_of(path, len, '.');
  const char* slash = last_of(path, len, '\\');
  if (!dot || (slash && dot < slash) || dot == path + len - 1) return true;
  if (!store_part(2, dot + 1, path + len)) return false;
  ok->value = 1;
  return true;
}

// A bare file name with an extension ("readme.txt") gives the text before
// the dot, as if the path began with a "\".
const ArgItem SYN_filename[] = {LP_, STR_, CM_, STRVAR_, CM_, NUMVAR_, RP_, END_};
bool cmd_filename() {
  NumVar* ok = arg_numvar(3);
  ok->value = 0;
  const char* path = arg_text(0);
  uint32_t len = arg_len(1);
  const char* dot = last_of(path, len, '.');
  const char* slash = last_of(path, len, '\\');
  if (!dot || (slash && dot < slash)) return true;
  const char* start = slash ? slash + 1 : path;
  if (dot == start) return true;  // an empty name, as in C:\dir\.cfg
  if (!store_part(2, start, dot)) return false;
  ok->value = 1;
  return true;
}

const ArgItem SYN_filepath[] = {LP_, STR_, CM_, STRVAR_, CM_, NUMVAR_, RP_, END_};
bool cmd_filepath() {
  NumVar* ok = arg_numvar(3);
  ok->value = 0;
  const char* path = arg_text(0);
  const char* slash = last_of(path, arg_len(1), '\\');
  if (!slash) return true;
  if (!store_part(2, path, slash)) return false;
  ok->value = 1;
  return true;
}

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
