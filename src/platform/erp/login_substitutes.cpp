#include "platform/erp/login_substitutes.h"

#include "platform/erp/system_database.h"
#include "platform/error.h"

namespace q9::platform::erp {
namespace {

constexpr const char* kSource = "VtCOMMON.Login";

ComError NotLoaded(const std::string& what) {
  return ComError(kErrObjectNotSet, kSource, what + "：登录对象尚未加载 (Load)");
}

class PeriodObject : public MemberObject {
 public:
  explicit PeriodObject(PeriodRow row) : MemberObject("Period") {
    members_.Get("BeginDate", [row](Args&) { return Variant(row.begin); })
        .Get("EndDate", [row](Args&) { return Variant(row.end); })
        .Get("iId", [row](Args&) { return Variant(static_cast<int16_t>(row.id)); });
  }
};

struct AccountData {
  Date st_start_date;
  Date st_start_period_date;
  std::vector<PeriodRow> periods;  // of the login year
};

class AccountObject : public MemberObject {
 public:
  explicit AccountObject(std::shared_ptr<const AccountData> data)
      : MemberObject("Account"), data_(std::move(data)) {
    members_
        .Get("STStartDate", [this](Args&) { return Variant(Data("STStartDate").st_start_date); })
        .Get("STStartPeriodDate",
             [this](Args&) { return Variant(Data("STStartPeriodDate").st_start_period_date); })
        .Get("Period", [this](Args& args) {
          const AccountData& d = Data("Period");
          int month = args.Get(0).ToI4();
          for (const PeriodRow& p : d.periods) {
            if (p.id == month) return Variant(std::make_shared<PeriodObject>(p));
          }
          throw SubscriptOutOfRange("会计期间 " + std::to_string(month) + " 不存在");
        });
  }

 private:
  const AccountData& Data(const std::string& member) const {
    if (!data_) throw NotLoaded("Account." + member);
    return *data_;
  }
  std::shared_ptr<const AccountData> data_;
};

class AccountCOObject : public MemberObject {
 public:
  AccountCOObject() : MemberObject("AccountCO") {
    members_.Put("login", [this](Args& args) {
      login_ = args.Get(args.size() - 1);
      return Variant();
    });
  }

 private:
  Variant login_;
};

struct LoginSession {
  LoginIdentity identity;
  std::shared_ptr<SystemDatabase> db;
  std::shared_ptr<const AccountData> account;
};

class InnerLoginObject : public MemberObject {
 public:
  explicit InnerLoginObject(std::shared_ptr<LoginSession> s)
      : MemberObject("clsLogin"), session_(std::move(s)) {
    const LoginIdentity& id = session_->identity;
    members_.Get("cAcc_Id", [&id](Args&) { return Variant(id.account_id); })
        .Get("cIYear", [&id](Args&) { return Variant(static_cast<int16_t>(id.year)); })
        .Get("cUserId", [&id](Args&) { return Variant(id.user_id); })
        .Get("cUserName", [&id](Args&) { return Variant(id.user_name); })
        .Get("VkDbName", [&id](Args&) { return Variant(id.connection_string); })
        .Method("ClearError",
                [this](Args&) {
                  log_state_ = kTaskGranted;
                  share_string_.clear();
                  return Variant();
                })
        .Method("TaskExec", [this](Args& args) { return Variant(TaskExec(args)); })
        .Get("LogState", [this](Args&) { return Variant(static_cast<int32_t>(log_state_)); })
        .Get("ShareString", [this](Args&) { return Variant(share_string_); });
  }

