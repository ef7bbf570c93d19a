#include "cli/commands.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <sstream>

#include "cli/demo_company.h"
#include "cli/exit_status.h"
#include "cli/output.h"
#include "cli/progress_bar.h"
#include "cli/stock_card.h"
#include "component/iclskczt.h"
#include "demo/generator.h"
#include "demo/schema.h"
#include "demo/server_writer.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/error.h"

namespace q9::cli {

using platform::Variant;
namespace db = platform::db;

namespace {

// The columns of a detail a person reads on a stock card; --wide shows them all.
const std::vector<std::string> kStockCardColumns = {
    "dDate",    "dVeriDate",        "cCode",  "cVouchName", "cWhName",        "ZY6", "iInQtty",
    "iOutQtty", kBalanceQttyColumn, "iInNum", "iOutNum",    kBalanceNumColumn};
const std::vector<std::string> kPositionCardColumns = {
    "dDate",   "cCode",    "cVouchName",       "cWhCode", "cPosCode", "cPersonName",
    "iInQtty", "iOutQtty", kBalanceQttyColumn, "iInNum",  "iOutNum",  kBalanceNumColumn};

std::string ReadFileOrThrow(const std::string& path, const std::string& what) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    throw UsageError(what + " " + path + ": no such file");
  }
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in) throw UsageError(what + " " + path + ": cannot be read");
  return text.str();
}

std::string Trim(std::string s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

// The component's message, or `fallback` when it gave none.
std::string MessageOr(const Variant& msg, const std::string& fallback) {
  std::string text = Trim(msg.ConcatText());
  return text.empty() ? fallback : text;
}

Grid GridOf(const Variant& rs, const std::string& what) {
  return ReadGrid(*db::AsRecordset(rs, what));
}

std::optional<size_t> ColumnOf(const Grid& grid, const std::string& name) {
  auto it = std::find(grid.columns.begin(), grid.columns.end(), name);
  if (it == grid.columns.end()) return std::nullopt;
  return static_cast<size_t>(it - grid.columns.begin());
}

Variant CellOf(const Grid& grid, size_t row, const std::string& name) {
  auto c = ColumnOf(grid, name);
  return c ? grid.rows[row][*c] : Variant::Null();
}

// Writes a recordset command's result: the grid, with `extra` members after "columns" and
// "rows" in JSON, `head` and `tail` lines around the table.
void WriteGrid(Context& ctx, const Grid& grid, const Json& extra = Json::object(),
               const std::string& head = "", const std::string& tail = "") {
  switch (ctx.global.format) {
    case Format::kJson: {
      Json j = grid.columns.empty() ? Json{{"columns", Json::array()}, {"rows", Json::array()}}
                                    : GridToJson(grid);
      for (auto& [key, value] : extra.items()) j[key] = value;
      ctx.out << DumpJson(j) << '\n';
      break;
    }
    case Format::kCsv:
      if (!grid.columns.empty()) ctx.out << RenderCsv(grid);
      break;
    case Format::kTable:
      if (!head.empty()) ctx.out << head << "\n\n";
      ctx.out << (grid.columns.empty() ? std::string("(none)\n") : RenderTable(grid));
      if (!tail.empty()) ctx.out << '\n' << tail << '\n';
      break;
  }
}

// A command whose result is one fact ("granted", "saved").
void WriteDone(Context& ctx, const std::string& word) {
  if (ctx.global.format == Format::kJson) {
    ctx.out << DumpJson(Json{{"result", true}}) << '\n';
  } else {
    ctx.out << word << '\n';
  }
}

const char* LedgerTitle(LedgerKind kind) {
  switch (kind) {
    case LedgerKind::kInventory:
      return "Stock ledger by inventory";
    case LedgerKind::kBatch:
      return "Stock ledger by batch";
    case LedgerKind::kPosition:
      return "Position ledger";
  }
  return "";
}

void CheckKindOptions(const LedgerOptions& o) {
  const ConditionSource& c = o.condition;
  if (!c.file.empty()) return;
  if (o.kind != LedgerKind::kPosition) {
    if (c.position_given) throw UsageError("--position applies to --kind position only");
    if (c.batch_given && !c.options.batch.to.empty()) {
      throw UsageError("--batch " + c.options.batch.from + ":" + c.options.batch.to +
                       ": the stock ledger matches one batch; a range works with --kind position");
    }
  } else if (c.audited_only_given) {
    throw UsageError("--audited-only applies to the stock ledger (--kind inventory or batch)");
  }
}

struct Detail {
  int32_t row;
  Grid grid;  // the component's columns and the balance columns
  StockCard card;
};

std::string DetailHeading(LedgerKind kind, const Grid& summary, const Detail& d) {
  size_t r = static_cast<size_t>(d.row - 1);
  std::vector<std::string> keys = {"cInvCode"};
  if (kind == LedgerKind::kBatch) keys = {"cInvCode", "cBatch"};
  if (kind == LedgerKind::kPosition) keys = {"cWhCode", "cPosCode", "cInvCode", "cBatch"};
  for (int i = 1; i <= kFreeItems; ++i) keys.push_back("cFree" + std::to_string(i));
  std::string text = "Row " + std::to_string(d.row) + " of " + std::to_string(summary.rows.size());
  std::string sep = ": ";
  for (const std::string& key : keys) {
    if (!ColumnOf(summary, key)) continue;
    std::string value = CellOf(summary, r, key).ConcatText();
    text += sep + key + " " + (value.empty() ? "(empty)" : value);
    if (key == "cInvCode") {
      std::string name = CellOf(summary, r, "cInvName").ConcatText();
      if (!name.empty()) text += " (" + name + ")";
    }
    sep = ", ";
  }
  size_t lines = d.grid.rows.size();
  return text + " - " + std::to_string(lines) + (lines == 1 ? " line" : " lines");
}

Json BalanceJson(const Quantity& q) {
  return Json{{kBalanceQttyColumn, q.qtty}, {kBalanceNumColumn, q.num}};
}

Variant OpenSummary(component::IClsKCZT& k, const std::string& xml, LedgerKind kind) {
  Variant rs1;
  Variant msg;
  if (!k.OpenX(xml, rs1, static_cast<int16_t>(kind), &msg)) {
    throw ComponentFalse(MessageOr(msg, "OpenX returned no summary"));
  }
  return rs1;
}

Variant OpenDetail(component::IClsKCZT& k, const std::string& xml, Variant& rs1, LedgerKind kind,
                   int32_t row) {
  Variant rs2;
  Variant msg;
  Variant position(row);
  if (!k.OpenPage(xml, rs1, rs2, static_cast<int16_t>(kind), &msg, &position)) {
    throw ComponentFalse(
        MessageOr(msg, "OpenPage returned no detail for row " + std::to_string(row)));
  }
  return rs2;
}

int32_t CheckRow(int32_t row, size_t count) {
  if (row < 1 || static_cast<size_t>(row) > count) {
    throw UsageError("--row " + std::to_string(row) + ": the summary has " + std::to_string(count) +
                     (count == 1 ? " row" : " rows"));
  }
  return row;
}

}  // namespace

