#include "host/startup.h"

int WINAPI WinMain(HINSTANCE inst, HINSTANCE prev, LPSTR cmdline, int show) {
  return tarvo_main(inst, prev, cmdline, show);
}
