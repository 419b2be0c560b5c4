#!/usr/bin/python3
"""usage: kept_parts_check.py NMLCORR WORKDIR: the parts of other programs' workbooks survive a report (77: skipped)."""
import base64, io, os, re, shutil, statistics, subprocess, sys, tempfile, zipfile

try:
    import openpyxl, xlsxwriter
except ImportError as missing:
    print("skipped:", missing)
    sys.exit(77)
if shutil.which("soffice") is None:
    print("skipped: soffice is not installed")
    sys.exit(77)

nmlcorr, work = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
os.makedirs(work, exist_ok=True)
failures = []


def check(what, ok):
    if not ok:
        failures.append(what)


def nml(*args):
    return subprocess.run([nmlcorr, *args], cwd=work, capture_output=True, text=True, timeout=300)


def parts(path):
    with zipfile.ZipFile(path) as z:
        return {name: z.read(name) for name in z.namelist()}


# A workbook by xlsxwriter with a chart, an image, a comment, names, a conditional format and data validation;
# the same workbook macro-enabled (an opaque project): its report is named .xlsm and keeps project and type.
X = [3.1, 4.7, 2.2, 5.9, 6.3, 1.8, 4.4, 5.1, 3.9, 2.7, 6.8, 4.0]
Y = [2.0, 3.9, 2.5, 4.8, 6.1, 1.1, 3.3, 4.9, 4.2, 2.0, 6.0, 3.1]
Z = [7.2, 5.5, 8.1, 4.0, 3.3, 9.0, 5.8, 4.4, 6.1, 7.7, 2.9, 5.0]
red = base64.b64decode("iVBORw0KGgoAAAANSUhEUgAAAAQAAAAECAIAAAAmkwkpAAAAEElEQVR4nGP4z8AARwzEcQCukw/x0F8jngAAAABJRU5ErkJggg==")
made, xlsm = os.path.join(work, "made.xlsx"), os.path.join(work, "macros.xlsm")
for path in (made, xlsm):
    with xlsxwriter.Workbook(path) as wb:
        ws = wb.add_worksheet("Data")
        for c, (name, col) in enumerate([("x", X), ("y", Y), ("z", Z)]):
            ws.write(0, c, name, wb.add_format({"bold": True, "font_color": "#1F497D"}))
            ws.write_column(1, c, col)
        ws.write_row(13, 0, [9.9, 9.9])  # a case without z: left out under --missing listwise
        ws.write_comment("A1", "measured in spring")
        ws.conditional_format("B2:B13", {"type": "cell", "criteria": ">", "value": 5,
                                         "format": wb.add_format({"bg_color": "#FFC7CE"})})
        ws.data_validation("C2:C13", {"validate": "decimal", "criteria": "between", "minimum": 0, "maximum": 10})
        wb.define_name("Xs", "=Data!$A$2:$A$13")
        ws.insert_image("F20", "red.png", {"image_data": io.BytesIO(red)})  # 4 by 4 red pixels
        chart = wb.add_chart({"type": "line"})
        chart.add_series({"values": "=Data!$A$2:$A$13", "name": "x"})
        ws.insert_chart("F2", chart)
        wb.add_worksheet("Notes").write("A1", "kept as it is")
        wb.define_name("Notes!Local", "=Notes!$A$1")
        if path == xlsm:
            wb.add_vba_project(io.BytesIO(bytes(range(256)) * 8), is_stream=True)
with tempfile.TemporaryDirectory() as profile:  # the same workbook as LibreOffice saves it
    subprocess.run(["soffice", "--headless", "--norestore", "-env:UserInstallation=file://" + profile,
                    "--convert-to", "xlsx", "--outdir", os.path.join(work, "office"), made],
                   check=True, capture_output=True, timeout=300)

