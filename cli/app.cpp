#include "cli/app.h"

#include <CLI/CLI.hpp>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iostream>

#include "cli/commands.h"
#include "cli/demo_company.h"
#include "cli/exit_status.h"
#include "cli/file_paths.h"
#include "condition/condition_texts.h"
#include "demo/generator.h"
#include "platform/error.h"

namespace q9::cli {

namespace {

constexpr char kVersion[] = "1.0";
constexpr int64_t kMaxDemoLines = 10'000'000;

constexpr char kFormatDocumentHelp[] =
    "The format document: one element per grid column, named col1, col2, ... (position 1, 2, "
    "...), as the direct children of the document element and nothing else there, each with "
    "visible=\"true|false\" (or a number, 0 hidden) and width=\"N\"; the query's id (format "
    "get shows it) in a queryid element inside one of them:\n"
    "  <format><col1 visible=\"true\" width=\"80\"><queryid value=\"5\"/></col1>"
    "<col2 visible=\"false\" width=\"120\"/></format>\n"
    "A position that has a format row is updated, a new one inserted.";

constexpr char kDescription[] =
    "q9strep: the inventory ledger (stock ledger by inventory or by batch, position ledger) and "
    "its report services, asked of the report server IClsKCZT as a report front end asks.";

constexpr char kFooter[] =
    "Global options (--db, --user, --account, --year, --format, --trace-sql) go before or after "
    "the command; q9strep --help describes them.\n"
    "Exit status: 0 success, 1 the component answered False (its message on standard error), "
    "2 usage error, 3 the component raised an error (number and description on standard error).";

// The condition options, shared by ledger, condition and print.
class ConditionArgs {
 public:
  void Add(CLI::App* app) {
    std::vector<CLI::Option*> options;
    from_option_ =
        app->add_option("--from", from_, "first date of the range (YYYY-MM-DD)")->type_name("DATE");
    to_option_ =
        app->add_option("--to", to_, "last date of the range (YYYY-MM-DD)")->type_name("DATE");
    options.push_back(from_option_);
    options.push_back(to_option_);
    CLI::Option* audit =
        app->add_flag("--audit-dates", audit_dates_, "the range applies to audit dates");
    CLI::Option* document = app->add_flag("--document-dates", document_dates_,
                                          "the range applies to document dates (default)");
    audit->excludes(document);
    options.push_back(audit);
    options.push_back(document);
    options.push_back(
        app->add_option("--warehouse", warehouses_, "warehouse codes separated by commas")
            ->type_name("CODES"));
    options.push_back(app->add_option("--class", class_, "inventory class codes (prefix range)")
                          ->type_name("FROM[:TO]"));
    options.push_back(
        app->add_option("--inventory", inventory_, "inventory codes")->type_name("FROM[:TO]"));
    options.push_back(
        app->add_option("--spec", spec_, "specification, matched exactly")->type_name("TEXT"));
    options.push_back(app->add_option("--assunit", assunit_,
                                      "number of the unit shown as auxiliary unit (1, 2, ...)")
                          ->type_name("N")
                          ->capture_default_str());
    period_ = app->add_option("--period", period_text_,
                              "one accounting period of the login year: its number (3) or "
                              "YYYY-MM (2026-03, which also sets the login year)")
                  ->type_name("P");
    periods_ = app->add_option("--periods", periods_text_,
                               "accounting periods FIRST:LAST of the login year (1:3)")
                   ->type_name("P:P");
    period_->excludes(periods_);
    options.push_back(period_);
    options.push_back(periods_);
    options.push_back(app->add_option("--standard", standard_,
                                      "selection standard: all (所有存货), active (发生业务), "
                                      "inactive (未发生业务), in-not-out (入库未出库), "
                                      "out-not-in (出库未入库)")
                          ->type_name("STANDARD")
                          ->capture_default_str());
    batch_ = app->add_option("--batch", batch_text_,
                             "batch: one batch for the stock ledger, a prefix range for the "
                             "position ledger")
                 ->type_name("FROM[:TO]");
    options.push_back(batch_);
    position_ = app->add_option("--position", position_text_, "storage position codes")
                    ->type_name("FROM[:TO]");
    options.push_back(position_);
    audited_only_ = app->add_flag("--audited-only", audited_only_flag_,
                                  "audited documents only (stock ledger)");
    options.push_back(audited_only_);
    options.push_back(app->add_option("--free", free_,
                                      "show free item I (1-10) and filter it by a prefix range; "
                                      "repeatable")
                          ->type_name("I=FROM[:TO]")
                          ->allow_extra_args(false));
    options.push_back(
        app->add_option("--define", define_, "filter inventory define item I (1-16); repeatable")
            ->type_name("I=FROM[:TO]")
            ->allow_extra_args(false));
    CLI::Option* file = app->add_option("--condition", file_,
                                        "use this condition document as it is instead of the "
                                        "condition options")
                            ->type_name("FILE.xml");
    file_option_ = file;
    condition_options_ = std::move(options);
  }

