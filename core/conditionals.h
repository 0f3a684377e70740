// The parsing steps of IF, shared by the statement and the checker.
#pragma once

// Reads the condition of IF at the script position: the numeric form, or
// else (from the same start) the text form, into the argument area
// (left, operator, right). *numeric tells which one was read. On failure the
// error is the one the text form set.
bool read_condition(bool* numeric);
// The block scan of IF from the position behind its condition: the raw text
// is searched for upper-case "E" words; the first ENDIF ends the scan and the
// last ELSE before it is the ELSE. Literals, comments and labels are not
// recognised. False when the text ends first.
bool scan_block(char* from, char** else_pos, char** endif_pos);
