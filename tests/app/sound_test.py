# Real sound: keysynth plays through ALSA into a private PulseAudio null
# sink, with an ALSA file device in between that keeps every byte played.
# The bytes show silence before the note, then 'w' (523.25 Hz) rising on the
# attack ramp; the time of the key gives the key-to-sound delay.
import math
import os
import re
import subprocess
import time
import unittest

import numpy as np

import harness

BLOCK_FRAMES = 8192
RATE = 44100
W_PITCH = float(np.float32(8.1757989 * 2 ** ((61 + 11) / 12.0)))  # 523.251160


class Sound(harness.TempDirTest):

    def test_w_sounds_at_its_pitch_on_the_attack_ramp_after_the_key(self):
        env = harness.program_env(self, SDL_VIDEODRIVER="dummy")
        self.start_pulse(env)
        capture = os.path.join(self.tmp, "played.raw")
        env["ALSA_CONFIG_PATH"] = self.alsa_capture_config("pulse", capture)

        out_path = os.path.join(self.tmp, "stdout.txt")
        out = open(out_path, "wb")
        self.addCleanup(out.close)
        p = self.spawn(["timeout", "-k", "5", "60", harness.KEYSYNTH], env=env, stdin=subprocess.PIPE, stdout=out,
                       stderr=subprocess.STDOUT)
        self.addCleanup(p.stdin.close)

        def text():
            with open(out_path, "rb") as f:
                return f.read().decode("latin-1")

        def wait_for(cond, timeout=20):
            deadline = time.monotonic() + timeout
            while not cond():
                self.assertIsNone(p.poll(), text()[-2000:])
                self.assertLess(time.monotonic(), deadline, text()[-2000:])
                time.sleep(0.002)

        def size():
            return os.path.getsize(capture) if os.path.exists(capture) else 0

        def type_keys(keys):
            p.stdin.write(keys.encode())
            p.stdin.flush()

        type_keys("1")  # ALSA on this platform
        menu = r"^(\d+) - capture\n.*ESC to quit\n"
        wait_for(lambda: re.search(menu, text(), re.M | re.S))
        self.assertIn("Alsa Driver list\n", text())
        type_keys(re.search(menu, text(), re.M | re.S).group(1))
        wait_for(lambda: size() > 0)
        started = time.monotonic()  # the device starts taking frames
        wait_for(lambda: harness.KEY_GUIDE in text())

        time.sleep(0.6)  # some silence first
        written_at_key = size() // 4
        key_time = time.monotonic()
        type_keys("w")
        time.sleep(1.5)
        type_keys(".")
        self.assertEqual(p.wait(timeout=20), 0, text()[-2000:])

        frames = np.fromfile(capture, dtype="<i2").reshape(-1, 2)
        self.assertTrue((frames[:, 0] == frames[:, 1]).all(), "channels differ")
        v = frames[:, 0].astype(np.int64)
        sounding = np.flatnonzero(v)
        self.assertGreater(len(sounding), 0, "nothing sounded")
        first = sounding[0]
        # Silence up to the key: nothing handed to the device before it sounds.
        self.assertGreaterEqual(first, written_at_key)

        # The pulse wave: +a for a third of a period, 0, -a, 0. Its rising
        # edges, fitted over the whole note, give the period.
        note = v[first:]
        rises = np.flatnonzero((note[1:] > 0) & (note[:-1] <= 0)) + 1
        self.assertGreater(len(rises), 100)
        period = np.polyfit(np.arange(len(rises)), rises, 1)[0]
        pitch = RATE / period
        self.assertLess(abs(period / (RATE / W_PITCH) - 1), 0.005, "pitch %.3f Hz" % pitch)
        # Each lobe a third of a period, the levels symmetric.
        positive = np.count_nonzero(note > 0) / len(note)
        negative = np.count_nonzero(note < 0) / len(note)
        self.assertAlmostEqual(positive, 1 / 3, delta=0.01)
        self.assertAlmostEqual(negative, 1 / 3, delta=0.01)

        # The attack: after n frames the level is n / 200000, and a sample
        # is 10000 x level x (1 + level). Infer the trigger frame from the
        # sounding samples, then check every one of them against the ramp.
        idx = first + np.flatnonzero(note)
        mag = np.abs(v[idx]).astype(np.float64)
        level = (-1 + np.sqrt(1 + 4 * mag / 10000.0)) / 2
        trigger = np.median(idx - level * 200000)
        n = idx - trigger
        expected = np.floor(10000.0 * (n / 200000) * (1 + n / 200000))
        worst = np.max(np.abs(mag - expected))
        self.assertLessEqual(worst, 3, "samples off the attack ramp by up to %d" % worst)
        # At least a block of the rise was heard (a loaded machine may play
        # less than the 1.5 s waited).
        self.assertGreater(n[-1], BLOCK_FRAMES)

        played_at_key = (key_time - started) * RATE
        delay = (first - played_at_key) / BLOCK_FRAMES
        print("\nkey-to-sound: %.2f blocks (%.0f ms); pitch %.3f Hz; %d frames captured"
              % (delay, delay * BLOCK_FRAMES / RATE * 1000, pitch, len(v)))
        self.assertLess(delay, 3, "more than three blocks from key to sound")


if __name__ == "__main__":
    unittest.main()