  ConditionSource Finalize() const {
    if (file_option_->count() > 0) {
      for (const CLI::Option* o : condition_options_) {
        if (o->count() > 0) {
          throw UsageError("--condition uses the document as it is; " + o->get_name() +
                           " cannot be given with it");
        }
      }
    }
    ConditionSource s;
    s.file = file_;
    if (file_option_->count() > 0 && file_.empty()) {
      throw UsageError("--condition: needs a file name");
    }
    bool from_given = from_option_->count() > 0;
    bool to_given = to_option_->count() > 0;
    condition::ConditionTexts t;
    if (from_given) t.from = from_;
    if (to_given) t.to = to_;
    t.audit_dates = audit_dates_;
    t.warehouses = warehouses_;
    t.inv_class = class_;
    t.inventory = inventory_;
    t.spec = spec_;
    t.assunit = assunit_;
    t.standard = standard_;
    t.batch = batch_text_;
    t.position = position_text_;
    t.audited_only = audited_only_flag_;
    t.free = free_;
    t.define = define_;
    s.options = condition::ParseConditionTexts(t);
    if (period_->count() + periods_->count() > 0 && from_given + to_given > 0) {
      throw UsageError(std::string(period_->count() ? "--period" : "--periods") +
                       " sets the dates; --from and --to cannot be given with it");
    }
    if (period_->count()) s.periods = ParsePeriods(period_text_, "--period");
    if (periods_->count()) s.periods = ParsePeriods(periods_text_, "--periods");
    s.batch_given = batch_->count() > 0;
    s.position_given = position_->count() > 0;
    s.audited_only_given = audited_only_->count() > 0;
    return s;
  }

 private:
  std::string from_, to_;
  bool audit_dates_ = false;
  bool document_dates_ = false;
  std::string warehouses_, class_, inventory_, spec_;
  std::string assunit_ = "1";
  std::string period_text_, periods_text_;
  CLI::Option* from_option_ = nullptr;
  CLI::Option* to_option_ = nullptr;
  CLI::Option* period_ = nullptr;
  CLI::Option* periods_ = nullptr;
  std::string standard_ = "all";
  std::string batch_text_, position_text_;
  bool audited_only_flag_ = false;
  std::vector<std::string> free_, define_;
  std::string file_;
  CLI::Option* batch_ = nullptr;
  CLI::Option* position_ = nullptr;
  CLI::Option* audited_only_ = nullptr;
  CLI::Option* file_option_ = nullptr;
  std::vector<CLI::Option*> condition_options_;
};

LedgerKind KindOf(const std::string& name) {
  if (name == "batch") return LedgerKind::kBatch;
  if (name == "position") return LedgerKind::kPosition;
  return LedgerKind::kInventory;
}

void AddKind(CLI::App* app, std::string& kind) {
  app->add_option("--kind", kind,
                  "ledger: inventory (stock ledger by inventory), batch (stock "
                  "ledger by batch) or position (position ledger)")
      ->check(CLI::IsMember({"inventory", "batch", "position"}).description(""))
      ->type_name("inventory|batch|position")
      ->capture_default_str();
}

int32_t ParseRow(const std::string& text) {
  return static_cast<int32_t>(ParseWholeNumber(text, "--row", 1, INT32_MAX, "a row number"));
}

// --period 2026-03 names the login year too: it must agree with --year, or sets it.
void ApplyPeriodYear(const ConditionSource& source, GlobalOptions& global) {
  if (!source.periods || !source.periods->year) return;
  int year = *source.periods->year;
  if (global.year_given && year != global.year) {
    throw UsageError(source.periods->option + ": the login year is " + std::to_string(global.year) +
                     " (--year)");
  }
  global.year = year;
}

// q9strep help [COMMAND [SUBCOMMAND]]: the help of that command, as COMMAND --help shows it.
int PrintHelp(CLI::App& app, const std::vector<std::string>& topic, std::ostream& out) {
  CLI::App* shown = &app;
  std::string path;
  std::string prev = app.get_name();
  for (const std::string& name : topic) {
    path += (path.empty() ? "" : " ") + name;
    CLI::App* sub = nullptr;
    try {
      sub = shown->get_subcommand(name);
    } catch (const CLI::OptionNotFound&) {
    }
    if (!sub || name == "help") throw UsageError("help " + path + ": no such command");
    shown = sub;
    prev += " " + name;
  }
  // help() itself would show the help command's own help, the command parsed.
  out << shown->get_formatter()->make_help(shown, prev, CLI::AppFormatMode::Normal);
  return kExitOk;
}

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CLI::App app(kDescription, "q9strep");
  app.footer(kFooter);
  app.require_subcommand(1);
  app.fallthrough();

