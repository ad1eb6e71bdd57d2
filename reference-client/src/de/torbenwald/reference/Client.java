package de.torbenwald.reference;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;

/**
 * The shared work of the reference client's main classes. main returns at once; the work
 * runs on a non-daemon thread, so that the launcher's DestroyJavaVM waits for it.
 */
public final class Client {
    private static final long POLL_MS = 50;

    private final LoginState state = new LoginState();
    private final LoginService service;
    private final String title;

    public Client(LoginService service, String title) {
        this.service = service;
        this.title = title;
    }

    public LoginState state() {
        return state;
    }

    /** Waits for each login record and reports its outcome until a login goes ahead. */
    public void startHeld(Path recordFile) {
        Thread worker = new Thread(() -> {
            try {
                runLogins(recordFile);
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
            }
        }, "login");
        worker.setDaemon(false);
        worker.start();
    }

    public void startDirect() {
        Thread worker = new Thread(this::showClient, "client");
        worker.setDaemon(false);
        worker.start();
    }

    /** Returns the outcome that ended the loop. */
    String runLogins(Path recordFile) throws InterruptedException {
        for (;;) {
            byte[] bytes = waitForRecord(recordFile);
            String outcome = attempt(bytes);
            state.report(outcome);
            if (LoginState.asksForAnotherLogin(outcome)) continue;
            if (outcome.equals(LoginService.SUCCESS)) showClient();
            return outcome;
        }
    }

    /** One login attempt: the text getError reports for it. */
    public String attempt(byte[] recordBytes) {
        try {
            return service.login(LoginRecord.parse(recordBytes));
        } catch (IOException e) {
            // The launcher recognises an unreachable server by this name in the text.
            return e.getClass() == IOException.class ? e.toString() : "java.io.IOException: " + e;
        } catch (WrongUserOrPasswordException e) {
            return e.toString();
        } catch (RuntimeException e) {
            return "Error: " + e.getMessage();
        }
    }

    /** The record's bytes once the file exists and is complete; the file is removed. */
    static byte[] waitForRecord(Path recordFile) throws InterruptedException {
        for (;;) {
            try {
                byte[] bytes = Files.readAllBytes(recordFile);
                if (new String(bytes, java.nio.charset.StandardCharsets.UTF_8).endsWith("<end>\r\n")) {
                    Files.deleteIfExists(recordFile);
                    return bytes;
                }
            } catch (NoSuchFileException e) {
                // not written yet
            } catch (IOException e) {
                // still being written (the launcher holds it without sharing)
            }
            Thread.sleep(POLL_MS);
        }
    }

    private void showClient() {
        if (java.awt.GraphicsEnvironment.isHeadless()) return;
        javax.swing.SwingUtilities.invokeLater(() -> {
            javax.swing.JFrame frame = new javax.swing.JFrame(title);
            frame.setDefaultCloseOperation(javax.swing.WindowConstants.DISPOSE_ON_CLOSE);
            frame.setSize(480, 320);
            frame.setLocationRelativeTo(null);
            frame.setVisible(true);
        });
    }
}
