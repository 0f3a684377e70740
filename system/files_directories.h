// Files and directories: the path operations shared by the copy, move and
// delete commands.
#pragma once

// Builds a destination name from a found name and a pattern ("*.bak" turns
// a.txt into a.bak): "*" copies the name up to its next "." and then skips to
// the pattern's next "."; "?" copies one character; any other pattern
// character replaces one character of the name. The result is never longer
// than the name; out must hold at least that many bytes plus one.
void name_from_pattern(const char* name, const char* pattern, char* out);
