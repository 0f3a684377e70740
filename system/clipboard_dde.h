// The DDE client's instance: made at start-up once the main window shows,
// released last at clean-up (which ends every conversation still open).
#pragma once

void start_dde();
void stop_dde();
