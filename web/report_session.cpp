#include "web/report_session.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "component/iclskczt.h"
#include "ledger/period_range.h"
#include "ledger/report_captions.h"
#include "ledger/stock_card.h"
#include "platform/db/recordset.h"
#include "platform/db/row_set.h"
#include "platform/erp/caller_login.h"
#include "platform/erp/register_substitutes.h"

namespace q9::web {

using ledger::Grid;
using platform::Variant;
using platform::VarType;

namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

// The component's message, or `fallback` when it gave none.
std::string MessageOr(const Variant& msg, const std::string& fallback) {
  std::string text = Trim(msg.ConcatText());
  return text.empty() ? fallback : text;
}

Json False(const std::string& message) { return Json{{"ok", false}, {"message", message}}; }

Grid GridOf(const Variant& rs, const std::string& what) {
  return ledger::ReadGrid(*platform::db::AsRecordset(rs, what));
}

bool IsNumber(const Variant& v) {
  VarType t = v.type();
  return t == VarType::I2 || t == VarType::I4 || t == VarType::R8;
}

bool IsBlank(const Variant& v) { return v.is_null() || v.is_empty(); }

// A column holding numbers only (and blanks), at least one.
std::vector<bool> NumericColumns(const Grid& grid) {
  std::vector<bool> numeric(grid.columns.size(), false);
  for (size_t c = 0; c < grid.columns.size(); ++c) {
    bool any = false, all = true;
    for (const auto& row : grid.rows) {
      if (IsBlank(row[c])) continue;
      any = any || IsNumber(row[c]);
      all = all && IsNumber(row[c]);
    }
    numeric[c] = any && all;
  }
  return numeric;
}

std::optional<size_t> ColumnOf(const Grid& grid, const std::string& name) {
  auto it = std::find(grid.columns.begin(), grid.columns.end(), name);
  if (it == grid.columns.end()) return std::nullopt;
  return static_cast<size_t>(it - grid.columns.begin());
}

// Orders two cells of one column: blanks first, numbers by value, anything else by its text.
bool CellLess(const Variant& a, const Variant& b) {
  if (IsBlank(a) || IsBlank(b)) return IsBlank(a) && !IsBlank(b);
  if (IsNumber(a) && IsNumber(b)) return a.ToDouble() < b.ToDouble();
  return a.ConcatText() < b.ConcatText();
}

}  // namespace

// The summary is read from the recordset's own rows, never copied: fifty sessions each holding a
// summary of fifty thousand rows would otherwise hold every value twice.
struct ReportSession::Summary {
  int16_t kind = 0;
  std::string xml;
  Variant rs1;
  std::shared_ptr<const platform::db::RowSet> rows;
  std::vector<std::string> captions;
  std::vector<bool> numeric;
  // The current order of the rows (indexes into rows) and what it is sorted on.
  std::vector<uint32_t> order;
  std::string sort;
  bool desc = false;

  size_t size() const { return rows->row_count(); }
  std::optional<size_t> Column(const std::string& name) const { return rows->FindColumn(name); }
};

Json RecordsetJson(const Grid& grid) {
  std::vector<bool> numeric = NumericColumns(grid);
  Json columns = Json::array();
  for (size_t c = 0; c < grid.columns.size(); ++c) {
    std::string caption =
        c < grid.captions.size() && !grid.captions[c].empty() ? grid.captions[c] : grid.columns[c];
    columns.push_back(
        Json{{"name", grid.columns[c]}, {"caption", caption}, {"numeric", bool(numeric[c])}});
  }
  Json rows = Json::array();
  for (const auto& row : grid.rows) {
    Json r = Json::array();
    for (const Variant& v : row) r.push_back(ledger::CellToJson(v));
    rows.push_back(std::move(r));
  }
  return Json{{"ok", true}, {"columns", std::move(columns)}, {"rows", std::move(rows)}};
}

