#!/usr/bin/python3
"""Builds the workbook fixtures of the file-reader tests; run from this folder: /usr/bin/python3 make_fixtures.py"""
import os, shutil, subprocess, tempfile, zipfile

import openpyxl
from openpyxl.styles import Alignment, Border, Font, PatternFill, Side

# handmade.xlsx holds exactly the features under test, part by part from handmade/: inline strings, rich text with
# phonetic runs, escaped control characters, CDATA, shared formulas, cached results of every type, cells and rows
# without positions, namespace prefixes (sheet2), column widths, relationship targets relative, absolute and through
# "..", and styles: xf 1 "0.000"; 2 built-in 10 (0.00%); 3 bold, fill FFFF99 (palette 36), thin border, centred;
# 4 fill indexed 22, left.
with zipfile.ZipFile("handmade.xlsx", "w", zipfile.ZIP_DEFLATED) as z:
    for name in ["[Content_Types].xml", "_rels/.rels", "xl/workbook.xml", "xl/_rels/workbook.xml.rels",
                 "xl/sharedStrings.xml", "xl/styles.xml", "xl/worksheets/sheet1.xml", "xl/worksheets/sheet2.xml"]:
        with open(os.path.join("handmade", name), "rb") as part:
            z.writestr(name, part.read())

# openpyxl.xlsx comes from a second writer, whose output the reader must take as it is.
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "Messwerte"
ws.append(["Name", "Height", "Weight", "Active"])
ws.append(["Ann", 1.62, 55.5, True])
ws.append(["Bob", 1.80, 81.25, False])
ws.append(["Cy", 1.75, None, True])
ws["B2"].number_format = "0.00"
ws["C3"].number_format = "#,##0.0"
ws["A1"].font = Font(bold=True)
ws["A1"].fill = PatternFill("solid", fgColor="FFC0C0C0")
thin = Side(style="thin")
ws["A1"].border = Border(left=thin, right=thin, top=thin, bottom=thin)
ws["A1"].alignment = Alignment(horizontal="right")
ws["D4"] = "#N/A"  # openpyxl stores known error literals as error cells
ws.column_dimensions["A"].width = 15
second = wb.create_sheet("Second sheet")
second["C5"] = "far away"
second["A1"] = 10
second["A2"] = "=A1*2"  # openpyxl keeps no cached result
wb.save("openpyxl.xlsx")

# libreoffice.xlsx is openpyxl.xlsx saved again by LibreOffice, which stores the results of formulas.
if shutil.which("soffice"):
    with tempfile.TemporaryDirectory() as out:
        subprocess.run(["soffice", "--headless", "--calc", "--convert-to", "xlsx:Calc MS Excel 2007 XML",
                        "--outdir", out, "openpyxl.xlsx"], check=True, capture_output=True)
        shutil.copy(os.path.join(out, "openpyxl.xlsx"), "libreoffice.xlsx")
