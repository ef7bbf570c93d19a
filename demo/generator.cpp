#include "demo/generator.h"

#include <algorithm>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>

#include "demo/password_hash.h"
#include "platform/date.h"

namespace q9::demo {
namespace {

using platform::Date;

// splitmix64: tiny, fast, and the same sequence on every platform (library distributions are
// not, which would make a seed mean different companies on different machines).
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}

  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, n), n > 0.
  int64_t Below(int64_t n) { return static_cast<int64_t>(Next() % static_cast<uint64_t>(n)); }
  int64_t Between(int64_t lo, int64_t hi) { return lo + Below(hi - lo + 1); }
  bool Percent(int p) { return Below(100) < p; }
  bool PerMille(int p) { return Below(1000) < p; }
  template <typename T>
  const T& Pick(const std::vector<T>& v) {
    return v[static_cast<size_t>(Below(static_cast<int64_t>(v.size())))];
  }

 private:
  uint64_t state_;
};

// Spreads `count` events evenly over a budget of lines: Due() turns true each time the number
// of lines written passes the next mark. Guarantees every special case at every size.
class Schedule {
 public:
  Schedule(int64_t budget, int64_t count)
      : interval_(std::max<int64_t>(1, budget / std::max<int64_t>(1, count))),
        next_(interval_ / 2) {}
  bool Due(int64_t done) const { return done >= next_; }
  void Take() { next_ += interval_; }

 private:
  int64_t interval_;
  int64_t next_;
};

// `value` with leading zeros up to `width` digits (a negative value keeps its sign in front).
std::string Pad(int64_t value, int width) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  if (static_cast<int>(digits.size()) < width) digits.insert(0, width - digits.size(), '0');
  return value < 0 ? "-" + digits : digits;
}

// Days are counted from 2025-01-01 (day 0); the documents run to day kDays - 1 = 2026-06-30.
constexpr int64_t kDays = 546;
const int64_t kDayZero = Date::Make(2025, 1, 1)->DaysSinceEpoch();

std::string Iso(int64_t day) { return Date::FromDaysSinceEpoch(kDayZero + day).ToIsoDate(); }

// Quantities are handled in quarters, so every quantity and every sum of quantities is exact.
double Qty(int64_t quarters) { return static_cast<double>(quarters) / 4.0; }

// ---- fixed master data ----------------------------------------------------------------------

struct ClassEntry {
  const char* code;
  const char* name;
};
const ClassEntry kClasses[] = {
    {"01", "原材料"},     {"0101", "金属材料"},   {"010101", "钢材"}, {"010102", "铝材"},
    {"010103", "铜材"},   {"0102", "化工原料"},   {"010201", "溶剂"}, {"010202", "树脂"},
    {"0103", "电子元件"}, {"010301", "电阻电容"}, {"010302", "芯片"}, {"02", "辅助材料"},
    {"0201", "五金件"},   {"0202", "油料"},       {"03", "半成品"},   {"0301", "机加件"},
    {"0302", "组件"},     {"04", "产成品"},       {"0401", "家电"},   {"0402", "服装"},
    {"040201", "男装"},   {"040202", "女装"},     {"0403", "饮料"},   {"05", "包装物"},
    {"0501", "纸箱"},     {"0502", "塑料袋"},     {"06", "备品备件"}, {"0601", "机械备件"},
};

// How the inventories of one leaf class look.
struct LeafProfile {
  const char* code;
  std::vector<const char*> names;
  std::vector<const char*> std_values;           // cInvStd
  int weight_type0, weight_type1, weight_type2;  // unit group type weights
  const char* single_unit;                       // unit code for type 0
  const char* fixed_group;                       // group code for type 1
  const char* floating_group;                    // group code for type 2
  int batch_percent;
  int free_mask;                        // bit i: free item i+1 used
  std::vector<const char*> warehouses;  // where the class is stored, first = main
};

const std::vector<LeafProfile>& LeafProfiles() {
  // Each profile: class, names, cInvStd values; weights of unit group types 0, 1 and 2,
  // single unit, fixed group, floating group, batch percent, free items, warehouses.
  // clang-format off
  static const std::vector<LeafProfile> kProfiles = {
      {"010101", {"热轧板", "冷轧板", "角钢", "圆钢"},
       {"Q235 2mm", "Q235 3mm", "Q345 5mm", "45# Φ20"}, 30, 0, 70, "0003", "03", "05", 10, 0, {"01"}},
      {"010102", {"铝板", "铝棒", "铝型材"}, {"6061 2mm", "6063 Φ30", "1060 1mm"},
       40, 0, 60, "0003", "03", "05", 20, 0, {"01"}},
      {"010103", {"铜排", "铜线", "铜管"}, {"T2 5x50", "Φ2.5", "Φ12x1"},
       40, 0, 60, "0004", "03", "04", 20, 0, {"01"}},
      {"010201", {"乙醇", "丙酮", "甲苯"}, {"99.5% 25kg", "AR 500ml", "工业级 200L"},
       20, 40, 40, "0003", "02", "05", 80, 0, {"05", "01"}},
      {"010202", {"环氧树脂", "聚酯树脂"}, {"E-44", "191#"},
       20, 40, 40, "0003", "03", "05", 80, 0, {"05", "01"}},
      {"010301", {"贴片电阻", "电解电容", "陶瓷电容"}, {"0603 10K", "100uF 25V", "0805 1uF"},
       20, 80, 0, "0001", "01", "04", 50, 0, {"01"}},
      {"010302", {"单片机", "存储芯片", "电源芯片"}, {"STM32F103", "W25Q64", "LM2596"},
       40, 60, 0, "0001", "01", "04", 60, 0, {"01"}},
      {"0201", {"螺栓", "螺母", "垫圈", "自攻螺钉"}, {"M8x20", "M10", "Φ8", "ST4.2x16"},
       50, 50, 0, "0001", "01", "04", 0, 0, {"04"}},
      {"0202", {"液压油", "润滑脂", "切削液"}, {"46# 18L", "2# 15kg", "5% 200L"},
       30, 30, 40, "0003", "03", "05", 50, 0, {"05", "04"}},
      {"0301", {"轴套", "法兰", "齿轮"}, {"Φ40", "DN50", "m2 z30"},
       100, 0, 0, "0002", "01", "04", 30, 0, {"03", "01"}},
      {"0302", {"电机组件", "控制板组件", "外壳组件"}, {"YS-90", "CB-12", "KT-3"},
       100, 0, 0, "0005", "01", "04", 40, 0, {"03"}},
      {"0401", {"电风扇", "电水壶", "吸尘器"}, {"FS-40", "1.7L", "VC-200"},
       60, 40, 0, "0006", "01", "04", 30, 0, {"02", "08"}},
      {"040201", {"衬衫", "夹克", "西裤"}, {"全棉", "涤纶", "混纺"},
       70, 30, 0, "0002", "01", "04", 10, 0x3, {"02", "08"}},
      {"040202", {"连衣裙", "针织衫", "风衣"}, {"真丝", "羊毛", "全棉"},
       70, 30, 0, "0002", "01", "04", 10, 0x3, {"08", "02"}},
      {"0403", {"矿泉水", "橙汁", "绿茶"}, {"550ml", "1L", "500ml"},
       0, 100, 0, "0001", "02", "04", 90, 0, {"02", "08"}},
      {"0501", {"五层纸箱", "三层纸箱"}, {"600x400x400", "400x300x200"},
       100, 0, 0, "0007", "01", "04", 0, 0, {"07"}},
      {"0502", {"PE袋", "气泡袋"}, {"30x40", "50x60"},
       50, 0, 50, "0008", "01", "04", 0, 0, {"07", "02"}},
      {"0601", {"轴承", "皮带", "密封圈"}, {"6205", "A-1200", "Φ50x3"},
       70, 30, 0, "0008", "01", "04", 0, 0x4, {"06", "04"}},
  };
  // clang-format on
  return kProfiles;
}

struct UnitEntry {
  const char* code;
  const char* name;
  const char* group;
  int number;
  double rate;
  bool main;
};
const ComputationGroupRow kGroups[] = {
    {"00", "单计量单位", 0}, {"01", "个盒箱", 1}, {"02", "瓶箱", 1},
    {"03", "千克袋吨", 1},   {"04", "米卷", 2},   {"05", "千克桶", 2},
};
const UnitEntry kUnits[] = {
    {"0001", "个", "00", 1, 1, true},    {"0002", "件", "00", 2, 1, true},
    {"0003", "千克", "00", 3, 1, true},  {"0004", "米", "00", 4, 1, true},
    {"0005", "套", "00", 5, 1, true},    {"0006", "台", "00", 6, 1, true},
    {"0007", "张", "00", 7, 1, true},    {"0008", "只", "00", 8, 1, true},
    {"0101", "个", "01", 1, 1, true},    {"0102", "盒", "01", 2, 12, false},
    {"0103", "箱", "01", 3, 144, false}, {"0201", "瓶", "02", 1, 1, true},
    {"0202", "箱", "02", 2, 24, false},  {"0301", "千克", "03", 1, 1, true},
    {"0302", "袋", "03", 2, 25, false},  {"0303", "吨", "03", 3, 1000, false},
    {"0401", "米", "04", 1, 1, true},    {"0402", "卷", "04", 2, 50, false},
    {"0501", "千克", "05", 1, 1, true},  {"0502", "桶", "05", 2, 200, false},
};

struct WarehouseEntry {
  const char* code;
  const char* name;
  bool positions;
};
const WarehouseEntry kWarehouses[] = {
    {"01", "原料仓", true},  {"02", "成品仓", true},  {"03", "半成品仓", false},
    {"04", "五金仓", true},  {"05", "化工仓", false}, {"06", "备件仓", true},
    {"07", "包材仓", false}, {"08", "外销仓", true},
};

