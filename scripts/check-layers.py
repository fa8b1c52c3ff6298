#!/usr/bin/env python3
"""Refuses an #include against the direction of the layers.

    check-layers.py [source-root]

Each folder may include its own files and the folders below it; nothing includes upwards or
sideways. Exit code 0 when every include keeps the order, 1 with one line per offending
include otherwise (file:line: what includes what, and what the folder may use).
"""

import os
import re
import sys

# The tray client from the ground up. A folder uses only the layers below its own. The windows
# (the frame and the dialogs, popups and view it hosts) form one layer whose folders may use
# each other.
TRAY_LAYERS = [
    ["tray/core"],
    ["tray/settings"],
    ["tray/java", "tray/net", "tray/clients"],
    ["tray/app"],
    ["tray/frame", "tray/ui"],
]
PEER_LAYERS = [{"tray/frame", "tray/ui"}]

# Folders outside the tray client: who may use them. The platform layer is below everything;
# the bridge is a deliverable of its own, used by the Java host and what stands on it.
SHARED = {
    "platform": "all",
    "bridge": ["tray/java", "tray/app", "tray/frame", "tray/ui"],
    "resources": ["tray/frame", "tray/ui", "installer"],
}
# What the folders outside the tray client may use, besides the platform layer.
OWN_ONLY = ["platform", "bridge", "installer", "resources"]

SCANNED = ["platform", "bridge", "tray", "installer"]
SOURCE = re.compile(r"\.(c|cc|cpp|h|hpp)$")
INCLUDE = re.compile(r'^\s*#\s*include\s*["<]([^">]+)[">]')


def folder_of(path):
    """The layer folder of a repository path ("tray/app/x.h" -> "tray/app"), or None."""
    parts = path.split("/")
    if parts[0] == "tray":
        return "/".join(parts[:2]) if len(parts) > 2 else None
    if parts[0] in SHARED or parts[0] in OWN_ONLY:
        return parts[0] if len(parts) > 1 else None
    return None


def rank_of(folder):
    for rank, layer in enumerate(TRAY_LAYERS):
        if folder in layer:
            return rank
    return None


def allowed(source, target):
    """None when `source` may include `target`, else the reason it may not."""
    if source == target or target == "platform":
        return None
    if target in SHARED:
        users = SHARED[target]
        if users == "all" or source in users:
            return None
        return "%s is used only by %s" % (target, ", ".join(users))
    if source in OWN_ONLY:
        return "%s uses only itself and platform" % source
    s, t = rank_of(source), rank_of(target)
    if s is None:
        return "%s is not in the layer table" % source
    if t is None:
        return "%s is not in the layer table" % target
    if t < s or any(source in peers and target in peers for peers in PEER_LAYERS):
        return None
    below = [f for layer in TRAY_LAYERS[:s] for f in layer]
    return "%s may use only %s and platform" % (source, ", ".join(below) or "nothing of tray")


def resolve(file_rel, name):
    """The repository path an include names, or None when it is not one of ours."""
    if name.startswith("."):
        joined = os.path.normpath(os.path.join(os.path.dirname(file_rel), name))
        return joined.replace(os.sep, "/")
    if "/" not in name:
        return None  # a header beside the file, or a system header
    return name if folder_of(name) else None


def check(root):
    """Offending includes as "file:line: message" lines."""
    problems = []
    for top in SCANNED:
        for dirpath, dirnames, filenames in os.walk(os.path.join(root, top)):
            dirnames.sort()
            for filename in sorted(filenames):
                if not SOURCE.search(filename):
                    continue
                full = os.path.join(dirpath, filename)
                rel = os.path.relpath(full, root).replace(os.sep, "/")
                source = folder_of(rel)
                if source is None:
                    continue
                with open(full, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m:
                            continue
                        target_path = resolve(rel, m.group(1))
                        target = folder_of(target_path) if target_path else None
                        if target is None:
                            continue
                        reason = allowed(source, target)
                        if reason:
                            problems.append("%s:%d: includes %s (%s)" %
                                            (rel, number, m.group(1), reason))
    return problems


def main(argv):
    root = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    problems = check(os.path.abspath(root))
    for p in problems:
        print(p)
    if problems:
        print("%d include(s) against the layer order" % len(problems))
        return 1
    print("layer order kept")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
