#!/usr/bin/env python3
"""Print a Corvane tray log (start0.log and its older siblings) as plain text.

The log is written either as plain text ("ascii") or scrambled ("binary"): every byte except
carriage return and line feed is xor-ed with 0x47, unless the result would itself be a
carriage return or line feed, in which case the byte is stored as it is.

    scripts/decode-log.py logs/start0.log            # the format is detected
    scripts/decode-log.py --format binary start1.log
    scripts/decode-log.py < start0.log

Line ends are printed as plain line feeds unless --keep-crlf is given.
"""

import argparse
import sys

SCRAMBLE = 0x47
LINE_ENDS = (0x0A, 0x0D)

# A byte that scrambles to a line end was stored unchanged, and so reads back as itself.
_UNSCRAMBLE = bytes(
    b if b in LINE_ENDS or (b ^ SCRAMBLE) in LINE_ENDS else b ^ SCRAMBLE for b in range(256)
)


def unscramble(data: bytes) -> bytes:
    return data.translate(_UNSCRAMBLE)


def _word_share(data: bytes) -> float:
    """Share of letters and blanks: high in text, low once scrambled (letters turn into
    control characters and punctuation)."""
    if not data:
        return 0.0
    words = sum(1 for b in data if b == 0x20 or 0x61 <= (b | 0x20) <= 0x7A)
    return words / len(data)


def detect_format(data: bytes) -> str:
    """'binary' or 'ascii'. Every log line starts with '[' (time stamp or "[script]"),
    which reads 0x1C when scrambled; otherwise the form that reads more like words wins."""
    body = data.lstrip(b"\r\n")
    if body[:1] == b"[":
        return "ascii"
    if body[:1] == b"\x1c":
        return "binary"
    sample = data[:65536]
    return "binary" if _word_share(unscramble(sample)) > _word_share(sample) else "ascii"


def decode(data: bytes, fmt: str = "auto", keep_crlf: bool = False) -> bytes:
    if fmt == "auto":
        fmt = detect_format(data)
    text = unscramble(data) if fmt == "binary" else data
    return text if keep_crlf else text.replace(b"\r\n", b"\n")


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description="Print a Corvane tray log as plain text.")
    parser.add_argument("files", nargs="*", help="log files (standard input when none)")
    parser.add_argument(
        "--format", choices=("auto", "binary", "ascii"), default="auto",
        help="the form the log was written in (default: detect)")
    parser.add_argument("--keep-crlf", action="store_true", help="keep CR LF line ends")
    args = parser.parse_args(argv)

    out = sys.stdout.buffer
    status = 0
    if not args.files:
        out.write(decode(sys.stdin.buffer.read(), args.format, args.keep_crlf))
    for name in args.files:
        try:
            with open(name, "rb") as f:
                data = f.read()
        except OSError as e:
            print(f"decode-log: cannot read {name}: {e.strerror}", file=sys.stderr)
            status = 1
            continue
        if len(args.files) > 1:
            out.write(f"==> {name} <==\n".encode())
        out.write(decode(data, args.format, args.keep_crlf))
    out.flush()
    return status


if __name__ == "__main__":
    sys.exit(main())