const DepartmentRow kDepartments[] = {
    {"01", "总经办", 1, true},     {"02", "采购部", 1, true},     {"03", "销售部", 1, false},
    {"0301", "销售一部", 2, true}, {"0302", "销售二部", 2, true}, {"04", "生产部", 1, false},
    {"0401", "一车间", 2, true},   {"0402", "二车间", 2, true},   {"05", "仓储部", 1, true},
    {"06", "质检部", 1, true},
};

const PersonRow kPersons[] = {
    {"001", "王建国", "01"}, {"002", "李明", "02"},   {"003", "张丽", "02"},
    {"004", "赵刚", "0301"}, {"005", "钱芳", "0301"}, {"006", "孙涛", "0302"},
    {"007", "周敏", "0401"}, {"008", "吴磊", "0401"}, {"009", "郑华", "0402"},
    {"010", "冯静", "05"},   {"011", "陈晨", "05"},   {"012", "褚颖", "06"},
};

const std::vector<std::string> kMakers = {"张伟", "李娜", "王芳", "赵磊", "孙丽"};
const std::vector<std::string> kHandlers = {"刘洋", "陈静", "周强"};
const std::vector<std::string> kColours = {"红", "蓝", "黑", "白", "灰"};
const std::vector<std::string> kSizes = {"S", "M", "L", "XL", "XXL"};
const std::vector<std::string> kMaterials = {"丁腈", "氟橡胶", "硅胶"};
const std::vector<std::string> kMemos = {"急件",     "补货", "月末补录",
                                         "客户退换", "样品", "按合同执行"};
const std::vector<std::string> kOrigins = {"江苏", "浙江", "广东", "上海", "山东", "天津"};
const std::vector<std::string> kBrands = {"华力", "恒通", "金鼎", "东升", "宏达"};

enum class DocKind {
  kPurchase,
  kProduct,
  kOtherIn,
  kSales,
  kMaterial,
  kOtherOut,
  kPseudoReturn,
  kOpening,
  kPreStart
};

struct KindTraits {
  const char* vouch_type;
  const char* bus_type;
  const char* rd_code;
  const char* source;
  bool receipt;
};

KindTraits TraitsOf(DocKind kind) {
  switch (kind) {
    case DocKind::kPurchase:
      return {"01", "普通采购", "101", "采购", true};
    case DocKind::kProduct:
      return {"10", "成品入库", "102", "库存", true};
    case DocKind::kOtherIn:
      return {"08", "其他入库", "103", "库存", true};
    case DocKind::kSales:
      return {"32", "普通销售", "201", "销售", false};
    case DocKind::kMaterial:
      return {"11", "领料", "202", "库存", false};
    case DocKind::kOtherOut:
      return {"09", "其他出库", "203", "库存", false};
    case DocKind::kPseudoReturn:
      return {"11", "假退料", "204", "库存", false};
    case DocKind::kOpening:
      return {"08", "期初", "104", "库存", true};
    case DocKind::kPreStart:
      return {"08", "其他入库", "103", "库存", true};
  }
  return {"08", "其他入库", "103", "库存", true};
}

// ---- the builder ----------------------------------------------------------------------------

// Stock of one inventory in one warehouse with one batch and one set of free-item values.
struct Lot {
  int wh = 0;
  int inv = 0;
  std::optional<std::string> batch;
  std::optional<std::string> vdate;
  std::array<std::optional<std::string>, 3> free;
  int64_t qty = 0;                          // quarters
  std::vector<std::pair<int, int64_t>> at;  // position index -> quarters
  int active_slot = -1;
};

struct InventoryInfo {
  int step = 4;          // quantity step in quarters
  int64_t base = 40;     // typical receipt size in steps
  double aux_rate = 1;   // rate of the default auxiliary unit (type 1)
  int nominal_rate = 1;  // nominal rate of the floating auxiliary unit (type 2)
  int shelf_days = 365;
  int64_t unit_cost_cents = 100;
  std::vector<int> warehouses;
  std::optional<std::string> last_batch;
};

struct PendingLine {
  RdRecordsRow line;
  std::vector<InvPositionRow> positions;
};
struct PendingRd {
  RdRecordRow head;
  std::vector<PendingLine> lines;
};
struct PendingAdjust {
  AdjustPVouchRow head;
  std::vector<std::pair<AdjustPVouchsRow, std::array<InvPositionRow, 2>>> lines;
};
struct PendingCheck {
  CheckVouchRow head;
  std::vector<std::pair<CheckVouchsRow, std::optional<InvPositionRow>>> lines;
};
// A position record outside any document kind's rules: another source, or a line that is gone.
struct PendingLoose {
  InvPositionRow row;
  std::optional<std::pair<size_t, size_t>> line;  // rd document, line index
};

enum class EntryKind { kRd, kAdjust, kCheck, kLoose };
// Documents get their IDs in the order they were entered, which is not quite date order.
struct Entry {
  int64_t entry_day;
  int64_t seq;
  EntryKind kind;
  size_t index;
};

class Builder {
 public:
  Builder(const DemoOptions& options, const DocumentTaker& take_documents)
      : rng_(options.seed),
        seed_(options.seed),
        lines_(std::max(options.lines, kMinimumLines)),
        take_documents_(take_documents) {}

  DemoCompany Build() {
    MasterData();
    Inventories();
    Documents();
    AssignIds();
    SystemData();
    Captions();
    Formats();
    return std::move(c_);
  }

 private:
  // ---- master data --------------------------------------------------------------------------

  void MasterData() {
    for (const auto& cls : kClasses) {
      std::string code = cls.code;
      bool end = true;
      for (const auto& other : kClasses) {
        std::string o = other.code;
        if (o.size() > code.size() && o.compare(0, code.size(), code) == 0) end = false;
      }
      c_.inventory_classes.push_back({code, cls.name, static_cast<int>(code.size() / 2), end});
    }
    for (const auto& g : kGroups) c_.computation_groups.push_back(g);
    for (const auto& u : kUnits) {
      c_.computation_units.push_back({u.code, u.name, u.group, u.number, u.rate, u.main});
    }
    for (const auto& w : kWarehouses) {
      WarehouseRow row;
      row.cWhCode = w.code;
      row.cWhName = w.name;
      row.cDepCode = "05";
      row.cWhAddress = std::string("厂区") + w.code + "号库";
      row.cWhPerson = std::string(kPersons[9 + (row.cWhCode.back() - '0') % 2].cPersonName);
      row.bWhPos = w.positions;
      c_.warehouses.push_back(row);
      leaf_positions_.emplace_back();
      if (!w.positions) continue;
      for (char shelf : {'A', 'B'}) {
        std::string parent = std::string(w.code) + shelf;
        c_.positions.push_back({parent, std::string(w.name) + shelf + "区", w.code, 1, false});
        for (int level = 1; level <= 4; ++level) {
          std::string code = parent + Pad(level, 2);
          c_.positions.push_back(
              {code, std::string(w.name) + shelf + "区" + Pad(level, 2) + "层", w.code, 2, true});
          leaf_positions_.back().push_back(code);
        }
      }
    }
    for (const auto& d : kDepartments) c_.departments.push_back(d);
    for (const auto& p : kPersons) {
      c_.persons.push_back(p);
      persons_by_dep_[*p.cDepCode].push_back(p.cPersonCode);
    }
    Partners();
    c_.vouch_types = {{"01", "采购入库单"},   {"08", "其他入库单"}, {"09", "其他出库单"},
                      {"10", "产成品入库单"}, {"11", "材料出库单"}, {"18", "盘点单"},
                      {"19", "货位调整单"},   {"32", "销售出库单"}};
    c_.rd_styles = {{"1", "入库", true, 1, false},        {"101", "采购入库", true, 2, true},
                    {"102", "产成品入库", true, 2, true}, {"103", "其他入库", true, 2, true},
                    {"104", "期初入库", true, 2, true},   {"2", "出库", false, 1, false},
                    {"201", "销售出库", false, 2, true},  {"202", "领料出库", false, 2, true},
                    {"203", "其他出库", false, 2, true},  {"204", "假退料", false, 2, true}};
  }

  // Vendor and customer names: distinct city/trade pairs drawn from the seed.
  void Partners() {
    const std::vector<std::string> cities = {"上海", "苏州", "无锡", "宁波",
                                             "杭州", "广州", "深圳", "天津"};
    const std::vector<std::string> vendor_trades = {"钢铁", "化工", "电子", "五金",
                                                    "包装", "机械", "塑胶", "物资"};
    const std::vector<std::string> customer_trades = {"商贸", "百货", "电器", "服饰",
                                                      "超市", "建材", "科技", "实业"};
    auto pairs = [&](const std::vector<std::string>& trades, int count) {
      std::vector<std::pair<std::string, std::string>> all;
      for (const auto& city : cities) {
        for (const auto& trade : trades) all.emplace_back(city, trade);
      }
      for (size_t i = all.size() - 1; i > 0; --i) {
        std::swap(all[i], all[static_cast<size_t>(rng_.Below(static_cast<int64_t>(i) + 1))]);
      }
      all.resize(static_cast<size_t>(count));
      return all;
    };
    int i = 0;
    for (const auto& [city, trade] : pairs(vendor_trades, 15)) {
      c_.vendors.push_back({"V" + Pad(++i, 3), city + trade + "有限公司", city + trade});
    }
    i = 0;
    for (const auto& [city, trade] : pairs(customer_trades, 20)) {
      c_.customers.push_back({"C" + Pad(++i, 3), city + trade + "有限公司", city + trade});
    }
  }

  int WarehouseIndex(const std::string& code) const {
    for (size_t i = 0; i < c_.warehouses.size(); ++i) {
      if (c_.warehouses[i].cWhCode == code) return static_cast<int>(i);
    }
    return 0;
  }

