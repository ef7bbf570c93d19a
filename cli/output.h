// Presentation of recordsets: aligned tables for people (display width aware, so Chinese text
// lines up), CSV after RFC 4180 and JSON for programs.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "ledger/grid.h"
#include "platform/variant.h"

namespace q9::cli {

enum class Format { kTable, kCsv, kJson };

using ledger::CellToJson;
using ledger::DumpJson;
using ledger::Grid;
using ledger::GridToJson;
using ledger::Json;
using ledger::ReadGrid;

// The rows a table, CSV or JSON text is written from, visited in order as often as the writer
// needs: a grid's, or a recordset's read through a clone so that a large summary is written
// without a copy of its rows.
struct RowsView {
  using Visit = std::function<void(const std::vector<platform::Variant>&)>;
  std::vector<std::string> columns;
  std::vector<std::string> captions;  // empty: the names are the headings
  std::function<void(const Visit&)> for_each;
};
// The view of `grid`, which must outlive it.
RowsView ViewOf(const Grid& grid);

// A column of a saved report format (GetQueryFormat): field, caption and whether it is shown.
struct FormatColumn {
  std::string field;
  std::string caption;
  bool visible = true;
};

// The grid laid out by a saved format: the format's visible columns in its order, with their
// captions, then `extra` columns of the grid (e.g. computed ones) with `extra_captions`.
// Format columns the grid lacks are skipped; grid columns neither the format nor `extra` name
// are left out.
Grid ApplyFormat(const Grid& grid, const std::vector<FormatColumn>& format,
                 const std::vector<std::string>& extra = {},
                 const std::vector<std::string>& extra_captions = {});

// The grid with only the named columns, in the order named; names the grid lacks are skipped.
Grid SelectColumns(const Grid& grid, const std::vector<std::string>& names);

// `text` with every control character (C0, DEL, C1) but line breaks and tabs written \xNN.
std::string EscapeControls(std::string_view text);

// Terminal columns the UTF-8 text takes: East Asian wide and fullwidth characters (CJK
// ideographs, kana, hangul, fullwidth forms) count two, combining marks and zero-width characters
// none, everything else one. A byte that is not valid UTF-8 counts one.
int DisplayWidth(std::string_view utf8);

// A table for people: a header line, a line of dashes under each header and one line per row;
// columns two blanks apart and padded to the widest cell by display width; headings are the
// captions when the grid has them; Null and Empty shown empty; a number shows the same text
// whatever else the column holds (integers as they are, other numbers rounded to at most four
// decimals without trailing zeros), right-aligned with the decimal points lined up; other values
// left-aligned, line breaks and tabs in texts shown as blanks and every other control character
// escaped as \xNN so nothing reaches the terminal as a command. Lines end with "\n" and carry
// no trailing blanks. A grid without columns gives "".
std::string RenderTable(const Grid& grid);
void WriteTable(std::ostream& out, const RowsView& rows);

// CSV after RFC 4180: a header record (the captions when the grid has them, else the names),
// then one record per row; records end with CR LF; a field holding a comma, a double quote, CR
// or LF is enclosed in double quotes with its quotes doubled. Null and Empty are empty fields,
// numbers in their automation text (up to 15 significant digits), dates YYYY-MM-DD, Booleans
// True / False. UTF-8; the byte-order mark (kCsvByteOrderMark) goes once at the start of the
// output, as the print service writes it, so spreadsheet programs read the Chinese texts.
std::string RenderCsv(const Grid& grid);
void WriteCsv(std::ostream& out, const RowsView& rows);
inline constexpr char kCsvByteOrderMark[] = "\xEF\xBB\xBF";

// The text of GridToJson for the rows, written row by row.
void WriteJson(std::ostream& out, const RowsView& rows);

}  // namespace q9::cli
