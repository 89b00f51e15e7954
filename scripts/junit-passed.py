#!/usr/bin/env python3
"""Prints how many test cases passed in JUnit XML reports: ctest's
--output-junit and GoogleTest's --gtest_output=xml write them.

  scripts/junit-passed.py REPORT...

A case passed when it ran (status "run"), was not skipped (GoogleTest marks
those result="skipped", ctest status="notrun") and holds no failure or
error. Fails when a report holds a failed case or no case at all, so that a
count cannot come from a run that did not happen.
"""

import sys
import xml.etree.ElementTree as ElementTree


def count_passed(path):
    try:
        cases = list(ElementTree.parse(path).getroot().iter("testcase"))
    except ElementTree.ParseError as error:
        raise ValueError(f"{path}: {error}") from error
    if not cases:
        raise ValueError(f"{path}: no test case")
    passed = 0
    for case in cases:
        failed = case.find("failure") is not None or case.find("error") is not None
        if failed or case.get("status") == "fail":
            raise ValueError(f"{path}: {case.get('classname')}.{case.get('name')} failed")
        skipped = case.get("result") == "skipped" or case.find("skipped") is not None
        if case.get("status") == "run" and not skipped:
            passed += 1
    return passed


def main():
    if len(sys.argv) < 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    try:
        print(sum(count_passed(path) for path in sys.argv[1:]))
    except (OSError, ValueError) as error:
        print(f"junit-passed: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