  void Inventories() {
    const auto& profiles = LeafProfiles();
    int64_t count = std::max<int64_t>(40, lines_ / 20);
    std::vector<int> leaf_of(static_cast<size_t>(count));
    for (int64_t k = 0; k < count; ++k) {
      leaf_of[static_cast<size_t>(k)] =
          k < static_cast<int64_t>(profiles.size())
              ? static_cast<int>(k)
              : static_cast<int>(rng_.Below(static_cast<int64_t>(profiles.size())));
    }
    std::vector<int64_t> per_leaf(profiles.size(), 0);
    for (int leaf : leaf_of) ++per_leaf[static_cast<size_t>(leaf)];
    int width = 3;
    for (int64_t n : per_leaf) {
      while (n >= 1000 && width < 6) {
        ++width;
        n /= 10;
      }
    }
    std::vector<int64_t> seq(profiles.size(), 0);
    std::vector<std::pair<InventoryRow, InventoryInfo>> made;
    for (int leaf : leaf_of) {
      const LeafProfile& p = profiles[static_cast<size_t>(leaf)];
      InventoryRow inv;
      InventoryInfo info;
      int64_t n = ++seq[static_cast<size_t>(leaf)];
      inv.cInvCode = std::string(p.code) + Pad(n, width);
      inv.cInvCCode = p.code;
      size_t name_index = static_cast<size_t>(rng_.Below(static_cast<int64_t>(p.names.size())));
      inv.cInvName = p.names[name_index];
      if (!rng_.Percent(5))
        inv.cInvStd = p.std_values[static_cast<size_t>(
            rng_.Below(static_cast<int64_t>(p.std_values.size())))];
      if (rng_.Percent(70)) inv.cInvAddCode = "X" + Pad(n, width) + p.code;
      int64_t roll = rng_.Below(p.weight_type0 + p.weight_type1 + p.weight_type2);
      inv.iGroupType = roll < p.weight_type0 ? 0 : roll < p.weight_type0 + p.weight_type1 ? 1 : 2;
      if (inv.iGroupType == 0) {
        inv.cGroupCode = "00";
        inv.cComUnitCode = p.single_unit;
        info.step = (inv.cComUnitCode == "0003" || inv.cComUnitCode == "0004") ? 2 : 4;
      } else {
        const char* group = inv.iGroupType == 1 ? p.fixed_group : p.floating_group;
        inv.cGroupCode = group;
        for (const auto& u : kUnits) {
          if (std::string(u.group) != group) continue;
          if (u.main) inv.cComUnitCode = u.code;
          if (u.number == 2) {
            inv.cAssComUnitCode = u.code;
            info.aux_rate = u.rate;
            info.nominal_rate = static_cast<int>(u.rate);
          }
        }
        info.step = inv.iGroupType == 1 ? 4 : 1;
      }
      inv.bInvBatch = rng_.Percent(p.batch_percent);
      for (int i = 0; i < 3; ++i) inv.bFree[static_cast<size_t>(i)] = (p.free_mask >> i) & 1;
      if (rng_.Percent(70)) {
        inv.iSafeNum = Qty(info.step * rng_.Between(5, 50));
        inv.iTopSum = Qty(info.step * rng_.Between(500, 2000));
        inv.iLowSum = Qty(info.step * rng_.Between(1, 5));
      }
      if (rng_.Percent(70)) inv.cInvDefine.Set(1, rng_.Pick(kOrigins));
      if (rng_.Percent(50)) inv.cInvDefine.Set(2, rng_.Pick(kBrands));
      if (rng_.Percent(5)) inv.cInvDefine.Set(3, std::string());
      if (rng_.Percent(20)) inv.cInvDefine.Set(8, std::string(rng_.Percent(50) ? "托盘" : "散装"));
      if (inv.bInvBatch || rng_.Percent(20)) {
        static const int kShelfDays[] = {180, 365, 730};
        info.shelf_days = kShelfDays[rng_.Below(3)];
        inv.cInvDefine.Set(11, static_cast<double>(info.shelf_days));
      }
      if (rng_.Percent(40)) inv.cInvDefine.Set(12, Qty(rng_.Between(1, 400)));
      if (rng_.Percent(60)) inv.cInvDefine.Set(15, Iso(-rng_.Between(30, 2000)));
      if (rng_.Percent(10)) inv.cInvDefine.Set(16, Iso(rng_.Between(0, 500)));
      static const int64_t kBases[] = {10, 20, 50, 100, 200};
      info.base = kBases[rng_.Below(5)];
      info.unit_cost_cents = rng_.Between(50, 500000);
      info.warehouses.push_back(WarehouseIndex(p.warehouses[static_cast<size_t>(
          rng_.Below(static_cast<int64_t>(p.warehouses.size())))]));
      if (rng_.Percent(30)) {
        int other = static_cast<int>(rng_.Below(static_cast<int64_t>(c_.warehouses.size())));
        if (other != info.warehouses[0]) info.warehouses.push_back(other);
      }
      made.emplace_back(std::move(inv), std::move(info));
    }
    std::sort(made.begin(), made.end(),
              [](const auto& a, const auto& b) { return a.first.cInvCode < b.first.cInvCode; });
    int64_t id = 0;
    for (auto& [inv, info] : made) {
      inv.iId = ++id;
      c_.inventories.push_back(std::move(inv));
      info_.push_back(std::move(info));
    }
    // Every warehouse stocks something.
    invs_by_wh_.assign(c_.warehouses.size(), {});
    for (size_t i = 0; i < info_.size(); ++i) {
      for (int wh : info_[i].warehouses)
        invs_by_wh_[static_cast<size_t>(wh)].push_back(static_cast<int>(i));
    }
    for (size_t wh = 0; wh < invs_by_wh_.size(); ++wh) {
      if (!invs_by_wh_[wh].empty()) continue;
      int inv = static_cast<int>(wh % info_.size());
      info_[static_cast<size_t>(inv)].warehouses.push_back(static_cast<int>(wh));
      invs_by_wh_[wh].push_back(inv);
    }
    // Some batch-managed inventory is stored where there are positions.
    bool found = false;
    for (size_t i = 0; i < info_.size() && !found; ++i) {
      for (int wh : info_[i].warehouses) {
        found =
            found || (c_.inventories[i].bInvBatch && c_.warehouses[static_cast<size_t>(wh)].bWhPos);
      }
    }
    if (!found) c_.inventories[static_cast<size_t>(invs_by_wh_[0].front())].bInvBatch = true;
    active_.assign(c_.warehouses.size(), {});
  }

  // ---- stock ----------------------------------------------------------------------------------

  static std::string LotKey(int wh, int inv, const std::optional<std::string>& batch,
                            const std::array<std::optional<std::string>, 3>& free) {
    std::string key = std::to_string(wh) + '|' + std::to_string(inv);
    auto add = [&key](const std::optional<std::string>& v) {
      key += v ? '|' + *v : std::string("|\x01");
    };
    add(batch);
    for (const auto& f : free) add(f);
    return key;
  }

  Lot& LotFor(int wh, int inv, const std::optional<std::string>& batch,
              const std::optional<std::string>& vdate,
              const std::array<std::optional<std::string>, 3>& free) {
    std::string key = LotKey(wh, inv, batch, free);
    auto it = lot_index_.find(key);
    if (it != lot_index_.end()) return lots_[it->second];
    lot_index_.emplace(key, lots_.size());
    Lot lot;
    lot.wh = wh;
    lot.inv = inv;
    lot.batch = batch;
    lot.vdate = vdate;
    lot.free = free;
    lots_.push_back(std::move(lot));
    return lots_.back();
  }

  void UpdateActive(size_t lot_index) {
    Lot& lot = lots_[lot_index];
    auto& list = active_[static_cast<size_t>(lot.wh)];
    if (lot.qty > 0 && lot.active_slot < 0) {
      lot.active_slot = static_cast<int>(list.size());
      list.push_back(lot_index);
    } else if (lot.qty <= 0 && lot.active_slot >= 0) {
      size_t slot = static_cast<size_t>(lot.active_slot);
      list[slot] = list.back();
      lots_[list[slot]].active_slot = static_cast<int>(slot);
      list.pop_back();
      lot.active_slot = -1;
    }
  }

  size_t IndexOf(const Lot& lot) const { return static_cast<size_t>(&lot - lots_.data()); }

  static void AddAt(Lot& lot, int pos, int64_t quarters) {
    for (auto& [p, q] : lot.at) {
      if (p == pos) {
        q += quarters;
        return;
      }
    }
    lot.at.emplace_back(pos, quarters);
  }

  // ---- documents ------------------------------------------------------------------------------

  // Batch codes carry the receipt date and a running number of that day, so they are unique.
  std::string NewBatch(int64_t day) {
    if (day != batch_day_) {
      batch_day_ = day;
      batch_seq_ = 0;
    }
    std::string date = Iso(day);
    return "B" + date.substr(2, 2) + date.substr(5, 2) + date.substr(8, 2) + "-" +
           Pad(++batch_seq_, 3);
  }

  std::optional<double> NumOf(int inv, int64_t quarters) {
    const InventoryRow& row = c_.inventories[static_cast<size_t>(inv)];
    const InventoryInfo& info = info_[static_cast<size_t>(inv)];
    if (row.iGroupType == 1) return Qty(quarters) / info.aux_rate;
    if (row.iGroupType == 2) {
      if (rng_.PerMille(20)) return std::nullopt;
      int64_t divisor = info.nominal_rate * rng_.Between(90, 110);
      int64_t magnitude = quarters < 0 ? -quarters : quarters;
      int64_t num = std::max<int64_t>(1, (magnitude * 100 + divisor / 2) / divisor);
      return Qty(quarters < 0 ? -num : num);
    }
    return std::nullopt;
  }