std::string ConditionText(const ConditionSource& source) {
  if (source.file.empty()) return BuildConditionDocument(source.options);
  std::string text = ReadFileOrThrow(source.file, "--condition");
  pugi::xml_document doc;
  pugi::xml_parse_result parsed = doc.load_buffer(text.data(), text.size());
  if (!parsed) {
    throw UsageError("--condition " + source.file + ": not an XML document (" +
                     parsed.description() + " at byte " + std::to_string(parsed.offset) + ")");
  }
  if (!doc.document_element()) {
    throw UsageError("--condition " + source.file + ": not an XML document (no element)");
  }
  return text;
}

int RunCondition(const ConditionSource& source, Context& ctx) {
  ctx.out << ConditionText(source);
  return kExitOk;
}

// Generates the demo company and writes it to the server `connection_string` names, through
// the ODBC engine, after the schema script has dropped and re-created its tables.
int RunDemoOnServer(const std::string& connection_string, const DemoSettings& settings,
                    Context& ctx) {
  demo::DemoOptions options;
  options.seed = settings.seed;
  options.lines = settings.lines;
  demo::DemoCompany company = demo::GenerateCompany(options);
  platform::db::Connection connection;
  connection.Open(connection_string);
  ProgressBar bar("demo company on the server");
  demo::WriteCompanyToServer(company, connection, demo::kMssqlSchemaScript,
                             [&](double f) { bar.Update(f, "copying tables"); });
  ctx.out << "Demo company written to the server: " << settings.lines
          << " document lines, seed " << settings.seed << ".\n";
  return kExitOk;
}

