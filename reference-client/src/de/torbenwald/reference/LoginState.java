package de.torbenwald.reference;

/**
 * The outcome of the current login attempt as the launcher polls it with getError: null
 * while the attempt runs, then a text naming the outcome, until resetError clears it.
 */
public final class LoginState {
    private String outcome;

    public synchronized String getError() {
        return outcome;
    }

    public synchronized void resetError() {
        outcome = null;
    }

    public synchronized void report(String text) {
        outcome = text;
    }

    /** True when the launcher will show the login form again for this outcome. */
    public static boolean asksForAnotherLogin(String outcome) {
        return outcome != null && (outcome.contains("IOException") || outcome.contains("WrongUserOrPasswordException"));
    }
}