  void SetDocumentDefines(RdRecordRow& head, DocKind kind, int64_t day) {
    if ((kind == DocKind::kPurchase || kind == DocKind::kSales) && rng_.Percent(50)) {
      head.cDefine.Set(1, "HT-" + Iso(day).substr(0, 4) + "-" + Pad(++contract_seq_, 4));
    }
    if (rng_.Percent(20)) head.cDefine.Set(2, std::string(rng_.Percent(50) ? "汽运" : "自提"));
    if (kind == DocKind::kPurchase && rng_.Percent(30)) {
      head.cDefine.Set(4, Iso(day - rng_.Between(0, 10)));
    }
    if (rng_.Percent(30)) head.cDefine.Set(5, rng_.Between(1, 50));
    if (rng_.Percent(20)) head.cDefine.Set(7, static_cast<double>(rng_.Between(100, 90000)) / 100);
    if (rng_.Percent(10)) head.cDefine.Set(10, "沪A" + Pad(rng_.Between(0, 99999), 5));
    if (rng_.Percent(3)) head.cDefine.Set(14, std::string());
    if (rng_.Percent(5)) head.cDefine.Set(15, rng_.Between(1, 9));
    if (rng_.Percent(5)) head.cDefine.Set(16, Qty(rng_.Between(1, 400)));
  }

  void SetLineDefines(NumberedValues& defines, int64_t day) {
    if (rng_.Percent(15)) defines.Set(22, "L" + Pad(rng_.Between(1, 999999), 6));
    if (rng_.Percent(10)) defines.Set(26, Qty(rng_.Between(1, 4000)));
    if (rng_.Percent(10)) defines.Set(34, rng_.Between(1, 60));
    if (rng_.Percent(10)) defines.Set(36, Iso(day - rng_.Between(0, 60)));
  }

  std::optional<std::string> PersonOf(const std::optional<std::string>& dep) {
    if (!dep || dep->empty() || rng_.Percent(15)) return std::nullopt;
    auto it = persons_by_dep_.find(*dep);
    if (it == persons_by_dep_.end()) return std::nullopt;
    return rng_.Pick(it->second);
  }

  std::optional<std::string> DepartmentOf(DocKind kind) {
    switch (kind) {
      case DocKind::kPurchase:
        return rng_.Percent(62) ? std::optional<std::string>("02") : std::nullopt;
      case DocKind::kProduct:
      case DocKind::kMaterial:
      case DocKind::kPseudoReturn:
        return std::string(rng_.Percent(50) ? "0401" : "0402");
      case DocKind::kSales:
        if (rng_.Percent(15)) return std::nullopt;
        return std::string(rng_.Percent(50) ? "0301" : "0302");
      case DocKind::kOtherIn:
      case DocKind::kOtherOut:
        return rng_.Percent(50) ? std::optional<std::string>("05") : std::nullopt;
      case DocKind::kOpening:
      case DocKind::kPreStart:
        return std::nullopt;
    }
    return std::nullopt;
  }

  RdRecordRow Head(DocKind kind, int wh, int64_t day) {
    KindTraits traits = TraitsOf(kind);
    RdRecordRow head;
    head.bRdFlag = traits.receipt;
    head.cVouchType = traits.vouch_type;
    head.cBusType = traits.bus_type;
    head.cSource = traits.source;
    head.cWhCode = c_.warehouses[static_cast<size_t>(wh)].cWhCode;
    head.dDate = Iso(day);
    head.cRdCode = traits.rd_code;
    head.bISSTQc = kind == DocKind::kOpening;
    head.cDepCode = DepartmentOf(kind);
    if (empty_department_.Due(done_) && kind != DocKind::kOpening && kind != DocKind::kPreStart) {
      empty_department_.Take();
      head.cDepCode = std::string();
    }
    head.cPersonCode = PersonOf(head.cDepCode);
    if (kind == DocKind::kPurchase) {
      head.cVenCode = rng_.Pick(c_.vendors).cVenCode;
      if (rng_.Percent(60)) head.cBusCode = "PO" + Pad(++bus_seq_, 7);
      head.bPuFirst = rng_.Percent(30) ? std::optional<bool>(false) : std::nullopt;
    } else if (kind == DocKind::kSales) {
      head.cCusCode = rng_.Pick(c_.customers).cCusCode;
      if (rng_.Percent(60)) head.cBusCode = "SO" + Pad(++bus_seq_, 7);
    } else if (kind == DocKind::kProduct && rng_.Percent(40)) {
      head.cBusCode = "MO" + Pad(++bus_seq_, 7);
    }
    head.cMaker = kind == DocKind::kOpening ? kMakers[0] : rng_.Pick(kMakers);
    if (rng_.Percent(8)) head.cMemo = rng_.Pick(kMemos);
    SetDocumentDefines(head, kind, day);
    // Audit: most documents the same or the next days; recent ones often still open.
    bool unaudited = false;
    if (kind != DocKind::kOpening && kind != DocKind::kPreStart) {
      if (unaudited_.Due(done_)) {
        unaudited_.Take();
        unaudited = true;
      } else if (day >= kDays - 30) {
        unaudited = rng_.Percent(35);
      }
    }
    if (unaudited) {
      // Half of the open documents carry '' rather than NULL as handler.
      if (++unaudited_count_ % 2 == 0) head.cHandler = std::string();
    } else {
      int64_t delay = 0;
      if (kind != DocKind::kOpening) {
        int64_t roll = rng_.Below(100);
        delay = roll < 60 ? 0 : roll < 85 ? 1 : rng_.Between(2, 5);
      }
      head.dVeriDate = Iso(day + delay);
      head.cHandler = rng_.Pick(kHandlers);
    }
    return head;
  }

  RdRecordsRow Line(int inv, int64_t quarters, int64_t day) {
    RdRecordsRow line;
    const InventoryInfo& info = info_[static_cast<size_t>(inv)];
    line.cInvCode = c_.inventories[static_cast<size_t>(inv)].cInvCode;
    line.iQuantity = Qty(quarters);
    line.iNum = NumOf(inv, quarters);
    int64_t cost = info.unit_cost_cents * rng_.Between(95, 105) / 100;
    line.iUnitCost = static_cast<double>(cost) / 100;
    line.iPrice = static_cast<double>(cost * quarters / 4) / 100;
    SetLineDefines(line.cDefine, day);
    return line;
  }

  void PositionRecord(PendingLine& pending, const RdRecordRow& head, int wh, int pos,
                      int64_t quarters, const std::optional<double>& line_num,
                      int64_t line_quarters) {
    InvPositionRow ip;
    ip.bRdFlag = head.bRdFlag;
    ip.cWhCode = head.cWhCode;
    ip.cPosCode = leaf_positions_[static_cast<size_t>(wh)][static_cast<size_t>(pos)];
    ip.cInvCode = pending.line.cInvCode;
    ip.cBatch = pending.line.cBatch;
    ip.iQuantity = Qty(quarters);
    if (line_num) {
      // The auxiliary quantity is shared in proportion; with quarters it stays exact for whole
      // lines and close for split ones.
      ip.iNum = line_quarters == quarters ? *line_num
                                          : *line_num * static_cast<double>(quarters) /
                                                static_cast<double>(line_quarters);
    }
    ip.cFree = pending.line.cFree;
    ip.dVDate = pending.line.dVDate;
    ip.cHandler = head.cHandler;
    ip.dDate = head.dDate;
    if (rng_.Percent(50)) ip.cSource = std::string();
    if (rng_.Percent(3)) ip.cMemo = "上架";
    pending.positions.push_back(std::move(ip));
  }

  // A receipt line: new or existing lot, position records when the warehouse has positions.
  PendingLine ReceiptLine(const RdRecordRow& head, DocKind kind, int wh, int inv, int64_t day) {
    const InventoryRow& row = c_.inventories[static_cast<size_t>(inv)];
    InventoryInfo& info = info_[static_cast<size_t>(inv)];
    int64_t steps = rng_.Between(std::max<int64_t>(1, info.base / 2), info.base * 2);
    if (kind == DocKind::kOpening) steps *= 3;
    if (row.iGroupType == 1 && rng_.Percent(60)) {
      steps = static_cast<int64_t>(info.aux_rate) * rng_.Between(1, 20);
    }
    int64_t quarters = steps * info.step;
    PendingLine pending{Line(inv, quarters, day), {}};
    RdRecordsRow& line = pending.line;
    std::optional<std::string> batch;
    std::optional<std::string> vdate;
    // The scheduled NULL and '' batches wait for a warehouse with positions, so that the
    // position ledger meets them too.
    bool positioned = !leaf_positions_[static_cast<size_t>(wh)].empty();
    if (row.bInvBatch) {
      if (positioned && null_batch_.Due(done_)) {
        null_batch_.Take();
      } else if (positioned && empty_batch_.Due(done_)) {
        empty_batch_.Take();
        batch = std::string();
      } else if (info.last_batch && rng_.Percent(35)) {
        batch = info.last_batch;
        vdate = batch_vdate_[*batch];
      } else {
        batch = NewBatch(day);
        vdate = Iso(day + info.shelf_days);
        batch_vdate_[*batch] = *vdate;
        info.last_batch = batch;
      }
    } else if (rng_.Percent(8)) {
      batch = std::string();
    }
    std::array<std::optional<std::string>, 3> free;
    for (int i = 0; i < 3; ++i) {
      if (!row.bFree[static_cast<size_t>(i)]) continue;
      int64_t roll = rng_.Below(100);
      if (roll < 3) continue;
      if (roll < 5) {
        free[static_cast<size_t>(i)] = std::string();
        continue;
      }
      const auto& pool = i == 0 ? kColours : i == 1 ? kSizes : kMaterials;
      free[static_cast<size_t>(i)] = rng_.Pick(pool);
    }
    line.cBatch = batch;
    line.dVDate = vdate;
    for (int i = 0; i < 3; ++i) {
      if (free[static_cast<size_t>(i)]) line.cFree.Set(i + 1, *free[static_cast<size_t>(i)]);
    }
    if (kind == DocKind::kPurchase && rng_.Percent(25)) {
      line.dCheckDate = head.dDate;
      line.cCheckCode = "QC" + Pad(++check_code_seq_, 6);
      line.cCheckPersonCode = "012";
      if (rng_.Percent(10)) line.cRejectCode = "RJ" + Pad(check_code_seq_, 6);
    }
    Lot& lot = LotFor(wh, inv, batch, vdate, free);
    lot.qty += quarters;
    const auto& positions = leaf_positions_[static_cast<size_t>(wh)];
    if (!positions.empty()) {
      int first = static_cast<int>(rng_.Below(static_cast<int64_t>(positions.size())));
      for (const auto& [p, q] : lot.at) {
        if (q > 0 && rng_.Percent(70)) {
          first = p;
          break;
        }
      }
      int64_t units = quarters / info.step;
      if (units >= 2 && rng_.Percent(15)) {
        int second =
            (first + 1 + static_cast<int>(rng_.Below(static_cast<int64_t>(positions.size()) - 1))) %
            static_cast<int>(positions.size());
        int64_t part = info.step * rng_.Between(1, units - 1);
        PositionRecord(pending, head, wh, first, part, line.iNum, quarters);
        PositionRecord(pending, head, wh, second, quarters - part, line.iNum, quarters);
        AddAt(lot, first, part);
        AddAt(lot, second, quarters - part);
      } else {
        PositionRecord(pending, head, wh, first, quarters, line.iNum, quarters);
        AddAt(lot, first, quarters);
      }
    }
    UpdateActive(IndexOf(lot));
    return pending;
  }

