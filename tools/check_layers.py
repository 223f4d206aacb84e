#!/usr/bin/env python3
"""Checks that the core's includes run one way.

Every folder has a layer; a file may include headers of its own folder and
of lower layers only. Beyond that no two modules (a header and its .cpp, the
platform backends FileHandle_posix/_win32 with FileHandle) may include each
other, even indirectly, and no core header may pull in <windows.h>.

The Windows program (app/) is cut into panes that the shell alone puts
together: a pane includes no other pane and nothing of the session (the
shell asks the session and tells the panes), and every .cpp of app/ but the
program entry is the implementation of its own header, so that no class is
spread over files that reach into each other.

usage: check_layers.py [ROOT]      check the tree at ROOT (default: the repo)
       check_layers.py --self-test show that each rule catches its fault
Exit status 0 when every rule holds, 1 with one line per fault otherwise.
"""
import os
import re
import sys

from self_test import run_cases

# Lower numbers lie lower. Folders on one layer may not include each other.
LAYERS = {
    "pack": 0,
    "texture": 1, "sound": 1, "map": 1,
    "model": 2,
    "extract": 3, "viewer": 3, "textview": 3,
    "session": 4,
    "app": 5, "cli": 5,
}
CORE = {name for name, rank in LAYERS.items() if rank <= LAYERS["session"]}
# What the core's headers must never include: the platform's window API
# belongs to the front ends and the Win32 file backend's .cpp.
FORBIDDEN_IN_CORE_HEADERS = {"windows.h", "commctrl.h", "richedit.h", "d3d9.h", "shellapi.h", "commdlg.h"}
# Test programs beside a front end may include anything.
SKIPPED_DIRS = {os.path.join("app", "tests")}
# The Windows program's panes: each owns its window, its state and its
# messages, and only app/Shell puts them together.
PANES = {"app/PackBar", "app/TreePane", "app/ViewPane", "app/TextView", "app/StatusRow"}
# The app/ files that stand without a header of their own.
APP_ENTRY = {"app/main.cpp"}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')


def module_of(path):
    """folder/Name for folder/Name.h, folder/Name.cpp and folder/Name_win32.cpp."""
    stem = os.path.splitext(path)[0]
    return re.sub(r"_(posix|win32)$", "", stem)


def sources(root):
    for folder in LAYERS:
        base = os.path.join(root, folder)
        for dirpath, dirnames, filenames in os.walk(base):
            rel_dir = os.path.relpath(dirpath, root)
            dirnames[:] = [d for d in dirnames if os.path.join(rel_dir, d) not in SKIPPED_DIRS]
            for name in sorted(filenames):
                if name.endswith((".h", ".cpp")):
                    yield os.path.relpath(os.path.join(dirpath, name), root).replace(os.sep, "/")


def includes(root, path):
    with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if m:
                yield number, m.group(1), m.group(2)


def circles(graph):
    """The strongly connected parts of the graph with more than one node:
    every node of one lies on a circle through all of them (Tarjan)."""
    index, low, on_stack, stack, found = {}, {}, set(), [], []
    counter = [0]

    def visit(node):
        index[node] = low[node] = counter[0]
        counter[0] += 1
        stack.append(node)
        on_stack.add(node)
        for nxt in sorted(graph.get(node, ())):
            if nxt not in index:
                visit(nxt)
                low[node] = min(low[node], low[nxt])
            elif nxt in on_stack:
                low[node] = min(low[node], index[nxt])
        if low[node] == index[node]:
            part = []
            while True:
                top = stack.pop()
                on_stack.discard(top)
                part.append(top)
                if top == node:
                    break
            if len(part) > 1:
                found.append(sorted(part))

    sys.setrecursionlimit(10000)
    for node in sorted(graph):
        if node not in index:
            visit(node)
    return found


