// The listener interface through which the bridge library hands the Java client's native calls
// to the host program. Host and library call these operations by their slot, so the order of the
// declarations below is fixed: never reorder, insert or add virtual members.
#pragma once

#if defined(_WIN32)
#if defined(CORV_BUILDING_JNIBRIDGE)
#define CORV_BRIDGE_API __declspec(dllexport)
#else
#define CORV_BRIDGE_API __declspec(dllimport)
#endif
#else
#define CORV_BRIDGE_API __attribute__((visibility("default")))
#endif

class CJniListener {
  public:
    virtual void setStatusBar(const char* text) = 0;                          // slot 0
    virtual void dialogBox(const char* text) = 0;                             // slot 1
    virtual void bitrate(int value) = 0;                                      // slot 2
    virtual void balloonInfo(const char* title, const char* message) = 0;     // slot 3
    virtual void balloonWarning(const char* title, const char* message) = 0;  // slot 4
    virtual void balloonError(const char* title, const char* message) = 0;    // slot 5
    virtual void enableMessengerProxy() = 0;                                  // slot 6
    virtual void disableMessengerProxy() = 0;                                 // slot 7
    virtual void setSipPort(int port) = 0;                                    // slot 8
    virtual void setSocksPort(int port) = 0;                                  // slot 9

  protected:
    // Not virtual: a virtual destructor would add slots. The library never deletes a listener.
    ~CJniListener() = default;
};

// Registers the listener that receives every native call (null switches forwarding off).
// The library never owns, copies or frees it. Returns once no native call is inside the
// listener it replaces, so the host may take its listener back and then destroy what it
// reaches while Java threads still call; never call it from inside a listener call.
CORV_BRIDGE_API void setListener(CJniListener* listener);