office = os.path.join(work, "office", "made.xlsx")
for label, source, extra in [("xlsxwriter", made, ["-x", "Data!A1:C13", "--plots"]),
                             ("LibreOffice", office, ["-x", "Data!A1:C13", "--plots"]),
                             ("listwise", made, ["-x", "Data!A1:C14", "--missing", "listwise"]),
                             ("macros", xlsm, ["-x", "Data!A1:C13"])]:  # this report takes its default name
    out = os.path.join(work, label + "-report" + os.path.splitext(source)[1])
    run = nml(source, "--headers", "--quiet", *extra, *([] if label == "macros" else ["-o", out]))
    check(f"{label}: exits 0 and keeps the parts ({run.stderr.strip()})", run.returncode == 0
          and "cannot be kept" not in run.stderr and "cells alone" not in run.stderr)
    if run.returncode != 0:
        continue
    # Every source part comes back byte for byte (sheets but for the selected tab; comments, drawings and the
    # project too); merged parts are read back.
    after = parts(out)
    for name, data in parts(source).items():
        if name not in ("[Content_Types].xml", "xl/workbook.xml", "xl/_rels/workbook.xml.rels", "xl/styles.xml"):
            check(f"{label}: {name} kept", after.get(name) == re.sub(rb'tabSelected="(1|true)"', b'tabSelected="0"', data))
    check(f"{label}: macro-enabled as the source", (b"macroEnabled" in after["[Content_Types].xml"]) == (label == "macros"))
    book = openpyxl.load_workbook(out)
    check(f"{label}: header font kept", book["Data"]["A1"].font.b)
    names = book.defined_names
    check(f"{label}: defined name", "Xs" in names and "$A$2:$A$13" in names["Xs"].attr_text)
    local = [d for d in names.definedName if d.name == "Local"]
    check(f"{label}: the name local to Notes follows it",
          len(local) == 1 and local[0].localSheetId == book.sheetnames.index("Notes"))
    check(f"{label}: a complete-cases sheet", (label == "listwise") == any("complete" in s for s in book.sheetnames))
    # r(x,y) as Python's statistics module computes it, and a bold title through the merged styles.
    r = statistics.correlation(X, Y)
    report = [book[s] for s in book.sheetnames if s not in ("Data", "Notes") and "complete" not in s]
    cells = [c for s in report for row in s.iter_rows() for c in row if c.value is not None]
    check(f"{label}: r(x,y) = {r:.6f} in the report", any(isinstance(c.value, float) and abs(c.value - r) < 1e-9
                                                           for c in cells))
    check(f"{label}: a bold cell on the report", any(c.font.b for c in cells))

# A report onto a sheet of the workbook: written from the cells, and standard error says what is lost.
out = os.path.join(work, "onto-report.xlsx")
run = nml(made, "-x", "Data!A1:C13", "--headers", "--output-range", "Notes!D1", "-o", out, "--quiet")
check(f"onto a sheet: exits 0 and says the parts are not kept ({run.stderr.strip()})",
      run.returncode == 0 and "not kept" in run.stderr and "Notes" in run.stderr)
check("onto a sheet: the report is there", run.returncode == 0 and openpyxl.load_workbook(out)["Notes"]["D1"].value)

# A report of some megabytes (its rows pass in pieces) has the same cell formats, cell by cell, whether it
# joins a kept workbook or is written from a CSV file.
rows = [[(i * 7919 % 1000) / 100, (i * 104729 % 997) / 50, (i * 31 % 101) / 10, (i * 17 % 89) / 7]
        for i in range(1, 3001)]
with xlsxwriter.Workbook(os.path.join(work, "big.xlsx")) as big:
    sheet = big.add_worksheet("Data")
    for i, row in enumerate([["a", "b", "c", "d"]] + rows):
        sheet.write_row(i, 0, row)
    sheet.write_comment("A1", "kept")
with open(os.path.join(work, "Data.csv"), "w") as f:
    f.write("a,b,c,d\n" + "".join(",".join(repr(v) for v in row) + "\n" for row in rows))
looks = []
for data in ("big.xlsx", "Data.csv"):
    run = nml(data, "-m", "canonical", "-x", "Data!A1:B3001", "-y", "Data!C1:D3001", "--headers", "--raw",
              "--standardised", "--quiet", "-o", data + "-report.xlsx")
    check(f"{data}: exits 0 ({run.stderr.strip()})", run.returncode == 0)
    if run.returncode == 0:
        s = openpyxl.load_workbook(os.path.join(work, data + "-report.xlsx")).worksheets[-1]
        looks.append([(c.coordinate, c.number_format, c.font.b, c.fill.fgColor.rgb, c.border.left.style,
                       c.alignment.horizontal) for row in s.iter_rows() for c in row if c.value is not None])
check("large report: same cell formats as from a CSV file", len(looks) == 2 and len(looks[0]) > 10000
      and looks[0] == looks[1])

run = nml(made, "-x", "Data!A1:C13", "--headers", "--quiet", "-o", "plain.xlsm")
check(f"xlsm name for a workbook without macros refused ({run.stderr.strip()})",
      run.returncode != 0 and not os.path.exists(os.path.join(work, "plain.xlsm")))

for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
