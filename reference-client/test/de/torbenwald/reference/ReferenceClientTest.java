package de.torbenwald.reference;

import java.io.IOException;
import java.net.ConnectException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayDeque;
import java.util.Deque;

/** Tests of the reference client's own logic; run with plain java, exit status 1 on a failure. */
public final class ReferenceClientTest {
    private static int failures = 0;
    private static int checks = 0;

    private static void check(boolean condition, String what) {
        ++checks;
        if (!condition) {
            ++failures;
            System.out.println("FAILED: " + what);
        }
    }

    private static void equal(Object expected, Object actual, String what) {
        check(expected == null ? actual == null : expected.equals(actual), what + ": expected <" + expected + "> but was <" + actual + ">");
    }

    private static void rejects(String record, String what) {
        try {
            LoginRecord.parse(record);
            check(false, what + " was accepted");
        } catch (IllegalArgumentException e) {
            check(true, what);
        }
    }

    /** A service whose answers are given in advance: "OK", "WRONG" or "IO". */
    private static final class ScriptedService extends LoginService {
        final Deque<String> answers = new ArrayDeque<>();
        final Deque<String> requests = new ArrayDeque<>();

        @Override
        protected String exchange(String host, int port, String request) throws IOException {
            requests.add(host + ":" + port + " " + request);
            String answer = answers.isEmpty() ? "OK" : answers.poll();
            if (answer.equals("IO")) throw new ConnectException("Connection refused: connect");
            return answer;
        }
    }

    static final String DIGEST = "d41d8cd98f00b204e9800998ecf8427e";

    static void recordParsing() {
        LoginRecord r = LoginRecord.parse(("OGM -1 0061006e006e0061 " + DIGEST + " srv01 8080 00500072006f00640075006300740069006f006e -1\r\n<end>\r\n")
                                              .getBytes(StandardCharsets.UTF_8));
        equal("anna", r.userId, "user id");
        equal(DIGEST, r.passwordDigest, "digest");
        equal("srv01", r.host, "host");
        equal(8080, r.port, "port");
        equal("Production", r.caption, "caption");
        equal(-1, r.extra, "extra");

        // An empty user id gives two blanks in a row; a non-ASCII host arrives as UTF-8.
        LoginRecord empty = LoginRecord.parse(("OGM -1  " + DIGEST + " s\u00fcd.example 443 00fc 7\r\n<end>\r\n").getBytes(StandardCharsets.UTF_8));
        equal("", empty.userId, "empty user id");
        equal("s\u00fcd.example", empty.host, "non-ASCII host");
        equal("\u00fc", empty.caption, "caption with a non-ASCII unit");
        equal(7, empty.extra, "extra value");
        equal("\ud83d\ude00", LoginRecord.fromHexUtf16("d83dde00"), "surrogate pair");

        rejects("OGM -1 0061 " + DIGEST + " srv01 8080 0050 -1\r\n", "record without <end>");
        rejects("OGM -1 0061 " + DIGEST + " srv01 8080 0050\r\n<end>\r\n", "record with a missing value");
        rejects("OGM -1 006 " + DIGEST + " srv01 8080 0050 -1\r\n<end>\r\n", "user hex of odd length");
        rejects("OGM -1 0061 " + DIGEST.toUpperCase() + " srv01 8080 0050 -1\r\n<end>\r\n", "upper-case digest");
        rejects("OGM -1 0061 " + DIGEST + " srv01 port 0050 -1\r\n<end>\r\n", "port that is no number");
        rejects("XYZ -1 0061 " + DIGEST + " srv01 8080 0050 -1\r\n<end>\r\n", "another record type");
    }

    static void loginStates() {
        LoginState state = new LoginState();
        equal(null, state.getError(), "no outcome before an attempt");
        state.report("java.io.IOException: refused");
        equal("java.io.IOException: refused", state.getError(), "outcome stays until reset");
        equal("java.io.IOException: refused", state.getError(), "outcome read twice");
        state.resetError();
        equal(null, state.getError(), "reset clears");
        check(LoginState.asksForAnotherLogin("x java.io.IOException: y"), "IOException asks again");
        check(LoginState.asksForAnotherLogin("a.b.WrongUserOrPasswordException: no"), "wrong credentials ask again");
        check(!LoginState.asksForAnotherLogin("LoginOK"), "success goes ahead");
        check(!LoginState.asksForAnotherLogin(null), "no outcome is no answer");
    }

