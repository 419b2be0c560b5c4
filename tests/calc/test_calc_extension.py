"""The extension in a headless Calc: every reference case of tests/data run
through the UNO service on a live document and compared with the values of an
independent statistics system; charts, the untouched data sheet, the error
paths, Calc's reference form and a Basic macro written as a user would.

    /usr/bin/python3 tests/calc/test_calc_extension.py --oxt build/nmlcorrelation.oxt
"""
import argparse
import json
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from office_session import OfficeSession, load_csv  # noqa: E402

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")
METHODS = {"simple": 0, "multiple": 1, "partial": 2, "canonical": 3}
office = None


def setUpModule():
    global office
    office = OfficeSession(ARGS.oxt)
    office.__enter__()


def tearDownModule():
    if office is not None:
        office.stop()


def load_json(name):
    with open(os.path.join(DATA, name + ".json")) as f:
        return json.load(f)


def letters(col):
    s = ""
    while col > 0:
        col, r = divmod(col - 1, 26)
        s = chr(65 + r) + s
    return s


def range_of(names, wanted, rows, sheet="Data"):
    """'Data!B1:B51,Data!E1:F51': the named columns, neighbours joined."""
    cols = [names.index(w) + 1 for w in wanted]
    parts, i = [], 0
    while i < len(cols):
        j = i
        while j + 1 < len(cols) and cols[j + 1] == cols[j] + 1:
            j += 1
        parts.append("%s!%s1:%s%d" % (sheet, letters(cols[i]), letters(cols[j]), rows))
        i = j + 1
    return ",".join(parts)


class Report:
    """The values of a report sheet, read in one block."""

    def __init__(self, sheet):
        cur = sheet.createCursor()
        cur.gotoEndOfUsedArea(False)
        self.cells = sheet.getCellRangeByPosition(0, 0, cur.RangeAddress.EndColumn,
                                                  cur.RangeAddress.EndRow).getDataArray()

    def at(self, r, c):  # 1-based
        return self.cells[r - 1][c - 1]

    def find(self, title, start=1):
        for r in range(start, len(self.cells) + 1):
            if self.cells[r - 1][0] == title:
                return r
        raise AssertionError("title not found: " + title)


class CalcCase(unittest.TestCase):
    def new_doc(self, data_set):
        doc = office.new_calc()
        doc.Sheets.getByIndex(0).Name = "Data"
        names, rows = load_csv(doc, "Data", os.path.join(DATA, data_set + ".csv"))
        self.addCleanup(doc.close, True)
        return doc, names, rows

    def stat(self, got, want, what, rel=1e-10):
        if isinstance(want, str):
            self.assertEqual(got, want, what)
            return
        self.assertIsInstance(got, float, what)
        self.assertLessEqual(abs(got - want), rel * max(abs(want), 1e-300) + (1e-14 if want == 0 else 0), what)

    def prob(self, got, want, what):
        if isinstance(want, str) or want >= 1e-6:
            self.stat(got, want, what, 1e-9)
        else:
            self.assertLessEqual(abs(got - want), max(1e-15, 1e-9 * want), what)

    def square(self, rep, title, want, what, probability=False):
        for i, row in enumerate(want):
            for j, w in enumerate(row):
                got = rep.at(title + 2 + i, 2 + j)
                (self.prob if probability else self.stat)(got, w, "%s (%d,%d)" % (what, i + 1, j + 1))


