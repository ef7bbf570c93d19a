#include "cli/commands.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <pugixml.hpp>
#include <sstream>

#include "cli/demo_company.h"
#include "cli/exit_status.h"
#include "cli/file_paths.h"
#include "cli/output.h"
#include "cli/progress_bar.h"
#include "component/iclskczt.h"
#include "demo/generator.h"
#include "demo/schema.h"
#include "demo/server_writer.h"
#include "ledger/report_captions.h"
#include "ledger/stock_card.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/error.h"

namespace q9::cli {

using ledger::ComputeStockCard;
using ledger::kBalanceNumCaption;
using ledger::kBalanceNumColumn;
using ledger::kBalanceQttyCaption;
using ledger::kBalanceQttyColumn;
using ledger::Quantity;
using ledger::StockCard;
using ledger::WithBalances;
using ledger::WithCardLines;
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
      if (!grid.columns.empty()) ctx.out << kCsvByteOrderMark << RenderCsv(grid);
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

std::string CaptionOf(const std::string& column, bool raw_names);

// The summary as the component returned it, read through a clone of Rs1 whenever it is needed
// instead of copied: a million lines make tens of thousands of rows.
class SummaryRows {
 public:
  explicit SummaryRows(const Variant& rs1) : rs_(db::AsRecordset(rs1, "Rs1")->Clone()) {
    for (size_t c = 0; c < rs_->FieldCount(); ++c) columns_.push_back(rs_->FieldName(c));
  }
  size_t size() const { return static_cast<size_t>(rs_->RecordCount()); }
  const std::vector<std::string>& columns() const { return columns_; }
  bool Has(const std::string& name) const {
    return std::find(columns_.begin(), columns_.end(), name) != columns_.end();
  }
  // The value in column `name` of the 0-based row, Null when there is no such column.
  Variant Cell(size_t row, const std::string& name) const {
    if (!Has(name)) return Variant::Null();
    rs_->SetAbsolutePosition(static_cast<int32_t>(row + 1));
    return rs_->Field(name);
  }
  RowsView View(std::vector<std::string> captions) const {
    return {columns_, std::move(captions),
            [rs = rs_](const RowsView::Visit& visit) { ledger::ForEachRecord(*rs, visit); }};
  }

