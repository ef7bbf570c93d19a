#include "cli/app.h"

#include <CLI/CLI.hpp>
#include <functional>
#include <iostream>

#include "cli/commands.h"
#include "cli/demo_company.h"
#include "cli/exit_status.h"
#include "platform/error.h"

namespace q9::cli {

namespace {

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
    options.push_back(app->add_option("--from", from_, "first date of the range (YYYY-MM-DD)")
                          ->type_name("DATE"));
    options.push_back(
        app->add_option("--to", to_, "last date of the range (YYYY-MM-DD)")->type_name("DATE"));
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
    options.push_back(
        app->add_option("--assunit", assunit_, "number of the unit shown as auxiliary unit")
            ->type_name("N")
            ->capture_default_str());
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
    ConditionOptions& c = s.options;
    if (!from_.empty()) c.dates.from = ParseDateOption(from_, "--from");
    if (!to_.empty()) c.dates.to = ParseDateOption(to_, "--to");
    c.audit_dates = audit_dates_;
    c.warehouses = warehouses_;
    c.inv_class = ParseRange(class_);
    c.inventory = ParseRange(inventory_);
    c.spec = spec_;
    c.assunit = std::to_string(assunit_);
    c.standard = StandardName(standard_);
    c.batch = ParseRange(batch_text_);
    c.position = ParseRange(position_text_);
    c.audited_only = audited_only_flag_;
    for (const std::string& f : free_) {
      auto [i, range] = ParseItemRange(f, kFreeItems, "--free");
      c.free[i - 1] = range;
    }
    for (const std::string& d : define_) {
      auto [i, range] = ParseItemRange(d, kDefineItems, "--define");
      c.define[i - 1] = range;
    }
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
  int assunit_ = 1;
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

  GlobalOptions global;
  std::string format = "table";
  app.add_option("--db", global.db,
                 "connection string of the company database (default: the demo company in "
                 "./demo-data, created on first use)")
      ->type_name("CONNECTION");
  app.add_option("--user", global.user, "user id of the login")->capture_default_str();
  app.add_option("--account", global.account, "account id of the login")->capture_default_str();
  app.add_option("--year", global.year, "login year")->capture_default_str();
  app.add_option("--format", format, "output format")
      ->check(CLI::IsMember({"table", "csv", "json"}).description(""))
      ->type_name("table|csv|json")
      ->capture_default_str();
  app.add_option("--trace-sql", global.trace_sql,
                 "append every statement to FILE as JSON lines {\"sql\", \"engine_sql\"}")
      ->type_name("FILE");

  std::function<int(Context&)> action;

  CLI::App* demo = app.add_subcommand("demo", "create the demo company (company.db, system.db)");
  DemoCommandOptions demo_options;
  demo->add_option("--dir", demo_options.dir, "directory of the two database files")
      ->capture_default_str();
  demo->add_option("--lines", demo_options.lines, "number of document lines")
      ->check(CLI::PositiveNumber);
  demo->add_option("--seed", demo_options.seed, "seed of the generator");
  demo->add_flag("--force", demo_options.force, "create it again when it exists");
  demo->add_option("--server", demo_options.server,
                   "fill this SQL Server instead (a connection string; its demo tables and "
                   "VKSystem's are dropped and re-created)");
  demo->callback([&] { action = [&](Context& c) { return RunDemo(demo_options, c); }; });

