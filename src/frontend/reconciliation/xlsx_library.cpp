// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/reconciliation/xlsx_library.h"

#include "core/numbers/kalvon_error.h"

#include <QString>

#include <dlfcn.h>

namespace {

template <class F> void bind(void* handle, const char* name, F& function, bool& complete) {
    function = reinterpret_cast<F>(dlsym(handle, name));
    complete = complete && function != nullptr;
}

// The loaded library, or null with the loader's message.
const XlsxLibrary* load(QString& problem) {
    static XlsxLibrary library;
    // libxlsxwriter calls minizip's zip functions, and QuaZip, loaded for reading workbooks, exports
    // functions of the same names with other parameters. A namespace of its own gives libxlsxwriter
    // its own minizip; RTLD_DEEPBIND would too, but the address sanitizer refuses it.
    void* handle = dlmopen(LM_ID_NEWLM, "libxlsxwriter.so.4", RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        problem = QString::fromLocal8Bit(dlerror());
        return nullptr;
    }
    bool complete = true;
    bind(handle, "workbook_new", library.workbook_new, complete);
    bind(handle, "workbook_add_worksheet", library.workbook_add_worksheet, complete);
    bind(handle, "workbook_add_format", library.workbook_add_format, complete);
    bind(handle, "workbook_close", library.workbook_close, complete);
    bind(handle, "format_set_num_format", library.format_set_num_format, complete);
    bind(handle, "format_set_num_format_index", library.format_set_num_format_index, complete);
    bind(handle, "format_set_pattern", library.format_set_pattern, complete);
    bind(handle, "format_set_bg_color", library.format_set_bg_color, complete);
    bind(handle, "format_set_bold", library.format_set_bold, complete);
    bind(handle, "worksheet_write_string", library.worksheet_write_string, complete);
    bind(handle, "worksheet_write_blank", library.worksheet_write_blank, complete);
    bind(handle, "worksheet_write_number", library.worksheet_write_number, complete);
    bind(handle, "worksheet_write_datetime", library.worksheet_write_datetime, complete);
    bind(handle, "worksheet_set_column", library.worksheet_set_column, complete);
    bind(handle, "worksheet_freeze_panes", library.worksheet_freeze_panes, complete);
    bind(handle, "worksheet_autofilter", library.worksheet_autofilter, complete);
    bind(handle, "lxw_strerror", library.lxw_strerror, complete);
    if (!complete) {
        problem = QStringLiteral("libxlsxwriter.so.4 ist zu alt");
        return nullptr;
    }
    return &library;
}

} // namespace

const XlsxLibrary& XlsxLibrary::get() {
    static QString problem;
    static const XlsxLibrary* const library = load(problem);
    if (!library)
        throw KalvonError::unreadable(
            QStringLiteral("Arbeitsmappen lassen sich nicht schreiben: %1 (Paket libxlsxwriter4).")
                .arg(problem));
    return *library;
}
