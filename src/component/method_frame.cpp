#include "component/method_frame.h"

#include <new>

namespace q9::component {

platform::ComError CurrentError() {
  try {
    throw;
  } catch (const platform::ComError& e) {
    return e;
  } catch (const std::bad_alloc&) {
    return platform::ComError(7, "Q9STRepSrv", "Out of memory");
  } catch (const std::exception& e) {
    return platform::ComError(platform::kErrProvider, "Q9STRepSrv", e.what());
  } catch (...) {
    return platform::ComError(platform::kErrProvider, "Q9STRepSrv", "unknown error");
  }
}

bool RunWithHandler(const std::function<bool()>& work,
                    const std::function<void(const std::string& description)>& on_error) {
  try {
    return work();
  } catch (...) {
    platform::ComError e = CurrentError();
    on_error(e.description());
    return false;
  }
}

}  // namespace q9::component