  CLI::App* ledger = app.add_subcommand(
      "ledger",
      "the ledger's summary (OpenX) and the detail of summary rows (OpenPage), with a "
      "running balance as on a stock card");
  LedgerOptions ledger_options;
  ConditionArgs ledger_condition;
  std::string ledger_kind = "inventory";
  AddKind(ledger, ledger_kind);
  ledger_condition.Add(ledger);
  CLI::Option* row =
      ledger
          ->add_option("--row", ledger_options.row, "show the detail of summary row N (default 1)")
          ->check(CLI::PositiveNumber)
          ->type_name("N");
  CLI::Option* all_rows =
      ledger->add_flag("--all-rows", ledger_options.all_rows, "show the detail of every row");
  CLI::Option* summary_only =
      ledger->add_flag("--summary-only", ledger_options.summary_only, "show the summary only");
  row->excludes(all_rows)->excludes(summary_only);
  all_rows->excludes(summary_only);
  ledger->add_flag("--wide", ledger_options.wide,
                   "table format: every column of the detail, not only the stock card's");
  ledger->callback([&] {
    action = [&](Context& c) {
      ledger_options.kind = KindOf(ledger_kind);
      ledger_options.condition = ledger_condition.Finalize();
      return RunLedger(ledger_options, c);
    };
  });

  CLI::App* condition = app.add_subcommand(
      "condition", "print the condition document the condition options make (for --condition)");
  ConditionArgs condition_args;
  condition_args.Add(condition);
  condition->callback(
      [&] { action = [&](Context& c) { return RunCondition(condition_args.Finalize(), c); }; });

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
  format_save->add_option("FILE", format_file, "the format document (XML)")->required();
  format_save->callback(
      [&] { action = [&](Context& c) { return RunFormatSave(format_file, c); }; });

  CLI::App* ref = app.add_subcommand("ref", "a page of reference data (GetRefData)");
  RefOptions ref_options;
  ref->add_option("TABLE", ref_options.table, "the reference's table")->required();
  ref->add_option("--filter", ref_options.filter, "filter handed to the reference server");
  ref->add_option("--keyword", ref_options.keyword, "key word to search for");
  ref->add_option("--order", ref_options.order, "ordering, e.g. \"cInvName DESC\"");
  ref->add_option("--page-size", ref_options.page_size, "rows per page")
      ->check(CLI::Range(1, 32767))
      ->capture_default_str();
  ref->add_option("--page", ref_options.page, "page number")
      ->check(CLI::PositiveNumber)
      ->capture_default_str();
  ref->add_flag("--plain", ref_options.plain, "plain mode: the data without the title format");
  ref->callback([&] { action = [&](Context& c) { return RunRef(ref_options, c); }; });

  CLI::App* task = app.add_subcommand("task", "whether the user may run a function (GetTaskAuth)");
  std::string function_id;
  int lock = 1;
  task->add_option("FUNCTION_ID", function_id, "id of the function")->required();
  task->add_option("--lock", lock, "lock number handed to the login component")
      ->check(CLI::Range(-32768, 32767))
      ->capture_default_str();
  task->callback([&] { action = [&](Context& c) { return RunTask(function_id, lock, c); }; });

  CLI::App* print = app.add_subcommand(
      "print",
      "hand a report to the print service (PrintSrv): the ledger's summary, or the "
      "detail of --row N, or a text --param");
  PrintOptions print_options;
  ConditionArgs print_condition;
  print->add_option("COMMAND", print_options.command, "the print service's command")->required();
  CLI::Option* param = print->add_option("--param", print_options.param,
                                         "a text handed as the command's parameter instead of a "
                                         "report");
  std::string print_kind = "inventory";
  AddKind(print, print_kind);
  print_condition.Add(print);
  print->add_option("--row", print_options.ledger.row, "hand the detail of summary row N")
      ->check(CLI::PositiveNumber)
      ->type_name("N")
      ->excludes(param);
  print->callback([&] {
    action = [&](Context& c) {
      print_options.ledger.kind = KindOf(print_kind);
      print_options.ledger.condition = print_condition.Finalize();
      return RunPrint(print_options, c);
    };
  });

  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e, out, err);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e, out, err);
  } catch (const CLI::ParseError& e) {
    err << "q9strep: " << OneLine(e.what()) << " (see q9strep --help)" << std::endl;
    return kExitUsage;
  }

  global.format = format == "csv"    ? Format::kCsv
                  : format == "json" ? Format::kJson
                                     : Format::kTable;
  Context ctx{global, out, err};
  try {
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
