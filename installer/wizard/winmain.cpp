// corvinst.exe: the installer program's entry.
#include <windows.h>

#include "installer/wizard/install_app.h"
#include "platform/environment.h"
#include "platform/files.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    corv::inst::CInstallApp app(corv::ProgramFile(), corv::RawCommandLineParameters());
    return app.Run();
}
