// The rights of many computers written out as text: CSV (the window's
// export and the command line's csv), an HTML report with the legend (the
// window's export) and JSON (the command line). Plain C++, no Qt, so the
// window and the command line share one writer per format.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "passes/CellCode.h"

// One computer's row as exported: its name, its cell codes (one per right
// of the catalogue; the view chooses which are written) and, when it could
// not be read, why.
struct TExportRow {
  std::string name;
  TRowCodes codes;
  std::string error;
};

// The text of a cell: its code without trailing blanks ("Y", "N", "E",
// "NY" for a grant staged, "YN" for a revocation staged); empty for a cell
// never written.
std::string CellText(const TCellCode& code);

// A CSV field. Unless `raw`, a text beginning with '=', '+', '-', '@', TAB
// or CR, which a spreadsheet would take for a formula, gets a leading "'"
// so that it shows as text. Then the field is quoted (with inner quotes
// doubled) when it holds a comma, a quote, a line break or leading or
// trailing blanks. `raw` keeps names exactly as they are, for scripts.
std::string CsvField(std::string_view text, bool raw = false);

// CSV, lines ended by CR LF: when `account` is given, a first comment line
// "# Account: NAME" naming it; a header "Computer", the two-letter codes of
// the view's rights in its order and "Error"; then one line per row with
// its cell texts and its error text. Every field is written by CsvField
// with `raw`.
std::string ExportCsv(const std::vector<TExportRow>& rows, bool raw = false,
                      TRightsView view = TRightsView::Classic, const std::string& account = {});

// A self-contained HTML page (inline style, text symbols for the states):
// a title, the account, a table of the rows (the view's rights, deny rights
// marked) and the legend of the codes and of the states.
std::string ExportHtml(const std::vector<TExportRow>& rows, const std::string& account,
                       TRightsView view = TRightsView::Classic);

// Escaping for HTML text and for a JSON string (without the quotes).
std::string HtmlEscape(std::string_view text);
std::string JsonEscape(std::string_view text);
