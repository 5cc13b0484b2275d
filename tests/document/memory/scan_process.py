#!/usr/bin/env python3
"""Searches a running process's memory from outside for texts, as a snoop
would: every writable or anonymous mapping, read through /proc/PID/mem, in
UTF-8 (as typed and lower-cased), UTF-16 in both byte orders and Latin-1.

Usage: scan_process.py PID TEXT...   (exit status 1 when something is found)
"""
import sys


def forms(text):
    out = {"UTF-8": text.encode("utf-8"), "UTF-8 lower case": text.lower().encode("utf-8"),
           "UTF-16LE": text.encode("utf-16-le"), "UTF-16BE": text.encode("utf-16-be"),
           "UTF-16LE lower case": text.lower().encode("utf-16-le")}
    try:
        out["Latin-1"] = text.encode("latin-1")
    except UnicodeEncodeError:
        pass
    return out


def regions(pid):
    with open(f"/proc/{pid}/maps") as maps:
        for line in maps:
            fields = line.split()
            begin, end = (int(x, 16) for x in fields[0].split("-"))
            perms = fields[1]
            name = fields[5] if len(fields) > 5 else "anonymous"
            if perms[0] != "r" or name in ("[vvar]", "[vsyscall]"):
                continue
            if perms[1] != "w" and len(fields) > 5 and not name.startswith("["):
                continue
            yield begin, end, name


def main():
    pid, texts = int(sys.argv[1]), sys.argv[2:]
    needles = [(text, form, data) for text in texts for form, data in forms(text).items()]
    found = 0
    with open(f"/proc/{pid}/mem", "rb", buffering=0) as mem:
        for begin, end, name in regions(pid):
            try:
                mem.seek(begin)
                data = mem.read(end - begin)
            except OSError:
                continue
            for text, form, needle in needles:
                at = data.find(needle)
                while at >= 0:
                    # UTF-16 of Latin-1 letters matches in both byte orders one byte apart.
                    if not (form == "UTF-16BE" and data[at + 1:at + 1 + len(needle)] == text.encode("utf-16-le")):
                        found += 1
                        around = data[max(at - 16, 0):at + len(needle) + 16]
                        print(f"{text!r} ({form}) in {name} at {begin + at:#x}: {around.hex(' ')}")
                    at = data.find(needle, at + 1)
    print(f"{found} found")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
