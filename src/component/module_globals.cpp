#include "component/module_globals.h"

namespace q9::component {
namespace {

std::shared_ptr<Apartment>& ThreadApartment() {
  thread_local std::shared_ptr<Apartment> apartment;
  return apartment;
}

}  // namespace

platform::db::Connection& ModuleGlobals::gConn() {
  if (!gConn_) gConn_ = std::make_shared<platform::db::Connection>();
  return *gConn_;
}

void ModuleGlobals::Release() {
  gAccount = platform::Variant::Nothing();
  gAccountCO = platform::Variant::Nothing();
  gLogin = platform::Variant::Nothing();
  gConn_.reset();
}

void Apartment::RemoveInstance() {
  if (instances_ > 0 && --instances_ == 0) globals_.Release();
}

std::shared_ptr<Apartment> CurrentApartment() {
  auto& apartment = ThreadApartment();
  if (!apartment) apartment = std::make_shared<Apartment>();
  return apartment;
}

ScopedApartment::ScopedApartment(std::shared_ptr<Apartment> apartment)
    : previous_(std::move(ThreadApartment())) {
  ThreadApartment() = std::move(apartment);
}

ScopedApartment::~ScopedApartment() { ThreadApartment() = std::move(previous_); }

}  // namespace q9::component
