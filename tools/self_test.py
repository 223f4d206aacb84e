# The self-test of the source checks (check_layers.py, check_function_length.py):
# each rule must catch its fault, for a check that cannot fail proves nothing.

import os
import tempfile


def run_cases(cases, check):
    """cases: (name, {path: text}, words a fault must hold, or None for no
    fault). check(root) gives the faults of the tree at root. Prints each
    case that went otherwise; gives 1 when any did, else 0."""
    failed = 0
    for name, files, expected in cases:
        with tempfile.TemporaryDirectory() as root:
            for path, text in files.items():
                os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
                with open(os.path.join(root, path), "w") as f:
                    f.write(text)
            faults = check(root)
        ok = (not faults) if expected is None else any(expected in fault for fault in faults)
        if not ok:
            failed += 1
            print("self-test %s: expected %s, got %s" % (name, expected or "no fault", faults or "none"))
    return 1 if failed else 0
