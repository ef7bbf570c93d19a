// A request the web report answers with a failure: the HTTP status and the JSON body
// {"ok": false, "message": ...} (plus "number" and "source" for the component's raised errors).
#pragma once

#include <stdexcept>
#include <string>

#include "ledger/grid.h"

namespace q9::web {

using ledger::Json;

class ApiError : public std::runtime_error {
 public:
  ApiError(int status, const std::string& message)
      : std::runtime_error(message),
        status_(status),
        body_(Json{{"ok", false}, {"message", message}}) {}
  ApiError(int status, const char* message) : ApiError(status, std::string(message)) {}
  ApiError(int status, Json body)
      : std::runtime_error(body.value("message", "")), status_(status), body_(std::move(body)) {}

  int status() const { return status_; }
  const Json& body() const { return body_; }

 private:
  int status_;
  Json body_;
};

}  // namespace q9::web
