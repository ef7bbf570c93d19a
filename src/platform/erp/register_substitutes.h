// Registers the ERP substitutes under the ERP's ProgIDs, so CreateObject finds them.
#pragma once

namespace q9::platform::erp {

// Idempotent; a program (and each test binary) calls it once before using the component.
void RegisterErpSubstitutes();

}  // namespace q9::platform::erp
