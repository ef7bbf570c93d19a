// The demo company: plain records of every table of the company and system databases, a
// deterministic generator that fills them like a small trading and manufacturing company, and
// the writer that stores them into two SQLite files.
//
// What the generated company holds (all of it derived from DemoOptions::seed):
//   - account "001" (演示公司), stock module started 2025-01-01, periods = calendar months of
//     2024 to 2026, login year 2026; a second account "002" with periods of 2026 only, from the
//     26th to the 25th, so that period reads must filter by account;
//   - eight warehouses, five of them with storage positions (codes unique across warehouses);
//   - a three-level class tree (01, 0101, 010101); inventories in the leaf classes, of unit
//     group types 0 (single unit), 1 (fixed rates: ComputationUnit rows with iNumber 1 for the
//     main unit and 2, 3 with rates such as 12 and 144; one group has no unit 3) and 2 (floating:
//     each line carries iNum, a few lines leave it NULL); about a third batch-managed;
//   - receipt and issue documents from 2025-01-01 to 2026-06-30, one opening-balance document
//     (bISSTQc = 1) per warehouse dated 2024-12-31, and two ordinary receipts dated in December
//     2024 (before the stock start: the stock ledger never reads them, the position ledger does);
//   - unaudited documents (dVeriDate NULL, cHandler NULL or ''), documents without department
//     (NULL or ''), notional material returns (cVouchType '11', cBusType '假退料', negative
//     quantities, no position records), a few material issues with a NULL business type,
//     purchase receipts with bPuFirst = 1, documents entered a few days after their date (so
//     ID order is not date order);
//   - lines of batch-managed inventories with NULL and with '' batch; free items 1-3 on some
//     inventories (NULL and '' values among them); defines on inventories, headers and lines;
//   - position records (cSource NULL or '') for every line in a warehouse with positions, their
//     quantities summing to the line quantity, some lines split over two positions; position
//     adjustments (two records per line, cSource '货位调整'); stocktakes (one record per line
//     with a difference, cSource '盘点'); a few records of another source and a few whose line
//     does not exist (both belong to no ledger detail);
//   - users demo (unrestricted, every task), clerk (every rights kind restricted, some tasks,
//     one task locked by auditor) and auditor (a few rights); captions (UserDef) and saved
//     report formats (Rpt_GlbDEF, Rpt_FldDef).
// Stock is kept non-negative except for a few deliberate over-issues. Quantities are multiples
// of 0.25, so sums are exact in binary floating point and a balance that is zero is exactly 0.
// Codes contain no quotes and no two codes differ only by letter case.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "demo/company.h"

namespace q9::demo {

inline constexpr char kDemoAccount[] = "001";
inline constexpr int kDemoLoginYear = 2026;
inline constexpr char kStockStartDate[] = "2025-01-01";
inline constexpr char kOpeningDate[] = "2024-12-31";
inline constexpr char kLastDocumentDate[] = "2026-06-30";

struct DemoOptions {
  uint64_t seed = 20261206;
  // Number of document lines (RdRecords rows); values below kMinimumLines are raised to it so
  // that every special case has room.
  int64_t lines = 5000;
};
inline constexpr int64_t kMinimumLines = 200;

// Builds the company. Pure: the same options give the same records, on every platform (own
// random generator, no library distributions, no floating-point results that depend on the
// library).
DemoCompany GenerateCompany(const DemoOptions& options);

// Receives document rows (RdRecord, RdRecords, InvPosition, AdjustPVouch(s), CheckVouch(s)) in
// batches, each table's rows in ascending key order, with the fraction of the documents handed
// over so far.
using DocumentTaker = std::function<void(const DemoCompany& documents, double fraction)>;

// The same company, but the rows of the document tables go to `take_documents` batch by batch as
// soon as their IDs are known; the company returned holds every other table. A writer that
// stores each batch never holds all documents twice.
DemoCompany GenerateCompany(const DemoOptions& options, const DocumentTaker& take_documents);

// Writes `company` into two new SQLite files (existing files at these paths are replaced):
// the company database with kCompanySchema and kCompanyIndexes, the system database with
// kSystemSchema. One transaction per file, prepared statements; indexes are built after the
// rows. `progress`, when given, is called with the fraction of rows written (0 to 1, ending
// with 1). Throws platform::ComError (a provider error naming the file and SQLite's message)
// when a file cannot be created or written.
void WriteCompany(const DemoCompany& company, const std::string& company_db_path,
                  const std::string& system_db_path,
                  const std::function<void(double fraction)>& progress = {});

// Generates the company with `options` and writes it as WriteCompany does, each batch of
// document rows as soon as it is made: the same files with about half the memory of
// GenerateCompany followed by WriteCompany. `progress` as for WriteCompany.
void WriteGeneratedCompany(const DemoOptions& options, const std::string& company_db_path,
                           const std::string& system_db_path,
                           const std::function<void(double fraction)>& progress = {});

// "Provider=SQLite;Data Source=<company>;System Database=<system>": the connection string that
// opens the embedded engine on the two files.
std::string EmbeddedConnectionString(const std::string& company_db_path,
                                     const std::string& system_db_path);

}  // namespace q9::demo
