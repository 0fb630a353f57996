#!/usr/bin/python3
"""Writes the protocol template the program ships, the test variant and the hand-written fixture.

Run with Debian's python3 and python3-openpyxl from the repository root:
    /usr/bin/python3 src/resources/templates/make_templates.py [FOLDER]
The outputs are committed; run it again only after changing this script. With FOLDER the three
workbooks go there, under the names of the committed ones, instead of over them.
"""
import os
import struct
import sys
import zipfile
import zlib

from openpyxl import Workbook
from openpyxl.drawing.image import Image
from openpyxl.drawing.spreadsheet_drawing import AnchorMarker, OneCellAnchor
from openpyxl.drawing.xdr import XDRPositiveSize2D
from openpyxl.formatting.rule import CellIsRule
from openpyxl.styles import Alignment, Border, Font, PatternFill, Side
from openpyxl.utils.units import pixels_to_EMU, points_to_pixels
from openpyxl.worksheet.pagebreak import Break

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", "..", ".."))
SHIPPED = os.path.join(HERE, "Протокол поверки.xlsx")
VARIANT = os.path.join(ROOT, "tests", "data", "template_variant.xlsx")
HANDMADE_PARTS = os.path.join(ROOT, "tests", "data", "handmade")
HANDMADE = os.path.join(ROOT, "tests", "data", "handmade.xlsx")
HANDMADE_ORDER = ["[Content_Types].xml", "_rels/.rels", "xl/workbook.xml", "xl/_rels/workbook.xml.rels",
                  "xl/worksheets/sheet1.xml", "xl/worksheets/_rels/sheet1.xml.rels", "xl/worksheets/sheet2.xml",
                  "xl/sharedStrings.xml", "xl/styles.xml", "xl/calcChain.xml"]

THIN = Side(style="thin")
BOX = Border(left=THIN, right=THIN, top=THIN, bottom=THIN)
CENTER = Alignment(horizontal="center", vertical="center", wrap_text=True)
WRAP = Alignment(vertical="top", wrap_text=True)
FOOTER = "Стр. &P из &N"
# Points: the height of a line of the default font, and of the stamp's picture at 96 dots an inch.
NAME_LINE = 15
STAMP_PIXELS = 64
STAMP = STAMP_PIXELS * 72 // 96


def png(width, height, rgb):
    """A plain one-colour PNG, so the script needs no imaging library."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    row = b"\x00" + bytes(rgb) * width
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(row * height)) + chunk(b"IEND", b""))


class PlainImage(Image):
    """openpyxl's image without Pillow: the bytes are given, not read from a picture file."""

    def __init__(self, data, width, height):
        self.ref = None
        self.data = data
        self.width = width
        self.height = height
        self.format = "png"

    def _data(self):
        return self.data


def page_layout(ws, landscape, print_area):
    ws.page_setup.orientation = "landscape" if landscape else "portrait"
    ws.page_setup.paperSize = ws.PAPERSIZE_A4
    ws.page_setup.fitToWidth = 1
    ws.page_setup.fitToHeight = 0
    ws.sheet_properties.pageSetUpPr.fitToPage = True
    ws.page_margins.left = ws.page_margins.right = 0.25
    ws.page_margins.top = ws.page_margins.bottom = 0.75
    ws.page_margins.header = ws.page_margins.footer = 0.3
    ws.oddFooter.center.text = FOOTER
    ws.print_area = print_area


def line(ws, row, text, last="G", bold=False, height=None):
    ws.cell(row=row, column=1, value=text).alignment = WRAP
    if bold:
        ws.cell(row=row, column=1).font = Font(bold=True, size=13)
    ws.merge_cells(f"A{row}:{last}{row}")
    if height:
        ws.row_dimensions[row].height = height


