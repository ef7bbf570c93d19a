#include "platform/error.h"

namespace q9::platform {
namespace {

constexpr const char* kRuntime = "Q9STRepSrv";
constexpr const char* kDataAccess = "ADODB";

std::string WithDetail(const char* standard, const std::string& detail) {
  if (detail.empty()) return standard;
  return std::string(standard) + ": " + detail;
}

}  // namespace

ComError::ComError(int number, std::string source, std::string description)
    : std::runtime_error(description),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)) {}

ComError ObjectNotSet(const std::string& what) {
  return {kErrObjectNotSet, kRuntime,
          WithDetail("Object variable or With block variable not set", what)};
}
ComError TypeMismatch(const std::string& what) {
  return {kErrTypeMismatch, kRuntime, WithDetail("Type mismatch", what)};
}
ComError Overflow(const std::string& what) {
  return {kErrOverflow, kRuntime, WithDetail("Overflow", what)};
}
ComError SubscriptOutOfRange(const std::string& what) {
  return {kErrSubscript, kRuntime, WithDetail("Subscript out of range", what)};
}
ComError InvalidUseOfNull(const std::string& what) {
  return {kErrInvalidNull, kRuntime, WithDetail("Invalid use of Null", what)};
}
ComError InvalidCall(const std::string& what) {
  return {kErrInvalidCall, kRuntime, WithDetail("Invalid procedure call or argument", what)};
}
ComError CannotCreateObject(const std::string& prog_id) {
  return {kErrCannotCreate, kRuntime,
          WithDetail("ActiveX component can't create object", prog_id)};
}
ComError MemberNotFound(const std::string& member) {
  return {kErrMemberNotFound, kRuntime,
          WithDetail("Object doesn't support this property or method", member)};
}
ComError WrongArgumentCount(const std::string& member) {
  return {kErrArgCount, kRuntime,
          WithDetail("Wrong number of arguments or invalid property assignment", member)};
}
ComError NotImplementedYet(const std::string& what) {
  return {kErrNotImplemented, kRuntime, "not implemented yet: " + what};
}

ComError DataObjectClosed() {
  return {kErrObjectClosed, kDataAccess, "Operation is not allowed when the object is closed."};
}
ComError DataNoCurrentRecord() {
  return {kErrNoCurrentRecord, kDataAccess,
          "Either BOF or EOF is True, or the current record has been deleted. Requested "
          "operation requires a current record."};
}
ComError DataItemNotFound(const std::string& item) {
  std::string text =
      "Item cannot be found in the collection that corresponds to the requested name or ordinal.";
  if (!item.empty()) text += " (" + item + ")";
  return {kErrItemNotFound, kDataAccess, text};
}
ComError DataBadArgument(const std::string& what) {
  std::string text =
      "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one "
      "another.";
  if (!what.empty()) text += " (" + what + ")";
  return {kErrBadArgument, kDataAccess, text};
}
ComError DataObjectOpen() {
  return {kErrObjectOpen, kDataAccess, "Operation is not allowed when the object is open."};
}
ComError ProviderError(const std::string& source, const std::string& description) {
  return {kErrProvider, source, description};
}

}  // namespace q9::platform
