package de.torbenwald.reference;

import java.nio.charset.StandardCharsets;

/**
 * The login record the launcher writes to "launcher.dat" (UTF-8):
 * "OGM -1 USERHEX DIGEST HOST PORT CAPTIONHEX EXTRA\r\n<end>\r\n". USERHEX and CAPTIONHEX
 * hold each UTF-16 code unit as four lower-case hexadecimal digits; DIGEST is the MD5 of
 * the password's UTF-8 bytes. Values are separated by exactly one blank, so an empty user
 * id gives two blanks in a row.
 */
public final class LoginRecord {
    public final String userId;
    public final String passwordDigest;
    public final String host;
    public final int port;
    public final String caption;
    public final int extra;

    private LoginRecord(String userId, String passwordDigest, String host, int port, String caption, int extra) {
        this.userId = userId;
        this.passwordDigest = passwordDigest;
        this.host = host;
        this.port = port;
        this.caption = caption;
        this.extra = extra;
    }

    public static LoginRecord parse(byte[] bytes) {
        return parse(new String(bytes, StandardCharsets.UTF_8));
    }

    public static LoginRecord parse(String text) {
        int lineEnd = text.indexOf("\r\n");
        if (lineEnd < 0 || !text.substring(lineEnd + 2).startsWith("<end>\r\n"))
            throw new IllegalArgumentException("the record does not end with the <end> line");
        String[] fields = text.substring(0, lineEnd).split(" ", -1);
        if (fields.length != 8 || !fields[0].equals("OGM") || !fields[1].equals("-1"))
            throw new IllegalArgumentException("not a login record: " + fields.length + " fields");
        String digest = fields[3];
        if (!digest.matches("[0-9a-f]{32}")) throw new IllegalArgumentException("bad password digest");
        return new LoginRecord(fromHexUtf16(fields[2]), digest, fields[4], Integer.parseInt(fields[5]),
                               fromHexUtf16(fields[6]), Integer.parseInt(fields[7]));
    }

    /** Four lower-case hexadecimal digits per UTF-16 code unit back to text. */
    public static String fromHexUtf16(String hex) {
        if (hex.length() % 4 != 0) throw new IllegalArgumentException("hex text of odd length: " + hex);
        StringBuilder text = new StringBuilder(hex.length() / 4);
        for (int i = 0; i < hex.length(); i += 4) {
            String unit = hex.substring(i, i + 4);
            if (!unit.matches("[0-9a-f]{4}")) throw new IllegalArgumentException("bad hex unit: " + unit);
            text.append((char) Integer.parseInt(unit, 16));
        }
        return text.toString();
    }
}
