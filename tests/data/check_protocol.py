#!/usr/bin/python3
"""Compares a protocol with its template through openpyxl, a reader independent of ours.

    check_protocol.py TEMPLATE PROTOCOL LIST_ROW COPIES TEMPLATE_SHEET=PROTOCOL_SHEET[@ROW+COPIES]...

In the first mapped sheet COPIES copies of LIST_ROW were inserted below it; a sheet given with
"@ROW+COPIES" had its own list row copied. Values without "&",
merges, widths, heights, print area, page set-up, margins, footer and row breaks must equal the
template's, moved down where rows were inserted. Prints every difference; exits 1 when any.
"""
import re
import sys

from openpyxl import load_workbook
from openpyxl.utils import get_column_letter, range_boundaries

problems = []


def expect(what, got, wanted):
    if got != wanted:
        problems.append(f"{what}: got {got!r}, expected {wanted!r}")


def moved(row, list_row, copies):
    return row + copies if row > list_row else row


def moved_range(text, list_row, copies, extend):
    min_col, min_row, max_col, max_row = range_boundaries(text)
    last = max_row + copies if max_row > list_row or (extend and min_row <= list_row <= max_row) else max_row
    return (f"{get_column_letter(min_col)}{moved(min_row, list_row, copies)}:"
            f"{get_column_letter(max_col)}{last}")


def print_area(ws):
    area = ws.print_area
    if isinstance(area, (list, tuple)):
        area = ",".join(area)
    return re.sub(r"\$", "", area.split("!")[-1]) if area else None


def compare(source, target, list_row, copies):
    name = target.title
    for row in source.iter_rows():
        for cell in row:
            if cell.value is not None and "&" not in str(cell.value):
                expect(f"{name}!{cell.coordinate}", target.cell(moved(cell.row, list_row, copies), cell.column).value,
                       cell.value)
    merges = {moved_range(str(r), list_row, copies, False) for r in source.merged_cells.ranges}
    for r in source.merged_cells.ranges:
        if r.min_row == r.max_row == list_row:
            merges |= {moved_range(str(r), list_row - 1, k, False) for k in range(1, copies + 1)}
    expect(f"{name} merges", sorted(str(r) for r in target.merged_cells.ranges), sorted(merges))
    for letter, dim in source.column_dimensions.items():
        expect(f"{name} width {letter}", target.column_dimensions[letter].width, dim.width)
    for row, dim in source.row_dimensions.items():
        expect(f"{name} height {row}", target.row_dimensions[moved(row, list_row, copies)].height, dim.height)
    for k in range(1, copies + 1):
        expect(f"{name} height of copy {k}", target.row_dimensions[list_row + k].height,
               source.row_dimensions[list_row].height)
    area = print_area(source)
    expect(f"{name} print area", print_area(target), area and moved_range(area, list_row, copies, True))
    for field in ("orientation", "paperSize", "fitToWidth", "fitToHeight"):
        expect(f"{name} page setup {field}", getattr(target.page_setup, field), getattr(source.page_setup, field))
    expect(f"{name} fit to page", target.sheet_properties.pageSetUpPr.fitToPage,
           source.sheet_properties.pageSetUpPr.fitToPage)
    for field in ("left", "right", "top", "bottom", "header", "footer"):
        expect(f"{name} margin {field}", getattr(target.page_margins, field), getattr(source.page_margins, field))
    expect(f"{name} footer", target.oddFooter.center.text, source.oddFooter.center.text)
    # A break after the list row goes below its copies.
    expect(f"{name} row breaks", [b.id for b in target.row_breaks.brk],
           [b.id + copies if b.id >= list_row else b.id for b in source.row_breaks.brk])


def main():
    template, protocol, list_row, copies = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
    source_book, target_book = load_workbook(template), load_workbook(protocol)
    names = []
    for index, pair in enumerate(sys.argv[5:]):
        source_name, target = pair.split("=", 1)
        target_name, _, own_list = target.partition("@")
        sheet_row, sheet_copies = (list_row, copies) if index == 0 else (0, 0)
        if own_list:
            sheet_row, sheet_copies = (int(part) for part in own_list.split("+"))
        compare(source_book[source_name], target_book[target_name], sheet_row, sheet_copies)
        names.append(target_name)
    expect("sheets", target_book.sheetnames, names)
    expect("active sheet", target_book.active.title, target_book.sheetnames[0])
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
