# keysynth on a pseudo-terminal with the no-sound output and SDL's dummy
# video driver: the console text, key sessions, and every way out.
import os
import re
import signal
import subprocess
import termios
import time
import unittest

import harness
from harness import KEY_GUIDE, OUTPUT_MENU, PROMPT, SEPARATOR, status_line

NOSOUND_MENU = SEPARATOR + "NoSound Driver list\n" + SEPARATOR + "1 - No sound\n" + SEPARATOR + PROMPT
STATUS_RE = r"Note \[-?\d+\] -> \[[^\]]*\]\n(?:Freq .*  \n){5}"


def fresh_status(rendered):
    """The status display of the start state; once a block has been rendered
    osc1's per-frame amplitude is the silent envelope's 0.0."""
    lines = "Note [58] -> [440.000000]\n" + status_line(440, 1, 1, 440, 0 if rendered else 1, 1)
    return lines + status_line(0, 1, 1, 0, 1, 1) * 4


class Model:
    """What the keys do to the base parameters, as the status display shows
    them (each value kept as a 32-bit float)."""

    STEPS = {"z": (0, "ampl", 0.01), "s": (0, "ampl", -0.01), "e": (1, "freq", 0.5), "d": (1, "freq", -0.5),
             "r": (1, "ampl", 0.01), "f": (1, "ampl", -0.01), "t": (2, "freq", 0.1), "g": (2, "freq", -0.1),
             "y": (2, "ampl", 0.01), "h": (2, "ampl", -0.01), "u": (3, "freq", 1.0), "j": (3, "freq", -1.0),
             "i": (3, "ampl", 0.01), "k": (3, "ampl", -0.01), "o": (4, "freq", 1.0), "l": (4, "freq", -1.0),
             "p": (4, "ampl", 0.01), "m": (4, "ampl", -0.01)}
    NOTES = {"w": 61, "x": 63, "c": 65, "v": 66, "b": 68, "n": 70, ",": 71, ";": 72}

    def __init__(self):
        import numpy as np
        self.f32 = np.float32
        self.note = 58
        self.osc = [{"freq": self.f32(440), "ampl": self.f32(1), "phase": self.f32(1)}] + \
                   [{"freq": self.f32(0), "ampl": self.f32(1), "phase": self.f32(1)} for _ in range(4)]

    def press(self, key):
        """Applies key; returns (triggered, base part of each status line)."""
        triggered = False
        if key == "a":
            self.note += 1
        elif key == "q":
            self.note -= 1
        if key in self.NOTES:
            self.note = self.NOTES[key]
            triggered = True
        if key in self.STEPS:
            i, field, step = self.STEPS[key]
            self.osc[i][field] = self.f32(float(self.osc[i][field]) + step)
        for field in ("ampl", "freq", "phase"):
            for o in self.osc:
                if not float(o[field]) > 0.0001:
                    o[field] = self.f32(0)
        return triggered

    def base_lines(self):
        """osc1's base frequency is the pitch the renderer stores, so its
        line starts after it."""
        lines = ["Freq [%3.3f] Ampl [%3.3f] Phase [%3.3f] - " % (float(o["freq"]), float(o["ampl"]), float(o["phase"]))
                 for o in self.osc]
        lines[0] = lines[0].split("]", 1)[1]
        return lines