class ReferenceCases(CalcCase):
    def test_every_reference_case_matches(self):
        for data_set in ("savings", "iris", "longley"):
            ref = load_json(data_set)
            doc, names, rows = self.new_doc(data_set)
            before = doc.Sheets.getByName("Data").getCellRangeByPosition(0, 0, len(names) - 1, rows - 1).getDataArray()
            for case in ref["cases"]:
                with self.subTest(data=data_set, method=case["method"], x=case["x"]):
                    self.check_case(doc, names, rows, case)
            after = doc.Sheets.getByName("Data").getCellRangeByPosition(0, 0, len(names) - 1, rows - 1).getDataArray()
            self.assertEqual(before, after, "the data sheet changed")
            self.assertEqual(doc.Sheets.Count, 1 + len(ref["cases"]), "one new sheet per run")

    def check_case(self, doc, names, rows, c):
        corr = office.create_service(doc)
        corr.Method = METHODS[c["method"]]
        corr.Headers = corr.Descriptives = corr.Raw = corr.Standardised = True
        corr.Plots = c["method"] in ("simple", "canonical")
        corr.XRange = range_of(names, c["x"], rows)
        if c["y"]:
            corr.YRange = range_of(names, c["y"], rows)
        count = doc.Sheets.Count
        corr.Results(False)
        self.assertEqual(doc.Sheets.Count, count + 1)
        sheet = doc.Sheets.getByIndex(count)
        rep = Report(sheet)
        m = c["method"]
        if m not in ("multiple", "partial"):
            t = rep.find("Descriptive Statistics")
            for i, (mean, sd) in enumerate(zip(c["mean"], c["sd"])):
                self.stat(rep.at(t + 2 + i, 2), mean, "mean")
                self.stat(rep.at(t + 2 + i, 3), sd, "sd")
        charts = sheet.Charts
        if m in ("simple", "partial"):
            r = rep.find("Correlation Matrix (R)" if m == "simple" else "Partial Correlation Matrix (R)")
            self.square(rep, r, c["R"], "R")
            # The report's look came along: bold titles, coefficients shown with four decimals.
            self.assertEqual(sheet.getCellByPosition(0, r - 1).CharWeight, 150.0)
            self.assertEqual(sheet.getCellByPosition(2, r + 1).String, "%.4f" % c["R"][0][1])
            self.square(rep, rep.find("t Statistic", r), c["T"], "t")
            self.square(rep, rep.find("Correlation Significance (P)", r), c["P"], "P", True)
            k = len(c["x"]) if m == "simple" else 0
            self.assertEqual(charts.Count, k * (k - 1) // 2, "one chart per pair of variables")
        elif m == "multiple":
            r = rep.find("Correlation Matrix")
            f = rep.find("F Statistic", r)
            p = rep.find("Correlation Significance", f)
            for i in range(len(c["R"])):
                self.stat(rep.at(r + 2 + i, 2), c["R"][i], "R")
                self.stat(rep.at(f + 2 + i, 2), c["F"][i], "F")
                self.prob(rep.at(p + 2 + i, 2), c["P"][i], "P")
            self.assertEqual(charts.Count, 0)
        else:
            r = rep.find("Correlation Matrix (r)")
            self.square(rep, r, c["R"], "R")
            self.square(rep, rep.find("Correlation Significance (P)", r), c["P"], "P", True)
            cc = rep.find("Canonical Correlations", r)
            for j in range(len(c["cancor"])):
                self.stat(rep.at(cc + 2 + j, 2), c["cancor"][j], "canonical correlation")
                self.stat(rep.at(cc + 2 + j, 3), c["lambda"][j], "Wilks lambda")
                self.stat(rep.at(cc + 2 + j, 4), c["chisq"][j], "chi-square")
                self.prob(rep.at(cc + 2 + j, 6), c["p"][j], "p")
            # The report arrives in one block: the sections below the tests
            # are there (their values are the engine's tests' concern).
            raw = rep.find("Raw Results", cc)
            rep.find("Canonical Cross Loadings for Set 2", raw)
            rep.find("Canonical Coefficients for Set 2", rep.find("Standardised Results", raw))
            self.assertEqual(charts.Count, 2 * len(c["cancor"]), "raw and standardised variate pairs")
        if charts.Count:
            self.check_scatter(charts, m, names, c, rows)

    def check_scatter(self, charts, method, names, c, rows):
        chart = charts.getByIndex(0).EmbeddedObject
        self.assertEqual(chart.Diagram.DiagramType, "com.sun.star.chart.XYDiagram")
        series = chart.getFirstDiagram().CoordinateSystems[0].ChartTypes[0].DataSeries
        self.assertEqual(len(series), 1)
        roles = {s.Values.Role: s.Values.SourceRangeRepresentation for s in series[0].DataSequences}
        if method == "simple":  # chart (1, 2): variable 1 across, variable 2 up, from the data sheet
            self.assertEqual(chart.Title.String, "Scatter Plot")
            first, second = (letters(names.index(v) + 1) for v in c["x"][:2])
            self.assertEqual(roles["values-x"], "$Data.$%s$2:$%s$%d" % (first, first, rows))
            self.assertEqual(roles["values-y"], "$Data.$%s$2:$%s$%d" % (second, second, rows))
        else:
            self.assertEqual(chart.Title.String, "Raw Canonical Variates")
            self.assertEqual(chart.Diagram.XAxisTitle.String, "Set 1 CV 1")


class CallingForms(CalcCase):
    def test_calc_reference_form_and_properties(self):
        doc, names, rows = self.new_doc("iris")
        corr = office.create_service(doc)
        corr.Method = 0
        corr.Headers = True
        # Calc's form, the component's with a quoted sheet name, two areas.
        corr.XRange = "$Data.$A$1:$B$151;'Data'!C1:D151"
        self.assertEqual((corr.Method, corr.Headers, corr.Plots), (0, True, False))
        self.assertEqual(corr.XRange, "$Data.$A$1:$B$151;'Data'!C1:D151")
        corr.OutputRange = "$Data.H2"
        corr.Results(False)
        self.assertEqual(doc.Sheets.Count, 1, "the report went beside the data")
        block = doc.Sheets.getByName("Data").getCellRangeByName("H2:M40").getDataArray()
        t = [row[0] for row in block].index("Correlation Matrix (R)")
        ref = load_json("iris")["cases"][0]
        self.stat(block[t + 2][2], ref["R"][0][1], "R(1,2) through Calc's form")

    def test_errors_leave_the_document_alone(self):
        doc, names, rows = self.new_doc("savings")
        data = doc.Sheets.getByName("Data")
        data.getCellRangeByName("J5").String = "keep me"
        snapshot = data.getCellRangeByName("A1:Z80").getDataArray()
        cases = [
            # (settings, overwrite, error number)
            (dict(Method=2, XRange="Data!C1:D51", YRange="Data!B1:B40,Data!E1:F40"), False, 5028),
            (dict(Method=0, XRange="Data!C1:D51", OutputRange="Data!H1"), False, 6004),
            (dict(Method=0, XRange="Nowhere!A1:B9"), False, 5010),
        ]
        for settings, overwrite, number in cases:
            with self.subTest(number=number):
                corr = office.create_service(doc)
                corr.Headers = True
                for k, v in settings.items():
                    setattr(corr, k, v)
                with self.assertRaises(Exception) as caught:
                    corr.Results(overwrite)
                message = caught.exception.Message
                self.assertTrue(message.startswith("error %d: " % number), message)
                self.assertIn("source:", message)
                self.assertEqual(doc.Sheets.Count, 1, "nothing written")
                self.assertEqual(data.getCellRangeByName("A1:Z80").getDataArray(), snapshot, "nothing written")
        with self.assertRaises(Exception) as caught:
            office.create_service(doc).XRange = ""
        self.assertTrue(caught.exception.Message.startswith("error 5012: "))
        # With OverWrite the same place takes the report.
        corr = office.create_service(doc)
        corr.Headers, corr.XRange, corr.OutputRange = True, "Data!C1:D51", "Data!H1"
        corr.Results(True)
        self.assertNotEqual(data.getCellRangeByName("J5").String, "keep me")
        self.assertEqual(data.getCellRangeByName("A1:F51").getDataArray(),
                         tuple(r[:6] for r in snapshot[:51]), "input cells unchanged")


BASIC = """
Sub Analyse
    oCorr = CreateUnoServiceWithArguments("org.numerolith.NMLCorrelation.clsCorrelation", Array(ThisComponent))
    oCorr.Method = 3 : oCorr.XRange = "Data!C1:D51" : oCorr.YRange = "Data!B1:B51,Data!E1:F51"
    oCorr.Headers = True : oCorr.Raw = True : oCorr.Standardised = True : oCorr.Plots = True
    oCorr.Results(False)
End Sub

Function Failing() As String
    On Error GoTo Caught
    oCorr = CreateUnoServiceWithArguments("org.numerolith.NMLCorrelation.clsCorrelation", Array(ThisComponent))
    oCorr.Method = 3 : oCorr.XRange = "Data!C1:D51" : oCorr.YRange = "Data!B1:B30,Data!E1:F30" : oCorr.Headers = True
    oCorr.Results(False)
    Failing = ""
    Exit Function
Caught:
    Failing = Error$
End Function
"""


class BasicMacro(CalcCase):
    def test_macro_from_the_example(self):
        doc, names, rows = self.new_doc("savings")
        libs = doc.BasicLibraries
        libs.createLibrary("Test").insertByName("Module1", BASIC)
        provider = doc.getScriptProvider()

        def run(name):
            script = provider.getScript("vnd.sun.star.script:Test.Module1.%s?language=Basic&location=document" % name)
            return script.invoke((), (), ())[0]

        run("Analyse")
        self.assertEqual(doc.Sheets.Count, 2)
        sheet = doc.Sheets.getByIndex(1)
        rep = Report(sheet)
        ref = load_json("savings")["cases"][0]
        cc = rep.find("Canonical Correlations")
        self.stat(rep.at(cc + 2, 2), ref["cancor"][0], "first canonical correlation")
        self.assertEqual(sheet.Charts.Count, 4)
        self.assertIn("error 5028: ", run("Failing"))
        self.assertEqual(doc.Sheets.Count, 2)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--oxt", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest)
