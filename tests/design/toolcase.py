"""What the tools' tests share: running a tool and checking its refusals."""

import os
import re
import subprocess
import sys

TOOLS = sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "../../tools")


def tool(name, *args):
    return subprocess.run([os.path.join(TOOLS, name), *args], capture_output=True, text=True)


def check_refusals(test, name, cases):
    """Each (arguments, part of the message) ends with status 2, nothing on
    standard output and one line on standard error naming the tool."""
    for args, message in cases:
        done = tool(name, *args)
        test.assertEqual(done.returncode, 2, args)
        test.assertEqual(done.stdout, "", args)
        test.assertRegex(done.stderr, r"\A%s: [^\n]*%s[^\n]*\n\Z" % (name, re.escape(message)), args)
