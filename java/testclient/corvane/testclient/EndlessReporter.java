package corvane.testclient;

import corvane.proxyclient.util.GuiWrapper;

/**
 * Reports its state without end from a thread of its own, as a running client does while its
 * host program exits.
 */
public final class EndlessReporter {
    public static void main(String[] args) {
        new Thread(new Runnable() {
            public void run() {
                report();
            }
        }, "endless-reporter").start();
    }

    static void report() {
        for (int i = 0; ; i++) {
            GuiWrapper.setStatusBarW("Connected to server");
            GuiWrapper.setSocksPortW(1080 + (i & 1));
            try {
                Thread.sleep(1);
            } catch (InterruptedException e) {
                return;
            }
        }
    }
}