ReportSession::ReportSession(const std::string& connection_string, const std::string& user,
                             const std::string& account, int year)
    : account_(account), year_(year) {
  platform::erp::RegisterErpSubstitutes();
  component_ = std::make_unique<component::IClsKCZT>();
  Variant login(platform::erp::MakeCallerLogin(connection_string, user, account, year));
  std::string msg;
  if (!component_->Init(login, &msg)) {
    throw ApiError(500, MessageOr(Variant(msg), "Init answered False"));
  }
}

ReportSession::~ReportSession() = default;

Json ReportSession::Auth(int16_t kind) {
  std::string task = ledger::LedgerTaskId(kind);
  Variant msg;
  if (!component_->GetTaskAuth(task, 1, &msg)) {
    throw ApiError(403, MessageOr(msg, "task " + task + " refused"));
  }
  return Json{{"ok", true}, {"task", task}};
}

Json ReportSession::Periods() {
  Variant rs, msg;
  if (!component_->GetPeriodDay(rs, msg)) return False(MessageOr(msg, "GetPeriodDay failed"));
  // A year without periods comes back as a null object reference.
  if (!rs.has_object()) return False(ledger::NoPeriodsMessage(account_, year_));
  return RecordsetJson(GridOf(rs, "rs"));
}

std::vector<ledger::Period> ReportSession::ReadPeriods() {
  Variant rs, msg;
  if (!component_->GetPeriodDay(rs, msg)) {
    throw ApiError(200, False(MessageOr(msg, "GetPeriodDay failed")));
  }
  std::vector<ledger::Period> periods;
  if (!rs.has_object()) return periods;
  Grid g = GridOf(rs, "rs");
  auto month = ColumnOf(g, "iMonth"), begin = ColumnOf(g, "dBegin"), end = ColumnOf(g, "dEnd");
  if (!month || !begin || !end) throw ApiError(500, "GetPeriodDay answered without its columns");
  for (const auto& row : g.rows) {
    periods.push_back({row[*month].ToI4(), row[*begin].ToText(), row[*end].ToText()});
  }
  return periods;
}

Json ReportSession::Captions(const std::string& which) {
  using Method = bool (component::IClsKCZT::*)(Variant&, Variant*);
  Method method = which == "define"    ? &component::IClsKCZT::GetDefineName
                  : which == "free"    ? &component::IClsKCZT::GetFreeName
                  : which == "hdefine" ? &component::IClsKCZT::GetHDefineName
                  : which == "bdefine" ? &component::IClsKCZT::GetBDefineName
                                       : nullptr;
  if (!method)
    throw ApiError(404, "captions " + which + ": expected define, free, hdefine or bdefine");
  Variant rs, msg;
  if (!(component_.get()->*method)(rs, &msg)) {
    return False(MessageOr(msg, "the captions could not be read"));
  }
  return RecordsetJson(GridOf(rs, "rs"));
}

Json ReportSession::Reference(const std::string& table, const std::string& keyword, int32_t page,
                              int size) {
  static const std::map<std::string, std::string, std::less<>> kTables = {
      {"warehouse", "Warehouse"},
      {"class", "InventoryClass"},
      {"inventory", "Inventory"},
      {"position", "Position"}};
  auto it = kTables.find(table);
  if (it == kTables.end()) {
    throw ApiError(400, "table " + table + ": expected warehouse, class, inventory or position");
  }
  int32_t pages = 0;
  Variant rs, titles, msg;
  if (!component_->GetRefData(true, it->second, "", keyword, "", static_cast<int16_t>(size), page,
                              pages, rs, titles, msg)) {
    return False(MessageOr(msg, "no reference data for " + table));
  }
  Grid grid = GridOf(rs, "rs");
  Grid heads = GridOf(titles, "RsCol");
  auto field = ColumnOf(heads, "cFieldName");
  auto caption = ColumnOf(heads, "cCaption");
  for (const std::string& column : grid.columns) {
    std::string text;
    for (const auto& row : heads.rows) {
      if (field && caption && row[*field].ConcatText() == column) text = row[*caption].ConcatText();
    }
    grid.captions.push_back(text);
  }
  Json j = RecordsetJson(grid);
  j["page"] = page;
  j["pages"] = pages;
  return j;
}

