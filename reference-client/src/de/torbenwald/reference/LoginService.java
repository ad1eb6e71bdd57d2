package de.torbenwald.reference;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.io.OutputStreamWriter;
import java.io.Writer;
import java.net.InetSocketAddress;
import java.net.Socket;
import java.nio.charset.StandardCharsets;

/**
 * The reference client's server exchange: one line over TCP to the record's host and port,
 * one line back. "LOGIN userhex digest" is answered "OK" or "WRONG", optionally followed by
 * a blank and the server's reason, which becomes the exception's message; "RESETPW mail" is
 * answered "OK" or anything else.
 */
public class LoginService {
    public static final String SUCCESS = "LoginOK";
    private static final int TIMEOUT_MS = 10000;

    /** Returns the text getError reports for a successful login. */
    public String login(LoginRecord record) throws IOException, WrongUserOrPasswordException {
        String answer = exchange(record.host, record.port, "LOGIN " + hexUtf16(record.userId) + " " + record.passwordDigest);
        if (answer.equals("OK")) return SUCCESS;
        String reason = answer.startsWith("WRONG ") ? answer.substring(6).trim() : "";
        throw new WrongUserOrPasswordException(reason.isEmpty() ? "user or password wrong" : reason);
    }

    public boolean resetPassword(String host, int port, String mail) {
        try {
            return exchange(host, port, "RESETPW " + hexUtf16(mail)).equals("OK");
        } catch (IOException e) {
            return false;
        }
    }

    protected String exchange(String host, int port, String request) throws IOException {
        try (Socket socket = new Socket()) {
            socket.connect(new InetSocketAddress(host, port), TIMEOUT_MS);
            socket.setSoTimeout(TIMEOUT_MS);
            Writer out = new OutputStreamWriter(socket.getOutputStream(), StandardCharsets.UTF_8);
            out.write(request + "\r\n");
            out.flush();
            BufferedReader in = new BufferedReader(new InputStreamReader(socket.getInputStream(), StandardCharsets.UTF_8));
            String answer = in.readLine();
            if (answer == null) throw new IOException("the server closed the connection");
            return answer.trim();
        }
    }

    static String hexUtf16(String text) {
        StringBuilder hex = new StringBuilder(text.length() * 4);
        for (int i = 0; i < text.length(); ++i) hex.append(String.format("%04x", (int) text.charAt(i)));
        return hex.toString();
    }
}
