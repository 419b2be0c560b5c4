#!/usr/bin/python3
"""Checks a written workbook with openpyxl, an independent reader.

  check-workbook.py FILE [--sheets "Data,Report"] [--cell "Report!A1=Pearson"]...
                         [--charts "Report=3"]... [--json expectations.json]
                         [--tolerance 1e-9]

Expectations (all optional, any number of --cell and --charts):
  --sheets    the sheet names, in tab order, comma separated
  --cell      SHEET!CELL=VALUE: a number compares within the tolerance, TRUE and
              FALSE compare as booleans, "" means an empty cell, anything else
              compares as text ('My data'!A1 quotes a sheet name)
  --charts    SHEET=COUNT: the number of charts drawn on the sheet
  --json      a file {"sheets": [...], "cells": {"SHEET!CELL": value, ...},
              "charts": {"SHEET": count}, "tolerance": 1e-9}

Exit status: 0 when every expectation holds, 1 when one fails (each failure
is printed), 2 when the file cannot be read or the arguments are wrong.
"""
import argparse
import json
import math
import sys


def split_reference(text):
    sheet, _, cell = text.rpartition("!")
    if not sheet or not cell:
        raise ValueError(f"not a SHEET!CELL reference: {text!r}")
    if len(sheet) >= 2 and sheet[0] == "'" and sheet[-1] == "'":
        sheet = sheet[1:-1].replace("''", "'")
    return sheet, cell.replace("$", "")


def parse_value(text):
    if text == "":
        return None
    if text in ("TRUE", "FALSE"):
        return text == "TRUE"
    try:
        return float(text)
    except ValueError:
        return text


def same(expected, actual, tolerance):
    if expected is None:
        return actual is None or actual == ""
    if isinstance(expected, bool) or isinstance(actual, bool):
        return isinstance(expected, bool) and isinstance(actual, bool) and expected == actual
    if isinstance(expected, (int, float)):
        if not isinstance(actual, (int, float)):
            return False
        return math.isclose(float(expected), float(actual), rel_tol=tolerance, abs_tol=tolerance)
    return str(expected) == actual


def main():
    parser = argparse.ArgumentParser(description="Check a workbook written by the component.")
    parser.add_argument("file")
    parser.add_argument("--sheets")
    parser.add_argument("--cell", action="append", default=[])
    parser.add_argument("--charts", action="append", default=[])
    parser.add_argument("--json")
    parser.add_argument("--tolerance", type=float)
    args = parser.parse_args()

    sheets = args.sheets.split(",") if args.sheets is not None else None
    cells = {}
    charts = {}
    tolerance = 1e-9
    try:
        if args.json:
            with open(args.json, encoding="utf-8") as f:
                expected = json.load(f)
            sheets = expected.get("sheets", sheets)
            for ref, value in expected.get("cells", {}).items():
                cells[split_reference(ref)] = value
            charts.update({k: int(v) for k, v in expected.get("charts", {}).items()})
            tolerance = float(expected.get("tolerance", tolerance))
        for item in args.cell:
            ref, sep, value = item.partition("=")
            if not sep:
                raise ValueError(f"--cell needs SHEET!CELL=VALUE, not {item!r}")
            cells[split_reference(ref)] = parse_value(value)
        for item in args.charts:
            sheet, sep, count = item.rpartition("=")
            if not sep:
                raise ValueError(f"--charts needs SHEET=COUNT, not {item!r}")
            charts[sheet] = int(count)
        if args.tolerance is not None:
            tolerance = args.tolerance
    except (OSError, ValueError) as e:
        print(f"check-workbook: {e}", file=sys.stderr)
        return 2

    try:
        import openpyxl
    except ImportError:
        print("check-workbook: openpyxl is not installed (apt-get install python3-openpyxl)", file=sys.stderr)
        return 2
    try:
        book = openpyxl.load_workbook(args.file)
    except Exception as e:  # openpyxl raises many kinds for a broken file
        print(f"check-workbook: cannot read {args.file}: {e}", file=sys.stderr)
        return 2

    failures = []
    if sheets is not None and book.sheetnames != sheets:
        failures.append(f"sheets: expected {sheets}, found {book.sheetnames}")
    for (sheet, cell), expected in cells.items():
        if sheet not in book.sheetnames:
            failures.append(f"{sheet}!{cell}: no sheet {sheet!r}")
            continue
        actual = book[sheet][cell].value
        if not same(expected, actual, tolerance):
            failures.append(f"{sheet}!{cell}: expected {expected!r}, found {actual!r}")
    for sheet, expected in charts.items():
        if sheet not in book.sheetnames:
            failures.append(f"charts on {sheet}: no sheet {sheet!r}")
            continue
        found = len(book[sheet]._charts)
        if found != expected:
            failures.append(f"charts on {sheet}: expected {expected}, found {found}")

    for failure in failures:
        print(f"check-workbook: {args.file}: {failure}")
    if not failures:
        print(f"check-workbook: {args.file}: all {len(cells)} cells, "
              f"{'the sheet names, ' if sheets is not None else ''}{len(charts)} chart counts as expected")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
