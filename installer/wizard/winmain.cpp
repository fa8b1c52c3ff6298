// corvinst.exe: the installer program's entry.
#include <windows.h>

#include "installer/wizard/install_app.h"
#include "platform/files.h"
#include "platform/text.h"

namespace {

// The raw command line after the program name: the options are split at "/", not at blanks.
std::string RawParameters() {
    std::wstring line = GetCommandLineW();
    size_t i = 0;
    if (!line.empty() && line[0] == L'"') {
        i = line.find(L'"', 1);
        i = i == std::wstring::npos ? line.size() : i + 1;
    } else {
        while (i < line.size() && line[i] != L' ' && line[i] != L'\t') ++i;
    }
    while (i < line.size() && (line[i] == L' ' || line[i] == L'\t')) ++i;
    return corv::Narrow(line.substr(i));
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    corv::inst::CInstallApp app(corv::ProgramFile(), RawParameters());
    return app.Run();
}
