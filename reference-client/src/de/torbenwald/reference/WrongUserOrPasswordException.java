package de.torbenwald.reference;

/** The server refused the user id or the password. */
public final class WrongUserOrPasswordException extends Exception {
    private static final long serialVersionUID = 1L;

    public WrongUserOrPasswordException(String message) {
        super(message);
    }
}
