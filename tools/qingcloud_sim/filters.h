#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/qingcloud_sim/records.h"

namespace qingcloud_sim {

class Params;

// How one request parameter narrows a describe call.
enum class Match {
  TEXT,     // the record's string member `key` ("a.b": b inside a) is one of the values
  INTEGER,  // the record's integer member `key` is one of the values
  ID,       // the record's id is one of the values
  NOT_ID,   // the record's id is none of the values
  SEARCH,   // the value occurs, ignoring case, in the id or in the member `key`
};

struct Filter_Field {
  const char* param;
  Match match;
  const char* key = nullptr;  // an indexed member (see Record::indexed)
};

// The conditions of one describe call: every field whose parameter is given
// (as a value or a non-empty list) must hold.  Reading a malformed value
// throws Api_Error (1100).
class Record_Filter {
 public:
  Record_Filter(const std::vector<Filter_Field>& fields, const Params& params);

  bool operator()(const Record& record) const;

  // Equal for two calls whose conditions are equal; tells cached results apart.
  const std::string& key() const { return key_; }

 private:
  struct Condition {
    Match match;
    std::string key;
    std::vector<std::string> texts;  // sorted
    std::vector<std::int64_t> numbers;
  };

  bool holds(const Condition& c, const Record& record) const;

  std::vector<Condition> conditions_;
  std::string key_;
};

// True when `word` occurs in `text`, ASCII letters compared without case.
bool contains_ignoring_case(std::string_view text, std::string_view word);

}  // namespace qingcloud_sim