  // An issue line drawn from a lot with stock; a few deliberately take more than there is.
  PendingLine IssueLine(const RdRecordRow& head, int wh, size_t lot_index, int64_t day) {
    Lot& lot = lots_[lot_index];
    const InventoryInfo& info = info_[static_cast<size_t>(lot.inv)];
    int64_t units = lot.qty / info.step;
    int64_t quarters;
    if (over_issue_.Due(done_)) {
      over_issue_.Take();
      quarters = lot.qty + info.step * rng_.Between(1, 5);
    } else if (units <= 1 || rng_.Percent(30)) {
      quarters = lot.qty;
    } else {
      quarters = info.step * rng_.Between(std::max<int64_t>(1, units / 10), units);
    }
    PendingLine pending{Line(lot.inv, quarters, day), {}};
    pending.line.cBatch = lot.batch;
    pending.line.dVDate = lot.vdate;
    for (int i = 0; i < 3; ++i) {
      if (lot.free[static_cast<size_t>(i)]) {
        pending.line.cFree.Set(i + 1, *lot.free[static_cast<size_t>(i)]);
      }
    }
    lot.qty -= quarters;
    if (!leaf_positions_[static_cast<size_t>(wh)].empty()) {
      int64_t need = quarters;
      for (auto& [p, q] : lot.at) {
        if (need == 0) break;
        if (q <= 0) continue;
        int64_t take = std::min(need, q);
        PositionRecord(pending, head, wh, p, take, pending.line.iNum, quarters);
        q -= take;
        need -= take;
      }
      if (need > 0) {
        int pos = lot.at.empty() ? 0 : lot.at.front().first;
        PositionRecord(pending, head, wh, pos, need, pending.line.iNum, quarters);
        AddAt(lot, pos, -need);
      }
    }
    UpdateActive(lot_index);
    return pending;
  }

  void AddRd(PendingRd doc, int64_t day) {
    done_ += static_cast<int64_t>(doc.lines.size());
    int64_t entry = day;
    if (day >= 0 && late_entry_.Due(done_)) {
      late_entry_.Take();
      entry += rng_.Between(30, 60);  // a slip entered a month or two late
    } else if (day >= 0 && rng_.Percent(8)) {
      entry += rng_.Between(1, 3);
    }
    entries_.push_back({entry, static_cast<int64_t>(entries_.size()), EntryKind::kRd, rd_.size()});
    rd_.push_back(std::move(doc));
  }

  int64_t LinesWanted(int64_t budget) {
    static const int kCounts[] = {1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 5, 6};
    return std::min<int64_t>(budget, kCounts[rng_.Below(12)]);
  }

  // A warehouse and one of its inventories that `fits`, in a warehouse with positions when
  // `positioned`; nothing when no pair fits.
  template <typename Fits>
  std::optional<std::pair<int, int>> PickStocked(bool positioned, Fits fits) {
    std::vector<std::pair<int, int>> pairs;
    for (size_t wh = 0; wh < invs_by_wh_.size(); ++wh) {
      if (positioned && leaf_positions_[wh].empty()) continue;
      for (int inv : invs_by_wh_[wh]) {
        if (fits(c_.inventories[static_cast<size_t>(inv)]))
          pairs.emplace_back(static_cast<int>(wh), inv);
      }
    }
    if (pairs.empty()) return std::nullopt;
    return rng_.Pick(pairs);
  }

  void ReceiptDocument(DocKind kind, int64_t day, int64_t budget) {
    int wh = static_cast<int>(rng_.Below(static_cast<int64_t>(c_.warehouses.size())));
    std::optional<int> first;
    // Scheduled cases that need a certain inventory choose the warehouse and the first line.
    std::optional<std::pair<int, int>> wanted;
    if (null_batch_.Due(done_) || empty_batch_.Due(done_)) {
      wanted = PickStocked(true, [](const InventoryRow& i) { return i.bInvBatch; });
    } else if (free_item_.Due(done_)) {
      free_item_.Take();
      wanted = PickStocked(false, [](const InventoryRow& i) { return i.bFree[0] || i.bFree[2]; });
    }
    if (wanted) {
      wh = wanted->first;
      first = wanted->second;
    }
    PendingRd doc{Head(kind, wh, day), {}};
    if (kind == DocKind::kPurchase && pu_first_.Due(done_)) {
      pu_first_.Take();
      doc.head.bPuFirst = true;
    }
    int64_t n = LinesWanted(budget);
    const auto& candidates = invs_by_wh_[static_cast<size_t>(wh)];
    for (int64_t i = 0; i < n; ++i) {
      int inv = i == 0 && first ? *first : rng_.Pick(candidates);
      doc.lines.push_back(ReceiptLine(doc.head, kind, wh, inv, day));
    }
    AddRd(std::move(doc), day);
  }

  void IssueDocument(DocKind kind, int64_t day, int64_t budget) {
    std::vector<int> stocked;
    for (size_t wh = 0; wh < active_.size(); ++wh) {
      if (!active_[wh].empty()) stocked.push_back(static_cast<int>(wh));
    }
    if (stocked.empty()) {
      ReceiptDocument(DocKind::kPurchase, day, budget);
      return;
    }
    int wh = rng_.Pick(stocked);
    PendingRd doc{Head(kind, wh, day), {}};
    if (kind == DocKind::kMaterial && null_bus_type_.Due(done_)) {
      null_bus_type_.Take();
      doc.head.cBusType.reset();
    }
    int64_t n = std::min<int64_t>(LinesWanted(budget),
                                  static_cast<int64_t>(active_[static_cast<size_t>(wh)].size()));
    std::vector<size_t> used;
    for (int64_t i = 0; i < n; ++i) {
      const auto& list = active_[static_cast<size_t>(wh)];
      if (list.empty()) break;
      size_t lot = rng_.Pick(list);
      if (std::find(used.begin(), used.end(), lot) != used.end()) continue;
      used.push_back(lot);
      doc.lines.push_back(IssueLine(doc.head, wh, lot, day));
    }
    if (doc.lines.empty()) {
      ReceiptDocument(DocKind::kPurchase, day, budget);
      return;
    }
    AddRd(std::move(doc), day);
  }

  // Notional material return: a red issue that moves nothing physically.
  void PseudoReturnDocument(int64_t day, int64_t budget) {
    int wh = static_cast<int>(rng_.Below(static_cast<int64_t>(c_.warehouses.size())));
    PendingRd doc{Head(DocKind::kPseudoReturn, wh, day), {}};
    int64_t n = std::min<int64_t>(budget, rng_.Between(1, 3));
    for (int64_t i = 0; i < n; ++i) {
      int inv = rng_.Pick(invs_by_wh_[static_cast<size_t>(wh)]);
      const InventoryInfo& info = info_[static_cast<size_t>(inv)];
      PendingLine pending{Line(inv, -info.step * rng_.Between(1, 20), day), {}};
      if (c_.inventories[static_cast<size_t>(inv)].bInvBatch) pending.line.cBatch = info.last_batch;
      doc.lines.push_back(std::move(pending));
    }
    AddRd(std::move(doc), day);
  }

  void OpeningDocuments(int64_t budget) {
    int64_t day = -1;  // 2024-12-31
    int64_t per_wh = std::max<int64_t>(1, budget / static_cast<int64_t>(c_.warehouses.size()));
    for (size_t wh = 0; wh < c_.warehouses.size(); ++wh) {
      PendingRd doc{Head(DocKind::kOpening, static_cast<int>(wh), day), {}};
      auto candidates = invs_by_wh_[wh];
      int64_t n = std::min<int64_t>(per_wh, static_cast<int64_t>(candidates.size()));
      for (int64_t i = 0; i < n; ++i) {
        size_t pick =
            static_cast<size_t>(i + rng_.Below(static_cast<int64_t>(candidates.size()) - i));
        std::swap(candidates[static_cast<size_t>(i)], candidates[pick]);
        doc.lines.push_back(ReceiptLine(doc.head, DocKind::kOpening, static_cast<int>(wh),
                                        candidates[static_cast<size_t>(i)], day));
      }
      AddRd(std::move(doc), day);
    }
  }

