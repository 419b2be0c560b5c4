"""Writes the savings reports into a live Calc document through the
extension (canonical with raw and standardised results and plots, simple
correlation with descriptives and plots), saves it as .ods and exports it to
PDF, so a person can look at what users get. Used by scripts/check-render.

    /usr/bin/python3 scripts/render-calc-report.py --oxt build/nmlcorrelation.oxt --out DIR
"""
import argparse
import os
import shutil
import sys

TESTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests")
sys.path.insert(0, os.path.join(TESTS, "calc"))
from office_session import OfficeSession, load_csv  # noqa: E402

DATA = os.path.join(TESTS, "data")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--oxt", required=True)
    ap.add_argument("--out", required=True)
    args = ap.parse_args()
    out = os.path.abspath(args.out)
    os.makedirs(out, exist_ok=True)
    with OfficeSession(args.oxt) as office:
        doc = office.new_calc()
        doc.Sheets.getByIndex(0).Name = "Data"
        load_csv(doc, "Data", os.path.join(DATA, "savings.csv"))
        corr = office.create_service(doc)
        corr.Method = 3
        corr.XRange, corr.YRange = "Data!C1:D51", "Data!B1:B51,Data!E1:F51"
        corr.Headers = corr.Descriptives = corr.Raw = corr.Standardised = corr.Plots = True
        corr.Results(False)
        corr = office.create_service(doc)
        corr.XRange = "$Data.$B$1:$F$51"
        corr.Headers = corr.Descriptives = corr.Plots = True
        corr.Results(False)
        # The office runs as another user: write into its folder, then copy out.
        for name, flt in (("calc-report.ods", "calc8"), ("calc-report.pdf", "calc_pdf_Export")):
            target = os.path.join(office.tmp, name)
            doc.storeToURL("file://" + target, office.props(FilterName=flt))
            shutil.copy(target, os.path.join(out, name))
        doc.close(True)
    print(os.path.join(out, "calc-report.pdf"))


if __name__ == "__main__":
    main()