def signatures(ws, row):
    """The signatures, the date and the stamp under the names share one row: a row never splits over two
    pages, so the block prints whole on one page whatever the number of list rows above it."""
    texts = (("A", "B", "Поверитель\nРуководитель\nДата поверки: &CD_DATE"),
             ("C", "E", "&CD_VERIF_POS\n&CD_CHEF_POS"),
             ("F", "G", "&CD_VERIF\n&CD_CHEF"))
    for first, last, text in texts:
        ws[f"{first}{row}"] = text
        ws[f"{first}{row}"].alignment = WRAP
        ws.merge_cells(f"{first}{row}:{last}{row}")
    ws.row_dimensions[row].height = 2 * NAME_LINE + STAMP + 4
    stamp = PlainImage(png(STAMP_PIXELS, STAMP_PIXELS, (180, 40, 40)), STAMP_PIXELS, STAMP_PIXELS)
    stamp.anchor = OneCellAnchor(_from=AnchorMarker(col=5, row=row - 1, rowOff=pixels_to_EMU(points_to_pixels(2 * NAME_LINE))),
                                 ext=XDRPositiveSize2D(pixels_to_EMU(STAMP_PIXELS), pixels_to_EMU(STAMP_PIXELS)))
    ws.add_image(stamp)


def protocol_sheet(wb):
    ws = wb.active
    ws.title = "&DEV_SH_1"
    for column in "ABCDEFG":
        ws.column_dimensions[column].width = 15
    ws.column_dimensions["H"].width = 4
    ws.row_dimensions[1].height = 40
    logo = PlainImage(png(96, 40, (40, 80, 160)), 96, 40)
    ws.add_image(logo, "A1")
    line(ws, 2, "ПРОТОКОЛ ПОВЕРКИ № &D_SH_NUM", bold=True, height=22)
    line(ws, 3, "&CD_ORG, &CD_ADDRESS, аттестат &CD_CRT_NUM")
    line(ws, 4, "Средство измерений: &D_NAME, заводской № &D_SERIAL")
    # The output-signal text ends in its unit.
    line(ws, 5, "Диапазон измерений: &D_FINTERVAL, выходной сигнал &D_SIGNAL")
    line(ws, 6, "Владелец: &D_OWNER. Примечания: &D_NOTES")
    line(ws, 7, "Методика поверки: &D_DOC_VR. Поверка &D_VR_TYPE_OF")
    line(ws, 8, "Вид поверки: &D_VR_TYPE")
    line(ws, 9, "Условия поверки: &CD_TEMP_FULL, &CD_HUM_FULL, &CD_PRES_FULL")
    line(ws, 10, "&CD_ET_AUX_LST")
    line(ws, 11, "Эталон: &ET_TYPE № &ET_SERIAL, &ET_TZS_TYPE № &ET_TZS_SERIAL (&ET_LO ... &ET_HI &ET_UNIT), класс &ET_CLASS")
    line(ws, 12, "Опробование: &D_CHECK_USG. Герметичность: &D_CHECK_THT. Электрическая прочность изоляции: "
             "&D_CHECK_EL. Сопротивление изоляции: &D_CHECK_R", height=30)
    # No list key counts the table's lines and a list row's copies keep a formula's value only, so
    # the table has no line number column.
    headers = ["Давление, &D_UNIT", "Эталон, &D_ET_UNIT", "Ток, мА", "Погрешность, %",
               "Допуск, %", "Вариация, %", "Допуск вариации, %"]
    for column, text in enumerate(headers, start=1):
        cell = ws.cell(row=14, column=column, value=text)
        cell.font = Font(bold=True)
        cell.alignment = CENTER
        cell.border = BOX
        cell.fill = PatternFill("solid", fgColor="DDE4F0")
    ws.row_dimensions[14].height = 32
    keys = ["&D_VAL_I", "&D_REFF_I", "&D_I_I", "&D_ACC_I", "&D_ALL_ACC_I", "&D_VAR_I", "&D_ALL_VAR_I"]
    for column, key in enumerate(keys, start=1):
        cell = ws.cell(row=15, column=column, value=key)
        cell.alignment = CENTER
        cell.border = BOX
    ws.cell(row=15, column=8, value="&LST_F")
    ws.row_dimensions[15].height = 20
    ws.conditional_formatting.add("D15:E15", CellIsRule(operator="greaterThan", formula=["0.5"],
                                                        font=Font(color="C00000")))
    line(ws, 17, "Максимальная погрешность: &VR_MAX_ACC %, максимальная вариация: &VR_MAX_VAR %")
    line(ws, 18, "Результаты поверки &VR_RESULT_SHORT. &VR_RESULT")
    line(ws, 19, "&VR_D_RES_DOC")
    signatures(ws, 20)
    page_layout(ws, True, "A1:G20")


