#include "services/reference_data.h"

#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/dispatch.h"
#include "platform/error.h"

namespace q9::services {

namespace db = platform::db;
using platform::Args;
using platform::Variant;

namespace {

// A 32-bit variable of the caller that the server receives by reference.
class CallerLong {
 public:
  explicit CallerLong(int32_t& target) : target_(target), value_(target) {}
  // The server may store any numeric type; the caller's variable stays 32-bit.
  ~CallerLong() {
    try {
      target_ = value_.ToI4();
    } catch (const platform::ComError&) {
      // What cannot be a 32-bit number is not written back; the caller keeps its value.
    }
  }
  Variant* ref() { return &value_; }

 private:
  int32_t& target_;
  Variant value_;
};

// Closes what the server handed over, on every way out.
struct CloseOnExit {
  Variant* data;
  Variant* title;
  ~CloseOnExit() {
    for (Variant* v : {data, title}) {
      if (!v->has_object()) continue;
      auto rs = std::dynamic_pointer_cast<db::Recordset>(v->object());
      if (rs && rs->State() == db::kStateOpen) rs->Close();
    }
  }
};

Variant CloneOf(const Variant& recordset, const char* what) {
  return Variant(db::AsRecordset(recordset, what)->Clone(db::kLockUnspecified));
}

Variant OldLogin(const Variant& gLogin) { return platform::GetProperty(gLogin, "OldLogin"); }

}  // namespace

bool FetchReferenceData(const Variant& gLogin, ReferenceRequest request, int32_t& intCurPage,
                        int32_t& intPageCount, Variant& rs, Variant& RsCol) {
  Variant server(platform::CreateObject(kReferServerProgId));
  Variant table(request.strTable);
  Variant page_size(request.intPageSize);
  CallerLong cur_page(intCurPage);
  CallerLong page_count(intPageCount);
  Variant data = Variant::Nothing();
  Variant title = Variant::Nothing();
  CloseOnExit close_on_exit{&data, &title};

  if (request.blnRefMode) {
    Variant filter(request.strFilter);
    Variant key_word(request.strKeyWord);
    Variant order(request.strOrder);
    Args auth;
    auth.Ref(&table).Val(Variant("W")).Val(Variant(false));
    platform::CallMethod(server, "SetRWAuth", auth);
    Args get;
    get.Val(OldLogin(gLogin))
        .Ref(&table)
        .Ref(&filter)
        .Ref(&key_word)
        .Ref(&order)
        .Ref(&page_size)
        .Ref(cur_page.ref())
        .Ref(page_count.ref())
        .Ref(&data)
        .Val(Variant(""));
    platform::CallMethod(server, "GetData", get);
    Args title_args;
    title_args.Val(OldLogin(gLogin)).Ref(&table);
    title = platform::CallMethod(server, "GetTitleFormat", title_args);
    if (!data.has_object()) return false;
    rs = CloneOf(data, "the reference server's data");
    RsCol = CloneOf(title, "the reference server's title format");
    return true;
  }

  Args get;
  get.Val(OldLogin(gLogin))
      .Ref(&table)
      .Ref(&data)
      .Val(Variant(""))
      .Val(Variant(true))
      .Ref(&page_size)
      .Ref(cur_page.ref())
      .Ref(page_count.ref());
  platform::CallMethod(server, "GetRefStrRst", get);
  rs = CloneOf(data, "the reference server's data");
  return true;
}

}  // namespace q9::services
