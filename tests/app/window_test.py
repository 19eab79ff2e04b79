# keysynth's window on a private X display: the z gate, Escape while the
# stream plays, the close button, and the black surface.
import os
import re
import subprocess
import time
import unittest

import harness


class Window(harness.TempDirTest):

    def start(self, output="41", device=None, **extra):
        """Runs keysynth on a private display, answering the menus through
        a pipe that stays open (output, then the driver whose name is
        device, if given); returns once its window exists."""
        display = self.start_xvfb()
        self.env = harness.program_env(self, DISPLAY=display, **extra)
        self.out_path = os.path.join(self.tmp, "stdout.txt")
        self.err_path = os.path.join(self.tmp, "stderr.txt")
        out = open(self.out_path, "wb")
        err = open(self.err_path, "wb")
        self.addCleanup(out.close)
        self.addCleanup(err.close)
        self.proc = self.spawn(["timeout", "-k", "5", "60", harness.KEYSYNTH], env=self.env, stdin=subprocess.PIPE,
                               stdout=out, stderr=err)
        self.addCleanup(self.proc.stdin.close)
        self.type(output)
        if device:
            pattern = r"^(\d+) - %s\n.*ESC to quit\n" % re.escape(device)
            self.wait_for(lambda: re.search(pattern, self.stdout(), re.M | re.S))
            self.type(re.search(pattern, self.stdout(), re.M | re.S).group(1))
        self.wait_for(lambda: harness.KEY_GUIDE in self.stdout())
        found = self.xdotool("search", "--sync", "--onlyvisible", "--class", "keysynth", timeout=20)
        self.window = found.split()[0]
        return self.window

    def type(self, keys):
        self.proc.stdin.write(keys.encode())
        self.proc.stdin.flush()

    def xdotool(self, *args, timeout=10, check=True):
        r = subprocess.run(["timeout", "-k", "5", str(timeout), "xdotool", *args], env=self.env,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        if check:
            self.assertEqual(r.returncode, 0, r.stderr.decode())
        return r.stdout.decode()

    def stdout(self):
        with open(self.out_path, "rb") as f:
            return f.read().decode("latin-1")

    def wait_for(self, condition, timeout=20):
        deadline = time.monotonic() + timeout
        while not condition():
            if self.proc.poll() is not None or time.monotonic() > deadline:
                with open(self.err_path) as f:
                    self.fail("gave up waiting; stdout:\n%s\nstderr:\n%s" % (self.stdout()[-2000:], f.read()))
            time.sleep(0.02)

    def test_z_in_the_window_opens_and_closes_the_gate(self):
        w = self.start()
        self.xdotool("windowfocus", "--sync", w)
        self.xdotool("keydown", "z")
        self.wait_for(lambda: "\nTRIG\n" in self.stdout())
        time.sleep(0.3)  # held: no repeats
        self.xdotool("keyup", "z")
        self.wait_for(lambda: "UNTRIG\n" in self.stdout())
        self.type(".")
        self.assertEqual(self.proc.wait(timeout=20), 0)
        text = self.stdout().split(harness.KEY_GUIDE, 1)[1]
        # The window's z is the gate, not the console's amplitude step.
        self.assertTrue(text.startswith("\nTRIG\nUNTRIG\nNote [58]"), text[:300])
        self.assertIn("Freq [440.000] Ampl [1.000]", text)

    def test_close_button_is_ignored_and_the_surface_is_black(self):
        w = self.start()
        time.sleep(0.5)  # a few blocks cleared the surface
        shot = os.path.join(self.tmp, "shot.txt")
        subprocess.run(["timeout", "-k", "5", "20", "import", "-window", w, "-depth", "8", shot], env=self.env,
                       check=True)
        geometry = self.xdotool("getwindowgeometry", w)
        self.assertIn("640x800", geometry)
        with open(shot) as f:
            colours = set(re.findall(r"#[0-9A-F]{6}", f.read()))
        self.assertEqual(colours, {"#000000"})

        harness.request_close(self.env["DISPLAY"], w)
        time.sleep(0.5)
        self.assertIsNone(self.proc.poll(), "the close request ended the program")
        self.type("w.")
        self.assertEqual(self.proc.wait(timeout=20), 0)

    def test_escape_in_the_window_ends_with_status_zero_while_the_stream_plays(self):
        # An ALSA device that takes frames as fast as they come keeps the
        # renderer (and its surface clear) running while the process exits.
        conf = self.alsa_capture_config("null", "/dev/null")
        w = self.start(output="1", device="capture", ALSA_CONFIG_PATH=conf)
        self.type("www")
        self.wait_for(lambda: self.stdout().count("Note [61]") == 3)
        self.xdotool("windowfocus", "--sync", w)
        self.xdotool("keydown", "Escape")
        self.assertEqual(self.proc.wait(timeout=20), 0)
        with open(self.err_path) as f:
            err = f.read()
        self.assertNotIn("Sanitizer", err)
        self.assertNotIn("runtime error", err)


if __name__ == "__main__":
    unittest.main()
