#!/usr/bin/env python3
"""Writes the fuzz seeds of small files that would take far more memory than
they hold if spelled out (run from the repository root)."""
import zipfile

MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
OUT = "tests/fuzz/corpus/"


def workbook(path, sheets, sst=None, styles=None):
    book = f'<workbook xmlns="{MAIN}" xmlns:r="{REL}"><sheets>'
    rels = '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        for i, xml in enumerate(sheets, 1):
            book += f'<sheet name="S{i}" sheetId="{i}" r:id="rId{i}"/>'
            rels += f'<Relationship Id="rId{i}" Type="{REL}/worksheet" Target="worksheets/sheet{i}.xml"/>'
            z.writestr(f"xl/worksheets/sheet{i}.xml", xml)
        if sst is not None:
            rels += f'<Relationship Id="rIdS" Type="{REL}/sharedStrings" Target="sharedStrings.xml"/>'
            z.writestr("xl/sharedStrings.xml", sst)
        if styles is not None:
            rels += f'<Relationship Id="rIdT" Type="{REL}/styles" Target="styles.xml"/>'
            z.writestr("xl/styles.xml", styles)
        z.writestr("xl/workbook.xml", book + "</sheets></workbook>")
        z.writestr("xl/_rels/workbook.xml.rels", rels + "</Relationships>")


def sheet(rows, cols=""):
    return f'<worksheet xmlns="{MAIN}">{cols}<sheetData>{rows}</sheetData></worksheet>'


big = "x" * (4 << 20)
rows = "".join(f'<row r="{r}"><c t="s"><v>0</v></c></row>' for r in range(1, 5001))
workbook(OUT + "xlsx_reader_fuzz/memory-shared-string.xlsx", [sheet(rows)], sst=f"<sst><si><t>{big}</t></si></sst>")

xfs = "".join(f'<xf numFmtId="164" fontId="{i % 2}" fillId="0" borderId="0"><alignment horizontal="{a}"/></xf>'
              for i, a in enumerate(["left", "center", "right", "general"] * 2))
styles = (f'<styleSheet xmlns="{MAIN}"><numFmts><numFmt numFmtId="164" formatCode="{"0" * (4 << 20)}"/></numFmts>'
          '<fonts><font/><font><b/></font></fonts><cellXfs>' + xfs + "</cellXfs></styleSheet>")
workbook(OUT + "xlsx_reader_fuzz/memory-number-format.xlsx", [sheet('<row r="1"><c s="1"><v>1</v></c></row>')],
         styles=styles)

last = '<row r="1048576">' + "".join("<c><v>1</v></c>" for _ in range(16384)) + "</row>"
workbook(OUT + "xlsx_reader_fuzz/memory-last-row.xlsx", [sheet(last)] * 2)

widths = '<cols><col min="16384" max="16384" width="20" customWidth="1"/></cols>'
workbook(OUT + "xlsx_reader_fuzz/memory-column-widths.xlsx", [sheet("", widths)] * 200)

with open(OUT + "csv_reader_fuzz/memory-one-letter-fields.csv", "w") as f:
    f.write(("a," * 99 + "a\n") * 200)
