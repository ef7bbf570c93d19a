// The one error type of the system: an automation error with number, source and description.
#pragma once

#include <stdexcept>
#include <string>

namespace q9::platform {

// Well-known automation runtime error numbers.
enum ErrorNumber : int {
  kErrInvalidCall = 5,
  kErrOverflow = 6,
  kErrSubscript = 9,
  kErrTypeMismatch = 13,
  kErrObjectNotSet = 91,
  kErrInvalidNull = 94,
  kErrCannotCreate = 429,
  kErrMemberNotFound = 438,
  kErrArgCount = 450,
  kErrNotImplemented = 32767,
};

// Data-access (ADO-like) error numbers.
enum DataErrorNumber : int {
  kErrBadArgument = 3001,
  kErrNoCurrentRecord = 3021,
  kErrItemNotFound = 3265,
  kErrObjectClosed = 3704,
  kErrObjectOpen = 3705,
  kErrProvider = -2147467259,  // 0x80004005: the provider's own failure (SQL error, open failure)
};

class ComError : public std::runtime_error {
 public:
  ComError(int number, std::string source, std::string description);

  int number() const { return number_; }
  const std::string& source() const { return source_; }
  const std::string& description() const { return description_; }

 private:
  int number_;
  std::string source_;
  std::string description_;
};

// Constructors for the common errors, each with the standard text unless a clearer one is given.
ComError ObjectNotSet(const std::string& what = {});
ComError TypeMismatch(const std::string& what = {});
ComError Overflow(const std::string& what = {});
ComError SubscriptOutOfRange(const std::string& what = {});
ComError InvalidUseOfNull(const std::string& what = {});
ComError InvalidCall(const std::string& what = {});
ComError CannotCreateObject(const std::string& prog_id);
ComError MemberNotFound(const std::string& member);
ComError WrongArgumentCount(const std::string& member);
ComError NotImplementedYet(const std::string& what);

// Data-access errors, with the texts the front end knows from its data-access library.
ComError DataObjectClosed();
ComError DataNoCurrentRecord();
ComError DataItemNotFound(const std::string& item = {});
ComError DataBadArgument(const std::string& what = {});
ComError DataObjectOpen();
// A failure reported by a database engine or driver; `source` names the engine.
ComError ProviderError(const std::string& source, const std::string& description);

}  // namespace q9::platform
