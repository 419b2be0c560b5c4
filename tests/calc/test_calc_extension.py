"""The extension in headless Calc: /usr/bin/python3 tests/calc/test_calc_extension.py --oxt build/nmlcorrelation.oxt"""
import json
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from office_session import OfficeSession, load_csv  # noqa: E402

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")
METHODS = {"simple": 0, "multiple": 1, "partial": 2, "canonical": 3}


def reference_cases(data_set):
    with open(os.path.join(DATA, data_set + ".json")) as f:
        return json.load(f)["cases"]


def range_of(names, wanted, rows):
    """'Data!B1:B51,Data!E1:F51': the named columns (A to Z), neighbours joined."""
    cols = [names.index(w) for w in wanted]
    starts = [c for k, c in enumerate(cols) if k == 0 or cols[k - 1] != c - 1]
    ends = [c for k, c in enumerate(cols) if k == len(cols) - 1 or cols[k + 1] != c + 1]
    return ",".join("Data!%c1:%c%d" % (65 + a, 65 + b, rows) for a, b in zip(starts, ends))


# Two cells of each method's report (the engine's tests pin the rest): title, offset from its first value, key.
PROBES = {
    "simple": [("Correlation Matrix (R)", 0, 1, "R"), ("Correlation Significance (P)", 4, 3, "P")],
    "partial": [("Partial Correlation Matrix (R)", 0, 1, "R"), ("t Statistic", 2, 1, "T")],
    "multiple": [("Correlation Matrix", 0, 0, "R"), ("Correlation Significance", 0, 0, "P")],
    "canonical": [("Descriptive Statistics", 4, 1, "sd"), ("Canonical Correlations", 1, 4, "p")],
}


def used_cells(sheet):
    cur = sheet.createCursor()
    cur.gotoEndOfUsedArea(False)
    end = cur.RangeAddress
    return sheet.getCellRangeByPosition(0, 0, end.EndColumn, end.EndRow).getDataArray()


def find(cells, title, start=0):
    """The 0-based row of the first title at or below row start."""
    for r in range(start, len(cells)):
        if cells[r][0] == title:
            return r
    raise AssertionError("title not found: " + title)


# What a user writes: the service on this document, properties set one by one, the component's error caught.
BASIC = """
Function Analyse(sX As String, sY As String) As String
    On Error GoTo Caught
    oCorr = CreateUnoServiceWithArguments("org.numerolith.NMLCorrelation.clsCorrelation", Array(ThisComponent))
    oCorr.Method = 3 : oCorr.XRange = sX : oCorr.YRange = sY : oCorr.Headers = True : oCorr.Descriptives = True
    oCorr.Raw = True : oCorr.Standardised = True : oCorr.Plots = True
    oCorr.Results(False)
    Exit Function
Caught:
    Analyse = Error$
End Function
"""


class CalcCase(unittest.TestCase):
    def new_doc(self, data_set):
        doc = office.new_calc()
        doc.Sheets.getByIndex(0).Name = "Data"
        names, rows = load_csv(doc, "Data", os.path.join(DATA, data_set + ".csv"))
        self.addCleanup(doc.close, True)
        return doc, names, rows

    def near(self, got, want, what):
        """Within 1e-9 relative, or 1e-15 for the smallest p-values."""
        self.assertIsInstance(got, float, what)
        self.assertLessEqual(abs(got - want), max(1e-9 * abs(want), 1e-15), what)


