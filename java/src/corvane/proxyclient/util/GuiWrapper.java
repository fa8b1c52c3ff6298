package corvane.proxyclient.util;

/**
 * The client's window onto the desktop program that hosts it. Every call is forwarded by the
 * native bridge library to the host's listener; without a host the calls only print a trace.
 */
public final class GuiWrapper {
    static {
        System.loadLibrary("jnibridge");
    }

    private GuiWrapper() {}

    public static native void setStatusBarW(String text);

    public static native void dialogBoxW(String text);

    public static native void bitrateW(int value);

    public static native void balloonInfoW(String title, String message);

    public static native void balloonWarningW(String title, String message);

    public static native void balloonErrorW(String title, String message);

    public static native void enableMessengerProxyW();

    public static native void disableMessengerProxyW();

    public static native void setSipPortW(int port);

    public static native void setSocksPortW(int port);
}
