#include "cli/output.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace q9::cli {

using platform::Variant;
using platform::VarType;

namespace {

constexpr int kMaxDecimals = 4;

struct Interval {
  char32_t first;
  char32_t last;
};

constexpr Interval kZeroWidth[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x0610, 0x061A},
    {0x064B, 0x065F}, {0x200B, 0x200F}, {0x202A, 0x202E}, {0x2060, 0x2064},
    {0x20D0, 0x20FF}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF},
};

constexpr Interval kWide[] = {
    {0x1100, 0x115F},   {0x2329, 0x232A},   {0x2E80, 0x303E},   {0x3041, 0x33FF},
    {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xA960, 0xA97F},
    {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},
    {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF},
    {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

template <size_t N>
bool InIntervals(char32_t c, const Interval (&table)[N]) {
  for (const Interval& i : table) {
    if (c >= i.first && c <= i.last) return true;
  }
  return false;
}

// Decodes the code point at `i` and advances `i`; an invalid sequence yields one byte as U+FFFD.
char32_t NextCodePoint(std::string_view s, size_t& i) {
  unsigned char b = static_cast<unsigned char>(s[i]);
  int length = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || i + length > s.size()) {
    ++i;
    return 0xFFFD;
  }
  char32_t c = length == 1 ? b : b & (0x7F >> length);
  for (int k = 1; k < length; ++k) {
    unsigned char cont = static_cast<unsigned char>(s[i + k]);
    if ((cont & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    c = (c << 6) | (cont & 0x3F);
  }
  i += length;
  return c;
}

bool IsNumeric(const Variant& v) {
  VarType t = v.type();
  return t == VarType::I2 || t == VarType::I4 || t == VarType::R8;
}

bool IsBlank(const Variant& v) { return v.is_null() || v.is_empty(); }

// A number's text, whatever the other values of its column: integers as they are, other
// numbers rounded to kMaxDecimals places without trailing zeros; never "-0".
std::string NumberText(const Variant& v) {
  if (v.type() != VarType::R8) return std::to_string(v.ToI4());
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", kMaxDecimals, v.ToDouble());
  std::string s(buf);
  s.erase(s.find_last_not_of('0') + 1);
  if (s.back() == '.') s.pop_back();
  if (s == "-0") s = "0";
  return s;
}

// Characters after the integer part ("." and decimals), for lining up decimal points.
int FractionWidth(const std::string& number) {
  size_t dot = number.find('.');
  return dot == std::string::npos ? 0 : static_cast<int>(number.size() - dot);
}

std::string TableText(const Variant& v) {
  if (IsBlank(v)) return "";
  if (IsNumeric(v)) return NumberText(v);
  std::string s = v.ConcatText();
  for (char& c : s) {
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  }
  return EscapeControls(s);
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

void AppendPadded(std::string& line, const std::string& text, int width, bool right) {
  std::string pad(static_cast<size_t>(std::max(0, width - DisplayWidth(text))), ' ');
  line += right ? pad + text : text + pad;
}

void TrimRight(std::string& line) {
  size_t end = line.find_last_not_of(' ');
  line.erase(end == std::string::npos ? 0 : end + 1);
}

}  // namespace

Grid SelectColumns(const Grid& grid, const std::vector<std::string>& names) {
  std::vector<size_t> picked;
  Grid out;
  for (const std::string& name : names) {
    auto it = std::find(grid.columns.begin(), grid.columns.end(), name);
    if (it == grid.columns.end()) continue;
    picked.push_back(static_cast<size_t>(it - grid.columns.begin()));
    out.columns.push_back(name);
  }
  for (const auto& row : grid.rows) {
    std::vector<Variant>& r = out.rows.emplace_back();
    for (size_t c : picked) r.push_back(row[c]);
  }
  return out;
}

std::string EscapeControls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  auto hex = [&](unsigned c) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out += "\\x";
    out += kDigits[c >> 4];
    out += kDigits[c & 0xF];
  };
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    if ((b < 0x20 && b != '\n' && b != '\r' && b != '\t') || b == 0x7F) {
      hex(b);
    } else if (b == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      hex(static_cast<unsigned char>(text[++i]));  // C1 control, U+0080 to U+009F
    } else {
      out += static_cast<char>(b);
    }
  }
  return out;
}

