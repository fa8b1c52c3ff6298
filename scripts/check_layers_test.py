#!/usr/bin/env python3
"""Checks of scripts/check-layers.py on small trees; ctest runs this file."""

import importlib.util
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "check-layers.py")
_spec = importlib.util.spec_from_file_location("check_layers", SCRIPT)
check_layers = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(check_layers)

# (file, include, refused)
CASES = [
    ("tray/settings/prefs.cpp", "tray/app/config_mgr.h", True),
    ("tray/settings/prefs.cpp", "../app/config_mgr.h", True),
    ("tray/core/log_file.h", "tray/settings/preferences.h", True),
    ("tray/app/config_mgr.cpp", "tray/frame/main_frame.h", True),
    ("tray/app/config_mgr.cpp", "tray/ui/account_dialog.h", True),
    ("tray/java/launcher.cpp", "tray/net/local_host.h", True),
    ("tray/net/probe.cpp", "tray/clients/msn.h", True),
    ("tray/net/probe.cpp", "bridge/jni_listener.h", True),
    ("tray/java/testing/harness.h", "tray/app/config_mgr.h", True),
    ("tray/newfolder/x.cpp", "tray/core/log_file.h", True),
    ("tray/app/x.cpp", "tray/newfolder/x.h", True),
    ("platform/src/registry.cpp", "tray/core/log_file.h", True),
    ("bridge/gui_wrapper.cpp", "tray/java/gui_listener.h", True),
    ("installer/job/job.cpp", "tray/settings/preferences.h", True),
    ("tray/app/config_mgr.cpp", "resources/resource.h", True),
    ("tray/settings/prefs.cpp", "tray/core/log_file.h", False),
    ("tray/app/config_mgr.cpp", "tray/java/java_launcher.h", False),
    ("tray/app/config_mgr.cpp", "tray/settings/preferences.h", False),
    ("tray/frame/main_frame.h", "tray/app/corvan_app.h", False),
    ("tray/frame/main_frame.cpp", "tray/ui/notifier.h", False),
    ("tray/ui/notifier.cpp", "tray/frame/taskbar_notifier.h", False),
    ("tray/java/gui_listener.h", "bridge/jni_listener.h", False),
    ("tray/frame/winmain.cpp", "bridge/jni_listener.h", False),
    ("tray/core/log_file.cpp", "platform/files.h", False),
    ("tray/core/log_file.cpp", "log_capture.h", False),
    ("tray/frame/main_frame.cpp", "resources/resource.h", False),
    ("installer/wizard/wizard.cpp", "installer/job/job.h", False),
    ("tray/app/config_mgr.cpp", "gtest/gtest.h", False),
]


def run(root):
    return subprocess.run([sys.executable, SCRIPT, root], capture_output=True, text=True)


def write(root, path, text):
    full = os.path.join(root, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "w") as f:
        f.write(text)


class LayerCheckTest(unittest.TestCase):
    def test_each_include_alone(self):
        for path, include, refused in CASES:
            with self.subTest(path=path, include=include), tempfile.TemporaryDirectory() as root:
                write(root, path, '// a file\n#include <string>\n#include "%s"\n' % include)
                problems = check_layers.check(root)
                self.assertEqual(1 if refused else 0, len(problems), problems)
                if refused:
                    self.assertTrue(problems[0].startswith("%s:3: includes %s (" %
                                                           (path, include)), problems)

    def test_the_command_reports_every_offence_and_ignores_comments(self):
        with tempfile.TemporaryDirectory() as root:
            write(root, "tray/core/a.h", '#include "tray/app/x.h"\n// #include "tray/ui/y.h"\n')
            write(root, "tray/settings/b.cpp", '#  include <tray/frame/z.h>\n')
            write(root, "tray/settings/notes.txt", '#include "tray/app/x.h"\n')
            result = run(root)
            self.assertEqual(1, result.returncode)
            self.assertEqual(3, len(result.stdout.splitlines()), result.stdout)
            self.assertIn("tray/core/a.h:1: includes tray/app/x.h", result.stdout)
            self.assertIn("tray/settings/b.cpp:1: includes tray/frame/z.h", result.stdout)
            self.assertIn("2 include(s) against the layer order", result.stdout)


if __name__ == "__main__":
    unittest.main()
