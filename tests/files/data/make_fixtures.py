#!/usr/bin/python3
"""Builds the workbook fixtures of the file-reader tests; run from this folder: /usr/bin/python3 make_fixtures.py"""
import os
import shutil
import subprocess
import tempfile
import zipfile

import openpyxl
from openpyxl.styles import Alignment, Border, Font, PatternFill, Side

MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
PKG = "http://schemas.openxmlformats.org/package/2006/relationships"

CONTENT_TYPES = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">
<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>
<Default Extension="xml" ContentType="application/xml"/>
<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>
<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>
<Override PartName="/xl/worksheets/sheet2.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>
<Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>
<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>
</Types>"""

ROOT_RELS = f"""<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="{PKG}">
<Relationship Id="rId1" Type="{REL}/officeDocument" Target="xl/workbook.xml"/>
</Relationships>"""

WORKBOOK = f"""<?xml version="1.0" encoding="UTF-8"?>
<workbook xmlns="{MAIN}" xmlns:r="{REL}">
<workbookPr/>
<sheets>
<sheet name="Data &amp; Notes" sheetId="1" r:id="rId1"/>
<sheet name="Zweites Blatt" sheetId="2" r:id="rId2"/>
</sheets>
</workbook>"""

# Targets: one relative, one absolute, one through "..".
WORKBOOK_RELS = f"""<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="{PKG}">
<Relationship Id="rId1" Type="{REL}/worksheet" Target="worksheets/sheet1.xml"/>
<Relationship Id="rId2" Type="{REL}/worksheet" Target="/xl/worksheets/sheet2.xml"/>
<Relationship Id="rId3" Type="{REL}/sharedStrings" Target="../xl/sharedStrings.xml"/>
<Relationship Id="rId4" Type="{REL}/styles" Target="styles.xml"/>
<Relationship Id="rId5" Type="{REL}/hyperlink" Target="http://example.com/" TargetMode="External"/>
</Relationships>"""

SHARED_STRINGS = f"""<?xml version="1.0" encoding="UTF-8"?>
<sst xmlns="{MAIN}" count="4" uniqueCount="4">
<si><t>alpha</t></si>
<si><r><rPr><b/></rPr><t>be</t></r><r><t xml:space="preserve">ta </t></r><rPh sb="0" eb="1"><t>PHONETIC</t></rPh></si>
<si><t>line1_x000D_
line2 &lt;&amp;&gt; caf&#233; &#x263A;</t></si>
<si><t><![CDATA[<raw> & text]]></t></si>
</sst>"""

# xf 0 default; 1 "0.000"; 2 built-in 10 (0.00%); 3 bold, fill FFFF99 (palette 36), thin border, centred; 4 fill, left.
STYLES = f"""<?xml version="1.0" encoding="UTF-8"?>
<styleSheet xmlns="{MAIN}">
<numFmts count="1"><numFmt numFmtId="164" formatCode="0.000"/></numFmts>
<fonts count="2"><font><sz val="11"/><name val="Calibri"/></font><font><b/><sz val="11"/><name val="Calibri"/></font></fonts>
<fills count="4">
<fill><patternFill patternType="none"/></fill>
<fill><patternFill patternType="gray125"/></fill>
<fill><patternFill patternType="solid"><fgColor rgb="FFFFFF99"/><bgColor indexed="64"/></patternFill></fill>
<fill><patternFill patternType="solid"><fgColor indexed="22"/></patternFill></fill>
</fills>
<borders count="2">
<border><left/><right/><top/><bottom/><diagonal/></border>
<border><left style="thin"><color auto="1"/></left><right style="thin"/><top style="thin"/><bottom style="thin"/><diagonal/></border>
</borders>
<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>
<cellXfs count="5">
<xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>
<xf numFmtId="164" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>
<xf numFmtId="10" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>
<xf numFmtId="0" fontId="1" fillId="2" borderId="1" xfId="0" applyFont="1" applyFill="1" applyBorder="1" applyAlignment="1"><alignment horizontal="center"/></xf>
<xf numFmtId="0" fontId="0" fillId="3" borderId="0" xfId="0" applyFill="1" applyAlignment="1"><alignment horizontal="left"/></xf>
</cellXfs>
</styleSheet>"""

SHEET1 = f"""<?xml version="1.0" encoding="UTF-8"?>
<worksheet xmlns="{MAIN}" xmlns:r="{REL}">
<dimension ref="A1:F8"/>
<sheetViews><sheetView workbookViewId="0"/></sheetViews>
<cols><col min="1" max="1" width="20.5" customWidth="1"/><col min="3" max="4" width="12" customWidth="1"/></cols>
<sheetData>
<row r="1">
<c r="A1" t="s"><v>0</v></c>
<c r="B1" t="s" s="3"><v>1</v></c>
<c r="C1" t="inlineStr"><is><t>inline text</t></is></c>
<c r="D1" t="b"><v>1</v></c>
<c r="E1" t="e"><v>#DIV/0!</v></c>
<c r="F1" t="b"><v>0</v></c>
</row>
<row r="2">
<c r="A2" s="1"><v>1.5</v></c>
<c r="B2"><f>A2*2</f><v>3</v></c>
<c r="C2" t="str"><f>UPPER(A1)</f><v>ALPHA</v></c>
<c r="D2"><f t="shared" ref="D2:D4" si="0">A2+$A$2*B$2</f><v>6</v></c>
<c r="E2" t="e"><f>NA()</f><v>#N/A</v></c>
<c r="F2" t="s"><v>2</v></c>
</row>
<row r="3">
<c r="A3" s="2"><v>0.25</v></c>
<c r="D3"><f t="shared" si="0"/><v>4.75</v></c>
<c r="F3" t="s"><v>3</v></c>
</row>
<row r="4">
<c r="A4" t="d"><v>2024-02-29</v></c>
<c r="B4" t="d"><v>1900-01-01T12:00:00</v></c>
<c r="D4"><f t="shared" si="0"/><v>0</v></c>
<c r="E4" s="4"/>
</row>
<row>
<c><v>-1E-3</v></c>
<c t="inlineStr"><is><r><t>rich </t></r><r><t>inline</t></r></is></c>
<c r="E5"><v>1e300</v></c>
<c><v>7</v></c>
</row>
<row r="8" spans="1:2">
<c r="B8" t="str"><v>plain str</v></c>
</row>
</sheetData>
<mergeCells count="1"><mergeCell ref="A8:A9"/></mergeCells>
<pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/>
</worksheet>"""

# The same vocabulary with a namespace prefix on every element.
SHEET2 = f"""<?xml version="1.0" encoding="UTF-8"?>
<!-- written with prefixes -->
<x:worksheet xmlns:x="{MAIN}">
<x:sheetData>
<x:row r="2"><x:c r="B2"><x:v>42</x:v></x:c><x:c r="C2" t="s"><x:v>0</x:v></x:c></x:row>
</x:sheetData>
</x:worksheet>"""


# handmade.xlsx is written part by part, so that it holds exactly the features under test.
with zipfile.ZipFile("handmade.xlsx", "w", zipfile.ZIP_DEFLATED) as z:
    for name, text in [("[Content_Types].xml", CONTENT_TYPES), ("_rels/.rels", ROOT_RELS),
                       ("xl/workbook.xml", WORKBOOK), ("xl/_rels/workbook.xml.rels", WORKBOOK_RELS),
                       ("xl/sharedStrings.xml", SHARED_STRINGS), ("xl/styles.xml", STYLES),
                       ("xl/worksheets/sheet1.xml", SHEET1), ("xl/worksheets/sheet2.xml", SHEET2)]:
        z.writestr(name, text)

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
