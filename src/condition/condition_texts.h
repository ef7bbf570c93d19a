// The condition options as a person types them (the command line's options, the web page's
// fields), checked and turned into ConditionOptions. Every message names the option by its
// command-line name ("--from ...").
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "condition/condition_document.h"

namespace q9::condition {

struct ConditionTexts {
  std::optional<std::string> from;  // YYYY-MM-DD
  std::optional<std::string> to;
  bool audit_dates = false;
  std::string warehouses;  // codes separated by ","
  std::string inv_class;   // FROM[:TO]
  std::string inventory;
  std::string spec;
  std::string assunit = "1";
  std::string standard = "all";  // a name or its alias
  std::string batch;
  std::string position;
  bool audited_only = false;
  std::vector<std::string> free;    // I=FROM[:TO], I from 1 to kFreeItems
  std::vector<std::string> define;  // I=FROM[:TO], I from 1 to kDefineItems
};

// The options `texts` give; platform::OptionError naming the first bad one (a date that is no
// date, --from after --to, a value longer than kMaxValueLength, a range with two colons, an
// auxiliary unit outside 1 to 99, an unknown standard, an item number out of range).
ConditionOptions ParseConditionTexts(const ConditionTexts& texts);

}  // namespace q9::condition
