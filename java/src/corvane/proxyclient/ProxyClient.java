package corvane.proxyclient;

import corvane.proxyclient.util.GuiWrapper;
import java.util.prefs.BackingStoreException;
import java.util.prefs.Preferences;

/**
 * Reference proxy client. It keeps the contract with the desktop host: main starts the client's
 * own thread and returns, syncaddress tells the host which local address is in use, and the
 * client reports its state and its local ports through GuiWrapper. It carries no tunnel
 * protocol of its own.
 */
public final class ProxyClient {
    static final String PREFERENCES_NODE = "corvane/proxyclient";
    static final int DEFAULT_SIP_PORT = 5060;
    static final int DEFAULT_SOCKS_PORT = 1080;
    // How long the client thread waits for the host to take its address before reporting.
    static final long ADDRESS_WAIT_MS = 10000;

    private static final Object lock = new Object();
    private static boolean addressTaken;
    private static boolean stopRequested;

    private ProxyClient() {}

    public static void main(String[] args) {
        GuiWrapper.setStatusBarW("Initializing...");
        final Settings settings = Settings.load();
        Thread worker = new Thread(new Runnable() {
            public void run() {
                runClient(settings);
            }
        }, "corvane-client");
        worker.setDaemon(false);  // the host's virtual machine lives as long as this thread
        worker.start();
    }

    /** The local address the client uses: the one the host chose for it. */
    public static String syncaddress() {
        synchronized (lock) {
            addressTaken = true;
            lock.notifyAll();
        }
        return System.getProperty("activeAddress", "");
    }

    /** Ends the client thread; the virtual machine ends once no other thread keeps it. */
    public static void stop() {
        synchronized (lock) {
            stopRequested = true;
            lock.notifyAll();
        }
    }

    static void runClient(Settings settings) {
        // The host turns "Initializing..." into its own confirmation once main has returned and
        // then takes our address; reporting before that would be overwritten.
        awaitAddressTaken();
        GuiWrapper.setSipPortW(settings.sipPort);
        GuiWrapper.setSocksPortW(settings.socksPort);
        GuiWrapper.setStatusBarW("Connecting to server...");
        GuiWrapper.setStatusBarW("Connected to server");
        GuiWrapper.enableMessengerProxyW();
        GuiWrapper.balloonInfoW("Corvane", "Connected to server");
        awaitStop();
        GuiWrapper.disableMessengerProxyW();
        GuiWrapper.setStatusBarW("Not running");
    }

    private static void awaitAddressTaken() {
        long end = System.currentTimeMillis() + ADDRESS_WAIT_MS;
        synchronized (lock) {
            while (!addressTaken && !stopRequested) {
                long left = end - System.currentTimeMillis();
                if (left <= 0) return;
                try {
                    lock.wait(left);
                } catch (InterruptedException e) {
                    return;
                }
            }
        }
    }

    private static void awaitStop() {
        synchronized (lock) {
            while (!stopRequested) {
                try {
                    lock.wait();
                } catch (InterruptedException e) {
                    return;
                }
            }
        }
    }

    /** Settings the host wrote into the client's preferences node. */
    static final class Settings {
        int sipPort = DEFAULT_SIP_PORT;
        int socksPort = DEFAULT_SOCKS_PORT;

        static Settings load() {
            Settings s = new Settings();
            try {
                Preferences root = Preferences.userRoot();
                // Only read: looking a node up by node() would create it.
                if (!root.nodeExists(PREFERENCES_NODE)) return s;
                Preferences client = root.node(PREFERENCES_NODE);
                if (client.nodeExists("Sip"))
                    s.sipPort = port(client.node("Sip").get("udpPort", null), DEFAULT_SIP_PORT);
                if (client.nodeExists("Socks"))
                    s.socksPort =
                            port(client.node("Socks").get("socksPort", null), DEFAULT_SOCKS_PORT);
            } catch (BackingStoreException e) {
                // keep the defaults
            } catch (SecurityException e) {
                // keep the defaults
            }
            return s;
        }

        // "0" or an unusable value means: any port, and we take the usual one.
        static int port(String text, int fallback) {
            if (text == null) return fallback;
            try {
                int p = Integer.parseInt(text.trim());
                return p > 0 && p <= 65535 ? p : fallback;
            } catch (NumberFormatException e) {
                return fallback;
            }
        }
    }
}
