// The Windows program: the DLL search kept to the system folder, one
// platform, one application, the message loop until the last window has gone.
#include <objbase.h>
#include <windows.h>

#include <exception>

#include "core/application.h"
#include "core/error_trap.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  pyx::win32::restrictDllSearch();
  // The file dialog and ShellExecute load shell extensions, which expect a
  // single-threaded apartment.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  {
    pyx::Win32Platform platform(instance);
    try {
      pyx::Application app(platform);
      app.run();
      platform.runMessageLoop();
    } catch (const pyx::RuntimeError& error) {
      pyx::Text message = pyx::ErrorTrap::errorMessage(u"wWinMain", error);
      MessageBoxW(nullptr, pyx::win32::wide(message), pyx::win32::wide(platform.applicationTitle()),
                  MB_ICONHAND);
    } catch (const std::exception& error) {
      pyx::Text message = pyx::fromUtf8(error.what());
      MessageBoxW(nullptr, pyx::win32::wide(message), pyx::win32::wide(platform.applicationTitle()),
                  MB_ICONHAND);
    }
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}