Grid ApplyFormat(const Grid& grid, const std::vector<FormatColumn>& format,
                 const std::vector<std::string>& extra,
                 const std::vector<std::string>& extra_captions) {
  std::vector<std::string> names, captions;
  for (const FormatColumn& f : format) {
    if (!f.visible) continue;
    if (std::find(grid.columns.begin(), grid.columns.end(), f.field) == grid.columns.end()) {
      continue;
    }
    names.push_back(f.field);
    captions.push_back(f.caption.empty() ? f.field : f.caption);
  }
  for (size_t i = 0; i < extra.size(); ++i) {
    if (std::find(grid.columns.begin(), grid.columns.end(), extra[i]) == grid.columns.end()) {
      continue;
    }
    names.push_back(extra[i]);
    captions.push_back(i < extra_captions.size() ? extra_captions[i] : extra[i]);
  }
  Grid out = SelectColumns(grid, names);
  out.captions = std::move(captions);
  return out;
}

int DisplayWidth(std::string_view utf8) {
  int width = 0;
  for (size_t i = 0; i < utf8.size();) {
    char32_t c = NextCodePoint(utf8, i);
    if (InIntervals(c, kZeroWidth)) continue;
    width += InIntervals(c, kWide) ? 2 : 1;
  }
  return width;
}

RowsView ViewOf(const Grid& grid) {
  return {grid.columns, grid.captions, [&grid](const RowsView::Visit& visit) {
            for (const auto& row : grid.rows) visit(row);
          }};
}

// Three passes over the rows, none of which keeps them: the numeric columns and their decimals,
// the widths, then the lines.
void WriteTable(std::ostream& out, const RowsView& rows) {
  size_t n = rows.columns.size();
  if (n == 0) return;
  const std::vector<std::string>& headings = rows.captions.empty() ? rows.columns : rows.captions;
  std::vector<bool> any_number(n, false);
  std::vector<bool> all_numbers(n, true);
  std::vector<int> fraction(n, 0);
  rows.for_each([&](const std::vector<Variant>& row) {
    for (size_t c = 0; c < n; ++c) {
      const Variant& v = row[c];
      if (IsBlank(v)) continue;
      if (!IsNumeric(v)) {
        all_numbers[c] = false;
        continue;
      }
      any_number[c] = true;
      fraction[c] = std::max(fraction[c], FractionWidth(NumberText(v)));
    }
  });
  auto cell_text = [&](const Variant& v, size_t c) {
    std::string text = TableText(v);
    if (IsNumeric(v)) text += std::string(fraction[c] - FractionWidth(text), ' ');
    return text;
  };
  std::vector<int> widths(n);
  for (size_t c = 0; c < n; ++c) widths[c] = DisplayWidth(EscapeControls(headings[c]));
  rows.for_each([&](const std::vector<Variant>& row) {
    for (size_t c = 0; c < n; ++c)
      widths[c] = std::max(widths[c], DisplayWidth(cell_text(row[c], c)));
  });

  auto emit = [&](auto text_of, auto right_aligned) {
    std::string line;
    for (size_t c = 0; c < n; ++c) {
      if (c > 0) line += "  ";
      AppendPadded(line, text_of(c), widths[c], right_aligned(c));
    }
    TrimRight(line);
    out << line << '\n';
  };
  emit([&](size_t c) { return EscapeControls(headings[c]); },
       [&](size_t c) { return any_number[c] && all_numbers[c]; });
  emit([&](size_t c) { return std::string(static_cast<size_t>(widths[c]), '-'); },
       [](size_t) { return false; });
  rows.for_each([&](const std::vector<Variant>& row) {
    emit([&](size_t c) { return cell_text(row[c], c); },
         [&](size_t c) { return IsNumeric(row[c]); });
  });
}

std::string RenderTable(const Grid& grid) {
  std::ostringstream out;
  WriteTable(out, ViewOf(grid));
  return out.str();
}

void WriteCsv(std::ostream& out, const RowsView& rows) {
  auto record = [&](size_t count, auto field) {
    for (size_t i = 0; i < count; ++i) {
      if (i > 0) out << ',';
      out << CsvField(field(i));
    }
    out << "\r\n";
  };
  const std::vector<std::string>& headings = rows.captions.empty() ? rows.columns : rows.captions;
  record(headings.size(), [&](size_t i) { return headings[i]; });
  rows.for_each([&](const std::vector<Variant>& row) {
    record(row.size(), [&](size_t i) { return row[i].ConcatText(); });
  });
}

std::string RenderCsv(const Grid& grid) {
  std::ostringstream out;
  WriteCsv(out, ViewOf(grid));
  return out.str();
}

void WriteJson(std::ostream& out, const RowsView& rows) {
  out << "{\"columns\":" << DumpJson(Json(rows.columns));
  if (!rows.captions.empty()) out << ",\"captions\":" << DumpJson(Json(rows.captions));
  out << ",\"rows\":[";
  bool first = true;
  rows.for_each([&](const std::vector<Variant>& row) {
    Json r = Json::array();
    for (const Variant& v : row) r.push_back(CellToJson(v));
    out << (first ? "" : ",") << DumpJson(r);
    first = false;
  });
  out << "]}";
}

}  // namespace q9::cli