  app.set_version_flag("--version", std::string("q9strep ") + kVersion,
                       "the tool's version, then exit");

  GlobalOptions global;
  std::string format = "table";
  std::string year_text = std::to_string(global.year);
  CLI::Option* db_option =
      app.add_option("--db", global.db,
                     "connection string of the company database (default: the demo company in "
                     "./demo-data, created on first use where nothing of its names is there)")
          ->type_name("CONNECTION");
  app.add_option("--user", global.user, "user id of the login")->capture_default_str();
  app.add_option("--account", global.account, "account id of the login")->capture_default_str();
  CLI::Option* year_option =
      app.add_option("--year", year_text, "login year")->type_name("YYYY")->capture_default_str();
  app.add_option("--format", format, "output format")
      ->check(CLI::IsMember({"table", "csv", "json"}).description(""))
      ->type_name("table|csv|json")
      ->capture_default_str();
  CLI::Option* trace_option =
      app.add_option("--trace-sql", global.trace_sql,
                     "append every statement to FILE as JSON lines {\"sql\", \"engine_sql\"} "
                     "(also the environment variable Q9STREP_TRACE_SQL)")
          ->type_name("FILE");

  std::function<int(Context&)> action;

  CLI::App* demo = app.add_subcommand("demo", "create the demo company (company.db, system.db)");
  DemoCommandOptions demo_options;
  demo->add_option("--dir", demo_options.dir, "directory of the two database files")
      ->type_name("DIR")
      ->capture_default_str();
  std::string lines_text, seed_text;
  CLI::Option* lines_option =
      demo->add_option("--lines", lines_text,
                       "number of document lines, at least " + std::to_string(demo::kMinimumLines) +
                           " (fewer are raised to it); default " +
                           std::to_string(DefaultDemoSettings().lines))
          ->type_name("N");
  CLI::Option* seed_option =
      demo->add_option("--seed", seed_text, "seed of the generator")->type_name("N");
  demo->add_flag("--force", demo_options.force,
                 "create it again when it exists (replaces files, never a directory)");
  demo->add_option("--server", demo_options.server,
                   "fill this SQL Server instead (a connection string; its demo tables and "
                   "VKSystem's are dropped and re-created)")
      ->type_name("CONNECTION");
  demo->callback([&] {
    action = [&](Context& c) {
      if (lines_option->count()) {
        demo_options.lines =
            ParseWholeNumber(lines_text, "--lines", 1, kMaxDemoLines, "a number of lines");
      }
      if (seed_option->count()) {
        demo_options.seed = ParseWholeNumber(seed_text, "--seed", 0, INT64_MAX, "a whole number");
      }
      return RunDemo(demo_options, c);
    };
  });

