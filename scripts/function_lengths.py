#!/usr/bin/env python3
"""The longest top-level functions in src/ and tools/, in lines from signature to closing
brace (the house rule is at most 60).   scripts/function_lengths.py [HOW_MANY]"""
import subprocess
import sys

found = []
for path in subprocess.check_output(["git", "ls-files", "src", "tools"], text=True).split():
    if not path.endswith((".cpp", ".h")):
        continue
    lines = open(path, encoding="utf-8").read().split("\n")
    i = 0
    while i < len(lines):
        if lines[i].rstrip().endswith("{") and "(" in "".join(lines[max(0, i - 4):i + 1]):
            # Back over the signature's continuation lines to where it starts.
            start = i
            while (start > 0 and lines[start][:1].isspace() and lines[start - 1].strip()
                   and not lines[start - 1].rstrip().endswith((";", "{", "}", "*/"))
                   and not lines[start - 1].lstrip().startswith("//")):
                start -= 1
            head = lines[start]
            if not head[:1].isspace() and not head.startswith(
                    ("namespace", "class", "struct", "enum", "}", "#", "//", "extern")):
                end = i + 1
                while end < len(lines) and lines[end] != "}":
                    end += 1
                found.append((end - start + 1, path, start + 1, head.strip()[:60]))
                i = end + 1
                continue
        i += 1
found.sort(reverse=True)
for length, path, line, head in found[:int(sys.argv[1]) if len(sys.argv) > 1 else 10]:
    print(f"{length:4} {path}:{line}  {head}")
