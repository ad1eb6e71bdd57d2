package de.torbenwald.hostcheck;

import java.lang.management.ManagementFactory;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;

import com.sun.management.HotSpotDiagnosticMXBean;
import com.sun.management.VMOption;

/**
 * Test only, never part of an installation: the main class of the tests that run the
 * launcher's Java host on a real Java VM. It reports, from inside the VM, what the host
 * gave it. Arguments of main: "-main-ms MS" (main sleeps before it returns) and
 * "-worker MS FILE" (a non-daemon thread that ends after MS milliseconds and writes FILE as
 * it ends). Just before main returns it writes "hostcheck-main.returned".
 */
public final class HostCheck {
    private static volatile String[] mainArguments = new String[0];

    private HostCheck() {}

    public static void main(String[] args) throws Exception {
        mainArguments = args.clone();
        long mainMs = 0;
        for (int i = 0; i < args.length; ++i) {
            if (args[i].equals("-main-ms") && i + 1 < args.length) {
                mainMs = Long.parseLong(args[++i]);
            } else if (args[i].equals("-worker") && i + 2 < args.length) {
                long workMs = Long.parseLong(args[++i]);
                String marker = args[++i];
                Thread worker = new Thread(() -> work(workMs, marker), "worker");
                worker.setDaemon(false);
                worker.start();
            }
        }
        Thread.sleep(mainMs);
        Files.writeString(Paths.get("hostcheck-main.returned"), "returned");
    }

    private static void work(long ms, String marker) {
        try {
            Thread.sleep(ms);
            Files.writeString(Paths.get(marker), "ended");
        } catch (Exception e) {
            throw new IllegalStateException(e);
        }
    }

    public static String arguments() {
        return String.join("\n", mainArguments);
    }

    /** The options the VM was created with, in order (the class path option excepted). */
    public static String inputArguments() {
        return String.join("\n", ManagementFactory.getRuntimeMXBean().getInputArguments());
    }

    public static String property(String name) {
        return System.getProperty(name);
    }

    /** The VM flag's value and where it came from, or "(none)" when the VM has no such flag. */
    public static String vmOption(String name) {
        try {
            VMOption option = ManagementFactory.getPlatformMXBean(HotSpotDiagnosticMXBean.class).getVMOption(name);
            return option.getValue() + " " + option.getOrigin();
        } catch (IllegalArgumentException e) {
            return "(none)";
        }
    }

    /** Where the class was loaded from. */
    public static String codeSource(String className) throws ClassNotFoundException {
        return Paths.get(Class.forName(className).getProtectionDomain().getCodeSource().getLocation().getPath())
            .toString();
    }

    /** Fills the heap until it runs out, then lets go of everything again. */
    public static String exhaustHeap() {
        List<long[]> hoard = new ArrayList<>();
        try {
            for (;;) hoard.add(new long[1 << 16]);
        } catch (OutOfMemoryError e) {
            hoard.clear();
            return e.getClass().getName();
        }
    }
}
