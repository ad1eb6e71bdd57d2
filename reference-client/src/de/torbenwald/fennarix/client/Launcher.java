package de.torbenwald.fennarix.client;

import de.torbenwald.reference.Client;
import de.torbenwald.reference.LoginService;

/** Main class of the sibling client mode (no arguments). */
public final class Launcher {
    private Launcher() {}

    public static void main(String[] args) {
        new Client(new LoginService(), "fennarix client").startDirect();
    }
}
