// The module globals: the login objects and the connection every method of the component uses.
// One set per apartment (thread), shared by every instance created there.
#pragma once

#include <memory>

#include "platform/db/connection.h"
#include "platform/variant.h"

namespace q9::component {

struct ModuleGlobals {
  platform::Variant gAccount = platform::Variant::Nothing();
  platform::Variant gAccountCO = platform::Variant::Nothing();
  platform::Variant gLogin = platform::Variant::Nothing();
  std::shared_ptr<platform::db::Connection> gConn_;

  // gConn is created on first use: a reference while it holds nothing makes a new, closed one.
  platform::db::Connection& gConn();
  // Releases the three login objects and the connection (without closing it first).
  void Release();
};

// An apartment: its globals and the number of instances living in it.
class Apartment {
 public:
  ModuleGlobals& globals() { return globals_; }
  int instances() const { return instances_; }

  // Called by each instance as it is created and released. The globals are released with the
  // last instance, so releasing one instance never breaks another that still lives.
  void AddInstance() { ++instances_; }
  void RemoveInstance();

 private:
  ModuleGlobals globals_;
  int instances_ = 0;
};

// The apartment of this thread (one per thread unless a test installs its own).
std::shared_ptr<Apartment> CurrentApartment();

// Makes `apartment` this thread's apartment for the guard's lifetime; tests use it to run
// instances in separate apartments on one thread.
class ScopedApartment {
 public:
  explicit ScopedApartment(std::shared_ptr<Apartment> apartment);
  ~ScopedApartment();
  ScopedApartment(const ScopedApartment&) = delete;
  ScopedApartment& operator=(const ScopedApartment&) = delete;

 private:
  std::shared_ptr<Apartment> previous_;
};

}  // namespace q9::component
