#!/usr/bin/env python3
"""Reads one mutant file and checks or applies it.

A mutant file names the source it changes, the exact original text and its replacement:

    # why the fault matters (comment lines before the path are ignored)
    path: src/ledger/statement_pieces.cpp
    <<<<
    original text, one or more lines
    ====
    replacement text, one or more lines (may be empty)
    >>>>

Usage: mutant_apply.py check|apply ROOT MUTANT_FILE
  check  prints the source path; exit 0 when the original occurs exactly once, 3 otherwise.
  apply  writes the replacement into the source in place (after the same check).
"""
import sys


def parse(path):
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    source = None
    i = 0
    while i < len(lines) and not lines[i].startswith("<<<<"):
        if lines[i].startswith("path:"):
            source = lines[i][len("path:"):].strip()
        i += 1
    if source is None or i == len(lines):
        raise SystemExit(f"{path}: needs a 'path:' line and a '<<<<' block")
    try:
        mid = lines.index("====", i + 1)
        end = lines.index(">>>>", mid + 1)
    except ValueError:
        raise SystemExit(f"{path}: the block needs '====' and '>>>>' lines")
    original = "\n".join(lines[i + 1:mid])
    replacement = "\n".join(lines[mid + 1:end])
    if not original:
        raise SystemExit(f"{path}: the original text is empty")
    if original == replacement:
        raise SystemExit(f"{path}: the replacement equals the original")
    return source, original, replacement


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("check", "apply"):
        raise SystemExit(__doc__)
    mode, root, mutant = sys.argv[1:]
    source, original, replacement = parse(mutant)
    print(source)
    try:
        with open(f"{root}/{source}", "rb") as f:
            text = f.read().decode("utf-8")
    except FileNotFoundError:
        sys.exit(3)
    if text.count(original) != 1:
        sys.exit(3)
    if mode == "apply":
        with open(f"{root}/{source}", "wb") as f:
            f.write(text.replace(original, replacement).encode("utf-8"))


if __name__ == "__main__":
    main()
