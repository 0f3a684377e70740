// Argument steps: where each argument of a command at a script position came
// from the first time it was read (a variable, a literal, a label, an
// operator or keyword), so that later runs fill the argument area from there
// instead of reading the text again. String variables can be freed: a step
// that names one holds only while no string variable has been freed since.
#pragma once
#include <stdint.h>
#include "core/arguments.h"
#include "core/steps.h"

// After the descriptor has been parsed successfully from start (the
// position after the command keyword): describes the arguments into the
// step's sources (in place: over the sources the step has). False when they
// do not fit a step. Script position and error slot are kept.
bool describe_arguments(const ArgItem* desc, char* start, Step* step, bool in_place);
// Fills the argument area from a step. False (nothing done) when the step
// no longer holds or an argument would fail: the text is read instead.
bool fill_arguments(const Step& step);
void free_argument_sources();
