#!/usr/bin/env python3
"""The layer check flags what runs back up, and only that."""

import importlib.machinery
import os
import tempfile
import types
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "..", "..", "..", "scripts", "check-layers.py")
loader = importlib.machinery.SourceFileLoader("check_layers", SCRIPT)
check_layers = types.ModuleType(loader.name)
loader.exec_module(check_layers)


class Tree:
    def __init__(self, files):
        self.dir = tempfile.TemporaryDirectory()
        for path, text in files.items():
            full = os.path.join(self.dir.name, path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "w", encoding="utf-8") as f:
                f.write(text)

    def problems(self):
        return check_layers.check(self.dir.name)


class CheckLayers(unittest.TestCase):
    def test_downward_own_and_api_includes_pass(self):
        tree = Tree({
            "crash/report/stack/walk.cpp": '#include "crash/report/stack/walk.h"\n'
                                           '#include "crash/report/disasm/decoder.h"\n'
                                           '#include "crash/base/utf.h"\n#include <vector>\n',
            "crash/handling/startup/startup.cpp": '#include "crash/handling/dispatch/runtime.h"\n'
                                                  '#include "ostrel/ostrel.h"\n',
            "crash/include/ostrel/ostrel.h": '#include "ostrel/version.h"\n',
            "app/main.cpp": '#include "ostrel/ostrel.h"\n#include "goldmine/link.h"\n',
        })
        self.assertEqual(tree.problems(), [])

    def test_upward_sideways_and_outside_includes_are_named(self):
        tree = Tree({
            "crash/report/stack/walk.cpp": '#include "crash/handling/dispatch/runtime.h"\n',
            "crash/ui/progress/box.cpp": '\n#include <crash/ui/clipboard/win/clipboard.h>\n',
            "crash/base/utf.cpp": '#include "utf.h"\n',
            "crash/include/ostrel/ostrel.h": '#include "crash/base/utf.h"\n',
            "crash/settings/core.cpp": '#include "app/pelmora.h"\n',
            "app/main.cpp": '#include "crash/handling/dispatch/runtime.h"\n',
            "crash/newfolder/x.cpp": '#include "crash/base/utf.h"\n',
        })
        problems = "\n".join(tree.problems())
        for expected in [
            "crash/report/stack/walk.cpp:1: \"crash/handling/dispatch/runtime.h\": "
            "crash/handling/dispatch is above crash/report/stack",
            "crash/ui/progress/box.cpp:2: \"crash/ui/clipboard/win/clipboard.h\": "
            "crash/ui/clipboard is beside crash/ui/progress",
            "crash/base/utf.cpp:1: \"utf.h\": includes are written from the root",
            "crash/include/ostrel/ostrel.h:1: \"crash/base/utf.h\": the public API includes nothing",
            "crash/settings/core.cpp:1: \"app/pelmora.h\": the reporter includes nothing outside",
            "app/main.cpp:1: \"crash/handling/dispatch/runtime.h\": only the public API",
            "crash/newfolder/x.cpp:1: this folder has no layer",
        ]:
            self.assertIn(expected, problems)
        self.assertEqual(len(tree.problems()), 7)


if __name__ == "__main__":
    unittest.main()
