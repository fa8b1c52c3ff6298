package corvane.testclient;

/** A main class whose main fails. */
public final class ThrowingMain {
    public static void main(String[] args) {
        throw new IllegalStateException("client refuses to start");
    }
}
