package corvane.testclient;

import corvane.proxyclient.util.GuiWrapper;

/**
 * Calls every native of GuiWrapper once, in slot order, from its own thread after the host has
 * taken its address. The texts carry non-ASCII characters and over-long balloon parts.
 */
public final class AllNatives {
    private static final Object lock = new Object();
    private static boolean addressTaken;

    public static void main(String[] args) {
        GuiWrapper.setStatusBarW("Initializing...");
        new Thread(new Runnable() {
            public void run() {
                awaitAddressTaken();
                callAll();
            }
        }, "all-natives").start();
    }

    public static String syncaddress() {
        synchronized (lock) {
            addressTaken = true;
            lock.notifyAll();
        }
        return "127.0.0.9";
    }

    static void callAll() {
        GuiWrapper.setStatusBarW("Verbunden mit Server \u00fc\u20ac");
        GuiWrapper.dialogBoxW("dialog");
        GuiWrapper.bitrateW(64000);
        GuiWrapper.balloonInfoW("Info", "info message");
        GuiWrapper.balloonWarningW("Warning", "warning message");
        GuiWrapper.balloonErrorW(repeat('t', 300), repeat('m', 300));
        GuiWrapper.enableMessengerProxyW();
        GuiWrapper.disableMessengerProxyW();
        GuiWrapper.setSipPortW(5070);
        GuiWrapper.setSocksPortW(1081);
    }

    static String repeat(char c, int n) {
        StringBuilder b = new StringBuilder(n);
        for (int i = 0; i < n; i++) b.append(c);
        return b.toString();
    }

    private static void awaitAddressTaken() {
        synchronized (lock) {
            while (!addressTaken) {
                try {
                    lock.wait();
                } catch (InterruptedException e) {
                    return;
                }
            }
        }
    }
}
