#!/usr/bin/env python3
"""Every message and caption the module shows must appear, byte for byte, in
the handler references, so a changed message cannot leave them behind.

The texts come from res/messages.cpp (CP932 in C string literals). A message
is split at its "\\n"s and each non-empty line is looked for on its own: the
boxes end every message with "\\n" and the overwrite question holds a blank
line, which a document shows as line breaks or leaves out. Dialog filters are
not messages and are not checked.

Usage: messages_documented_test.py [FILE...]; without files, README.md and
docs/README.ja.md. A file that starts with a UTF-8 byte-order mark (the
references in the release archive) is read after it; every reference is UTF-8.
"""
import pathlib
import re
import sys

root = pathlib.Path(__file__).resolve().parents[2]
LITERAL = r'"(?:[^"\\]|\\.)*"'


def c_string(literals):
    """The bytes of adjacent C string literals; \\x takes every hex digit, as in C."""
    out = bytearray()
    for lit in re.findall(LITERAL, literals):
        body, i = lit[1:-1], 0
        while i < len(body):
            if body[i] != "\\":
                out += body[i].encode("ascii")
                i += 1
            elif body[i + 1] == "x":
                j = i + 2
                while j < len(body) and body[j] in "0123456789abcdefABCDEF":
                    j += 1
                out.append(int(body[i + 2:j], 16) & 0xFF)
                i = j
            else:
                out += {"n": b"\n", "\\": b"\\", '"': b'"', "0": b"\0"}[body[i + 1]]
                i += 2
    return bytes(out)


def messages():
    source = (root / "res/messages.cpp").read_text(encoding="utf-8")
    found = dict(re.findall(r"const char (k\w+)\[\]\s*=\s*((?:%s\s*)+);" % LITERAL, source))
    declared = re.findall(r"extern const char (k\w+)\[\];", (root / "res/messages.h").read_text())
    if sorted(found) != sorted(declared):
        sys.exit("could not read every text of res/messages.cpp: %s" % sorted(set(declared) ^ set(found)))
    return {name: c_string(body) for name, body in found.items() if not name.endswith("Filter")}


def main():
    files = [pathlib.Path(f) for f in sys.argv[1:]] or [root / "README.md", root / "docs/README.ja.md"]
    texts = messages()
    passed = failed = 0
    for path in files:
        document = path.read_bytes()
        if document.startswith(b"\xef\xbb\xbf"):
            document = document[3:]
        for name, cp932 in sorted(texts.items()):
            for line in filter(None, cp932.split(b"\n")):
                if line.decode("cp932").encode("utf-8") in document:
                    passed += 1
                else:
                    failed += 1
                    print("%s: %s is missing: %s" % (path, name, line.decode("cp932")))
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