int RunDemo(const DemoCommandOptions& o, Context& ctx) {
  DemoSettings settings = DefaultDemoSettings();
  if (o.lines) settings.lines = *o.lines;
  if (o.seed) settings.seed = *o.seed;
  if (!o.server.empty()) return RunDemoOnServer(o.server, settings, ctx);
  std::string connection = DemoConnectionString(o.dir);
  bool exists = DemoCompanyExists(o.dir);
  if (!exists || o.force) {
    ProgressBar bar("demo company");
    CreateDemoCompany(o.dir, settings,
                      [&](double f, const std::string& phase) { bar.Update(f, phase); });
  }
  if (ctx.global.format == Format::kJson) {
    Json j{{"dir", o.dir}, {"created", !exists || o.force}, {"connection", connection}};
    if (!exists || o.force) {
      j["lines"] = settings.lines;
      j["seed"] = settings.seed;
    }
    ctx.out << DumpJson(j) << '\n';
  } else if (exists && !o.force) {
    ctx.out << "The demo company is already in " << o.dir << "/ (--force creates it again).\n"
            << "Connection string: " << connection << '\n';
  } else {
    ctx.out << "Demo company written to " << o.dir
            << "/ (company.db, system.db): " << settings.lines << " document lines, seed "
            << settings.seed << ".\n"
            << "Connection string: " << connection << '\n';
  }
  return kExitOk;
}

int RunLedger(const LedgerOptions& o, Context& ctx) {
  CheckKindOptions(o);
  std::string xml = ConditionText(o.condition);
  Session session(ctx.global, ctx.err);
  component::IClsKCZT& k = session.component();

  Variant rs1 = OpenSummary(k, xml, o.kind);
  Grid summary = GridOf(rs1, "Rs1");

  std::vector<int32_t> rows;
  if (o.all_rows) {
    for (size_t r = 1; r <= summary.rows.size(); ++r) rows.push_back(static_cast<int32_t>(r));
  } else if (!o.summary_only) {
    rows.push_back(CheckRow(o.row.value_or(1), summary.rows.size()));
  }

  std::vector<Detail> details;
  for (int32_t row : rows) {
    Grid detail = GridOf(OpenDetail(k, xml, rs1, o.kind, row), "Rs2");
    size_t r = static_cast<size_t>(row - 1);
    StockCard card =
        ComputeStockCard(detail, CellOf(summary, r, "iBeginQtty"), CellOf(summary, r, "iBeginNum"));
    details.push_back({row, WithBalances(detail, card), card});
  }

  switch (ctx.global.format) {
    case Format::kJson: {
      Json list = Json::array();
      for (const Detail& d : details) {
        Json g = GridToJson(d.grid);
        list.push_back(Json{{"row", d.row},
                            {"columns", g["columns"]},
                            {"rows", g["rows"]},
                            {"opening", BalanceJson(d.card.opening)},
                            {"closing", BalanceJson(d.card.closing)}});
      }
      ctx.out << DumpJson(Json{{"summary", GridToJson(summary)}, {"details", list}}) << '\n';
      break;
    }
    case Format::kCsv:
      ctx.out << RenderCsv(summary);
      for (const Detail& d : details) ctx.out << "\r\n" << RenderCsv(WithCardLines(d.grid, d.card));
      break;
    case Format::kTable: {
      size_t n = summary.rows.size();
      ctx.out << LedgerTitle(o.kind) << ": " << n << (n == 1 ? " row" : " rows") << "\n\n"
              << RenderTable(summary);
      for (const Detail& d : details) {
        Grid shown =
            o.wide ? d.grid
                   : SelectColumns(d.grid, o.kind == LedgerKind::kPosition ? kPositionCardColumns
                                                                           : kStockCardColumns);
        ctx.out << '\n'
                << DetailHeading(o.kind, summary, d) << "\n\n"
                << RenderTable(WithCardLines(shown, d.card));
      }
      break;
    }
  }
  return kExitOk;
}

int RunPeriods(Context& ctx) {
  Session session(ctx.global, ctx.err);
  Variant rs;
  Variant msg;
  if (!session.component().GetPeriodDay(rs, msg)) {
    throw ComponentFalse(MessageOr(msg, "GetPeriodDay failed"));
  }
  // A year without periods comes back as a null object reference.
  Grid grid = rs.has_object() ? GridOf(rs, "rs") : Grid{};
  WriteGrid(ctx, grid);
  return kExitOk;
}

