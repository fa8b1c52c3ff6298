package corvane.testclient;

import corvane.proxyclient.util.GuiWrapper;

/** A client that starts no thread and has no syncaddress: the machine ends right after main. */
public final class QuickMain {
    public static void main(String[] args) {
        GuiWrapper.setStatusBarW("Initializing...");
    }
}
