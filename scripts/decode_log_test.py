#!/usr/bin/env python3
"""Checks of scripts/decode-log.py; ctest runs this file."""

import importlib.util
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "decode-log.py")
_spec = importlib.util.spec_from_file_location("decode_log", SCRIPT)
decode_log = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(decode_log)

# Written by the tray log in its scrambled form (the C++ tests check the same bytes).
PLAIN = b"[2006-2-7 09:05:03,007]  Main: JVM ok\n[script] done \n"
GOLDEN = (
    b"\x1c\x75\x77\x77\x71\x6a\x75\x6a\x70\x67\x77\x7e\x7d\x77\x72\x7d\x77\x74\x6b\x77\x77"
    b"\x70\x1a\x67\x67\x4d\x26\x2e\x29\x7d\x67\x4a\x11\x4d\x67\x28\x2c\x0d\x0a\x1c\x34\x24"
    b"\x35\x2e\x37\x33\x1a\x67\x23\x28\x29\x22\x67\x0d\x0a")


class DecodeTest(unittest.TestCase):
    def test_scrambled_log_reads_back(self):
        self.assertEqual(PLAIN, decode_log.decode(GOLDEN, "binary"))
        self.assertEqual("binary", decode_log.detect_format(GOLDEN))
        self.assertEqual(PLAIN, decode_log.decode(GOLDEN))
        self.assertEqual(PLAIN.replace(b"\n", b"\r\n"), decode_log.decode(GOLDEN, keep_crlf=True))

    def test_plain_log_is_left_alone(self):
        data = PLAIN.replace(b"\n", b"\r\n")
        self.assertEqual("ascii", decode_log.detect_format(data))
        self.assertEqual(PLAIN, decode_log.decode(data))

    def test_every_byte_survives(self):
        # The bytes kept because their scrambled value is a line end read back as themselves.
        for b in range(256):
            s = b if b in (10, 13) or (b ^ 0x47) in (10, 13) else b ^ 0x47
            self.assertEqual(bytes([b]), decode_log.unscramble(bytes([s])), b)

    def test_detection_without_a_leading_bracket(self):
        text = b"Java says hello to the log, twice over.\r\n" * 3
        scrambled = bytes(b ^ 0x47 if b not in (10, 13) and (b ^ 0x47) not in (10, 13) else b
                          for b in text)
        self.assertEqual("binary", decode_log.detect_format(scrambled))
        self.assertEqual("ascii", decode_log.detect_format(text))
        self.assertEqual("ascii", decode_log.detect_format(b""))

    def test_command_line(self):
        with tempfile.TemporaryDirectory() as tmp:
            log = os.path.join(tmp, "start0.log")
            with open(log, "wb") as f:
                f.write(GOLDEN)
            run = subprocess.run([sys.executable, SCRIPT, log], capture_output=True)
            self.assertEqual(0, run.returncode)
            self.assertEqual(PLAIN, run.stdout)
            run = subprocess.run([sys.executable, SCRIPT, "--format", "ascii"],
                                 input=PLAIN, capture_output=True)
            self.assertEqual(PLAIN, run.stdout)
            run = subprocess.run([sys.executable, SCRIPT, os.path.join(tmp, "missing.log")],
                                 capture_output=True)
            self.assertEqual(1, run.returncode)
            self.assertIn(b"cannot read", run.stderr)


if __name__ == "__main__":
    unittest.main()