int RunCaptions(const std::string& kind, Context& ctx) {
  using Method = bool (component::IClsKCZT::*)(Variant&, Variant*);
  Method method = kind == "define"    ? &component::IClsKCZT::GetDefineName
                  : kind == "free"    ? &component::IClsKCZT::GetFreeName
                  : kind == "hdefine" ? &component::IClsKCZT::GetHDefineName
                  : kind == "bdefine" ? &component::IClsKCZT::GetBDefineName
                                      : nullptr;
  if (!method) throw UsageError("captions " + kind + ": expected define, free, hdefine or bdefine");
  Session session(ctx.global, ctx.err);
  Variant rs;
  Variant msg;
  if (!(session.component().*method)(rs, &msg)) {
    throw ComponentFalse(MessageOr(msg, "the captions could not be read"));
  }
  WriteGrid(ctx, GridOf(rs, "rs"));
  return kExitOk;
}

int RunFormatGet(const std::string& name, Context& ctx) {
  Session session(ctx.global, ctx.err);
  Variant rs;
  std::string msg;
  Variant query_id;
  if (!session.component().GetQueryFormat(name, rs, &msg, &query_id)) {
    throw ComponentFalse(MessageOr(Variant(msg), "no query format " + name));
  }
  WriteGrid(ctx, GridOf(rs, "rsFormat"), Json{{"queryid", CellToJson(query_id)}},
            "Query format " + name + " (id " + query_id.ConcatText() + ")");
  return kExitOk;
}

int RunFormatSave(const std::string& file, Context& ctx) {
  std::string xml = ReadFileOrThrow(file, "format save");
  Session session(ctx.global, ctx.err);
  std::string msg;
  if (!session.component().SaveFormat(xml, msg)) {
    throw ComponentFalse(MessageOr(Variant(msg), "the format was not saved"));
  }
  WriteDone(ctx, "saved");
  return kExitOk;
}

int RunRef(const RefOptions& o, Context& ctx) {
  if (o.plain && (!o.filter.empty() || !o.keyword.empty() || !o.order.empty())) {
    throw UsageError("--filter, --keyword and --order are not used with --plain");
  }
  Session session(ctx.global, ctx.err);
  int32_t page = o.page;
  int32_t pages = 0;
  Variant rs;
  Variant titles;
  Variant msg;
  if (!session.component().GetRefData(!o.plain, o.table, o.filter, o.keyword, o.order,
                                      static_cast<int16_t>(o.page_size), page, pages, rs, titles,
                                      msg)) {
    throw ComponentFalse(MessageOr(msg, "no reference data for " + o.table));
  }
  Json extra{{"page", page}, {"pages", pages}};
  if (!o.plain) extra["titles"] = GridToJson(GridOf(titles, "RsCol"));
  WriteGrid(ctx, GridOf(rs, "rs"), extra, "",
            "page " + std::to_string(page) + " of " + std::to_string(pages));
  return kExitOk;
}

int RunTask(const std::string& function_id, int lock, Context& ctx) {
  Session session(ctx.global, ctx.err);
  Variant msg;
  if (!session.component().GetTaskAuth(function_id, static_cast<int16_t>(lock), &msg)) {
    throw ComponentFalse(MessageOr(msg, "task " + function_id + " refused"));
  }
  WriteDone(ctx, "granted");
  return kExitOk;
}

int RunPrint(const PrintOptions& o, Context& ctx) {
  std::string xml;
  if (!o.param) {
    CheckKindOptions(o.ledger);
    xml = ConditionText(o.ledger.condition);
  }
  Session session(ctx.global, ctx.err);
  component::IClsKCZT& k = session.component();
  Variant param;
  if (o.param) {
    param = Variant(*o.param);
  } else {
    Variant rs1 = OpenSummary(k, xml, o.ledger.kind);
    if (o.ledger.row) {
      CheckRow(*o.ledger.row, static_cast<size_t>(db::AsRecordset(rs1, "Rs1")->RecordCount()));
      param = OpenDetail(k, xml, rs1, o.ledger.kind, *o.ledger.row);
    } else {
      param = rs1;
    }
  }
  Variant command(o.command);
  Variant ret;
  std::string error;
  k.PrintSrv(command, param, ret, error);
  if (!error.empty()) throw ComponentFalse(Trim(error));
  return kExitOk;
}

}  // namespace q9::cli
