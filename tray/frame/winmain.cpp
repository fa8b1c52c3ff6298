// corvtray.exe: the tray client's entry.
#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>

#include "bridge/jni_listener.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tray/app/corvan_app.h"
#include "tray/app/frame_listener.h"
#include "tray/frame/main_frame.h"
#include "tray/java/gui_listener.h"

namespace {

std::string ProgramBaseName() {
    wchar_t buf[MAX_PATH * 2];
    DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH * 2);
    std::string exe = corv::Narrow(std::wstring(buf, n));
    exe = exe.substr(exe.find_last_of('\\') + 1);
    size_t dot = exe.rfind('.');
    return dot == std::string::npos ? exe : exe.substr(0, dot);
}

// Hands the listener to the bridge and takes it back before the objects it reaches go: Java
// threads may still call the natives while the program ends.
class ListenerRegistration {
  public:
    explicit ListenerRegistration(CJniListener* listener) { setListener(listener); }
    ~ListenerRegistration() { End(); }
    // Returns once no call is inside the listener; later calls are ignored.
    void End() { setListener(nullptr); }
    ListenerRegistration(const ListenerRegistration&) = delete;
    ListenerRegistration& operator=(const ListenerRegistration&) = delete;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);

    std::string params = corv::RawCommandLineParameters();
    corv::CCorvanCommandLineInfo cmd;
    cmd.Parse(corv::SplitCommandLine(params));

    int rc = 0;
    {
        // The application object outlives its frame, as the exit line comes last.
        corv::CCorvanApp app;
        corv::CMainFrame frame;
        // The Java client's native calls reach the frame through the bridge's listener.
        ListenerRegistration registration(&corv::TheGuiListener());
        corv::FrameListenerOf<corv::CGuiListener> listener(corv::TheGuiListener());
        frame.SetListener(&listener);
        frame.AttachConfigMgr(app.ConfigMgr());
        frame.SetSessionEndHandler([&app] {
            setListener(nullptr);  // the Java client's calls are ignored from here on
            app.Exit();
        });
        if (!frame.CreateFrame()) return 1;
        corv::WindowPoster poster(frame.Handle());
        corv::SetMainPoster(&poster);
        if (app.InitInstance(ProgramBaseName(), params, cmd, frame))
            rc = corv::Window::RunMessageLoop();
        // Before the poster, the frame and the application object go.
        registration.End();
        corv::SetMainPoster(nullptr);
    }
    return rc;
}
