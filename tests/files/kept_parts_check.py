#!/usr/bin/python3
"""Runs nmlcorr on workbooks made by other programs (xlsxwriter, and the same
workbook converted by LibreOffice) holding a chart, an image, a comment, a
defined name, a conditional format and data validation, and checks with
openpyxl and the zip listing that the written workbook still holds every one
of them beside the report sheet.

usage: kept_parts_check.py NMLCORR WORKDIR
Exit status 77 (skipped) when openpyxl, xlsxwriter or soffice is missing.
"""
import base64
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import zipfile

try:
    import openpyxl
    import xlsxwriter
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


# Three variables of twelve cases; the values are arbitrary.
X = [3.1, 4.7, 2.2, 5.9, 6.3, 1.8, 4.4, 5.1, 3.9, 2.7, 6.8, 4.0]
Y = [2.0, 3.9, 2.5, 4.8, 6.1, 1.1, 3.3, 4.9, 4.2, 2.0, 6.0, 3.1]
Z = [7.2, 5.5, 8.1, 4.0, 3.3, 9.0, 5.8, 4.4, 6.1, 7.7, 2.9, 5.0]

image = os.path.join(work, "red.png")  # 4 by 4 red pixels
with open(image, "wb") as f:
    f.write(base64.b64decode("iVBORw0KGgoAAAANSUhEUgAAAAQAAAAECAIAAAAmkwkpAAAAEElEQVR4nGP4z8AARwzEcQCukw/x0F8jngAAAABJRU5ErkJggg=="))
made = os.path.join(work, "made.xlsx")
wb = xlsxwriter.Workbook(made)
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
ws.insert_image("F20", image)
chart = wb.add_chart({"type": "line"})
chart.add_series({"values": "=Data!$A$2:$A$13", "name": "x"})
ws.insert_chart("F2", chart)
wb.add_worksheet("Notes").write("A1", "kept as it is")
wb.define_name("Notes!Local", "=Notes!$A$1")
wb.close()

# The same workbook as LibreOffice saves it.
profile = tempfile.mkdtemp()
office = os.path.join(work, "office")
os.makedirs(office, exist_ok=True)
subprocess.run(["soffice", "--headless", "--norestore", "-env:UserInstallation=file://" + profile,
                "--convert-to", "xlsx", "--outdir", office, made], check=True, capture_output=True, timeout=300)
shutil.rmtree(profile, ignore_errors=True)

cases = [("xlsxwriter", made, ["-x", "Data!A1:C13", "--plots"]),
         ("LibreOffice", os.path.join(office, "made.xlsx"), ["-x", "Data!A1:C13", "--plots"]),
         ("listwise", made, ["-x", "Data!A1:C14", "--missing", "listwise"])]
for label, source, extra in cases:
    out = os.path.join(work, label + "-report.xlsx")
    run = nml(source, "--headers", "-o", out, "--quiet", *extra)
    check(f"{label}: nmlcorr exits 0 ({run.stderr.strip()})", run.returncode == 0)
    check(f"{label}: no note that parts were not kept ({run.stderr.strip()})", "cannot be kept" not in run.stderr
          and "cells alone" not in run.stderr)
    if run.returncode != 0:
        continue
    with zipfile.ZipFile(source) as z:
        before = {i.filename: z.read(i.filename) for i in z.infolist()}
    with zipfile.ZipFile(out) as z:
        check(f"{label}: zip test", z.testzip() is None)
        after = {i.filename: z.read(i.filename) for i in z.infolist()}
    merged = {"[Content_Types].xml", "xl/workbook.xml", "xl/_rels/workbook.xml.rels", "xl/styles.xml"}
    # Every source part is there; all but the merged ones and the sheet
    # that gives up its selected tab byte for byte.
    for name, data in before.items():
        check(f"{label}: {name} kept", name in after)
        if name in after and name not in merged and not name.startswith("xl/worksheets/sheet"):
            check(f"{label}: {name} unchanged", after[name] == data)
    check(f"{label}: the image is there", any(n.startswith("xl/media/") for n in after))
    book = openpyxl.load_workbook(out)
    check(f"{label}: sheets {book.sheetnames}",
          "Data" in book.sheetnames and "Notes" in book.sheetnames and len(book.sheetnames) >= 3)
    data = book["Data"]
    check(f"{label}: values", [data.cell(r, 1).value for r in range(2, 14)] == X)
    check(f"{label}: comment", data["A1"].comment is not None and "spring" in data["A1"].comment.text)
    check(f"{label}: conditional format", len(data.conditional_formatting) == 1)
    check(f"{label}: data validation", len(data.data_validations.dataValidation) == 1)
    check(f"{label}: header font kept", data["A1"].font.b)
    names = book.defined_names
    check(f"{label}: defined name", "Xs" in names and "$A$2:$A$13" in names["Xs"].attr_text)
    check(f"{label}: Notes", book["Notes"]["A1"].value == "kept as it is")
    local = [d for d in names.definedName if d.name == "Local"]
    check(f"{label}: the name local to Notes follows it",
          len(local) == 1 and local[0].localSheetId == book.sheetnames.index("Notes"))
    if label == "listwise":
        check(f"{label}: a complete-cases sheet", any("complete" in s for s in book.sheetnames))
    # The report: the correlation of x and y, computed by Python's statistics
    # module, is found in the report sheet.
    r = statistics.correlation(X, Y)
    report = [s for s in book.sheetnames if s not in ("Data", "Notes") and "complete" not in s]
    found = False
    for s in report:
        for row in book[s].iter_rows(values_only=True):
            found |= any(isinstance(v, float) and abs(v - r) < 1e-9 for v in row)
    check(f"{label}: r(x,y) = {r:.6f} in the report", found)
    # The report's cell formats point into the merged styles: a bold title
    # somewhere on it, and no format index past the list.
    bold = any(c.font.b for s in report for row in book[s].iter_rows() for c in row if c.value)
    check(f"{label}: a bold cell on the report", bold)