  // Receipts dated before the stock module started: real stock movements that the stock ledger
  // never reads (no opening flag, date before the start period).
  void PreStartDocuments() {
    for (int64_t day : {int64_t{-14}, int64_t{-5}}) {
      int wh = day == -14 ? WarehouseIndex("03") : WarehouseIndex("01");
      PendingRd doc{Head(DocKind::kPreStart, wh, day), {}};
      for (int i = 0; i < 2; ++i) {
        doc.lines.push_back(ReceiptLine(doc.head, DocKind::kPreStart, wh,
                                        rng_.Pick(invs_by_wh_[static_cast<size_t>(wh)]), day));
      }
      AddRd(std::move(doc), day);
    }
  }

  std::vector<int> PositionedWarehousesWithStock() {
    std::vector<int> result;
    for (size_t wh = 0; wh < active_.size(); ++wh) {
      if (!leaf_positions_[wh].empty() && !active_[wh].empty())
        result.push_back(static_cast<int>(wh));
    }
    return result;
  }

  // A lot of the warehouse with stock in at least one position, and that position.
  std::optional<std::pair<size_t, int>> StockedPosition(int wh) {
    const auto& list = active_[static_cast<size_t>(wh)];
    for (int attempt = 0; attempt < 8 && !list.empty(); ++attempt) {
      size_t lot = rng_.Pick(list);
      std::vector<int> stocked;
      for (const auto& [p, q] : lots_[lot].at) {
        if (q > 0) stocked.push_back(p);
      }
      if (!stocked.empty()) return std::make_pair(lot, rng_.Pick(stocked));
    }
    return std::nullopt;
  }

  int64_t& AtQty(Lot& lot, int pos) {
    for (auto& [p, q] : lot.at) {
      if (p == pos) return q;
    }
    lot.at.emplace_back(pos, 0);
    return lot.at.back().second;
  }

  InvPositionRow LotRecord(const Lot& lot, int pos, bool receipt, int64_t quarters,
                           const std::string& date, const std::optional<std::string>& handler,
                           std::optional<std::string> source) {
    InvPositionRow ip;
    ip.bRdFlag = receipt;
    ip.cWhCode = c_.warehouses[static_cast<size_t>(lot.wh)].cWhCode;
    ip.cPosCode = leaf_positions_[static_cast<size_t>(lot.wh)][static_cast<size_t>(pos)];
    ip.cInvCode = c_.inventories[static_cast<size_t>(lot.inv)].cInvCode;
    ip.cBatch = lot.batch;
    ip.iQuantity = Qty(quarters);
    const InventoryRow& row = c_.inventories[static_cast<size_t>(lot.inv)];
    if (row.iGroupType == 1) ip.iNum = Qty(quarters) / info_[static_cast<size_t>(lot.inv)].aux_rate;
    if (row.iGroupType == 2) {
      ip.iNum =
          Qty(std::max<int64_t>(1, quarters / info_[static_cast<size_t>(lot.inv)].nominal_rate));
    }
    for (int i = 0; i < 3; ++i) {
      if (lot.free[static_cast<size_t>(i)]) ip.cFree.Set(i + 1, *lot.free[static_cast<size_t>(i)]);
    }
    ip.dVDate = lot.vdate;
    ip.cHandler = handler;
    ip.dDate = date;
    ip.cSource = std::move(source);
    return ip;
  }

  template <typename Head>
  void StockHead(Head& head, int wh, int64_t day) {
    head.dDate = Iso(day);
    head.cWhCode = c_.warehouses[static_cast<size_t>(wh)].cWhCode;
    if (rng_.Percent(70)) head.cDepCode = "05";
    head.cPersonCode = PersonOf(head.cDepCode);
    head.cMaker = rng_.Pick(kMakers);
    if (day < kDays - 30 || rng_.Percent(60)) {
      head.cHandler = rng_.Pick(kHandlers);
      head.dVeriDate = Iso(day + rng_.Below(2));
    }
    if (rng_.Percent(10)) head.cMemo = rng_.Pick(kMemos);
    if (rng_.Percent(30)) head.cDefine.Set(1, "ST-" + Pad(rng_.Between(1, 9999), 4));
    if (rng_.Percent(10)) head.cDefine.Set(5, rng_.Between(1, 20));
  }

  void AdjustDocument(int64_t day) {
    auto warehouses = PositionedWarehousesWithStock();
    if (warehouses.empty()) return;
    int wh = rng_.Pick(warehouses);
    PendingAdjust doc;
    StockHead(doc.head, wh, day);
    int64_t n = rng_.Between(1, 3);
    for (int64_t i = 0; i < n; ++i) {
      auto found = StockedPosition(wh);
      if (!found) break;
      auto [lot_index, from] = *found;
      Lot& lot = lots_[lot_index];
      const auto& leaves = leaf_positions_[static_cast<size_t>(wh)];
      int to = (from + 1 + static_cast<int>(rng_.Below(static_cast<int64_t>(leaves.size()) - 1))) %
               static_cast<int>(leaves.size());
      const InventoryInfo& info = info_[static_cast<size_t>(lot.inv)];
      int64_t& at_from = AtQty(lot, from);
      int64_t quarters =
          rng_.Percent(40) ? at_from
                           : info.step * rng_.Between(1, std::max<int64_t>(1, at_from / info.step));
      at_from -= quarters;
      AtQty(lot, to) += quarters;
      AdjustPVouchsRow line;
      line.cInvCode = c_.inventories[static_cast<size_t>(lot.inv)].cInvCode;
      line.cBatch = lot.batch;
      line.iQuantity = Qty(quarters);
      line.cBPosCode = leaves[static_cast<size_t>(from)];
      line.cAPosCode = leaves[static_cast<size_t>(to)];
      line.dVDate = lot.vdate;
      for (int f = 0; f < 3; ++f) {
        if (lot.free[static_cast<size_t>(f)])
          line.cFree.Set(f + 1, *lot.free[static_cast<size_t>(f)]);
      }
      SetLineDefines(line.cDefine, day);
      auto out =
          LotRecord(lot, from, false, quarters, doc.head.dDate, doc.head.cHandler, "货位调整");
      auto in = LotRecord(lot, to, true, quarters, doc.head.dDate, doc.head.cHandler, "货位调整");
      line.iNum = in.iNum;
      doc.lines.push_back({std::move(line), {std::move(out), std::move(in)}});
    }
    if (doc.lines.empty()) return;
    entries_.push_back(
        {day, static_cast<int64_t>(entries_.size()), EntryKind::kAdjust, adjust_.size()});
    adjust_.push_back(std::move(doc));
  }

  void CheckDocument(int64_t day) {
    auto warehouses = PositionedWarehousesWithStock();
    if (warehouses.empty()) return;
    int wh = rng_.Pick(warehouses);
    PendingCheck doc;
    StockHead(doc.head, wh, day);
    int64_t n = rng_.Between(2, 5);
    std::vector<std::pair<size_t, int>> seen;
    for (int64_t i = 0; i < n; ++i) {
      auto found = StockedPosition(wh);
      if (!found || std::find(seen.begin(), seen.end(), *found) != seen.end()) continue;
      seen.push_back(*found);
      auto [lot_index, pos] = *found;
      Lot& lot = lots_[lot_index];
      const InventoryInfo& info = info_[static_cast<size_t>(lot.inv)];
      int64_t& book = AtQty(lot, pos);
      int64_t diff = 0;
      int64_t roll = rng_.Below(100);
      if (doc.lines.empty() || roll < 30) {
        diff = info.step * rng_.Between(1, 3);
      } else if (roll < 60) {
        diff = -std::min(book, info.step * rng_.Between(1, 3));
      }
      CheckVouchsRow line;
      line.cInvCode = c_.inventories[static_cast<size_t>(lot.inv)].cInvCode;
      line.cBatch = lot.batch;
      line.cPosition = leaf_positions_[static_cast<size_t>(wh)][static_cast<size_t>(pos)];
      line.iCVQuantity = Qty(book);
      line.iCVCQuantity = Qty(book + diff);
      line.dVDate = lot.vdate;
      for (int f = 0; f < 3; ++f) {
        if (lot.free[static_cast<size_t>(f)])
          line.cFree.Set(f + 1, *lot.free[static_cast<size_t>(f)]);
      }
      std::optional<InvPositionRow> ip;
      if (diff != 0) {
        ip = LotRecord(lot, pos, diff > 0, diff > 0 ? diff : -diff, doc.head.dDate,
                       doc.head.cHandler, "盘点");
      }
      book += diff;
      lot.qty += diff;
      UpdateActive(lot_index);
      doc.lines.push_back({std::move(line), std::move(ip)});
    }
    if (doc.lines.empty()) return;
    entries_.push_back(
        {day, static_cast<int64_t>(entries_.size()), EntryKind::kCheck, check_.size()});
    check_.push_back(std::move(doc));
  }

  // A record of another source, pointing at an existing receipt or issue line: it counts in the
  // position ledger's balances but belongs to no detail.
  void OtherSourceRecord(int64_t day) {
    std::vector<size_t> candidates;
    for (size_t i = rd_.size(); i-- > 0 && candidates.size() < 50;) {
      if (!rd_[i].lines.empty() && !rd_[i].lines.front().positions.empty()) candidates.push_back(i);
    }
    if (candidates.empty()) return;
    size_t doc = rng_.Pick(candidates);
    const PendingLine& line = rd_[doc].lines.front();
    PendingLoose loose{line.positions.front(), std::make_pair(doc, size_t{0})};
    loose.row.bRdFlag = true;
    loose.row.iQuantity = 1;
    loose.row.iNum.reset();
    loose.row.dDate = Iso(day);
    loose.row.cSource = rng_.Percent(50) ? "形态转换" : "组装拆卸";
    entries_.push_back(
        {day, static_cast<int64_t>(entries_.size()), EntryKind::kLoose, loose_.size()});
    loose_.push_back(std::move(loose));
  }

