#include "passes/Export.h"

#include <cstdio>

#include "rights/Velmar_RightsCenter.h"

std::string CellText(const TCellCode& code) {
  std::string text = code.Text();
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string CsvField(std::string_view text, bool raw) {
  // What a spreadsheet reads as the start of a formula (TAB and CR too:
  // some programs skip them before looking for one).
  const bool formula = !raw && !text.empty() &&
                       std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
  std::string value = formula ? "'" + std::string(text) : std::string(text);
  const bool quote = value.find_first_of(",\"\r\n") != std::string::npos ||
                     (!value.empty() && (value.front() == ' ' || value.back() == ' '));
  if (!quote) return value;
  std::string field = "\"";
  for (char c : value) {
    if (c == '"') field += '"';
    field += c;
  }
  return field + '"';
}

std::string ExportCsv(const std::vector<TExportRow>& rows, bool raw, TRightsView view,
                      const std::string& account) {
  const std::vector<TvmPrivilege>& shown = ViewRights(view);
  std::string out;
  if (!account.empty()) out = "# Account: " + CsvField(account, raw) + "\r\n";
  out += "Computer";
  for (TvmPrivilege right : shown) out += ',' + PrivilegeCode(right);
  out += ",Error\r\n";
  for (const TExportRow& row : rows) {
    out += CsvField(row.name, raw);
    for (TvmPrivilege right : shown) out += ',' + CsvField(CellText(row.codes[right]), raw);
    out += ',' + CsvField(row.error, raw) + "\r\n";
  }
  return out;
}

std::string HtmlEscape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string JsonEscape(std::string_view text) {
  std::string out;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

namespace {

// How a cell shows in the report: a symbol and a style class, after the
// state images of the grid.
struct TCellLook {
  const char* symbol;
  const char* cls;
};

TCellLook LookOf(const TCellCode& code) {
  switch (StateImageIndex(code)) {
    case 0:
      return {"+", "grant"};
    case 1:
      return {"&minus;", "revoke"};
    case 2:
      return {"&times;", "error"};
    case 3:
      return {"&#10003;", "held"};
    default:
      return {"", "none"};
  }
}

constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:1.5em;color:#222}"
    "table{border-collapse:collapse}"
    "th,td{border:1px solid #bbb;padding:2px 6px;text-align:center}"
    "th.name,td.name{text-align:left;white-space:nowrap}"
    "td.err{text-align:left;color:#a00}"
    ".held{color:#060;font-weight:bold}"
    "td.grant{background:#dfd;color:#060;font-weight:bold}"
    "td.revoke{background:#fdd;color:#a00;font-weight:bold}"
    "td.error{background:#f6c6c6;color:#a00}"
    "ul.legend{columns:3;font-size:90%}"
    "th.deny{background:#fde2c8;color:#a00}"
    "li.deny{color:#a00}";

}  // namespace

std::string ExportHtml(const std::vector<TExportRow>& rows, const std::string& account,
                       TRightsView view) {
  const std::vector<TvmPrivilege>& shown = ViewRights(view);
  std::string out =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n<title>Tavrin: user rights of " +
      HtmlEscape(account) + "</title>\n<style>" + kStyle + "</style></head>\n<body>\n";
  out += "<h1>User rights of " + HtmlEscape(account) + "</h1>\n";
  out += "<table>\n<tr><th class=\"name\">Computer</th>";
  for (TvmPrivilege right : shown)
    out += std::string("<th") + (RightInfo(right).deny ? " class=\"deny\"" : "") + " title=\"" +
           HtmlEscape(RightDescription(right)) + "\">" + PrivilegeCode(right) + "</th>";
  out += "<th class=\"name\">Error</th></tr>\n";
  for (const TExportRow& row : rows) {
    out += "<tr><td class=\"name\">" + HtmlEscape(row.name) + "</td>";
    for (TvmPrivilege right : shown) {
      const TCellCode& code = row.codes[right];
      const TCellLook look = LookOf(code);
      out += std::string("<td class=\"") + look.cls + "\" title=\"" + CellText(code) + "\">" +
             look.symbol + "</td>";
    }
    out += "<td class=\"err\">" + HtmlEscape(row.error) + "</td></tr>\n";
  }
  out +=
      "</table>\n<h2>Legend</h2>\n<p><span class=\"held\">&#10003;</span> right held, "
      "+ grant staged, &minus; revocation staged, &times; unreadable or failed; "
      "an empty cell: right not held.</p>\n<ul class=\"legend\">\n";
  for (TvmPrivilege right : shown)
    out += std::string("<li") + (RightInfo(right).deny ? " class=\"deny\"" : "") + ">" +
           HtmlEscape(PrivilegeLegendLine(right)) + ": " + HtmlEscape(RightInfo(right).policyName) +
           " (" + RightInfo(right).constant + ")</li>\n";
  out += "</ul>\n</body></html>\n";
  return out;
}
