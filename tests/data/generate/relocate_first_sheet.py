#!/usr/bin/env python3
"""Rewrites sheetjs-str-cells.xlsx into sheetjs-first-sheet-not-sheet1.xlsx.

The first tab's part moves to xl/worksheets/sheet3.xml (named by an absolute
relationship target) and the second tab's part takes the name sheet1.xml, so
a reader that opens a fixed path reads the wrong sheet. Run by hand after
sheetjs.js; the result is committed.
"""
import os
import zipfile

here = os.path.dirname(os.path.abspath(__file__))
src = os.path.join(here, '..', 'sheetjs-str-cells.xlsx')
dst = os.path.join(here, '..', 'sheetjs-first-sheet-not-sheet1.xlsx')

renames = {'xl/worksheets/sheet1.xml': 'xl/worksheets/sheet3.xml',
           'xl/worksheets/sheet2.xml': 'xl/worksheets/sheet1.xml'}

with zipfile.ZipFile(src) as zin, zipfile.ZipFile(dst, 'w', zipfile.ZIP_DEFLATED) as zout:
    for info in zin.infolist():
        data = zin.read(info.filename)
        name = renames.get(info.filename, info.filename)
        if info.filename == 'xl/_rels/workbook.xml.rels':
            text = data.decode('utf-8')
            text = text.replace('Target="worksheets/sheet1.xml"', 'Target="/xl/worksheets/sheet3.xml"')
            text = text.replace('Target="worksheets/sheet2.xml"', 'Target="worksheets/sheet1.xml"')
            data = text.encode('utf-8')
        elif info.filename == '[Content_Types].xml':
            text = data.decode('utf-8')
            text = text.replace('/xl/worksheets/sheet1.xml', '/xl/worksheets/sheet3.xml')
            text = text.replace('/xl/worksheets/sheet2.xml', '/xl/worksheets/sheet1.xml')
            data = text.encode('utf-8')
        zout.writestr(name, data)
