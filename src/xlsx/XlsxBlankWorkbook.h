#pragma once

class XlsxPackage;

// The parts of a new workbook with one empty sheet ("Sheet1"), default styles and nothing else.
class XlsxBlankWorkbook
{
public:
    static void fill(XlsxPackage& package);
};
