// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the benchmarks' list of open items as an .xlsx workbook: write_xlsx PATH ROWS.
// A program of its own because libxlsxwriter and QuaZip both carry minizip's zip functions under
// the same names, so the two cannot share a process.
#include "open_items.h"

#include <QByteArray>

#include <xlsxwriter.h>

#include <cstdio>
#include <cstdlib>

// Texts as shared strings, the dates with a date format, the amounts as numbers: as a spreadsheet
// program writes a workbook.
int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: write_xlsx PATH ROWS\n", stderr);
        return 2;
    }
    const int rows = std::atoi(argv[2]);
    lxw_workbook* workbook = workbook_new(argv[1]);
    if (workbook == nullptr)
        return 1;
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, "Offene Posten");
    lxw_format* dateFormat = workbook_add_format(workbook);
    format_set_num_format(dateFormat, "dd.mm.yyyy");
    const char* headers[] = {"Belegnr", "Datum", "Kunde", "Betrag"};
    for (lxw_col_t c = 0; c < 4; ++c)
        worksheet_write_string(sheet, 0, c, headers[c], nullptr);
    for (int i = 1; i < rows; ++i) {
        const Invoice v = openItem(i);
        const auto row = lxw_row_t(i);
        worksheet_write_string(sheet, row, 0, v.number.toUtf8().constData(), nullptr);
        lxw_datetime date{v.date.year(), v.date.month(), v.date.day(), 0, 0, 0};
        worksheet_write_datetime(sheet, row, 1, &date, dateFormat);
        worksheet_write_string(sheet, row, 2, v.customer.toUtf8().constData(), nullptr);
        worksheet_write_number(sheet, row, 3, double(v.cents) / 100, nullptr);
    }
    return workbook_close(workbook) == LXW_NO_ERROR ? 0 : 1;
}