class EachMethod(CalcCase):
    def test_one_report_per_method_on_a_new_sheet(self):
        doc, names, rows = self.new_doc("savings")
        data = doc.Sheets.getByName("Data").getCellRangeByPosition(0, 0, len(names) - 1, rows - 1)
        before = data.getDataArray()
        doc.BasicLibraries.createLibrary("Test").insertByName("Module1", BASIC)
        url = "vnd.sun.star.script:Test.Module1.Analyse?language=Basic&location=document"
        self.analyse = doc.getScriptProvider().getScript(url)
        cases = {c["method"]: c for c in reversed(reference_cases("savings"))}  # the first case of each method
        for count, c in enumerate(cases.values(), start=1):
            with self.subTest(method=c["method"]):
                self.check_case(doc, names, rows, c, count)
        self.assertEqual(data.getDataArray(), before, "the data sheet changed")
        # The component's error reaches Basic as its number and text; nothing is written.
        self.assertIn("error 5028: ", self.analyse.invoke(("Data!C1:D51", "Data!B1:B30,Data!E1:F30"), (), ())[0])
        self.assertEqual(doc.Sheets.Count, 1 + len(cases))

    def check_case(self, doc, names, rows, c, count):
        m = c["method"]
        x, y = range_of(names, c["x"], rows), range_of(names, c["y"], rows)
        if m == "canonical":  # as a user's Basic macro runs it
            self.assertEqual(self.analyse.invoke((x, y), (), ())[0], "")
        else:
            corr = office.create_service(doc)
            corr.Method = METHODS[m]
            corr.Headers = corr.Descriptives = corr.Raw = corr.Standardised = True
            corr.Plots = m == "simple"
            corr.XRange = x
            if y:
                corr.YRange = y
            corr.Results(False)
        self.assertEqual(doc.Sheets.Count, count + 1, "one new sheet per run")
        sheet = doc.Sheets.getByIndex(count)
        cells = used_cells(sheet)
        for title, i, j, key in PROBES[m]:
            want = c[key][i][j] if isinstance(c[key][i], list) else c[key][i]
            self.near(cells[find(cells, title) + 2 + i][1 + j], want, "%s (%d,%d)" % (title, i + 1, j + 1))
        if m in ("simple", "partial"):
            # The report's look came along: bold titles, coefficients shown with four decimals.
            r = find(cells, PROBES[m][0][0])
            self.assertEqual(sheet.getCellByPosition(0, r).CharWeight, 150.0)
            self.assertEqual(sheet.getCellByPosition(2, r + 2).String, "%.4f" % c["R"][0][1])
        if m == "canonical":
            # The sections below the tests are there (their values are the engine's tests' concern).
            raw = find(cells, "Raw Results")
            find(cells, "Canonical Cross Loadings for Set 2", raw)
            find(cells, "Canonical Coefficients for Set 2", find(cells, "Standardised Results", raw))
        k = len(c["x"])
        charts = {"simple": k * (k - 1) // 2, "canonical": 2 * len(c.get("cancor", []))}.get(m, 0)
        self.assertEqual(sheet.Charts.Count, charts, "one chart per pair of variables, or per variate pair")
        if charts:
            self.check_scatter(sheet.Charts.getByIndex(0).EmbeddedObject, m, names, c, rows)

    def check_scatter(self, chart, method, names, c, rows):
        self.assertEqual(chart.Diagram.DiagramType, "com.sun.star.chart.XYDiagram")
        series = chart.getFirstDiagram().CoordinateSystems[0].ChartTypes[0].DataSeries
        self.assertEqual(len(series), 1)
        roles = {s.Values.Role: s.Values.SourceRangeRepresentation for s in series[0].DataSequences}
        if method == "simple":  # chart (1, 2): variable 1 across, variable 2 up, from the data sheet
            self.assertEqual(chart.Title.String, "Scatter Plot")
            first, second = (chr(65 + names.index(v)) for v in c["x"][:2])
            self.assertEqual(roles["values-x"], "$Data.$%s$2:$%s$%d" % (first, first, rows))
            self.assertEqual(roles["values-y"], "$Data.$%s$2:$%s$%d" % (second, second, rows))
        else:
            self.assertEqual(chart.Title.String, "Raw Canonical Variates")
            self.assertEqual(chart.Diagram.XAxisTitle.String, "Set 1 CV 1")


class CallingForms(CalcCase):
    def test_errors_leave_the_document_alone_then_calc_form_overwrites(self):
        doc, names, rows = self.new_doc("savings")
        data = doc.Sheets.getByName("Data")
        data.getCellRangeByName("J5").String = "keep me"
        snapshot = data.getCellRangeByName("A1:Z80").getDataArray()
        cases = [  # (settings, error number)
            (dict(Method=0, XRange="Data!C1:D51", OutputRange="Data!H1"), 6004),
            (dict(Method=0, XRange="Nowhere!A1:B9"), 5010),
        ]
        for settings, number in cases:
            with self.subTest(number=number):
                corr = office.create_service(doc)
                corr.Headers = True
                for k, v in settings.items():
                    setattr(corr, k, v)
                with self.assertRaises(Exception) as caught:
                    corr.Results(False)
                message = caught.exception.Message
                self.assertTrue(message.startswith("error %d: " % number), message)
                self.assertIn("source:", message)
                self.assertEqual(doc.Sheets.Count, 1, "nothing written")
                self.assertEqual(data.getCellRangeByName("A1:Z80").getDataArray(), snapshot, "nothing written")
        with self.assertRaises(Exception) as caught:
            office.create_service(doc).XRange = ""
        self.assertTrue(caught.exception.Message.startswith("error 5012: "))
        # OverWrite puts it there; ranges in Calc's form and the component's (quoted sheet name), two areas.
        corr = office.create_service(doc)
        corr.Headers, corr.XRange, corr.OutputRange = True, "$Data.$C$1:$C$51;'Data'!D1:D51", "$Data.H1"
        self.assertEqual((corr.Method, corr.Headers, corr.Plots), (0, True, False))
        self.assertEqual(corr.XRange, "$Data.$C$1:$C$51;'Data'!D1:D51")
        corr.Results(True)
        self.assertEqual(doc.Sheets.Count, 1, "the report went beside the data")
        self.assertNotEqual(data.getCellRangeByName("J5").String, "keep me")
        self.assertEqual(data.getCellRangeByName("A1:F51").getDataArray(),
                         tuple(r[:6] for r in snapshot[:51]), "input cells unchanged")
        block = data.getCellRangeByName("H1:M40").getDataArray()
        self.near(block[find(block, "Correlation Matrix (R)") + 2][2], reference_cases("savings")[0]["R"][0][1],
                  "R(pop15, pop75) through Calc's form")


if __name__ == "__main__":
    # The one option, --oxt PATH, starts the office; the rest goes to unittest.
    at = sys.argv.index("--oxt")
    with OfficeSession(sys.argv[at + 1]) as office:
        del sys.argv[at:at + 2]
        result = unittest.main(exit=False).result
    sys.exit(0 if result.wasSuccessful() else 1)