# A report written onto a sheet of the workbook changes that sheet: the
# workbook is written from its cells, and standard error says what is lost.
out = os.path.join(work, "onto-report.xlsx")
run = nml(made, "-x", "Data!A1:C13", "--headers", "--output-range", "Notes!D1", "-o", out, "--quiet")
check(f"onto a sheet: exits 0 and says the parts are not kept ({run.stderr.strip()})",
      run.returncode == 0 and "not kept" in run.stderr and "Notes" in run.stderr)
if run.returncode == 0:
    check("onto a sheet: the report is there", openpyxl.load_workbook(out)["Notes"]["D1"].value is not None)

# A report sheet of some megabytes (its rows pass through in pieces) has the
# same cell formats whether it joins a kept workbook or is written from a CSV
# file: number formats, bold, fills, borders and alignment, cell by cell.
rows = [[(i * 7919 % 1000) / 100, (i * 104729 % 997) / 50, (i * 31 % 101) / 10, (i * 17 % 89) / 7]
        for i in range(1, 3001)]
big = xlsxwriter.Workbook(os.path.join(work, "big.xlsx"))
sheet = big.add_worksheet("Data")
sheet.write_row(0, 0, ["a", "b", "c", "d"])
for i, row in enumerate(rows):
    sheet.write_row(i + 1, 0, row)
sheet.write_comment("A1", "kept")
big.close()
with open(os.path.join(work, "Data.csv"), "w") as f:
    f.write("a,b,c,d\n" + "".join(",".join(repr(v) for v in row) + "\n" for row in rows))
looks = []
for data in ("big.xlsx", "Data.csv"):
    run = nml(data, "-m", "canonical", "-x", "Data!A1:B3001", "-y", "Data!C1:D3001", "--headers", "--raw",
              "--standardised", "--quiet", "-o", data + "-report.xlsx")
    check(f"{data}: exits 0 ({run.stderr.strip()})", run.returncode == 0)
    if run.returncode != 0:
        break
    book = openpyxl.load_workbook(os.path.join(work, data + "-report.xlsx"))
    s = book[book.sheetnames[-1]]
    looks.append([(c.coordinate, c.number_format, c.font.b, c.fill.fgColor.rgb, c.border.left.style,
                   c.alignment.horizontal) for row in s.iter_rows() for c in row if c.value is not None])
check("large report: same cell formats as from a CSV file", len(looks) == 2 and len(looks[0]) > 10000
      and looks[0] == looks[1])

# A macro-enabled workbook (its project here is opaque bytes) comes out as
# .xlsm, with the project and the macro-enabled content type as they were.
xlsm = os.path.join(work, "macros.xlsm")
project = bytes(range(256)) * 8
with zipfile.ZipFile(made) as z, zipfile.ZipFile(xlsm, "w", zipfile.ZIP_DEFLATED) as m:
    for item in z.infolist():
        data = z.read(item.filename)
        if item.filename == "[Content_Types].xml":
            data = data.replace(b"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml",
                                b"application/vnd.ms-excel.sheet.macroEnabled.main+xml").replace(
                b"</Types>", b'<Default Extension="bin" ContentType="application/vnd.ms-office.vbaProject"/></Types>')
        if item.filename == "xl/_rels/workbook.xml.rels":
            data = data.replace(b"</Relationships>", b'<Relationship Id="rId99" Type="http://schemas.microsoft.com/'
                                b'office/2006/relationships/vbaProject" Target="vbaProject.bin"/></Relationships>')
        m.writestr(item.filename, data)
    m.writestr("xl/vbaProject.bin", project)
run = nml(xlsm, "-x", "Data!A1:C13", "--headers", "--quiet")
out = os.path.join(work, "macros-report.xlsm")
check(f"xlsm: exits 0 and writes {out} ({run.stderr.strip()})", run.returncode == 0 and os.path.exists(out))
if os.path.exists(out):
    with zipfile.ZipFile(out) as z:
        check("xlsm: project kept", z.read("xl/vbaProject.bin") == project)
        check("xlsm: still macro-enabled", b"macroEnabled.main+xml" in z.read("[Content_Types].xml"))
    check("xlsm: report sheet", len(openpyxl.load_workbook(out, keep_vba=True).sheetnames) == 3)
run = nml(made, "-x", "Data!A1:C13", "--headers", "--quiet", "-o", "plain.xlsm")
check(f"xlsm name for a workbook without macros refused ({run.stderr.strip()})",
      run.returncode != 0 and not os.path.exists(os.path.join(work, "plain.xlsm")))

for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
