#!/usr/bin/env python3
"""Fails when a function of the program is longer than 80 lines.

A function's length runs from the first line of its signature to its closing
brace. Lambdas and local classes count towards the function around them.

usage: check_function_length.py [ROOT]       check the tree (default: the repo)
       check_function_length.py --list ROOT  print every function's length
       check_function_length.py --self-test  show that the check can fail
"""
import os
import re
import sys

from self_test import run_cases

LIMIT = 80
FOLDERS = ["pack", "texture", "model", "extract", "viewer", "textview", "session", "app", "cli", "tools"]

# Functions longer than the limit that are being split in a change of their
# own, as (file, function); whoever splits one removes its entry (the check
# fails on an entry that is no longer long). Empty: every function fits.
ALLOWED = set()

CONTROL = re.compile(r"^(if|for|while|switch|catch|do|else|return|try)\b")
NOT_FUNCTION = re.compile(r"^(namespace|struct|class|union|enum|extern)\b|=\s*$|=\s*\{$")


def strip(text):
    """The text with comments, strings and character literals blanked, line
    breaks kept, so that braces inside them do not count."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out.append(" " * (j - i))
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append("".join(ch if ch == "\n" else " " for ch in text[i:j]))
            i = j
        elif c == 'R' and text.startswith('R"', i):
            m = re.match(r'R"([^(]*)\(', text[i:])
            end = text.find(")" + (m.group(1) if m else "") + '"', i)
            j = n if end < 0 else end + len(m.group(1) if m else "") + 2
            out.append("".join(ch if ch == "\n" else " " for ch in text[i:j]))
            i = j
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            j = min(j + 1, n)
            out.append(" " * (j - i))
            i = j
        elif c == "#" and (i == 0 or text[i - 1] == "\n"):
            j = text.find("\n", i)
            while j > 0 and text[j - 1] == "\\":
                j = text.find("\n", j + 1)
            j = n if j < 0 else j
            out.append("".join(ch if ch == "\n" else " " for ch in text[i:j]))
            i = j
        else:
            out.append(c)
            i += 1
    return "".join(out)


def functions(text):
    """(name, first line, last line) of every function body in the text."""
    code = strip(text)
    found = []
    # Each open block: (kind, start line, name); kind is "function" or "scope".
    stack = []
    head_start = 0  # where the text before the next brace begins
    line = 1
    line_at = [1] * (len(code) + 1)
    for i, ch in enumerate(code):
        line_at[i] = line
        if ch == "\n":
            line += 1
    for i, ch in enumerate(code):
        if ch in ";":
            head_start = i + 1
        elif ch == "{":
            head = code[head_start:i].strip()
            inside_function = any(kind == "function" for kind, _, _ in stack)
            is_function = (not inside_function and "(" in head and not CONTROL.match(head)
                           and not NOT_FUNCTION.match(head) and not head.endswith(("=", ",", "(", "return")))
            if is_function:
                # The name: the identifier before the parameter list's "(".
                m = re.search(r"([A-Za-z_][\w:~]*(?:operator\s*\S+)?)\s*\([^()]*(?:\([^()]*\)[^()]*)*\)[^()]*$", head)
                name = m.group(1) if m else head.split("(")[0].split()[-1]
                start = line_at[head_start + (len(code[head_start:i]) - len(code[head_start:i].lstrip()))]
                stack.append(("function", start, name))
            else:
                stack.append(("scope", line_at[i], ""))
            head_start = i + 1
        elif ch == "}":
            if stack:
                kind, start, name = stack.pop()
                if kind == "function":
                    found.append((name, start, line_at[i]))
            head_start = i + 1
    return found


def sources(root):
    for folder in FOLDERS:
        for dirpath, _, filenames in os.walk(os.path.join(root, folder)):
            for name in sorted(filenames):
                if name.endswith((".cpp", ".h")):
                    yield os.path.relpath(os.path.join(dirpath, name), root).replace(os.sep, "/")


def check(root, limit=LIMIT, allowed=ALLOWED):
    faults, seen_allowed = [], set()
    for path in sources(root):
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            text = f.read()
        for name, first, last in functions(text):
            length = last - first + 1
            if length <= limit:
                continue
            if (path, name) in allowed:
                seen_allowed.add((path, name))
                continue
            faults.append("%s:%d: %s is %d lines (at most %d)" % (path, first, name, length, limit))
    for path, name in sorted(allowed - seen_allowed):
        if os.path.exists(os.path.join(root, path)):
            faults.append("%s: %s is allowed to be long but is not: remove it from the list" % (path, name))
    return faults


def self_test():
    short = "int f(int a) {\n" + "    a++;\n" * 10 + "    return a;\n}\n"
    long_body = "namespace {\nstruct S {\n    void g() {\n" + "        if (x) { y(); }\n" * 90 + "    }\n};\n}\n"
    cases = [
        ("short function", short, None),
        ("long member function inside a class inside a namespace", long_body, "g is 92 lines"),
        ("braces in strings and comments do not count", 'void h() {\n    const char* s = "{{{";\n    // }\n}\n', None),
        ("a lambda counts towards its function",
         "void k() {\n    auto f = [] {\n" + "        z();\n" * 85 + "    };\n}\n", "k is 89 lines"),
    ]
    return run_cases([(what, {"pack/x.cpp": text}, expected) for what, text, expected in cases],
                     lambda root: check(root, allowed=set()))


def main(argv):
    if len(argv) > 1 and argv[1] == "--self-test":
        return self_test()
    if len(argv) > 2 and argv[1] == "--list":
        for path in sources(argv[2]):
            with open(os.path.join(argv[2], path), encoding="utf-8", errors="replace") as f:
                for name, first, last in functions(f.read()):
                    print("%d\t%s:%d\t%s" % (last - first + 1, path, first, name))
        return 0
    root = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    faults = check(root)
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
