#include "services/captions.h"

namespace q9::services {

namespace db = platform::db;

namespace {

constexpr const char* kCaptionHead =
    " Select cID ,(Case When IsNull(cItemName ,'') ='' Then cItem Else cItemName End) AS cItem"
    "   From UserDef Where cClass = '";
constexpr const char* kClassItemJoin = "' AND cItem Like '";
constexpr const char* kCaptionTail = "' order by cID ";

}  // namespace

std::string CaptionStatement(CaptionKind kind) {
  const char* cls = "存货";
  const char* item = "自定义项%";
  switch (kind) {
    case CaptionKind::kInventoryDefine:
      break;
    case CaptionKind::kInventoryFree:
      item = "自由项%";
      break;
    case CaptionKind::kHeaderDefine:
    case CaptionKind::kBodyDefine:
      cls = "单据头";
      break;
  }
  return std::string(kCaptionHead) + cls + kClassItemJoin + item + kCaptionTail;
}

std::shared_ptr<db::Recordset> OpenCaptions(CaptionKind kind, db::Connection& gConn) {
  db::Recordset rs;
  rs.SetCursorLocation(db::kUseClient);
  rs.Open(CaptionStatement(kind), gConn, db::kOpenDynamic, db::kLockUnspecified, -1);
  std::shared_ptr<db::Recordset> clone = rs.Clone(db::kLockUnspecified);
  rs.Close();
  return clone;
}

}  // namespace q9::services