 private:
  bool TaskExec(Args& args) {
    std::string func = args.Get(0).ToText();
    int lock = args.IsGiven(1) ? args.Get(1).ToI4() : 0;
    const LoginIdentity& id = session_->identity;
    SystemDatabase& db = *session_->db;
    auto name = db.FunctionName(func);
    if (!name) {
      return Refuse(kTaskNoFunction, "功能号 " + func + " 不存在");
    }
    if (!db.TaskGranted(id.account_id, id.user_id, func)) {
      return Refuse(kTaskNoRight, "用户 " + id.user_id + " 没有功能 " + *name + " 的权限");
    }
    if (auto holder = db.TaskHolder(id.account_id, func, id.user_id, lock)) {
      return Refuse(kTaskInUse, "功能 " + *name + " 正被用户 " + *holder + " 使用");
    }
    return true;
  }

  bool Refuse(int state, std::string text) {
    log_state_ = state;
    share_string_ = std::move(text);
    return false;
  }

  std::shared_ptr<LoginSession> session_;
  int log_state_ = kTaskGranted;
  std::string share_string_;
};

class LoginObject : public MemberObject {
 public:
  LoginObject() : MemberObject("Login") {
    members_.Method("Load", [this](Args& args) { return Load(args.Get(0)); })
        .Get("Account",
             [this](Args&) {
               return Variant(std::make_shared<AccountObject>(Session("Account").account));
             })
        .Method("GetAuthString", [this](Args& args) { return Variant(GetAuthString(args)); })
        .Get("OldLogin", [this](Args&) {
          Session("OldLogin");  // raises before Load
          if (!inner_) inner_ = std::make_shared<InnerLoginObject>(session_);
          return Variant(inner_);
        });
  }

 private:
  LoginSession& Session(const std::string& member) const {
    if (!session_) throw NotLoaded("Login." + member);
    return *session_;
  }

  Variant Load(const Variant& caller) {
    auto s = std::make_shared<LoginSession>();
    s->identity.connection_string = GetProperty(caller, "VkDbName").ToText();
    s->identity.user_id = GetProperty(caller, "cUserId").ToText();
    s->identity.account_id = GetProperty(caller, "cAcc_Id").ToText();
    s->identity.year = GetProperty(caller, "cIYear").ToI4();
    s->db = SystemDatabase::Open(s->identity);
    auto account = std::make_shared<AccountData>();
    account->st_start_date = s->db->StockStartDate(s->identity.account_id);
    account->st_start_period_date =
        s->db->PeriodBeginContaining(s->identity.account_id, account->st_start_date)
            .value_or(account->st_start_date);
    account->periods = s->db->Periods(s->identity.account_id, s->identity.year);
    s->account = std::move(account);
    session_ = std::move(s);
    inner_.reset();
    return Variant(true);
  }

  std::string GetAuthString(Args& args) {
    LoginSession& s = Session("GetAuthString");
    std::string kind = args.Get(0).ToText();
    static const char* kKinds[] = {"InvenTory", "WareHouse", "department", "position", "user"};
    for (const char* k : kKinds) {
      if (SameMemberName(kind, k)) {
        return FormatRightsList(
            k, s.db->DataRights(s.identity.account_id, s.identity.user_id, k));
      }
    }
    throw ComError(kErrInvalidCall, kSource, "未知的权限类型 '" + kind + "'");
  }

  std::shared_ptr<LoginSession> session_;
  std::shared_ptr<InnerLoginObject> inner_;
};

}  // namespace

std::string FormatRightsList(const std::string& kind, const std::vector<std::string>& values) {
  std::string out;
  bool numeric = SameMemberName(kind, "InvenTory");
  for (const std::string& v : values) {
    if (!out.empty()) out += ",";
    if (numeric) {
      for (char c : v) {
        if (c < '0' || c > '9') throw TypeMismatch("存货权限 '" + v + "' 不是存货 ID");
      }
      out += v;
    } else {
      out += SqlText(v);
    }
  }
  return out;
}

ObjectPtr CreateLogin() { return std::make_shared<LoginObject>(); }
ObjectPtr CreateAccount() { return std::make_shared<AccountObject>(nullptr); }
ObjectPtr CreateAccountCO() { return std::make_shared<AccountCOObject>(); }

}  // namespace q9::platform::erp