def document_sheet(wb, title, heading, lines):
    ws = wb.create_sheet(title)
    ws.column_dimensions["A"].width = 20
    for column in "BCDEF":
        ws.column_dimensions[column].width = 16
    line(ws, 1, heading, last="F", bold=True, height=24)
    for row, text in enumerate(lines, start=3):
        line(ws, row, text, last="F")
    ws.row_dimensions[4].height = 45
    page_layout(ws, False, f"A1:F{len(lines) + 3}")
    return ws


def stroke_list(ws, row):
    """Forward and backward strokes side by side: each line a mirrored pair, so half the groups."""
    headers = ["Эталон, &D_UNIT", "Прямой ход", "Обратный ход", "Вариация, %"]
    keys = ["&D_REFF_I", "&D_VAL_I", "&D_VAL_D", "&D_VAR_I"]
    for column, (header, key) in enumerate(zip(headers, keys), start=1):
        for target, text in ((row - 1, header), (row, key)):
            cell = ws.cell(row=target, column=column, value=text)
            cell.alignment = CENTER
            cell.border = BOX
    ws.cell(row=row, column=8, value="&LST_H")
    ws.print_area = f"A1:F{row}"


def shipped_book():
    wb = Workbook()
    protocol_sheet(wb)
    document_sheet(wb, "&DEV_VCR_1", "СВИДЕТЕЛЬСТВО О ПОВЕРКЕ № &D_VCR_NUM", [
        "Средство измерений &D_NAME, заводской № &D_SERIAL, владелец &D_OWNER",
        "&VR_D_RESULT_VCR",
        "Поверитель &CD_VERIF",
        "Дата поверки &CD_VAL_DATE",
    ])
    document_sheet(wb, "&DEV_VER_1", "ИЗВЕЩЕНИЕ О НЕПРИГОДНОСТИ К ПРИМЕНЕНИЮ № &D_VER_NUM", [
        "Средство измерений &D_NAME, заводской № &D_SERIAL, владелец &D_OWNER",
        "&VR_D_RESULT_VCR",
        "Причина непригодности: &D_VER_CAUSE",
        "Поверитель &CD_VERIF",
    ])
    return wb


def variant_book():
    wb = shipped_book()
    # A manual break right after the list row, which must go below the row's copies.
    wb["&DEV_SH_1"].row_breaks.append(Break(id=15))
    certificate = document_sheet(wb, "&DEV_CCR_1", "СЕРТИФИКАТ КАЛИБРОВКИ", [
        "Средство измерений &D_NAME, заводской № &D_SERIAL",
        "Результат: &VR_D_SUITABLE",
    ])
    stroke_list(certificate, 7)
    notes = wb.create_sheet("Примечания")
    notes["A1"] = "Примечания к протоколу"
    notes["A2"] = "&D_NOTES"
    notes.column_dimensions["A"].width = 40
    return wb


def handmade_book(path):
    """Zips the hand-written parts, with a printer-settings part that only a relationship reaches."""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
        for name in HANDMADE_ORDER:
            with open(os.path.join(HANDMADE_PARTS, name), "rb") as part:
                archive.writestr(zipfile.ZipInfo(name, (2024, 1, 1, 0, 0, 0)), part.read(), zipfile.ZIP_DEFLATED)
        archive.writestr(zipfile.ZipInfo("xl/printerSettings/printerSettings1.bin", (2024, 1, 1, 0, 0, 0)),
                         bytes(range(256)) * 4, zipfile.ZIP_DEFLATED)


def main(folder=None):
    def target(path):
        return os.path.join(folder, os.path.basename(path)) if folder else path
    shipped_book().save(target(SHIPPED))
    variant_book().save(target(VARIANT))
    handmade_book(target(HANDMADE))


if __name__ == "__main__":
    main(*sys.argv[1:2])
