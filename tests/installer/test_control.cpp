// A control for the installer's tests: registering it records its own path under
// HKCU\Software\CorvaneTest\Control, unregistering removes that value. Nothing else.
#include <windows.h>

namespace {

HMODULE g_module = nullptr;
const wchar_t kKey[] = L"Software\\CorvaneTest\\Control";

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH);
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return E_FAIL;
    LONG rc = RegSetValueExW(key, L"Registered", 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                             (n + 1) * sizeof(wchar_t));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? S_OK : E_FAIL;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllUnregisterServer() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_WRITE, &key) != ERROR_SUCCESS) return S_OK;
    RegDeleteValueW(key, L"Registered");
    RegCloseKey(key);
    return S_OK;
}