class Console(harness.TempDirTest):

    def start(self, **extra):
        env = harness.program_env(self, SDL_VIDEODRIVER="dummy", **extra)
        self.term = harness.Terminal(self, env)
        return self.term

    def start_playing(self):
        """Chooses no sound and its driver; returns once the key guide shows."""
        t = self.start()
        t.expect(re.escape(OUTPUT_MENU))
        t.send("4")
        t.expect(re.escape(NOSOUND_MENU))
        t.send("1")
        t.expect(re.escape(KEY_GUIDE))
        return t

    def wait_for_a_block(self, t):
        """Presses a key without a command until a status display shows that
        a block has been rendered since the patch was created."""
        for _ in range(100):
            count = len(re.findall(STATUS_RE, t.text()))
            t.send("A")
            t.expect_count(STATUS_RE, count + 1)
            if "AAmpl [0.000]" in re.findall(STATUS_RE, t.text())[-1]:
                return
        self.fail("no block rendered")

    def test_whole_console_text_is_exact(self):
        t = self.start_playing()
        self.wait_for_a_block(t)
        t.send(".")
        self.assertEqual(t.wait(), 0)
        text = t.text()
        head = OUTPUT_MENU + NOSOUND_MENU + KEY_GUIDE
        self.assertTrue(text.startswith(head), text)
        rest = text[len(head):]
        before, after = fresh_status(False), fresh_status(True)
        # Keys answered before the first block show the constructed per-frame
        # amplitude; every later display, the '.' one included, the rendered one.
        self.assertRegex(rest, r"\A(?:%s)*(?:%s)+\Z" % (re.escape(before), re.escape(after)))
        self.assertTrue(t.restored())
        self.assertIn("TERM", t.stderr())  # "clear" complains; nothing else runs without a terminal type

    def test_session_of_keys_gives_the_expected_status_displays(self):
        t = self.start_playing()
        keys = ("w" + "aaq" + "++++++" + "7" + "8889" + "44444" + "x" + "s" * 101 + "zz" + "d" + "ee" + "ffrr" +
                "tttg" + "yh" + "uuj" + "ikk" + "oll" + "pm" + "h" * 101 + "AZ -0\r\x1b5" + "\xe9" + "qqq" + ";;" + ",")
        for n, k in enumerate(keys, 1):
            t.send(k)
            if k == "\x1b":
                # A lone Escape, not the start of a sequence: its display
                # comes before the next key is typed.
                t.expect_count(STATUS_RE, n)
        t.send(".")
        self.assertEqual(t.wait(), 0)
        text = t.text().split(KEY_GUIDE, 1)[1]
        text = re.sub(r"Segment \[\d\]\n", "", text)  # from the audio thread, if a segment ends

        model = Model()
        waveforms = {"+": 0, "7": 1, "8": 2, "9": 3, "4": 4}
        selects = [0] * 5
        types = [4, 1, 1, 1, 1]
        pitches = {"%f" % 440.0}
        pos = 0
        for k in keys + ".":
            triggered = model.press(k)
            if k in waveforms:
                i = waveforms[k]
                selects[i] = selects[i] % 5 + 1
                types[i] = selects[i]
            if triggered:
                self.assertEqual(text[pos:pos + 6], "\nTRIG\n", "key %r" % k)
                pos += 6
            m = re.compile(STATUS_RE).match(text, pos)
            self.assertIsNotNone(m, "no status display for key %r at:\n%s" % (k, text[pos:pos + 400]))
            lines = m.group(0).split("\n")
            note, pitch = re.match(r"Note \[(-?\d+)\] -> \[([^\]]*)\]", lines[0]).groups()
            self.assertEqual(int(note), model.note, "key %r" % k)
            self.assertIn(pitch, pitches, "key %r" % k)  # a pitch the renderer stored
            self.assertIn("%.3f" % float(pitch), {"%.3f" % float(p) for p in pitches}, "key %r" % k)
            self.assertTrue(lines[1].startswith("Freq [%.3f]" % float(pitch)), "key %r: %r" % (k, lines[1]))
            for i, (line, base) in enumerate(zip(lines[1:6], model.base_lines())):
                if i == 0:
                    line = line.split("]", 1)[1]
                self.assertTrue(line.startswith(base), "key %r: %r, expected %r" % (k, line, base))
                self.assertRegex(line, r" - AFreq \[-?\d+\.\d{3}\] AAmpl \[-?\d+\.\d{3}\] APhase \[-?\d+\.\d{3}\]  $")
            pitches.add("%f" % float(model.f32(8.1757989 * 2 ** ((model.note + 11) / 12.0))))
            pos = m.end()
        self.assertEqual(text[pos:], "")
        self.assertEqual(selects, [1, 1, 3, 1, 5])
        self.assertEqual(types, [1, 1, 3, 1, 5])
        self.assertEqual(model.note, 71)

    def test_note_line_shows_the_new_pitch_once_a_block_is_rendered(self):
        t = self.start_playing()
        t.send("w")
        first = t.expect(r"\nTRIG\n(Note \[61\] -> \[[^\]]*\]\n)").group(1)
        self.assertIn(first, ("Note [61] -> [440.000000]\n", "Note [61] -> [523.251160]\n"))
        for _ in range(100):
            count = t.text().count("Note [61]")
            t.send("A")
            t.expect_count(r"Note \[61\]", count + 1)
            t.pause(0.05)  # a block lasts 186 ms
            if "Note [61] -> [523.251160]\n" in t.text():
                break
        self.assertIn("Note [61] -> [523.251160]\n", t.text()[-2000:])
        t.send(".")
        self.assertEqual(t.wait(), 0)

    def test_escape_at_either_menu_ends_with_status_zero(self):
        for keys, shown in (("", OUTPUT_MENU), ("4", OUTPUT_MENU + NOSOUND_MENU)):
            with self.subTest(menu=len(keys) + 1):
                t = self.start()
                t.expect(re.escape(OUTPUT_MENU))
                t.send(keys)
                t.expect(re.escape(shown))
                t.send("\x1b")
                self.assertEqual(t.wait(), 0)
                self.assertEqual(t.text(), shown)  # no window, no clear, no key guide
                self.assertTrue(t.restored())

    def test_dot_as_first_key_closes_and_ends_with_status_zero(self):
        t = self.start_playing()
        t.send(".")
        self.assertEqual(t.wait(), 0)
        rest = t.text().split(KEY_GUIDE, 1)[1]
        self.assertIn(rest, (fresh_status(False), fresh_status(True)))
        self.assertTrue(t.restored())

    def test_signals_while_playing_close_and_restore_the_terminal(self):
        for how, sig in (("ctrl-c", signal.SIGINT), ("kill", signal.SIGTERM)):
            with self.subTest(how):
                t = self.start_playing()
                t.send("w")
                t.expect(r"Note \[61\]")
                self.assertFalse(t.restored())  # key-at-a-time while playing
                if how == "ctrl-c":
                    t.send("\x03")
                else:
                    os.kill(t.proc.pid, sig)  # timeout passes it on to the program
                self.assertEqual(t.wait(), 128 + sig)
                self.assertTrue(t.restored())

    def test_closed_output_shuts_down_and_restores_the_terminal(self):
        # Keys from a terminal, output into a pipe whose reader goes away
        # (`keysynth | head`): the next display cannot be written.
        env = harness.program_env(self, SDL_VIDEODRIVER="dummy")
        master, slave = os.openpty()
        self.addCleanup(os.close, master)
        self.addCleanup(os.close, slave)
        saved = termios.tcgetattr(slave)
        p = self.spawn(["timeout", "-k", "5", "60", harness.KEYSYNTH], env=env, stdin=slave, stdout=subprocess.PIPE,
                       stderr=subprocess.DEVNULL)
        os.write(master, b"41")
        got = b""
        while harness.KEY_GUIDE.encode() not in got:
            chunk = p.stdout.read1(65536)
            self.assertTrue(chunk, got.decode())
            got += chunk
        p.stdout.close()
        os.write(master, b"w")
        self.assertEqual(p.wait(timeout=20), 128 + signal.SIGPIPE)
        self.assertEqual(termios.tcgetattr(slave), saved)

    def test_keys_typed_before_the_loop_are_handled_in_order(self):
        t = self.start()
        t.expect(re.escape(OUTPUT_MENU))
        t.send("4")
        t.expect(re.escape(NOSOUND_MENU))
        t.send("1xa.")  # all in one write, before the window even opens
        self.assertEqual(t.wait(), 0)
        notes = re.findall(r"Note \[(\d+)\]", t.text())
        self.assertEqual(notes, ["63", "64", "64"])


