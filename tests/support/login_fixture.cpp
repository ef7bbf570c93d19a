#include "support/login_fixture.h"

#include "demo/schema.h"

namespace q9::testing {

LoginFixture::LoginFixture() : company_(dir_.File("company.db")), system_(dir_.File("system.db")) {
  ExecSqlite(company_, "CREATE TABLE Warehouse(cWhCode TEXT COLLATE NOCASE, cWhName TEXT);");
  // The system tables are the demo system database's; the rows are this fixture's own.
  const std::string sql = std::string(demo::kSystemSchema) + R"(;
    INSERT INTO VA_User (cUser_Id, cUser_Name) VALUES ('demo', '演示'), ('clerk', '库管员');
    INSERT INTO VA_Account VALUES ('001', '演示公司', '2025-03-15');
    INSERT INTO VA_DataRight VALUES ('001', 'clerk', 'WareHouse', '01'),
                                    ('001', 'clerk', 'WareHouse', 'O''Neil'),
                                    ('001', 'clerk', 'InvenTory', '7'),
                                    ('001', 'clerk', 'InvenTory', '12'),
                                    ('001', 'clerk', 'user', '张三');
    INSERT INTO VA_Function VALUES ('ST01', '库存台账'), ('ST02', '格式设置');
    INSERT INTO VA_TaskRight VALUES ('001', 'demo', 'ST01'), ('001', 'demo', 'ST02'),
                                    ('001', 'clerk', 'ST01');
    INSERT INTO VA_TaskLock VALUES ('001', 'ST02', 'clerk', 1);
    WITH RECURSIVE m(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM m WHERE i < 12)
    INSERT INTO VA_Period
      SELECT '001', 2025, i, date('2025-01-01', '+' || (i - 1) || ' months'),
             date('2025-01-01', '+' || i || ' months', '-1 day') FROM m
      UNION ALL
      SELECT '001', 2026, i, date('2025-12-26', '+' || (i - 1) || ' months'),
             date('2026-01-25', '+' || (i - 1) || ' months') FROM m;
  )";
  ExecSqlite(system_, sql);
}

std::string LoginFixture::ConnectionString() const {
  return "Provider=SQLite;Data Source=" + company_ + ";System Database=" + system_;
}

}  // namespace q9::testing
