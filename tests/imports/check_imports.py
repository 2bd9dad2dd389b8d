#!/usr/bin/env python3
"""Checks that programs still load on Windows 7 SP1, from their import tables.

check_imports.py OBJDUMP LISTS_DIR PROGRAM...

A program that imports a function its Windows lacks does not start at all ("无法定位程序输入点"),
so every function newer than Windows 7 is bound late, with a fallback. Fails when a program
- imports a function or DLL of newer-than-windows7.txt (known newer, or absent on some Windows 7
  editions, such as Media Foundation on the N editions), or
- imports a function that windows7-imports.txt does not list: the baseline of what the programs
  import, each checked present on Windows 7 SP1; a new import is checked and added there, or
  bound late;
- names a newer function (bound late) that late-bindings.txt does not list with its fallback,
  or late-bindings.txt lists one that none of the programs names any more.
"""
import os
import re
import subprocess
import sys


def read_list(path, fields):
    """The list's lines (comments and blank lines left out) as tuples of `fields` parts."""
    rows = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            parts = line.split("\t") if "\t" in line else line.split()
            parts = [p.strip() for p in parts if p.strip()]
            if len(parts) < fields:
                sys.exit("%s:%d: wants %d fields: %r" % (path, number, fields, line))
            rows.append(tuple(parts[:fields]))
    return rows


def imports_of(objdump, program):
    """(dll in lower case, function) of every function imported by name."""
    text = subprocess.run([objdump, "-p", program], check=True, capture_output=True,
                          text=True).stdout
    if "The Import Tables" not in text:
        sys.exit("%s: no import table found" % program)
    found, dll = [], None
    for line in text.splitlines():
        m = re.match(r"\s*DLL Name: (\S+)", line)
        if m:
            dll = m.group(1).lower()
            continue
        m = re.match(r"\t[0-9a-fA-F]+\t +(\d+)  (\S+)", line)
        if dll and m:
            found.append((dll, m.group(2)))
        elif line and not line[0].isspace():
            dll = None  # the next table
    return found


def main():
    objdump, lists, programs = sys.argv[1], sys.argv[2], sys.argv[3:]
    baseline = {(d.lower(), f) for d, f in read_list(os.path.join(lists, "windows7-imports.txt"), 2)}
    newer = {(d.lower(), f) for d, f in read_list(os.path.join(lists, "newer-than-windows7.txt"), 2)}
    late = {(d.lower(), f): where
            for d, f, where in read_list(os.path.join(lists, "late-bindings.txt"), 3)}
    faults = []
    named = set()
    for program in programs:
        imports = imports_of(objdump, program)
        if not imports:
            faults.append("%s: no imports read" % program)
        for dll, function in imports:
            if (dll, function) in newer or (dll, "*") in newer:
                faults.append("%s imports %s!%s, which Windows 7 SP1 lacks: bind it late with a "
                              "fallback (late-bindings.txt)" % (program, dll, function))
            elif (dll, function) not in baseline:
                faults.append("%s imports %s!%s, not in windows7-imports.txt: check that Windows "
                              "7 SP1 has it and add it there, or bind it late" %
                              (program, dll, function))
        data = open(program, "rb").read()
        names = set(re.findall(rb"[A-Za-z_][A-Za-z0-9_]{3,}(?=\0)", data))
        for dll, function in newer:
            if function != "*" and function.encode() in names:
                named.add((dll, function))
                if (dll, function) not in late:
                    faults.append("%s names %s!%s (newer than Windows 7) without a fallback "
                                  "listed in late-bindings.txt" % (program, dll, function))
        for dll, function in late:
            if function.encode() in names:
                named.add((dll, function))
    for dll, function in sorted(set(late) - named):
        faults.append("late-bindings.txt lists %s!%s, which no program names any more" %
                      (dll, function))
    for fault in faults:
        print("FAIL " + fault)
    print("%d program(s) read; %d fault(s)" % (len(programs), len(faults)))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