const ReportSession::Summary& ReportSession::Kept() const {
  if (!summary_) throw ApiError(404, "no ledger summary is open; run the ledger first");
  return *summary_;
}

Json ReportSession::OpenLedger(int16_t kind, const std::string& xml, size_t limit) {
  Auth(kind);
  summary_.reset();
  Variant rs1, msg;
  if (!component_->OpenX(xml, rs1, kind, &msg)) {
    return False(MessageOr(msg, "OpenX returned no summary"));
  }
  auto s = std::make_unique<Summary>();
  s->kind = kind;
  s->xml = xml;
  s->rs1 = rs1;
  s->rows = platform::db::AsRecordset(rs1, "Rs1")->rows();
  if (!s->rows) throw ApiError(500, "OpenX answered a closed summary");
  const platform::db::RowSet& rows = *s->rows;
  size_t n = rows.column_count();
  Json totals = Json::array();
  for (size_t c = 0; c < n; ++c) {
    s->captions.push_back(ledger::SummaryCaption(rows.column_name(c)));
    bool any = false, all = true;
    double sum = 0;
    for (size_t r = 0; r < rows.row_count(); ++r) {
      Variant v = rows.Value(r, c);
      if (IsBlank(v)) continue;
      bool number = IsNumber(v);
      any = any || number;
      all = all && number;
      if (number) sum += v.ToDouble();
    }
    s->numeric.push_back(any && all);
    const bool adds_up = any && all && ledger::SummaryColumnAddsUp(rows.column_name(c));
    totals.push_back(adds_up ? Json(sum) : Json(nullptr));
  }
  s->order.resize(rows.row_count());
  for (size_t i = 0; i < s->order.size(); ++i) s->order[i] = static_cast<uint32_t>(i);
  summary_ = std::move(s);
  Json j = Rows(0, limit, "", false);
  j["totals"] = std::move(totals);
  return j;
}

Json ReportSession::Rows(size_t offset, size_t limit, const std::string& sort, bool desc) {
  Kept();
  Summary& s = *summary_;
  if (!sort.empty() && !s.Column(sort)) {
    throw ApiError(400, "sort " + sort + ": the summary has no such column");
  }
  if (sort != s.sort || desc != s.desc) {
    for (size_t i = 0; i < s.order.size(); ++i) s.order[i] = static_cast<uint32_t>(i);
    if (!sort.empty()) {
      size_t c = *s.Column(sort);
      std::vector<Variant> key;
      key.reserve(s.size());
      for (size_t r = 0; r < s.size(); ++r) key.push_back(s.rows->Value(r, c));
      // Stable, so equal cells keep the summary's own order either way round.
      std::stable_sort(s.order.begin(), s.order.end(), [&](uint32_t a, uint32_t b) {
        return desc ? CellLess(key[b], key[a]) : CellLess(key[a], key[b]);
      });
    }
    s.sort = sort;
    s.desc = desc;
  }
  limit = std::min(limit, kMaxPageRows);
  size_t begin = std::min(offset, s.order.size());
  size_t end = std::min(s.order.size(), begin + limit);
  Grid page;
  page.columns = s.rows->columns();
  page.captions = s.captions;
  Json index = Json::array();
  for (size_t i = begin; i < end; ++i) {
    std::vector<Variant>& row = page.rows.emplace_back();
    for (size_t c = 0; c < page.columns.size(); ++c) row.push_back(s.rows->Value(s.order[i], c));
    index.push_back(s.order[i]);
  }
  Json j = RecordsetJson(page);
  // Numeric by the whole summary, not by the page alone.
  for (size_t c = 0; c < s.numeric.size(); ++c) j["columns"][c]["numeric"] = bool(s.numeric[c]);
  j["total"] = s.size();
  j["offset"] = begin;
  j["index"] = std::move(index);
  return j;
}

