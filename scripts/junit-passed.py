#!/usr/bin/env python3
"""Prints how many test cases passed in JUnit XML reports: ctest's
--output-junit and GoogleTest's --gtest_output=xml write them.

  scripts/junit-passed.py REPORT...
  scripts/junit-passed.py --failed REPORT...   names the failed cases instead

A case passed when it ran (status "run"), was not skipped (GoogleTest marks
those result="skipped", ctest status="notrun") and holds no failure or
error. Fails when a report holds a failed case or no case at all, so that a
count cannot come from a run that did not happen.
"""

import sys
import xml.etree.ElementTree as ElementTree


def read_cases(path):
    try:
        cases = list(ElementTree.parse(path).getroot().iter("testcase"))
    except ElementTree.ParseError as error:
        raise ValueError(f"{path}: {error}") from error
    if not cases:
        raise ValueError(f"{path}: no test case")
    return cases


def failed(case):
    return case.find("failure") is not None or case.find("error") is not None or case.get("status") == "fail"


def name(case):
    return f"{case.get('classname')}.{case.get('name')}"


def count_passed(path):
    passed = 0
    for case in read_cases(path):
        if failed(case):
            raise ValueError(f"{path}: {name(case)} failed")
        skipped = case.get("result") == "skipped" or case.find("skipped") is not None
        if case.get("status") == "run" and not skipped:
            passed += 1
    return passed


def main():
    args = sys.argv[1:]
    only_failed = args[:1] == ["--failed"]
    if only_failed:
        args = args[1:]
    if not args:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    try:
        if only_failed:
            print(" ".join(name(case) for path in args for case in read_cases(path) if failed(case)))
        else:
            print(sum(count_passed(path) for path in args))
    except (OSError, ValueError) as error:
        print(f"junit-passed: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
