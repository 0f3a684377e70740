// The store of steps: a growing array, emptied with the script's caches.
#include "core/steps.h"
#include "core/memory.h"
#include "core/argument_steps.h"

Step g_step;

static Step* s_steps = nullptr;
static uint32_t s_used = 0, s_capacity = 0;
static const uint32_t MAX_STEPS = 1u << 23;  // step numbers fit 23 bits

uint32_t keep_step() {
  if (s_used == s_capacity) {
    if (s_capacity >= MAX_STEPS) return 0;
    uint32_t n = s_capacity ? s_capacity * 2 : 64;
    Step* grown = (Step*)mem_realloc(s_steps, sizeof(Step) * n);
    if (!grown) return 0;
    s_steps = grown;
    s_capacity = n;
  }
  s_steps[s_used++] = g_step;
  return s_used;
}

void replace_step(uint32_t n) { s_steps[n - 1] = g_step; }

const Step& step_number(uint32_t n) { return s_steps[n - 1]; }

void free_steps() {
  mem_free(s_steps);
  s_steps = nullptr;
  s_used = s_capacity = 0;
  free_argument_sources();
}