  // A record without a source whose line is gone (RdsID beyond every line).
  void OrphanRecord(int64_t day) {
    auto warehouses = PositionedWarehousesWithStock();
    if (warehouses.empty()) return;
    int wh = rng_.Pick(warehouses);
    auto found = StockedPosition(wh);
    if (!found) return;
    PendingLoose loose{LotRecord(lots_[found->first], found->second, true, 4, Iso(day),
                                 kHandlers[0], std::nullopt),
                       std::nullopt};
    loose.row.RdID = 900000000 + static_cast<int64_t>(loose_.size());
    loose.row.RdsID = lines_ + 1000 + static_cast<int64_t>(loose_.size());
    entries_.push_back(
        {day, static_cast<int64_t>(entries_.size()), EntryKind::kLoose, loose_.size()});
    loose_.push_back(std::move(loose));
  }

  void Documents() {
    pu_first_ = Schedule(lines_, std::max<int64_t>(2, lines_ / 120));
    pseudo_ = Schedule(lines_, std::max<int64_t>(2, lines_ / 150));
    null_bus_type_ = Schedule(lines_, std::max<int64_t>(1, lines_ / 800));
    unaudited_ = Schedule(lines_, std::max<int64_t>(2, lines_ / 400));
    over_issue_ = Schedule(lines_, std::max<int64_t>(1, lines_ / 1500));
    empty_department_ = Schedule(lines_, std::max<int64_t>(1, lines_ / 700));
    null_batch_ = Schedule(lines_, std::max<int64_t>(2, lines_ / 400));
    empty_batch_ = Schedule(lines_, std::max<int64_t>(2, lines_ / 400));
    late_entry_ = Schedule(lines_, std::max<int64_t>(2, lines_ / 500));
    free_item_ = Schedule(lines_, std::max<int64_t>(3, lines_ / 500));
    OpeningDocuments(std::clamp<int64_t>(lines_ * 6 / 100, 8, lines_ / 4));
    PreStartDocuments();
    int64_t start = done_;
    int64_t adjust_docs = std::max<int64_t>(3, lines_ / 250);
    int64_t check_docs = std::max<int64_t>(2, lines_ / 600);
    int64_t other_rows = std::max<int64_t>(3, lines_ / 1000);
    int64_t orphan_rows = std::max<int64_t>(2, lines_ / 2500);
    int64_t adjust_done = 0, check_done = 0, other_done = 0, orphan_done = 0;
    for (int64_t day = 0; day < kDays; ++day) {
      int64_t target = start + (lines_ - start) * (day + 1) / kDays;
      while (done_ < target) {
        int64_t left = lines_ - done_;
        if (pseudo_.Due(done_)) {
          pseudo_.Take();
          PseudoReturnDocument(day, left);
          continue;
        }
        int64_t roll = rng_.Below(98);
        if (roll < 28) {
          ReceiptDocument(DocKind::kPurchase, day, left);
        } else if (roll < 38) {
          ReceiptDocument(DocKind::kProduct, day, left);
        } else if (roll < 43) {
          ReceiptDocument(DocKind::kOtherIn, day, left);
        } else if (roll < 70) {
          IssueDocument(DocKind::kSales, day, left);
        } else if (roll < 92) {
          IssueDocument(DocKind::kMaterial, day, left);
        } else {
          IssueDocument(DocKind::kOtherOut, day, left);
        }
      }
      for (; adjust_done < adjust_docs * (day + 1) / kDays; ++adjust_done) AdjustDocument(day);
      for (; check_done < check_docs * (day + 1) / kDays; ++check_done) CheckDocument(day);
      for (; other_done < other_rows * (day + 1) / kDays; ++other_done) OtherSourceRecord(day);
      for (; orphan_done < orphan_rows * (day + 1) / kDays; ++orphan_done) OrphanRecord(day);
    }
  }

  // ---- identifiers ------------------------------------------------------------------------------

  std::string NextCode(const std::string& vouch_type) { return Pad(++code_seq_[vouch_type], 10); }

