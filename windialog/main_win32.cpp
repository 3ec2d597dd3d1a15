// Quillmark.exe: the dialog on Windows.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                      ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  // The pickers are COM objects of this, the dialog's, thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  int exitCode = 0;
  {
    quillmark::MainWindow window(instance);
    exitCode = window.Run();
  }
  if (SUCCEEDED(com))
    CoUninitialize();
  return exitCode;
}
