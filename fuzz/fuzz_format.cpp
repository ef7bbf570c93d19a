// The format save on arbitrary format documents, against a company database holding only the
// query definitions 7 and 12 and their format rows: the reader fills the columns or raises the
// component's error; the save then writes exactly the columns read (positions below 100 read
// back as written, no position ever twice) or, when it fails, leaves the format rows as they
// were; a save for any other definition fails. A violated property aborts, so libFuzzer keeps
// the input.
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/connection.h"
#include "platform/error.h"
#include "platform/xml/document.h"
#include "services/format_save.h"
#include "services/query_format.h"

namespace {

namespace db = q9::platform::db;
using q9::platform::ComError;
using Rows = std::vector<std::vector<std::string>>;

// Format rows of other definitions that every save must leave alone.
constexpr const char* kBackground[] = {
    "INSERT INTO Rpt_FldDef (ID, ORDEREx, Width, Visible) VALUES (12, 1, '80', -1)",
    "INSERT INTO Rpt_FldDef (ID, ORDEREx, Width, Visible) VALUES (12, 2, '60', 0)",
    "INSERT INTO Rpt_FldDef (ID, ORDEREx, Width, Visible) VALUES (12, 100, '5', -1)",
    "INSERT INTO Rpt_FldDef (ID, ORDEREx, Width, Visible) VALUES (7, 1, '33', -1)",
};

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "fuzz_format: %s\n", what.c_str());
  std::abort();
}

// The engine runs only the component's dialect, which has no CREATE TABLE, so the database file
// is made with the SQLite library once per process, in memory-backed /dev/shm when there is one.
// SQLite refuses to write a file whose name is gone, so it is removed only at exit.
std::string MakeDatabaseFile() {
  const char* dir = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : nullptr;
  std::string path_template =
      (dir ? std::filesystem::path(dir) : std::filesystem::temp_directory_path()) /
      "q9-fuzz-format-XXXXXX";
  std::vector<char> path(path_template.begin(), path_template.end());
  path.push_back('\0');
  int fd = mkstemp(path.data());
  if (fd < 0) Fail("cannot create the database file");
  close(fd);
  sqlite3* handle = nullptr;
  if (sqlite3_open(path.data(), &handle) != SQLITE_OK ||
      sqlite3_exec(handle,
                   "CREATE TABLE Rpt_FldDef (ID INTEGER NOT NULL, ORDEREx INTEGER NOT NULL, "
                   "Width TEXT, Visible INTEGER);"
                   "CREATE TABLE Rpt_GlbDEF (ID INTEGER PRIMARY KEY, SystemID TEXT, Name TEXT);"
                   "INSERT INTO Rpt_GlbDEF VALUES (7, 'ST', 'a'), (12, 'ST', 'b');",
                   nullptr, nullptr, nullptr) != SQLITE_OK) {
    Fail("cannot create Rpt_FldDef");
  }
  sqlite3_close(handle);
  static std::string file(path.data());
  std::atexit([] { std::filesystem::remove(file); });
  return file;
}

db::Connection& Database() {
  static db::Connection* conn = [] {
    auto* c = new db::Connection();
    c->Open("Provider=SQLite;Data Source=" + MakeDatabaseFile());
    return c;
  }();
  return *conn;
}

Rows Query(db::Connection& conn, const std::string& sql) {
  Rows rows;
  db::StatementResult r = conn.Run(sql);
  if (!r.rows) return rows;
  for (size_t i = 0; i < r.rows->row_count(); ++i) {
    std::vector<std::string> row;
    for (size_t c = 0; c < r.rows->column_count(); ++c) {
      row.push_back(r.rows->Value(i, c).ConcatText());
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

Rows AllRows(db::Connection& conn) {
  return Query(conn, "SELECT ID, ORDEREx, Width, Visible FROM Rpt_FldDef ORDER BY ID, ORDEREx");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  db::Connection& conn = Database();
  conn.Execute("DELETE FROM Rpt_FldDef");
  for (const char* row : kBackground) conn.Execute(row);

  // What the reader makes of the document, on its own.
  q9::platform::xml::Document doc;
  doc.LoadXml(text);
  std::string query_id;
  std::vector<q9::services::ColFormat> cols;
  bool readable = true;
  try {
    q9::services::ReadFormatXml(&doc, query_id, cols);
    // An id the save refuses before any statement is not put into this target's own queries.
    q9::services::RequireQueryId(query_id);
  } catch (const ComError&) {
    readable = false;
  }

  Rows before = AllRows(conn);
  std::map<std::string, std::vector<std::string>> expected_positions;
  std::string same_id;
  if (readable) {
    same_id = " ID = " + query_id;
    for (auto& row : Query(conn, "SELECT ORDEREx, Width, Visible FROM Rpt_FldDef WHERE" + same_id +
                                     " AND ORDEREx < 100")) {
      expected_positions[row[0]] = {row[1], row[2]};
    }
  }
  bool saved = true;
  try {
    if (!text.empty()) q9::services::SaveFormatDocument(text, conn);
  } catch (const ComError&) {
    saved = false;
  }
  if (conn.in_transaction()) Fail("the save left a transaction open");
  if (text.empty()) return 0;
  if (!saved) {
    if (AllRows(conn) != before) Fail("a failed save changed the format rows");
    return 0;
  }
  if (!readable) Fail("a document the reader rejects was saved");
  const std::string id =
      query_id.substr(std::min(query_id.find_first_not_of('0'), query_id.size()));
  if (id != "7" && id != "12") Fail("a save for a definition that does not exist succeeded");
  if (!Query(conn, "SELECT ORDEREx FROM Rpt_FldDef WHERE" + same_id +
                       " GROUP BY ORDEREx HAVING COUNT(*) > 1")
           .empty()) {
    Fail("a position has two rows");
  }

  // Positions below 100 of the saved definition hold the columns read, once each; the other
  // positions it had keep their rows, and other definitions are untouched.
  for (const auto& col : cols) {
    if (col.ORDEREx < 100) {
      expected_positions[std::to_string(col.ORDEREx)] = {std::to_string(col.Width),
                                                         std::to_string(col.Visible)};
    }
  }
  std::map<std::string, std::vector<std::string>> saved_positions;
  for (auto& row : Query(conn, "SELECT ORDEREx, Width, Visible FROM Rpt_FldDef WHERE" + same_id +
                                   " AND ORDEREx < 100")) {
    if (!saved_positions.emplace(row[0], std::vector<std::string>{row[1], row[2]}).second) {
      Fail("position " + row[0] + " saved twice");
    }
  }
  if (saved_positions != expected_positions) Fail("the saved rows differ from the columns read");
  std::string others = "SELECT ID, ORDEREx, Width, Visible FROM Rpt_FldDef WHERE NOT (" + same_id +
                       ") ORDER BY ID, ORDEREx";
  Rows others_after = Query(conn, others);
  conn.Execute("DELETE FROM Rpt_FldDef");
  for (const char* row : kBackground) conn.Execute(row);
  if (Query(conn, others) != others_after) Fail("a save changed another definition");
  return 0;
}
