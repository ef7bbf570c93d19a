// The condition readers the ledger flows run on the loaded condition document.
#pragma once

#include <cstdint>
#include <functional>

#include "condition/condition_state.h"
#include "platform/xml/document.h"

namespace q9::ledger {

// Reads the condition document into the condition state; raises ComError when the document
// lacks what the reader needs. The component binds the account object the reader consults.
using ConditionReader =
    std::function<void(const platform::xml::Document&, condition::ConditionState&)>;

// Both readers must be set.
struct ConditionReaders {
  ConditionReader stock;     // ledger kinds 0 and 1, and every kind outside 0..2
  ConditionReader position;  // ledger kind 2

  // The reader of ledger kind `kind`: the position reader for 2, the stock reader otherwise.
  const ConditionReader& For(int16_t kind) const { return kind == 2 ? position : stock; }
};

}  // namespace q9::ledger
