#!/usr/bin/python3
"""openpyxl doing what the protocol engine does to the template, timed here, without the start-up.

    bench_protocol_openpyxl.py TEMPLATE OUTPUT GROUPS RUNS

Loads the template, inserts GROUPS - 1 copies of the list row (values and styles), replaces the
scalar keys, writes the list cells, renames the kept sheets, deletes the dropped one and saves.
Prints the median seconds of RUNS runs.
"""
import copy
import statistics
import sys
import time

from openpyxl import load_workbook

LIST_ROW = 15


def fill(template, output, groups):
    wb = load_workbook(template)
    ws = wb["&DEV_SH_1"]
    ws.insert_rows(LIST_ROW + 1, groups - 1)
    for target in range(LIST_ROW + 1, LIST_ROW + groups):
        ws.row_dimensions[target].height = ws.row_dimensions[LIST_ROW].height
        for source in ws[LIST_ROW]:
            cell = ws.cell(target, source.column, source.value)
            cell._style = copy.copy(source._style)
    for sheet in wb.worksheets:
        for row in sheet.iter_rows():
            for cell in row:
                if isinstance(cell.value, str) and cell.value.startswith("&D_") and cell.value.endswith("_I"):
                    cell.value = f"{cell.value[3:-2]} {cell.row - LIST_ROW}"
                elif isinstance(cell.value, str) and "&" in cell.value:
                    cell.value = cell.value.replace("&", "")
    wb.remove(wb["&DEV_VER_1"])
    wb["&DEV_SH_1"].title = " Прибор 1"
    wb["&DEV_VCR_1"].title = "Свидетельство Прибор 1"
    wb.active = 0
    wb.save(output)


def main():
    template, output, groups, runs = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        fill(template, output, groups)
        times.append(time.perf_counter() - start)
    print(f"{statistics.median(times):.6f}")


if __name__ == "__main__":
    main()
