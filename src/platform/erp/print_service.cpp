#include "platform/erp/print_service.h"

#include <fstream>
#include <sstream>

#include "platform/db/recordset.h"
#include "platform/error.h"

namespace q9::platform::erp {
namespace {

constexpr const char* kSource = "VtSTPrint.clsPrintItfService";
constexpr int kErrFileAccess = 75;

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

std::string HtmlText(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Csv(db::Recordset& rs) {
  std::string out = "\xEF\xBB\xBF";
  for (size_t c = 0; c < rs.FieldCount(); ++c) out += (c ? "," : "") + CsvField(rs.FieldName(c));
  out += "\r\n";
  for (; !rs.Eof(); rs.MoveNext()) {
    for (size_t c = 0; c < rs.FieldCount(); ++c) {
      out += (c ? "," : "") + CsvField(rs.Field(c).ConcatText());
    }
    out += "\r\n";
  }
  return out;
}

std::string Html(db::Recordset& rs, const Variant& login) {
  std::string user = GetProperty(login, "cUserId").ConcatText();
  std::string account = GetProperty(login, "cAcc_Id").ConcatText();
  std::string out =
      "<!DOCTYPE html>\n<html>\n<head><meta charset=\"utf-8\"><title>打印</title></head>\n"
      "<body>\n<table border=\"1\">\n<caption>用户 " +
      HtmlText(user) + "，账套 " + HtmlText(account) + "</caption>\n<tr>";
  for (size_t c = 0; c < rs.FieldCount(); ++c) out += "<th>" + HtmlText(rs.FieldName(c)) + "</th>";
  out += "</tr>\n";
  for (; !rs.Eof(); rs.MoveNext()) {
    out += "<tr>";
    for (size_t c = 0; c < rs.FieldCount(); ++c) {
      out += "<td>" + HtmlText(rs.Field(c).ConcatText()) + "</td>";
    }
    out += "</tr>\n";
  }
  return out + "</table>\n</body>\n</html>\n";
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (file) file << content;
  if (!file || !file.flush()) {
    throw ComError(kErrFileAccess, kSource, "Path/File access error: 无法写入文件 '" + path + "'");
  }
}

class PrintService : public MemberObject {
 public:
  PrintService() : MemberObject("clsPrintItfService") {
    auto set_login = [this](Args& args) {
      vklogin_ = args.Get(args.size() - 1);
      return Variant();
    };
    members_.Put("vklogin", set_login)
        .PutRef("vklogin", set_login)
        .Get("vklogin", [this](Args&) { return vklogin_; })
        .Method("Execute", [this](Args& args) { return Variant(Execute(args)); });
  }

 private:
  bool Execute(Args& args) {
    if (args.size() < 4) throw WrongArgumentCount(std::string(kSource) + ".Execute");
    if (!vklogin_.has_object()) {
      throw ComError(kErrObjectNotSet, kSource, "打印服务的 vklogin 尚未设置");
    }
    std::string command = args.Get(0).ConcatText();
    size_t colon = command.find(':');
    std::string verb = command.substr(0, colon == std::string::npos ? 0 : colon);
    std::string path = colon == std::string::npos ? "" : command.substr(colon + 1);
    bool csv = SameMemberName(verb, "csv");
    bool html = SameMemberName(verb, "html");
    if ((!csv && !html) || path.empty()) {
      args[3] = Variant("未知的打印命令 '" + command + "'；可用的命令: csv:<文件>, html:<文件>");
      return false;
    }
    std::shared_ptr<db::Recordset> rs =
        db::AsRecordset(args.Get(1), "打印命令 " + verb + " 的参数")->Clone(db::kLockUnspecified);
    WriteFile(path, csv ? Csv(*rs) : Html(*rs, vklogin_));
    return true;
  }

  Variant vklogin_;
};

}  // namespace

ObjectPtr CreatePrintService() { return std::make_shared<PrintService>(); }

}  // namespace q9::platform::erp
