#!/usr/bin/env python3
"""ostrel-pages from the command line: its files, messages and exit codes.

Usage: pages_tool_commands_test.py <ostrel-pages> <built-in pages folder>
"""

import os
import subprocess
import sys
import tempfile
import unittest

TOOL = None
PAGES = None


class PagesTool(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def run_tool(self, *args):
        return subprocess.run([TOOL, *args], cwd=self.dir.name, capture_output=True)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def test_usage_errors_exit_with_2(self):
        for args in [(), ("compile", "a"), ("dump",), ("frobnicate", "a", "b"), ("rc", "x.rc", "Page")]:
            r = self.run_tool(*args)
            self.assertEqual(r.returncode, 2, args)
            self.assertTrue(r.stderr, args)

    def test_source_errors_name_the_file_and_line(self):
        self.write("broken.page", b"object Broken: TNVForm\n  Caption = 'open\nend\n")
        r = self.run_tool("compile", "broken.page", "broken.bin")
        self.assertEqual(r.returncode, 1)
        self.assertIn(b"broken.page: line 2: unterminated string", r.stderr)
        self.assertFalse(os.path.exists(self.path("broken.bin")))
        r = self.run_tool("compile", "missing.page", "x.bin")
        self.assertEqual(r.returncode, 1)
        self.assertIn(b"cannot read missing.page", r.stderr)

    def test_a_stream_that_stops_shows_what_it_held(self):
        self.run_tool("compile", os.path.join(PAGES, "ContactForm.page"), "a.bin")
        self.write("cut.bin", self.read("a.bin")[:100])
        r = self.run_tool("dump-stream", "cut.bin")
        self.assertEqual(r.returncode, 1)
        self.assertIn(b"Timer = 0\nend\n", r.stdout)
        self.assertIn(b"cut.bin: Internal error: Invalid assistant resource (truncated).", r.stderr)
        self.write("odd.bin", b"TPF0\x07TNVForm\x04Page\x04Font\x21")
        r = self.run_tool("dump-stream", "odd.bin")
        self.assertEqual(r.returncode, 1)
        self.assertEqual(r.stdout, b"object Page: TNVForm\nend\n")
        self.assertIn(b"Internal error: Invalid assistant resource (33).", r.stderr)

    def test_dump_of_files_without_pages(self):
        self.write("not-pe.bin", b"TPF0")
        r = self.run_tool("dump", "not-pe.bin")
        self.assertEqual(r.returncode, 1)
        self.assertIn(b"not a PE file", r.stderr)

    def test_rc_names_each_page_and_its_file(self):
        r = self.run_tool("rc", "pages.rc", "ContactForm=contactform.bin", "Own=sub\\own.bin")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.read("pages.rc"),
                         b'OAPCONTACTFORM RCDATA "contactform.bin"\nOAPOWN RCDATA "sub\\\\own.bin"\n')
        r = self.run_tool("rc", "bad.rc", "Bad Name=x.bin")
        self.assertEqual(r.returncode, 1)
        self.assertIn(b"bad page name", r.stderr)

    def test_bundle_lets_a_page_replace_its_namesake(self):
        self.write("own.page", b"object contactform: TNVForm\n  Message = 'Mine'\nend\n")
        self.write("extra.page", b"object Extra: TNVForm\nend\n")
        builtins = [os.path.join(PAGES, p + ".page") for p in ["ContactForm", "DetailsForm"]]
        os.mkdir(self.path("out"))
        r = self.run_tool("bundle", os.path.join("out", "pages.rc"), *builtins, "own.page", "extra.page")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.read("out/pages.rc"),
                         b'OAPCONTACTFORM RCDATA "oapcontactform.bin"\n'
                         b'OAPDETAILSFORM RCDATA "oapdetailsform.bin"\n'
                         b'OAPEXTRA RCDATA "oapextra.bin"\n')
        self.run_tool("compile", "own.page", "own.bin")
        self.assertEqual(self.read("out/oapcontactform.bin"), self.read("own.bin"))
        self.write("unnamed.page", b"object TNVForm\nend\n")
        r = self.run_tool("bundle", "x.rc", "unnamed.page")
        self.assertEqual(r.returncode, 1)
        self.assertIn(b"needs a name", r.stderr)


if __name__ == "__main__":
    TOOL, PAGES = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(argv=sys.argv[:1])