  void AssignIds() {
    std::stable_sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
      return a.entry_day != b.entry_day ? a.entry_day < b.entry_day : a.seq < b.seq;
    });
    int64_t rd_id = 0, rd_auto = 0, adj_id = 0, adj_auto = 0, chk_id = 0, chk_auto = 0, ip_id = 0;
    for (const Entry& e : entries_) {
      if (e.kind == EntryKind::kRd) {
        PendingRd& doc = rd_[e.index];
        doc.head.ID = ++rd_id;
        doc.head.cCode = NextCode(doc.head.cVouchType);
        for (PendingLine& line : doc.lines) {
          line.line.ID = doc.head.ID;
          line.line.AutoID = ++rd_auto;
        }
        if (!doc.lines.empty()) line_ids_[e.index] = {doc.head.ID, doc.lines.front().line.AutoID};
      } else if (e.kind == EntryKind::kAdjust) {
        PendingAdjust& doc = adjust_[e.index];
        doc.head.ID = ++adj_id;
        doc.head.cVouchCode = NextCode("19");
        for (auto& [line, records] : doc.lines) {
          line.ID = doc.head.ID;
          line.AutoID = ++adj_auto;
        }
      } else if (e.kind == EntryKind::kCheck) {
        PendingCheck& doc = check_[e.index];
        doc.head.ID = ++chk_id;
        doc.head.cCVCode = NextCode("18");
        for (auto& [line, record] : doc.lines) {
          line.ID = doc.head.ID;
          line.AutoID = ++chk_auto;
        }
      }
    }
    if (!take_documents_) Reserve();
    // Each pending document is released as soon as its rows have moved, so that the company
    // and the documents it is made from are not held twice; a taker receives the rows batch by
    // batch, so that they are not held at all.
    for (size_t i = 0; i < entries_.size(); ++i) {
      if (take_documents_ && i % 1024 == 1023) HandOver(static_cast<double>(i) / entries_.size());
      const Entry& e = entries_[i];
      switch (e.kind) {
        case EntryKind::kRd: {
          PendingRd& doc = rd_[e.index];
          for (PendingLine& line : doc.lines) {
            for (InvPositionRow& ip : line.positions) {
              ip.AutoId = ++ip_id;
              ip.RdID = line.line.ID;
              ip.RdsID = line.line.AutoID;
              c_.inv_positions.push_back(std::move(ip));
            }
            c_.rd_lines.push_back(std::move(line.line));
          }
          c_.rd_records.push_back(std::move(doc.head));
          doc = PendingRd();
          break;
        }
        case EntryKind::kAdjust: {
          PendingAdjust& doc = adjust_[e.index];
          for (auto& [line, records] : doc.lines) {
            for (InvPositionRow& ip : records) {
              ip.AutoId = ++ip_id;
              ip.RdID = line.ID;
              ip.RdsID = line.AutoID;
              c_.inv_positions.push_back(std::move(ip));
            }
            c_.adjust_lines.push_back(std::move(line));
          }
          c_.adjust_vouchers.push_back(std::move(doc.head));
          doc = PendingAdjust();
          break;
        }
        case EntryKind::kCheck: {
          PendingCheck& doc = check_[e.index];
          for (auto& [line, record] : doc.lines) {
            if (record) {
              record->AutoId = ++ip_id;
              record->RdID = line.ID;
              record->RdsID = line.AutoID;
              c_.inv_positions.push_back(std::move(*record));
            }
            c_.check_lines.push_back(std::move(line));
          }
          c_.check_vouchers.push_back(std::move(doc.head));
          doc = PendingCheck();
          break;
        }
        case EntryKind::kLoose: {
          PendingLoose& loose = loose_[e.index];
          loose.row.AutoId = ++ip_id;
          if (loose.line) {
            // The referenced document's rows may have been moved already; its ids were kept.
            loose.row.RdID = line_ids_.at(loose.line->first).first;
            loose.row.RdsID = line_ids_.at(loose.line->first).second;
          }
          c_.inv_positions.push_back(std::move(loose.row));
          break;
        }
      }
    }
    if (take_documents_) HandOver(1);
    rd_ = {};
    adjust_ = {};
    check_ = {};
    loose_ = {};
    entries_ = {};
  }

  // Gives the document rows made so far to the taker.
  void HandOver(double fraction) {
    DemoCompany documents;
    documents.rd_records.swap(c_.rd_records);
    documents.rd_lines.swap(c_.rd_lines);
    documents.inv_positions.swap(c_.inv_positions);
    documents.adjust_vouchers.swap(c_.adjust_vouchers);
    documents.adjust_lines.swap(c_.adjust_lines);
    documents.check_vouchers.swap(c_.check_vouchers);
    documents.check_lines.swap(c_.check_lines);
    take_documents_(documents, fraction);
  }

  // Room for every row of the documents, so that the vectors do not grow by doubling.
  void Reserve() {
    size_t heads = rd_.size(), lines = 0, records = loose_.size();
    for (const PendingRd& doc : rd_) {
      lines += doc.lines.size();
      for (const PendingLine& line : doc.lines) records += line.positions.size();
    }
    size_t adjust_lines = 0, check_lines = 0;
    for (const PendingAdjust& doc : adjust_) adjust_lines += doc.lines.size();
    for (const PendingCheck& doc : check_) {
      check_lines += doc.lines.size();
      for (const auto& line : doc.lines) records += line.second ? 1 : 0;
    }
    c_.rd_records.reserve(heads);
    c_.rd_lines.reserve(lines);
    c_.inv_positions.reserve(records + 2 * adjust_lines);
    c_.adjust_vouchers.reserve(adjust_.size());
    c_.adjust_lines.reserve(adjust_lines);
    c_.check_vouchers.reserve(check_.size());
    c_.check_lines.reserve(check_lines);
  }

  // ---- system database, captions, formats -------------------------------------------------------

  void SystemData() {
    c_.accounts = {{kDemoAccount, "演示公司", kStockStartDate},
                   {"002", "演示二公司", "2026-03-10"}};
    for (int year = 2024; year <= 2026; ++year) {
      for (int month = 1; month <= 12; ++month) {
        Date begin = *Date::Make(year, month, 1);
        Date next = month == 12 ? *Date::Make(year + 1, 1, 1) : *Date::Make(year, month + 1, 1);
        c_.periods.push_back(
            {kDemoAccount, year, month, begin.ToIsoDate(), next.AddDays(-1).ToIsoDate()});
      }
    }
    for (int month = 1; month <= 12; ++month) {
      Date begin = month == 1 ? *Date::Make(2025, 12, 26) : *Date::Make(2026, month - 1, 26);
      Date end = *Date::Make(2026, month, 25);
      c_.periods.push_back({"002", 2026, month, begin.ToIsoDate(), end.ToIsoDate()});
    }
    c_.users = {{"demo", "演示用户", DemoPasswordHash(kDemoPassword, seed_, "demo")},
                {"clerk", "库管员", DemoPasswordHash(kClerkPassword, seed_, "clerk")},
                {"auditor", "审计员", DemoPasswordHash(kAuditorPassword, seed_, "auditor")}};
    auto right = [this](const char* user, const char* kind, std::string value) {
      c_.data_rights.push_back({kDemoAccount, user, kind, std::move(value)});
    };
    for (const InventoryRow& inv : c_.inventories) {
      if ((inv.cInvCCode.rfind("01", 0) == 0 || inv.cInvCCode.rfind("04", 0) == 0) &&
          inv.iId % 5 != 0) {
        right("clerk", "InvenTory", std::to_string(inv.iId));
      }
    }
    for (const char* wh : {"01", "02", "03", "05"}) right("clerk", "WareHouse", wh);
    for (const char* dep : {"02", "0401", "05"}) right("clerk", "department", dep);
    for (const PositionRow& pos : c_.positions) {
      if (pos.bPosEnd &&
          (pos.cWhCode == "01" || pos.cPosCode.rfind("02A", 0) == 0 || pos.cPosCode == "04A01")) {
        right("clerk", "position", pos.cPosCode);
      }
    }
    for (const char* maker : {"张伟", "李娜", "王芳"}) right("clerk", "user", maker);
    for (const char* wh : {"01", "02", "04", "06", "08"}) right("auditor", "WareHouse", wh);
    for (const char* maker : {"张伟", "李娜", "王芳", "赵磊"}) right("auditor", "user", maker);
    c_.functions = {{"ST0301", "库存台账"},     {"ST0302", "批次台账"},
                    {"ST0303", "货位台账"},     {"ST0304", "出入库流水账"},
                    {"ST0305", "收发存汇总表"}, {"ST0306", "报表格式设置"}};
    for (const FunctionRow& f : c_.functions)
      c_.task_rights.push_back({kDemoAccount, "demo", f.cFuncId});
    for (const char* f : {"ST0301", "ST0302", "ST0303", "ST0305"}) {
      c_.task_rights.push_back({kDemoAccount, "clerk", f});
    }
    for (const char* f : {"ST0301", "ST0304", "ST0305"}) {
      c_.task_rights.push_back({kDemoAccount, "auditor", f});
    }
    c_.task_locks = {{kDemoAccount, "ST0305", "auditor", 1}};
  }

  void Captions() {
    int id = 0;
    auto add = [&](const char* cls, std::string item, std::optional<std::string> name) {
      c_.user_defs.push_back({Pad(++id, 2), cls, std::move(item), std::move(name)});
    };
    const std::optional<std::string> kNull;
    const std::optional<std::string> inventory_defines[16] = {
        "产地", "品牌", kNull,        "",         kNull, kNull, "",         "包装方式",
        kNull,  "",     "保质期(天)", "单重(kg)", "",    kNull, "启用日期", kNull};
    for (int i = 0; i < 16; ++i)
      add("存货", "自定义项" + std::to_string(i + 1), inventory_defines[i]);
    const std::optional<std::string> free_items[10] = {"颜色", "尺码", "材质", kNull, "",
                                                       kNull,  kNull,  kNull,  kNull, kNull};
    for (int i = 0; i < 10; ++i) add("存货", "自由项" + std::to_string(i + 1), free_items[i]);
    const std::optional<std::string> header_defines[16] = {
        "合同号", "运输方式", kNull, "到货日期", "件数", "",     "运费", kNull,
        kNull,    "车牌号",   "",    kNull,      kNull,  "备用", kNull,  ""};
    for (int i = 0; i < 16; ++i)
      add("单据头", "自定义项" + std::to_string(i + 1), header_defines[i]);
    add("单据体", "自定义项22", "炉号");
    add("单据体", "自定义项26", "毛重");
    add("单据体", "自定义项34", "箱数");
    add("单据体", "自定义项36", "生产日期");
    add("客户", "自定义项1", "信用等级");
  }

  void Formats() {
    c_.report_definitions = {{1, "ST", "库存台账"},
                             {2, "ST", "批次台账"},
                             {3, "ST", "货位台账"},
                             {4, "PU", "库存台账"},
                             {5, "ST", "空白格式"}};
    struct Field {
      const char* name;
      const char* caption;
      int type;
      const char* width;
      int visible;
    };
    const std::vector<Field> stock = {
        {"dDate", "日期", 2, "80", -1},        {"cCode", "单据号", 0, "100", -1},
        {"ZY2", "摘要", 0, "160", -1},         {"ZY4", "部门/业务员", 0, "120", -1},
        {"ZY6", "批号/失效日期", 0, "120", 0}, {"iInQtty", "收入数量", 1, "90", -1},
        {"iInNum", "收入件数", 1, "90", 0},    {"iOutQtty", "发出数量", 1, "90", -1},
        {"iOutNum", "发出件数", 1, "90", 0},   {"cWhName", "仓库", 0, "90", -1},
        {"cMemo", "备注", 0, "120", 0}};
    const std::vector<Field> position = {
        {"dDate", "日期", 2, "80", -1},           {"cCode", "单据号", 0, "100", -1},
        {"cVouchName", "单据类型", 0, "100", -1}, {"cPosCode", "货位", 0, "80", -1},
        {"iInQtty", "入库数量", 1, "90", -1},     {"iOutQtty", "出库数量", 1, "90", -1},
        {"cHandler", "审核人", 0, "80", 0}};
    auto add = [this](int64_t id, const std::vector<Field>& fields) {
      int order = 0;
      for (const Field& f : fields) {
        c_.report_fields.push_back(
            {id, ++order, f.name, f.caption, f.type, f.width, f.visible, 0, ""});
      }
    };
    add(1, stock);
    add(2, stock);
    add(3, position);
    add(4, {{"cInvCode", "存货编码", 0, "100", -1}, {"iQuantity", "数量", 1, "90", -1}});
    // Positions of 100 and above belong to the report designer, never to the saved format.
    c_.report_fields.push_back({1, 100, "iBeginQtty", "期初数量", 1, "90", 0, 0, ""});
    c_.report_fields.push_back({1, 101, "iBeginNum", "期初件数", 1, "90", 0, 0, ""});
    c_.report_fields.push_back({5, 100, "cInvCode", "存货编码", 0, "100", -1, 0, ""});
  }

  Random rng_;
  uint64_t seed_;
  int64_t lines_;
  DocumentTaker take_documents_;
  DemoCompany c_;
  std::vector<InventoryInfo> info_;
  std::vector<std::vector<std::string>> leaf_positions_;  // per warehouse
  std::map<std::string, std::vector<std::string>> persons_by_dep_;
  std::vector<std::vector<int>> invs_by_wh_;
  std::vector<Lot> lots_;
  std::unordered_map<std::string, size_t> lot_index_;
  std::vector<std::vector<size_t>> active_;  // per warehouse: lots with stock
  std::unordered_map<std::string, std::string> batch_vdate_;
  std::vector<PendingRd> rd_;
  std::vector<PendingAdjust> adjust_;
  std::vector<PendingCheck> check_;
  std::vector<PendingLoose> loose_;
  std::vector<Entry> entries_;
  std::map<size_t, std::pair<int64_t, int64_t>> line_ids_;
  std::map<std::string, int64_t> code_seq_;
  int64_t done_ = 0;
  int64_t unaudited_count_ = 0;
  int64_t batch_day_ = -1000;
  int64_t batch_seq_ = 0;
  int64_t bus_seq_ = 0;
  int64_t contract_seq_ = 0;
  int64_t check_code_seq_ = 0;
  Schedule pu_first_{1, 1}, pseudo_{1, 1}, null_bus_type_{1, 1}, unaudited_{1, 1},
      over_issue_{1, 1}, empty_department_{1, 1}, null_batch_{1, 1}, empty_batch_{1, 1},
      late_entry_{1, 1}, free_item_{1, 1};
};

}  // namespace

DemoCompany GenerateCompany(const DemoOptions& options) { return Builder(options, {}).Build(); }

DemoCompany GenerateCompany(const DemoOptions& options, const DocumentTaker& take_documents) {
  return Builder(options, take_documents).Build();
}

std::string EmbeddedConnectionString(const std::string& company_db_path,
                                     const std::string& system_db_path) {
  return "Provider=SQLite;Data Source=" + company_db_path + ";System Database=" + system_db_path;
}

}  // namespace q9::demo
