package de.torbenwald.zolp.launcher;

import java.nio.file.Paths;

import de.torbenwald.reference.Client;
import de.torbenwald.reference.LoginService;

/**
 * Main class of the standard mode. Started with "-hold launcher.dat": waits for the login
 * record the launcher writes, logs in, and reports the outcome through getError.
 */
public final class Launcher {
    private static final LoginService SERVICE = new LoginService();
    private static final Client CLIENT = new Client(SERVICE, "ornivel client");

    private Launcher() {}

    public static void main(String[] args) {
        if (args.length == 2 && args[0].equals("-hold")) CLIENT.startHeld(Paths.get(args[1]));
        else CLIENT.startDirect();
    }

    public static String getError() {
        return CLIENT.state().getError();
    }

    public static String resetError() {
        CLIENT.state().resetError();
        return null;
    }

    public static boolean resetPW(String host, int port, String mail) {
        return SERVICE.resetPassword(host, port, mail);
    }
}
