package de.torbenwald.zolp.adm;

import de.torbenwald.reference.Client;
import de.torbenwald.reference.LoginService;

/** Main class of the field-service administration mode (no arguments). */
public final class Adm {
    private Adm() {}

    public static void main(String[] args) {
        new Client(new LoginService(), "ornivel administration").startDirect();
    }
}
