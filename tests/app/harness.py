# Drives the real keysynth binary: under a pseudo-terminal, with a private
# X display (Xvfb) and a private sound server (PulseAudio), each started per
# test and stopped at its end.
import fcntl
import os
import re
import select
import shutil
import signal
import subprocess
import tempfile
import termios
import time
import unittest

KEYSYNTH = os.environ.get("KEYSYNTH", "keysynth")
HERE = os.path.dirname(os.path.abspath(__file__))

SEPARATOR = "-" * 57 + "\n"
PROMPT = "Press a corresponding number or ESC to quit\n"
OUTPUT_MENU = (SEPARATOR + "Output Type\n" + SEPARATOR + "1 - Direct Sound\n2 - Windows Multimedia Waveout\n"
               "3 - ASIO\n4 - NoSound\n" + SEPARATOR + PROMPT)
KEY_GUIDE = ("[aqzs edrftg yhujik olpm our] modifier les trucs \n"
             "[+-] change type OSC1 [7894] le type des LFO1234\n"
             "[wxcvbn,;] pour les notes (foireuxmaismarche)\n")


def status_line(freq, ampl, phase, afreq, aampl, aphase):
    return ("Freq [%3.3f] Ampl [%3.3f] Phase [%3.3f] - AFreq [%3.3f] AAmpl [%3.3f] APhase [%3.3f]  \n"
            % (freq, ampl, phase, afreq, aampl, aphase))