  CLI::App* ledger = app.add_subcommand(
      "ledger",
      "the ledger's summary (OpenX) and the detail of summary rows (OpenPage), with a "
      "running balance as on a stock card");
  LedgerOptions ledger_options;
  ConditionArgs ledger_condition;
  std::string ledger_kind = "inventory";
  AddKind(ledger, ledger_kind);
  ledger_condition.Add(ledger);
  std::string row_text;
  CLI::Option* row =
      ledger->add_option("--row", row_text, "show the detail of summary row N (default 1)")
          ->type_name("N");
  CLI::Option* all_rows =
      ledger->add_flag("--all-rows", ledger_options.all_rows, "show the detail of every row");
  CLI::Option* summary_only =
      ledger->add_flag("--summary-only", ledger_options.summary_only, "show the summary only");
  row->excludes(all_rows)->excludes(summary_only);
  all_rows->excludes(summary_only);
  ledger->add_flag("--wide", ledger_options.wide,
                   "every column of the detail, not only those the saved format shows");
  ledger->add_flag("--raw-names", ledger_options.raw_names,
                   "table and csv: field names as headings instead of the saved format's "
                   "captions (json always has both)");
  ledger->callback([&] {
    action = [&](Context& c) {
      if (row->count()) ledger_options.row = ParseRow(row_text);
      ledger_options.kind = KindOf(ledger_kind);
      ledger_options.condition = ledger_condition.Finalize();
      ApplyPeriodYear(ledger_options.condition, c.global);
      return RunLedger(ledger_options, c);
    };
  });

  CLI::App* condition = app.add_subcommand(
      "condition", "print the condition document the condition options make (for --condition)");
  ConditionArgs condition_args;
  condition_args.Add(condition);
  condition->callback([&] {
    action = [&](Context& c) {
      ConditionSource source = condition_args.Finalize();
      ApplyPeriodYear(source, c.global);
      return RunCondition(source, c);
    };
  });

  CLI::App* periods =
      app.add_subcommand("periods", "the accounting periods of the login year (GetPeriodDay)");
  periods->callback([&] { action = [&](Context& c) { return RunPeriods(c); }; });

  CLI::App* captions =
      app.add_subcommand("captions",
                         "captions of the define and free items (GetDefineName, GetFreeName, "
                         "GetHDefineName, GetBDefineName)");
  std::string caption_kind;
  captions
      ->add_option("KIND", caption_kind,
                   "define (inventory defines), free (inventory free items), hdefine or "
                   "bdefine (document defines)")
      ->required()
      ->check(CLI::IsMember({"define", "free", "hdefine", "bdefine"}).description(""))
      ->type_name("define|free|hdefine|bdefine");
  captions->callback([&] { action = [&](Context& c) { return RunCaptions(caption_kind, c); }; });

  CLI::App* format_cmd = app.add_subcommand("format", "saved column formats of report queries");
  format_cmd->require_subcommand(1);
  std::string format_name;
  CLI::App* format_get =
      format_cmd->add_subcommand("get", "the format rows of a query (GetQueryFormat)");
  format_get->add_option("NAME", format_name, "name of the query")->required();
  format_get->callback([&] { action = [&](Context& c) { return RunFormatGet(format_name, c); }; });
  std::string format_file;
  CLI::App* format_save = format_cmd->add_subcommand(
      "save", "save a format document (SaveFormat; writes to the database)");
  format_save->footer(kFormatDocumentHelp);
  format_save->add_option("FILE", format_file, "the format document (XML)")->required();
  format_save->callback(
      [&] { action = [&](Context& c) { return RunFormatSave(format_file, c); }; });

  CLI::App* ref = app.add_subcommand("ref", "a page of reference data (GetRefData)");
  RefOptions ref_options;
  ref->add_option("TABLE", ref_options.table, "the reference's table")->required();
  ref->add_option("--filter", ref_options.filter,
                  "code prefix: only rows whose code starts with it")
      ->type_name("PREFIX");
  ref->add_option("--keyword", ref_options.keyword, "only rows whose code or name contains it")
      ->type_name("TEXT");
  ref->add_option("--order", ref_options.order, "ordering, e.g. \"cInvName DESC\"");
  std::string page_size_text = "20", page_text = "1";
  ref->add_option("--page-size", page_size_text, "rows per page (1 to 32767)")
      ->type_name("N")
      ->capture_default_str();
  ref->add_option("--page", page_text, "page number")->type_name("N")->capture_default_str();
  ref->add_flag("--plain", ref_options.plain, "plain mode: the data without the title format");
  ref->callback([&] {
    action = [&](Context& c) {
      ref_options.page_size =
          static_cast<int>(ParseWholeNumber(page_size_text, "--page-size", 1, 32767, "a number"));
      ref_options.page =
          static_cast<int32_t>(ParseWholeNumber(page_text, "--page", 1, INT32_MAX, "a page"));
      return RunRef(ref_options, c);
    };
  });