void ReportSession::CheckRow(size_t row) const {
  size_t n = Kept().size();
  if (row >= n) {
    throw ApiError(404, "row " + std::to_string(row) + ": the summary has " + std::to_string(n) +
                            (n == 1 ? " row" : " rows"));
  }
}

Variant ReportSession::Detail(size_t row) {
  CheckRow(row);
  Summary& s = *summary_;
  Variant rs2, msg;
  Variant position(static_cast<int32_t>(row + 1));
  if (!component_->OpenPage(s.xml, s.rs1, rs2, s.kind, &msg, &position)) {
    throw ApiError(
        200, False(MessageOr(msg, "OpenPage returned no detail for row " + std::to_string(row))));
  }
  return rs2;
}

Json ReportSession::Card(size_t row) {
  Variant rs2 = Detail(row);
  const Summary& s = *summary_;
  Grid detail = GridOf(rs2, "Rs2");
  auto cell = [&](const char* name) {
    auto c = s.Column(name);
    return c ? s.rows->Value(row, *c) : Variant::Null();
  };
  ledger::StockCard card = ledger::ComputeStockCard(detail, cell("iBeginQtty"), cell("iBeginNum"));
  Grid framed = ledger::WithCardLines(ledger::WithBalances(detail, card), card);
  // Headings: the saved format's captions, the balance columns' own.
  std::map<std::string, std::string> format;
  Variant rs;
  std::string msg;
  Variant id;
  if (component_->GetQueryFormat(ledger::ReportQueryName(s.kind), rs, &msg, &id)) {
    Grid g = GridOf(rs, "rsFormat");
    auto field = ColumnOf(g, "FldName");
    auto caption = ColumnOf(g, "FldCaption");
    for (const auto& r : g.rows) {
      if (field && caption) format[r[*field].ConcatText()] = r[*caption].ConcatText();
    }
  }
  for (const std::string& c : framed.columns) {
    auto f = format.find(c);
    framed.captions.push_back(f != format.end() ? f->second : ledger::SummaryCaption(c));
  }
  Json j = RecordsetJson(framed);
  j["row"] = row;
  j["opening"] = Json{{ledger::kBalanceQttyColumn, card.opening.qtty},
                      {ledger::kBalanceNumColumn, card.opening.num}};
  j["closing"] = Json{{ledger::kBalanceQttyColumn, card.closing.qtty},
                      {ledger::kBalanceNumColumn, card.closing.num}};
  return j;
}

Json ReportSession::Format(const std::string& name) {
  Variant rs;
  std::string msg;
  Variant id;
  if (!component_->GetQueryFormat(name, rs, &msg, &id)) {
    if (id.is_empty()) return False("the stock module has no report query named " + name);
    return False(MessageOr(Variant(msg), "no query format " + name));
  }
  Json j = RecordsetJson(GridOf(rs, "rsFormat"));
  j["queryId"] = ledger::CellToJson(id);
  return j;
}

Json ReportSession::SaveFormat(const std::string& xml) {
  std::string msg;
  if (!component_->SaveFormat(xml, msg)) return False(MessageOr(Variant(msg), "not saved"));
  return Json{{"ok", true}};
}

std::string ReportSession::Export(const std::string& format, std::optional<size_t> row) {
  if (format != "csv" && format != "html") {
    throw ApiError(400, "format " + format + ": expected csv or html");
  }
  Variant param = row ? Detail(*row) : Kept().rs1;
  // The print service writes a file: a folder of this request's own, removed afterwards.
  std::string pattern = (std::filesystem::temp_directory_path() / "q9web-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw ApiError(500, "no temporary folder for the export");
  std::filesystem::path dir(pattern);
  struct Remove {
    std::filesystem::path dir;
    ~Remove() {
      std::error_code ec;
      std::filesystem::remove_all(dir, ec);
    }
  } remove{dir};
  std::string file = (dir / ("report." + format)).string();
  Variant command(format + ":" + file);
  Variant ret;
  std::string error;
  component_->PrintSrv(command, param, ret, error);
  if (!error.empty()) throw ApiError(500, Trim(error));
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

}  // namespace q9::web