    static void attempts() {
        ScriptedService service = new ScriptedService();
        Client client = new Client(service, "test");
        byte[] record = ("OGM -1 0061 " + DIGEST + " srv01 8080 0050 -1\r\n<end>\r\n").getBytes(StandardCharsets.UTF_8);
        service.answers.add("IO");
        String unreachable = client.attempt(record);
        check(unreachable.contains("IOException"), "unreachable server reported as IOException: " + unreachable);
        service.answers.add("WRONG");
        String wrong = client.attempt(record);
        check(wrong.contains("WrongUserOrPasswordException"), "refused credentials: " + wrong);
        service.answers.add("WRONG Kennwort f\u00fcr \ud834\udd1e abgelaufen");
        check(client.attempt(record).endsWith("WrongUserOrPasswordException: Kennwort f\u00fcr \ud834\udd1e abgelaufen"),
              "the server's reason is the message");
        service.answers.add("OK");
        equal(LoginService.SUCCESS, client.attempt(record), "accepted login");
        equal("srv01:8080 LOGIN 0061 " + DIGEST, service.requests.peekLast(), "request sent");
        String broken = client.attempt("garbage".getBytes(StandardCharsets.UTF_8));
        check(!LoginState.asksForAnotherLogin(broken) && !broken.isEmpty(), "a broken record ends the attempts: " + broken);

        service.answers.add("OK");
        check(service.resetPassword("srv01", 8080, "anna@example.com"), "password reset accepted");
        equal("srv01:8080 RESETPW " + LoginService.hexUtf16("anna@example.com"), service.requests.peekLast(), "reset request");
        service.answers.add("NO");
        check(!service.resetPassword("srv01", 8080, "x"), "password reset refused");
        service.answers.add("IO");
        check(!service.resetPassword("srv01", 8080, "x"), "password reset without server");
    }

    static void heldLoginSequence() throws Exception {
        Path folder = Files.createTempDirectory("reference-client");
        Path file = folder.resolve("launcher.dat");
        ScriptedService service = new ScriptedService();
        service.answers.add("IO");
        service.answers.add("WRONG");
        service.answers.add("OK");
        Client client = new Client(service, "test");
        final String[] ended = new String[1];
        Thread logins = new Thread(() -> {
            try {
                ended[0] = client.runLogins(file);
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
            }
        });
        logins.start();
        String[] expected = {"IOException", "WrongUserOrPasswordException", LoginService.SUCCESS};
        for (int attempt = 0; attempt < 3; ++attempt) {
            Thread.sleep(120);
            equal(null, client.state().getError(), "no outcome before record " + attempt);
            // Written in two steps, as a slow writer would: the half record is not taken.
            Files.write(file, ("OGM -1 0061 " + DIGEST + " srv01 8080 ").getBytes(StandardCharsets.UTF_8));
            Thread.sleep(120);
            check(Files.exists(file), "a half-written record stays");
            Files.write(file, ("OGM -1 0061 " + DIGEST + " srv01 8080 0050 " + attempt + "\r\n<end>\r\n").getBytes(StandardCharsets.UTF_8));
            long deadline = System.currentTimeMillis() + 5000;
            while (client.state().getError() == null && System.currentTimeMillis() < deadline) Thread.sleep(20);
            String outcome = client.state().getError();
            check(outcome != null && outcome.contains(expected[attempt]), "attempt " + attempt + ": " + outcome);
            check(!Files.exists(file), "record removed after attempt " + attempt);
            client.state().resetError();
        }
        logins.join(5000);
        check(!logins.isAlive(), "the login thread ends after the accepted login");
        equal(LoginService.SUCCESS, ended[0], "final outcome");
        Files.deleteIfExists(file);
        Files.delete(folder);
    }

    public static void main(String[] args) throws Exception {
        System.setProperty("java.awt.headless", "true");
        recordParsing();
        loginStates();
        attempts();
        heldLoginSequence();
        System.out.println(checks + " checks, " + failures + " failed");
        System.exit(failures == 0 ? 0 : 1);
    }
}