 private:
  std::shared_ptr<db::Recordset> rs_;
  std::vector<std::string> columns_;
};

std::string DetailHeading(LedgerKind kind, const SummaryRows& summary, const Detail& d,
                          bool raw_names) {
  size_t r = static_cast<size_t>(d.row - 1);
  std::vector<std::string> keys = {"cInvCode"};
  if (kind == LedgerKind::kBatch) keys = {"cInvCode", "cBatch"};
  if (kind == LedgerKind::kPosition) keys = {"cWhCode", "cPosCode", "cInvCode", "cBatch"};
  for (int i = 1; i <= kFreeItems; ++i) keys.push_back("cFree" + std::to_string(i));
  std::string text = "Row " + std::to_string(d.row) + " of " + std::to_string(summary.size());
  std::string sep = ": ";
  for (const std::string& key : keys) {
    if (!summary.Has(key)) continue;
    std::string value = summary.Cell(r, key).ConcatText();
    text += sep + CaptionOf(key, raw_names) + " " + (value.empty() ? "(empty)" : value);
    if (key == "cInvCode") {
      std::string name = summary.Cell(r, "cInvName").ConcatText();
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

std::string QueryNameOf(LedgerKind kind) {
  return ledger::ReportQueryName(static_cast<int16_t>(kind));
}

// The caption of every column: the saved format's, else the tool's own, else the name.
std::vector<std::string> CaptionsOf(const std::vector<std::string>& columns,
                                    const std::vector<FormatColumn>& format) {
  std::vector<std::string> captions;
  for (const std::string& c : columns) {
    auto f = std::find_if(format.begin(), format.end(),
                          [&](const FormatColumn& x) { return x.field == c; });
    std::string known = ledger::SummaryCaption(c);
    captions.push_back(f != format.end() && !f->caption.empty() ? f->caption
                       : !known.empty()                         ? known
                                                                : c);
  }
  return captions;
}

std::string CaptionOf(const std::string& column, bool raw_names) {
  return raw_names ? column : CaptionsOf({column}, {})[0];
}

Grid WithCaptions(Grid grid, const std::vector<FormatColumn>& format) {
  grid.captions = CaptionsOf(grid.columns, format);
  return grid;
}

// The saved format of `name` (GetQueryFormat), or none, with a note, when there is none.
std::vector<FormatColumn> SavedFormat(component::IClsKCZT& k, const std::string& name,
                                      Context& ctx) {
  Variant rs;
  std::string msg;
  Variant id;
  std::vector<FormatColumn> format;
  if (!k.GetQueryFormat(name, rs, &msg, &id)) {
    ctx.err << "q9strep: no saved format " << name << " in this company; field names shown"
            << std::endl;
    return format;
  }
  Grid g = GridOf(rs, "rsFormat");
  for (size_t r = 0; r < g.rows.size(); ++r) {
    Variant visible = CellOf(g, r, "Visible");
    format.push_back({CellOf(g, r, "FldName").ConcatText(), CellOf(g, r, "FldCaption").ConcatText(),
                      visible.is_null() || visible.ToDouble() != 0});
  }
  return format;
}

std::vector<Period> ReadPeriods(component::IClsKCZT& k) {
  Variant rs;
  Variant msg;
  if (!k.GetPeriodDay(rs, msg)) throw ComponentFalse(MessageOr(msg, "GetPeriodDay failed"));
  std::vector<Period> periods;
  if (!rs.has_object()) return periods;  // a year without periods: a null object reference
  Grid g = GridOf(rs, "rs");
  for (size_t r = 0; r < g.rows.size(); ++r) {
    periods.push_back({CellOf(g, r, "iMonth").ToI4(), CellOf(g, r, "dBegin").ToText(),
                       CellOf(g, r, "dEnd").ToText()});
  }
  return periods;
}

// Runs `call`; an error it raises in a year without periods (the readers ask the account for a
// period that is not there) becomes the message every command gives for such a year.
template <typename Call>
auto ExplainingAYearWithoutPeriods(component::IClsKCZT& k, const GlobalOptions& g, Call call) {
  try {
    return call();
  } catch (const platform::ComError&) {
    if (ReadPeriods(k).empty()) throw ComponentFalse(NoPeriodsMessage(g.account, g.year));
    throw;
  }
}

// The condition document of `source`, its --period / --periods turned into dates.
std::string ConditionOf(ConditionSource source, component::IClsKCZT& k, const GlobalOptions& g) {
  if (source.periods) {
    auto [from, to] = PeriodDates(*source.periods, ReadPeriods(k), g.account, g.year);
    source.options.dates = {from, to};
  }
  return ConditionText(source);
}

}  // namespace

std::string ConditionText(const ConditionSource& source) {
  if (source.file.empty()) return BuildConditionDocument(source.options);
  std::string text = ReadInputFile(source.file, "--condition");
  pugi::xml_document doc;
  pugi::xml_parse_result parsed = doc.load_buffer(text.data(), text.size());
  if (!parsed) {
    throw UsageError("--condition " + source.file + ": not an XML document (" +
                     parsed.description() + " at byte " + std::to_string(parsed.offset) + ")");
  }
  if (!doc.document_element()) {
    throw UsageError("--condition " + source.file + ": not an XML document (no element)");
  }
  // The same bound as for the options: a longer value would reach the database as a pattern it
  // refuses.
  struct LongValue : pugi::xml_tree_walker {
    bool for_each(pugi::xml_node& node) override {
      for (pugi::xml_attribute a : node.attributes()) {
        if (std::string_view(a.value()).size() > kMaxValueLength)
          found = node.name() + std::string("/@") + a.name();
      }
      return found.empty();
    }
    std::string found;
  } walker;
  doc.traverse(walker);
  if (!walker.found.empty()) {
    throw UsageError("--condition " + source.file + ": " + walker.found + " is longer than " +
                     std::to_string(kMaxValueLength) + " characters");
  }
  return text;
}

int RunCondition(const ConditionSource& source, Context& ctx) {
  if (!source.periods) {
    ctx.out << ConditionText(source);
    return kExitOk;
  }
  Session session(ctx.global, ctx.err);
  ctx.out << ConditionOf(source, session.component(), ctx.global);
  return kExitOk;
}

// Generates the demo company and writes it to the server `connection_string` names, through
// the ODBC engine, after the schema script has dropped and re-created its tables.
int RunDemoOnServer(const std::string& connection_string, const DemoSettings& settings,
                    const std::string& lines, Context& ctx) {
  demo::DemoOptions options;
  options.seed = settings.seed;
  options.lines = settings.lines;
  demo::DemoCompany company = demo::GenerateCompany(options);
  platform::db::Connection connection;
  connection.Open(connection_string);
  ProgressBar bar("demo company on the server");
  demo::WriteCompanyToServer(company, connection, demo::kMssqlSchemaScript,
                             [&](double f) { bar.Update(f, "copying tables"); });
  ctx.out << "Demo company written to the server: " << lines << ", seed " << settings.seed << ".\n";
  return kExitOk;
}

int RunDemo(const DemoCommandOptions& o, Context& ctx) {
  DemoSettings settings = DefaultDemoSettings();
  if (o.lines) settings.lines = *o.lines;
  if (o.seed) settings.seed = *o.seed;
  // The generator needs room for every case it makes; say what is written.
  settings.lines = std::max<int64_t>(settings.lines, demo::kMinimumLines);
  std::string lines =
      std::to_string(settings.lines) + " document lines" +
      (o.lines && *o.lines < settings.lines ? " (the fewest the demo company has)" : "");
  if (!o.server.empty()) return RunDemoOnServer(o.server, settings, lines, ctx);
  std::string connection = DemoConnectionString(o.dir);
  DemoPlace place = InspectDemoPlace(o.dir);
  if (place.state == DemoPlace::kOther && (!o.force || !place.replaceable)) {
    throw UsageError("demo --dir " + o.dir + ": " + place.description + "; nothing was changed" +
                     (place.replaceable ? " (--force replaces them)" : ""));
  }
  bool create = place.state != DemoPlace::kPresent || o.force;
  if (create) {
    ProgressBar bar("demo company");
    CreateDemoCompany(o.dir, settings,
                      [&](double f, const std::string& phase) { bar.Update(f, phase); });
  }
  if (ctx.global.format == Format::kJson) {
    Json j{{"dir", o.dir}, {"created", create}, {"connection", connection}};
    if (create) {
      j["lines"] = settings.lines;
      j["seed"] = settings.seed;
    }
    ctx.out << DumpJson(j) << '\n';
  } else if (!create) {
    ctx.out << "The demo company is already in " << o.dir << "/ (--force creates it again).\n"
            << "Connection string: " << connection << '\n';
  } else {
    ctx.out << "Demo company written to " << o.dir << "/ (company.db, system.db): " << lines
            << ", seed " << settings.seed << ".\n"
            << "Connection string: " << connection << '\n';
  }
  return kExitOk;
}

int RunLedger(const LedgerOptions& o, Context& ctx) {
  CheckKindOptions(o);
  if (!o.condition.periods) ConditionText(o.condition);  // a bad file fails before any work
  Session session(ctx.global, ctx.err);
  component::IClsKCZT& k = session.component();
  std::string xml = ConditionOf(o.condition, k, ctx.global);

  Variant rs1 =
      ExplainingAYearWithoutPeriods(k, ctx.global, [&] { return OpenSummary(k, xml, o.kind); });
  SummaryRows summary(rs1);

  std::vector<int32_t> rows;
  if (o.all_rows) {
    for (size_t r = 1; r <= summary.size(); ++r) rows.push_back(static_cast<int32_t>(r));
  } else if (!o.summary_only) {
    rows.push_back(CheckRow(o.row.value_or(1), summary.size()));
  }

  std::vector<Detail> details;
  for (int32_t row : rows) {
    Grid detail = GridOf(OpenDetail(k, xml, rs1, o.kind, row), "Rs2");
    size_t r = static_cast<size_t>(row - 1);
    StockCard card =
        ComputeStockCard(detail, summary.Cell(r, "iBeginQtty"), summary.Cell(r, "iBeginNum"));
    details.push_back({row, WithBalances(detail, card), card});
  }
  std::vector<FormatColumn> format;
  bool json = ctx.global.format == Format::kJson;
  if ((!o.raw_names || json) && !details.empty()) format = SavedFormat(k, QueryNameOf(o.kind), ctx);

  if (json) {
    Json list = Json::array();
    for (const Detail& d : details) {
      Json g = GridToJson(WithCaptions(d.grid, format));
      list.push_back(Json{{"row", d.row},
                          {"columns", g["columns"]},
                          {"captions", g["captions"]},
                          {"rows", g["rows"]},
                          {"opening", BalanceJson(d.card.opening)},
                          {"closing", BalanceJson(d.card.closing)}});
    }
    ctx.out << "{\"summary\":";
    WriteJson(ctx.out, summary.View(CaptionsOf(summary.columns(), {})));
    ctx.out << ",\"details\":" << DumpJson(list) << "}\n";
    return kExitOk;
  }

  // What a person reads: the saved format's columns with their captions and the balances, or
  // with --raw-names the stock card's columns by field name; --wide shows every column.
  auto shown = [&](const Grid& detail) {
    if (o.wide) return o.raw_names ? detail : WithCaptions(detail, format);
    if (o.raw_names || format.empty()) {
      Grid g = SelectColumns(
          detail, o.kind == LedgerKind::kPosition ? kPositionCardColumns : kStockCardColumns);
      return o.raw_names ? g : WithCaptions(g, format);
    }
    return ApplyFormat(detail, format, {kBalanceQttyColumn, kBalanceNumColumn},
                       {kBalanceQttyCaption, kBalanceNumCaption});
  };
  RowsView summary_shown =
      summary.View(o.raw_names ? std::vector<std::string>{} : CaptionsOf(summary.columns(), {}));
  if (ctx.global.format == Format::kCsv) {
    ctx.out << kCsvByteOrderMark;
    WriteCsv(ctx.out, summary_shown);
    for (const Detail& d : details)
      ctx.out << "\r\n" << RenderCsv(WithCardLines(shown(d.grid), d.card));
    return kExitOk;
  }
  size_t n = summary.size();
  ctx.out << LedgerTitle(o.kind) << ": " << n << (n == 1 ? " row" : " rows") << "\n\n";
  WriteTable(ctx.out, summary_shown);
  for (const Detail& d : details) {
    ctx.out << '\n'
            << EscapeControls(DetailHeading(o.kind, summary, d, o.raw_names)) << "\n\n"
            << RenderTable(WithCardLines(shown(d.grid), d.card));
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
  if (!rs.has_object()) throw ComponentFalse(NoPeriodsMessage(ctx.global.account, ctx.global.year));
  WriteGrid(ctx, GridOf(rs, "rs"));
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
    // No id read: no query definition of that name (the lookup found no row).
    if (query_id.is_empty()) {
      throw ComponentFalse("format get " + name +
                           ": the stock module has no report query of that name");
    }
    throw ComponentFalse(MessageOr(Variant(msg), "no query format " + name));
  }
  WriteGrid(ctx, GridOf(rs, "rsFormat"), Json{{"queryid", CellToJson(query_id)}},
            "Query format " + name + " (id " + query_id.ConcatText() + ")");
  return kExitOk;
}

int RunFormatSave(const std::string& file, Context& ctx) {
  std::string xml = ReadInputFile(file, "format save");
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
  CheckKindOptions(o.ledger);
  if (!o.ledger.condition.periods) ConditionText(o.ledger.condition);
  // csv:PATH and html:PATH write a file: the tool makes sure it is a new one (or --force) and
  // never a link followed or a database overwritten. Other commands go to the service as given.
  size_t colon = o.command.find(':');
  std::string verb = o.command.substr(0, colon == std::string::npos ? 0 : colon);
  std::string target = colon == std::string::npos ? "" : o.command.substr(colon + 1);
  for (char& c : verb) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  bool writes = (verb == "csv" || verb == "html") && !target.empty();
  if (writes) CheckNewFileTarget(target, o.force, "print");
  Session session(ctx.global, ctx.err);
  component::IClsKCZT& k = session.component();
  if (writes && !DatabaseFileAt(session.connection_string(), target).empty()) {
    throw UsageError("print " + target + ": is the database file; name another file");
  }
  std::string xml = ConditionOf(o.ledger.condition, k, ctx.global);
  Variant rs1 = ExplainingAYearWithoutPeriods(k, ctx.global,
                                              [&] { return OpenSummary(k, xml, o.ledger.kind); });
  Variant param = rs1;
  size_t records = static_cast<size_t>(db::AsRecordset(rs1, "Rs1")->RecordCount());
  if (o.ledger.row) {
    CheckRow(*o.ledger.row, records);
    param = OpenDetail(k, xml, rs1, o.ledger.kind, *o.ledger.row);
    records = static_cast<size_t>(db::AsRecordset(param, "Rs2")->RecordCount());
  }
  auto print = [&](const std::string& command) {
    Variant ret;
    std::string error;
    Variant command_value(command);
    k.PrintSrv(command_value, param, ret, error);
    if (!error.empty()) throw ComponentFalse(Trim(error));
  };
  if (!writes) {
    print(o.command);
    return kExitOk;
  }
  WriteNewFile(target, o.force, "print",
               [&](const std::string& temp) { print(verb + ":" + temp); });
  std::error_code ec;
  std::string shown = std::filesystem::absolute(target, ec).string();
  if (ctx.global.format == Format::kJson) {
    ctx.out << DumpJson(Json{{"file", shown}, {"records", records}}) << '\n';
  } else {
    ctx.out << "Written to " << shown << ": " << records << (records == 1 ? " record" : " records")
            << '\n';
  }
  return kExitOk;
}

int RunServe(web::ServeOptions options, Context& ctx) {
  { web::WebServer check(options); }  // a bad --listen or TLS option fails before any work
  options.connection_string = ResolveDatabase(ctx.global, ctx.err);
  return web::Serve(options, ctx.out);
}

}  // namespace q9::cli