  CLI::App* task = app.add_subcommand("task", "whether the user may run a function (GetTaskAuth)");
  std::string function_id;
  std::string lock_text = "1";
  task->add_option("FUNCTION_ID", function_id, "id of the function")->required();
  task->add_option("--lock", lock_text, "lock number handed to the login component")
      ->type_name("N")
      ->capture_default_str();
  task->callback([&] {
    action = [&](Context& c) {
      int lock =
          static_cast<int>(ParseWholeNumber(lock_text, "--lock", -32768, 32767, "a lock number"));
      return RunTask(function_id, lock, c);
    };
  });

  CLI::App* print = app.add_subcommand(
      "print",
      "hand the ledger's summary (or the detail of --row N) to the print service (PrintSrv): "
      "csv:FILE or html:FILE writes a new file");
  PrintOptions print_options;
  ConditionArgs print_condition;
  print->add_option("COMMAND", print_options.command, "the print service's command")->required();
  std::string print_kind = "inventory";
  AddKind(print, print_kind);
  print_condition.Add(print);
  std::string print_row_text;
  CLI::Option* print_row =
      print->add_option("--row", print_row_text, "hand the detail of summary row N")
          ->type_name("N");
  print->add_flag("--force", print_options.force,
                  "replace a file (or a symbolic link, not what it points to) at FILE");
  print->callback([&] {
    action = [&](Context& c) {
      if (print_row->count()) print_options.ledger.row = ParseRow(print_row_text);
      print_options.ledger.kind = KindOf(print_kind);
      print_options.ledger.condition = print_condition.Finalize();
      ApplyPeriodYear(print_options.ledger.condition, c.global);
      return RunPrint(print_options, c);
    };
  });

  CLI::App* serve = app.add_subcommand(
      "serve", "the web report: an HTTP server with the report page and its JSON API");
  web::ServeOptions serve_options;
  serve->add_option("--listen", serve_options.listen, "address and port to listen on")
      ->type_name("HOST:PORT")
      ->capture_default_str();
  serve->add_option("--tls-cert", serve_options.tls_cert, "certificate (PEM): serve HTTPS")
      ->type_name("FILE");
  serve->add_option("--tls-key", serve_options.tls_key, "private key of the certificate (PEM)")
      ->type_name("FILE");
  serve->add_flag("--insecure-listen", serve_options.insecure_listen,
                  "serve plain HTTP on an address other than loopback");
  serve->callback([&] { action = [&](Context& c) { return RunServe(serve_options, c); }; });

  CLI::App* help = app.add_subcommand("help", "help on the tool or on one command");
  std::vector<std::string> help_topic;
  help->add_option("COMMAND", help_topic, "a command (and sub-command, e.g. format save)");

  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e, out, err);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e, out, err);
  } catch (const CLI::CallForVersion& e) {
    out << e.what() << std::endl;
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    err << "q9strep: " << OneLine(e.what()) << " (see q9strep --help)" << std::endl;
    return kExitUsage;
  }

  global.format = format == "csv"    ? Format::kCsv
                  : format == "json" ? Format::kJson
                                     : Format::kTable;
  Context ctx{global, out, err};
  try {
    if (help->parsed()) return PrintHelp(app, help_topic, out);
    global.db_given = db_option->count() > 0;
    global.year_given = year_option->count() > 0;
    global.year = static_cast<int>(ParseWholeNumber(year_text, "--year", 1900, 9999, "a year"));
    // A trace that cannot be written fails now, not silently later.
    if (trace_option->count() > 0) {
      CheckAppendable(global.trace_sql, "--trace-sql");
    } else if (const char* env = std::getenv("Q9STREP_TRACE_SQL"); env && *env) {
      CheckAppendable(env, "Q9STREP_TRACE_SQL");
      global.trace_sql = env;
    }
    ctx.global = global;
    return action(ctx);
  } catch (const UsageError& e) {
    err << "q9strep: " << OneLine(e.what()) << std::endl;
    return kExitUsage;
  } catch (const ComponentFalse& e) {
    err << "q9strep: " << OneLine(e.what()) << std::endl;
    return kExitFalse;
  } catch (const platform::ComError& e) {
    err << "q9strep: error " << e.number() << ": " << OneLine(e.description()) << std::endl;
    return kExitError;
  } catch (const std::exception& e) {
    err << "q9strep: error: " << OneLine(e.what()) << std::endl;
    return kExitError;
  }
}

int Run(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  return Run(std::vector<std::string>(argv, argv + argc), std::cout, std::cerr);
}

}  // namespace q9::cli