def base_env(tmp):
    """A clean environment: no terminal type (so "clear" prints only a
    complaint on stderr), no display, no user sound configuration."""
    env = {k: v for k, v in os.environ.items()
           if k not in ("TERM", "DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "PULSE_SERVER", "ALSA_CONFIG_PATH")}
    env["HOME"] = tmp
    env["XDG_RUNTIME_DIR"] = tmp
    return env


class TempDirTest(unittest.TestCase):
    """Gives each test a private temporary directory and a list of processes
    to stop when it ends."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="keysynth-test-")
        self.addCleanup(shutil.rmtree, self.tmp, ignore_errors=True)
        self.procs = []
        self.addCleanup(self._stop_all)

    def _stop_all(self):
        for p in reversed(self.procs):
            if p.poll() is None:
                try:
                    os.killpg(p.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
                p.wait(timeout=10)

    def spawn(self, argv, **kw):
        """Starts a process in a session of its own, stopped with its
        children at the end of the test."""
        kw.setdefault("start_new_session", True)
        p = subprocess.Popen(argv, **kw)
        self.procs.append(p)
        return p

    # -- a private X display --------------------------------------------
    def start_xvfb(self):
        r, w = os.pipe()
        xvfb = self.spawn(["Xvfb", "-displayfd", str(w), "-screen", "0", "1024x1024x24", "-nolisten", "tcp"],
                          pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(w)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([r], [], [], 1)
            if ready:
                chunk = os.read(r, 64)
                if not chunk:
                    break
                number += chunk
        os.close(r)
        self.assertTrue(number.strip(), "Xvfb did not start")
        self.xvfb = xvfb
        return ":" + number.decode().strip()

    # -- a private sound server with a null sink ---------------------------
    def start_pulse(self, env):
        """Starts PulseAudio with a null sink in this test's directory and
        points env at it."""
        env["PULSE_RUNTIME_PATH"] = os.path.join(self.tmp, "pulse")
        env["PULSE_STATE_PATH"] = os.path.join(self.tmp, "pulse")
        socket = os.path.join(self.tmp, "pulse", "native")
        env["PULSE_SERVER"] = "unix:" + socket
        os.makedirs(env["PULSE_RUNTIME_PATH"], exist_ok=True)
        log = open(os.path.join(self.tmp, "pulse.log"), "wb")
        self.addCleanup(log.close)
        self.spawn(["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit",
                    "--use-pid-file=no", "--system=no",
                    "--load=module-null-sink sink_name=s rate=44100 channels=2 format=s16le",
                    "--load=module-native-protocol-unix socket=" + socket],
                   env=env, stdout=log, stderr=subprocess.STDOUT)
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            if subprocess.run(["pactl", "info"], env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0:
                return
            time.sleep(0.05)
        self.fail("PulseAudio did not start")

    def alsa_capture_config(self, slave, capture_file):
        """An ALSA configuration whose `capture` device writes every frame
        played into capture_file, then passes it on to the slave PCM."""
        with open(os.path.join(HERE, "capture.conf.in")) as f:
            text = f.read().replace("@SLAVE@", slave).replace("@FILE@", capture_file)
        path = os.path.join(self.tmp, "capture.conf")
        with open(path, "w") as f:
            f.write(text)
        return path


class Terminal:
    """keysynth on a pseudo-terminal that is its controlling terminal, so
    Ctrl-C typed into it is a real SIGINT. Standard error goes to a file."""

    def __init__(self, test, env, argv=None):
        self.test = test
        self.master, self.slave = os.openpty()
        self.saved = termios.tcgetattr(self.slave)
        self.stderr_path = os.path.join(test.tmp, "stderr.txt")
        self.stderr_file = open(self.stderr_path, "wb")
        slave = self.slave

        def become_terminal_owner():
            fcntl.ioctl(slave, termios.TIOCSCTTY, 0)

        self.proc = test.spawn(argv or ["timeout", "-k", "5", "60", KEYSYNTH], env=env, stdin=slave, stdout=slave,
                               stderr=self.stderr_file, preexec_fn=become_terminal_owner)
        # timeout puts itself in the background process group of the
        # terminal unless told otherwise; the program is then its child.
        self.out = b""
        test.addCleanup(self.close)

    def close(self):
        for fd in (self.master, self.slave):
            try:
                os.close(fd)
            except OSError:
                pass
        self.stderr_file.close()

    def send(self, data):
        # Read what is waiting first, as a terminal would: a full output
        # buffer would stall the program and merge keys typed apart.
        while self._read(0):
            pass
        os.write(self.master, data.encode("latin-1") if isinstance(data, str) else data)

    def pause(self, seconds):
        """Lets time pass while reading the output."""
        deadline = time.monotonic() + seconds
        while (left := deadline - time.monotonic()) > 0:
            self._read(left)

    def _read(self, timeout):
        ready, _, _ = select.select([self.master], [], [], timeout)
        if ready:
            try:
                chunk = os.read(self.master, 65536)
            except OSError:
                return False
            self.out += chunk
            return bool(chunk)
        return False

    def text(self):
        return self.out.decode("latin-1").replace("\r\n", "\n")

    def expect(self, pattern, timeout=10):
        """Reads until the text matches pattern (a regex); returns the match."""
        deadline = time.monotonic() + timeout
        while True:
            m = re.search(pattern, self.text(), re.S)
            if m:
                return m
            left = deadline - time.monotonic()
            if left <= 0:
                self.test.fail("no %r in output:\n%s\nstderr:\n%s" % (pattern, self.text()[-3000:], self.stderr()))
            self._read(min(left, 0.2))

    def expect_count(self, pattern, count, timeout=10):
        """Reads until pattern (a regex) occurs count times in the text."""
        deadline = time.monotonic() + timeout
        while len(re.findall(pattern, self.text())) < count:
            left = deadline - time.monotonic()
            if left <= 0:
                self.test.fail("fewer than %d %r in output:\n%s" % (count, pattern, self.text()[-3000:]))
            self._read(min(left, 0.2))

    def wait(self, timeout=20):
        """Waits for the exit, collecting output; returns the exit status."""
        deadline = time.monotonic() + timeout
        while self.proc.poll() is None and time.monotonic() < deadline:
            self._read(0.05)
        while self._read(0.05):
            pass
        if self.proc.poll() is None:
            self.test.fail("keysynth did not end; output:\n" + self.text()[-3000:])
        return self.proc.returncode

    def stderr(self):
        self.stderr_file.flush()
        with open(self.stderr_path, "rb") as f:
            return f.read().decode("latin-1")

    def restored(self):
        return termios.tcgetattr(self.slave) == self.saved


def program_env(test, **extra):
    env = base_env(test.tmp)
    env.update(extra)
    return env


def request_close(display, window):
    """Sends the window the WM_DELETE_WINDOW message that a window manager
    sends when its close button is clicked (there is no window manager)."""
    import ctypes

    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]

    dpy = x11.XOpenDisplay(display.encode())
    if not dpy:
        raise RuntimeError("cannot open display " + display)
    try:
        ev = ClientMessage()
        ev.type = 33  # ClientMessage
        ev.window = int(window)
        ev.message_type = x11.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
        ev.format = 32
        ev.data[0] = x11.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
        ev.data[1] = 0  # CurrentTime
        if not x11.XSendEvent(dpy, int(window), 0, 0, ctypes.byref(ev)):
            raise RuntimeError("XSendEvent failed")
        x11.XFlush(dpy)
    finally:
        x11.XCloseDisplay(dpy)
