// The commands of q9strep. Each takes its options, drives IClsKCZT as a report front end does
// (Init through a Session, then the component's methods) and writes what the component returned
// in the chosen format. Each returns kExitOk, or raises: UsageError (kExitUsage),
// ComponentFalse (kExitFalse), platform::ComError (kExitError).
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "cli/demo_company.h"
#include "cli/session.h"
#include "condition/condition_document.h"
#include "ledger/period_range.h"
#include "web/server.h"

namespace q9::cli {

using condition::BuildConditionDocument;
using condition::CheckLength;
using condition::ConditionOptions;
using condition::kDefineItems;
using condition::kFreeItems;
using condition::kMaxValueLength;
using condition::ParseDateOption;
using condition::ParseItemRange;
using condition::ParseRange;
using condition::ParseRangeOption;
using condition::ParseWholeNumber;
using condition::Range;
using condition::StandardName;
using ledger::NoPeriodsMessage;
using ledger::ParsePeriods;
using ledger::Period;
using ledger::PeriodDates;
using ledger::PeriodRange;

struct Context {
  GlobalOptions global;
  std::ostream& out;
  std::ostream& err;
};

struct DemoCommandOptions {
  std::string dir = kDefaultDemoDir;
  std::optional<int64_t> lines;  // the generator's default when not given
  std::optional<uint64_t> seed;  // the generator's default when not given
  bool force = false;
  // A SQL Server connection string: fill that server (tables dropped and re-created) instead of
  // writing the SQLite files.
  std::string server;
};

// Where the condition document comes from: the options, or a file used as it is.
struct ConditionSource {
  ConditionOptions options;
  std::string file;  // --condition FILE.xml
  // --period / --periods: accounting periods of the login year, turned into the date range
  // through GetPeriodDay when the command runs.
  std::optional<PeriodRange> periods;
  // Options given on the command line by name (for checks against the ledger kind).
  bool batch_given = false;
  bool position_given = false;
  bool audited_only_given = false;
};

enum class LedgerKind : int16_t { kInventory = 0, kBatch = 1, kPosition = 2 };

struct LedgerOptions {
  LedgerKind kind = LedgerKind::kInventory;
  ConditionSource condition;
  std::optional<int32_t> row;  // --row N
  bool all_rows = false;
  bool summary_only = false;
  bool wide = false;       // every detail column in table format
  bool raw_names = false;  // field names and every column instead of the saved format
};

struct RefOptions {
  std::string table;
  std::string filter;
  std::string keyword;
  std::string order;
  int page_size = 20;
  int32_t page = 1;
  bool plain = false;
};

struct PrintOptions {
  std::string command;
  bool force = false;    // replace a file already at the command's path
  LedgerOptions ledger;  // the report handed over
};

int RunDemo(const DemoCommandOptions& options, Context& ctx);
int RunLedger(const LedgerOptions& options, Context& ctx);
int RunCondition(const ConditionSource& source, Context& ctx);
int RunPeriods(Context& ctx);
// kind: define, free, hdefine or bdefine.
int RunCaptions(const std::string& kind, Context& ctx);
int RunFormatGet(const std::string& name, Context& ctx);
int RunFormatSave(const std::string& file, Context& ctx);
int RunRef(const RefOptions& options, Context& ctx);
int RunTask(const std::string& function_id, int lock, Context& ctx);
int RunPrint(const PrintOptions& options, Context& ctx);
// Serves the web report on the database of the global options (the demo company by default)
// until SIGINT or SIGTERM; the user, account and year come from each login.
int RunServe(web::ServeOptions options, Context& ctx);

// The condition document of `source`: built from its options, or read from its file, which must
// exist and parse as XML (UsageError naming the file and the problem otherwise).
std::string ConditionText(const ConditionSource& source);

}  // namespace q9::cli
