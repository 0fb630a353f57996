#!/usr/bin/env python3
"""Prints what openpyxl reads from an archive export as JSON: sheets, the used range (which spans
every cell the sheet holds, one with a style and no value too), the title cell and its font, every
cell of rows 4 on in columns B to N with its value, type and border, and the column widths."""
import json
import sys

import openpyxl


def cell_entry(cell):
    return {
        "value": cell.value,
        "type": type(cell.value).__name__,
        "border": [cell.border.left.style, cell.border.right.style, cell.border.top.style, cell.border.bottom.style],
    }


def main(path):
    book = openpyxl.load_workbook(path)
    sheet = book.worksheets[0]
    # Taken first: looking a cell up adds it to the sheet.
    used = sheet.dimensions
    title = sheet["D2"]
    report = {
        "sheets": book.sheetnames,
        "used": used,
        "title": title.value,
        "titleFont": [title.font.name, title.font.sz],
        "maxRow": sheet.max_row,
        "firstColumnEmpty": all(sheet.cell(row=r, column=1).value is None for r in range(1, sheet.max_row + 1)),
        "rows": [[cell_entry(sheet.cell(row=r, column=c)) for c in range(2, 15)] for r in range(4, sheet.max_row + 1)],
        "widths": [sheet.column_dimensions[openpyxl.utils.get_column_letter(c)].width for c in range(2, 15)],
    }
    json.dump(report, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main(sys.argv[1])
