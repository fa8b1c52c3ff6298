#include <windows.h>
// After windows.h:
#include <objbase.h>
#include <shlobj.h>

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/shell_link.h"
#include "platform/text.h"

namespace corv {

long CreateShellLink(const ShellLinkSpec& link) {
    // The shell-link object needs COM on this thread; a thread that has it keeps it.
    HRESULT init = CoInitialize(nullptr);
    IShellLinkW* shell = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&shell));
    if (SUCCEEDED(hr)) {
        std::string folder = link.folder.empty() ? FolderOf(link.target) : link.folder;
        shell->SetPath(Widen(link.target).c_str());
        shell->SetArguments(Widen(link.arguments).c_str());
        shell->SetWorkingDirectory(Widen(folder).c_str());
        IPersistFile* file = nullptr;
        hr = shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
        if (SUCCEEDED(hr)) {
            hr = file->Save(Widen(link.path).c_str(), TRUE);
            file->Release();
        }
        shell->Release();
    }
    if (SUCCEEDED(init)) CoUninitialize();
    return SUCCEEDED(hr) ? kOk : static_cast<long>(hr);
}

long BroadcastEnvironmentChange(unsigned timeoutMs) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                             reinterpret_cast<LPARAM>(L"Environment"), SMTO_ABORTIFHUNG, timeoutMs,
                             &result))
        return static_cast<long>(GetLastError());
    return kOk;
}

}  // namespace corv
