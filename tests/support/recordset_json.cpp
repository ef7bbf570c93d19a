#include "support/recordset_json.h"

#include <gtest/gtest.h>

#include "platform/db/recordset.h"

namespace q9::testing {

void ExpectSameRows(const nlohmann::json& j, const platform::Variant& recordset,
                    const std::vector<std::string>& extra) {
  auto cursor = platform::db::AsRecordset(recordset, "recordset")->Clone();
  size_t n = cursor->FieldCount();
  ASSERT_EQ(j["columns"].size(), n + extra.size());
  for (size_t c = 0; c < n; ++c) EXPECT_EQ(j["columns"][c], cursor->FieldName(c));
  for (size_t c = 0; c < extra.size(); ++c) EXPECT_EQ(j["columns"][n + c], extra[c]);
  ASSERT_EQ(j["rows"].size(), static_cast<size_t>(cursor->RecordCount()));
  for (size_t r = 0; !cursor->Eof(); cursor->MoveNext(), ++r) {
    for (size_t c = 0; c < n; ++c) {
      platform::Variant v = cursor->Field(c);
      const nlohmann::json& cell = j["rows"][r][c];
      std::string where = "row " + std::to_string(r) + " " + cursor->FieldName(c);
      if (v.is_null()) {
        EXPECT_TRUE(cell.is_null()) << where;
      } else if (v.type() == platform::VarType::Boolean) {
        EXPECT_EQ(cell.get<bool>(), v.ToBool()) << where;
      } else if (v.is_numeric()) {
        EXPECT_EQ(cell.get<double>(), v.ToDouble()) << where;
      } else {
        EXPECT_EQ(cell.get<std::string>(), v.ToText()) << where;
      }
    }
  }
}

}  // namespace q9::testing