def check(root):
    faults = []
    modules, folders = {}, {}
    for path in sources(root):
        folder = path.split("/")[0]
        rank = LAYERS[folder]
        module = module_of(path)
        modules.setdefault(module, set())
        folders.setdefault(folder, set())
        for number, kind, target in includes(root, path):
            where = "%s:%d" % (path, number)
            if kind == "<":
                if folder in CORE and path.endswith(".h") and target.lower() in FORBIDDEN_IN_CORE_HEADERS:
                    faults.append("%s: core header includes <%s>" % (where, target))
                continue
            top = target.split("/")[0]
            if "/" not in target:
                continue  # a header beside the file (tests, tools)
            if top not in LAYERS:
                if folder in CORE:
                    faults.append("%s: core file includes %s, outside the core" % (where, target))
                continue
            if top != folder:
                if LAYERS[top] > rank:
                    faults.append("%s: includes %s, which lies above %s/" % (where, target, folder))
                elif LAYERS[top] == rank:
                    faults.append("%s: includes %s, a folder on the same layer as %s/" % (where, target, folder))
                folders[folder].add(top)
            included = module_of(target)
            if included != module:
                modules[module].add(included)
            if module in PANES and included in PANES and included != module:
                faults.append("%s: the pane %s includes the pane %s" % (where, module, included))
            if module in PANES and top == "session":
                faults.append("%s: the pane %s includes %s: only the shell asks the session" % (where, module, target))
        if folder == "app" and path.endswith(".cpp") and path not in APP_ENTRY:
            own = module + ".h"
            if not os.path.exists(os.path.join(root, own)):
                faults.append("%s: an app/ file without its own header %s" % (path, own))
    for name, graph in (("folders", folders), ("modules", modules)):
        for part in circles(graph):
            faults.append("include circle between %d %s: %s" % (len(part), name, ", ".join(part)))
    return faults


def self_test():
    """Each rule must catch its fault: a check that cannot fail proves nothing."""
    cases = [
        ("clean", {"pack/A.h": "", "pack/A.cpp": '#include "pack/A.h"\n',
                   "texture/T.h": '#include "pack/A.h"\n'}, None),
        ("upward include", {"pack/A.h": '#include "texture/T.h"\n', "texture/T.h": ""}, "lies above"),
        ("sideways include", {"viewer/V.h": '#include "textview/T.h"\n', "textview/T.h": ""}, "same layer"),
        ("module circle", {"pack/A.h": "", "pack/A.cpp": '#include "pack/B.h"\n',
                           "pack/B.h": "", "pack/B.cpp": '#include "pack/A.h"\n'}, "modules: pack/A, pack/B"),
        ("windows.h in a core header", {"model/M.h": "#include <windows.h>\n"}, "<windows.h>"),
        ("windows.h in a backend .cpp", {"pack/F_win32.cpp": "#include <windows.h>\n"}, None),
        ("core includes tools", {"pack/A.cpp": '#include "tools/W.h"\n'}, "outside the core"),
        ("panes put together by the shell", {"app/TreePane.h": '#include "pack/A.h"\n', "app/TreePane.cpp": "",
                                             "app/Shell.h": '#include "app/TreePane.h"\n#include "session/S.h"\n',
                                             "app/Shell.cpp": "", "app/main.cpp": "", "pack/A.h": "",
                                             "session/S.h": ""}, None),
        ("pane includes a pane", {"app/ViewPane.h": "", "app/TreePane.h": '#include "app/ViewPane.h"\n'},
         "the pane app/TreePane includes the pane app/ViewPane"),
        ("pane asks the session", {"app/TextView.cpp": '#include "session/S.h"\n', "app/TextView.h": "",
                                   "session/S.h": ""}, "only the shell asks the session"),
        ("a class spread over files", {"app/Shell.h": "", "app/Browser.cpp": '#include "app/Shell.h"\n'},
         "app/Browser.cpp: an app/ file without its own header"),
        ("app circle", {"app/A.h": '#include "app/B.h"\n', "app/B.h": '#include "app/A.h"\n'},
         "modules: app/A, app/B"),
    ]
    return run_cases(cases, check)


def main(argv):
    if len(argv) > 1 and argv[1] == "--self-test":
        return self_test()
    root = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    faults = check(root)
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