class Piped(harness.TempDirTest):

    def run_script(self, script, timeout=30):
        env = harness.program_env(self, SDL_VIDEODRIVER="dummy")
        p = self.spawn(["timeout", "-k", "5", "30", harness.KEYSYNTH], env=env, stdin=subprocess.PIPE,
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        out, err = p.communicate(script, timeout=timeout)
        return p.returncode, out.decode("latin-1"), err.decode("latin-1")

    def test_piped_script_plays_and_quits(self):
        status, out, _ = self.run_script(b"41w.")
        self.assertEqual(status, 0)
        head = OUTPUT_MENU + NOSOUND_MENU + KEY_GUIDE
        self.assertTrue(out.startswith(head), out)
        rest = out[len(head):]
        self.assertRegex(rest, r"\A\nTRIG\nNote \[61\] -> \[(440\.000000|523\.251160)\]\n(?:Freq .*  \n){5}"
                               r"Note \[61\] -> \[[^\]]*\]\n(?:Freq .*  \n){5}\Z")

    def test_end_of_input_while_playing_ends_like_dot(self):
        # No '.': the script just ends. Shutdown in order, status 0, one
        # status display per key and nothing after.
        status, out, err = self.run_script(b"41wa")
        self.assertEqual(status, 0, err)
        self.assertEqual(re.findall(r"Note \[(\d+)\]", out), ["61", "62"])
        self.assertTrue(out.endswith("  \n"))

    def test_end_of_input_at_a_menu_ends_with_status_one(self):
        for script in (b"", b"4"):
            with self.subTest(script=script):
                status, out, _ = self.run_script(script)
                self.assertEqual(status, 1)
                self.assertNotIn(KEY_GUIDE, out)


class NoDisplay(harness.TempDirTest):

    def test_without_a_display_it_says_so_once_and_plays_from_the_console(self):
        for driver in (None, "x11"):
            with self.subTest(driver=driver):
                env = harness.program_env(self)
                if driver:
                    env["SDL_VIDEODRIVER"] = driver
                p = self.spawn(["timeout", "-k", "5", "30", harness.KEYSYNTH], env=env, stdin=subprocess.PIPE,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                out, err = p.communicate(b"41w.", timeout=40)
                self.assertEqual(p.returncode, 0)
                err = err.decode()
                lines = [l for l in err.splitlines() if "keysynth" in l]
                self.assertEqual(len(lines), 1, err)
                self.assertRegex(lines[0], r"^keysynth: no (window|display)\b.*playing from the console only$")
                self.assertEqual(len(re.findall(r"Note \[61\]", out.decode())), 2)


if __name__ == "__main__":
    unittest.main()
