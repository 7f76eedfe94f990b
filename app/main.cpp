// The program's entry: the run time starts, the main window is loaded, the message loop runs.

#include <windows.h>

#include "app/main_window.h"
#include "services/runtime.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return kestrin::RunProgram(kestrin::kMainWindow, kestrin::PrepareProgramDefinitions);
}
