// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <xlsxwriter.h>

// libxlsxwriter, loaded at run time with its own dependencies bound first. It writes the zip
// container with the system's minizip, whose function names QuaZip (which reads the workbooks)
// exports as well; linked the ordinary way, libxlsxwriter's calls would land in QuaZip's versions,
// which take a QIODevice for a file name.
struct XlsxLibrary {
    decltype(&::workbook_new) workbook_new;
    decltype(&::workbook_add_worksheet) workbook_add_worksheet;
    decltype(&::workbook_add_format) workbook_add_format;
    decltype(&::workbook_close) workbook_close;
    decltype(&::format_set_num_format) format_set_num_format;
    decltype(&::format_set_num_format_index) format_set_num_format_index;
    decltype(&::format_set_pattern) format_set_pattern;
    decltype(&::format_set_bg_color) format_set_bg_color;
    decltype(&::format_set_bold) format_set_bold;
    decltype(&::worksheet_write_string) worksheet_write_string;
    decltype(&::worksheet_write_blank) worksheet_write_blank;
    decltype(&::worksheet_write_number) worksheet_write_number;
    decltype(&::worksheet_write_datetime) worksheet_write_datetime;
    decltype(&::worksheet_set_column) worksheet_set_column;
    decltype(&::worksheet_freeze_panes) worksheet_freeze_panes;
    decltype(&::worksheet_autofilter) worksheet_autofilter;
    decltype(&::lxw_strerror) lxw_strerror;

    // The library, loaded on first use; throws KalvonError (Unreadable) when it is missing.
    static const XlsxLibrary& get();
};
