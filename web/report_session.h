// The report of one logged-in user: one IClsKCZT initialised with the user's login, the last
// ledger summary the user opened (kept, so the page fetches it page by page) and the answers of
// every report action as the JSON the page reads. Not thread-safe: a session's apartment thread
// creates it, calls it and destroys it (the component's globals belong to that thread).
//
// Failures raise ApiError: 400 for a bad argument, 403 for a refused task, 404 for a row that is
// not there, 500 with the error's number, source and description when the component raised one.
// A False answer of the component is {"ok": false, "message": <its message>} with status 200.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ledger/grid.h"
#include "ledger/period_range.h"
#include "platform/variant.h"
#include "web/api_error.h"

namespace q9::component {
class IClsKCZT;
}

namespace q9::web {

// The most rows one answer carries.
inline constexpr size_t kMaxPageRows = 500;

class ReportSession {
 public:
  // Creates the component and calls Init with a caller's login object for the user; raises
  // ApiError 500 with Init's message when it answers False.
  ReportSession(const std::string& connection_string, const std::string& user,
                const std::string& account, int year);
  ~ReportSession();
  ReportSession(const ReportSession&) = delete;
  ReportSession& operator=(const ReportSession&) = delete;

  // GetTaskAuth for the task of ledger `kind`: {"ok": true}, or ApiError 403 with its message.
  Json Auth(int16_t kind);
  Json Periods();
  // The login year's periods (GetPeriodDay), for a condition given as periods.
  std::vector<ledger::Period> ReadPeriods();
  // which: define, free, hdefine or bdefine.
  Json Captions(const std::string& which);
  // table: warehouse, class, inventory or position; page from 1, size 1 to kMaxPageRows.
  Json Reference(const std::string& table, const std::string& keyword, int32_t page, int size);
  // OpenX on the condition document for `kind`, after the task check of Auth; the summary is
  // kept and its first `limit` rows answered with "total", "offset", "index" and "totals".
  Json OpenLedger(int16_t kind, const std::string& xml, size_t limit);
  // A page of the kept summary, sorted on `sort` (a column name; "" the summary's own order).
  Json Rows(size_t offset, size_t limit, const std::string& sort, bool desc);
  // The stock card of summary row `row` (0-based, the summary's own order).
  Json Card(size_t row);
  Json Format(const std::string& name);
  Json SaveFormat(const std::string& xml);
  // PrintSrv's file of the summary (or of the card of `row`) as `format` (csv or html).
  std::string Export(const std::string& format, std::optional<size_t> row);

 private:
  struct Summary;
  const Summary& Kept() const;
  void CheckRow(size_t row) const;
  platform::Variant Detail(size_t row);

  std::string account_;
  int year_;
  std::unique_ptr<component::IClsKCZT> component_;
  std::unique_ptr<Summary> summary_;
};

// A recordset as the page reads it: {"columns": [{"name", "caption", "numeric"}...], "rows"}.
// Captions: `captions` when given for the column, else the name.
Json RecordsetJson(const ledger::Grid& grid);

}  // namespace q9::web
