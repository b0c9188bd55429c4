#include "tools/qingcloud_sim/filters.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "tools/qingcloud_sim/api_error.h"
#include "tools/qingcloud_sim/params.h"

namespace qingcloud_sim {
namespace {

bool text_less(std::string_view a, std::string_view b) {
  return a < b;
}

bool has_text(const std::vector<std::string>& sorted, std::string_view text) {
  return std::binary_search(sorted.begin(), sorted.end(), text,
                            [](std::string_view a, std::string_view b) { return a < b; });
}

}  // namespace

bool contains_ignoring_case(std::string_view text, std::string_view word) {
  if (word.empty()) return true;
  auto same = [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  };
  return std::search(text.begin(), text.end(), word.begin(), word.end(), same) != text.end();
}

Record_Filter::Record_Filter(const std::vector<Filter_Field>& fields, const Params& params) {
  for (const Filter_Field& field : fields) {
    std::vector<std::string> values = params.list(field.param);
    if (values.empty()) continue;
    Condition c;
    c.match = field.match;
    c.key = field.key ? field.key : "";
    if (!c.key.empty() && !Record::indexed(c.key))
      throw std::logic_error("filter on the member '" + c.key + "', which is not indexed");
    if (field.match == Match::INTEGER) {
      c.numbers = params.integer_list(field.param);
      std::sort(c.numbers.begin(), c.numbers.end());
    } else if (field.match == Match::SEARCH) {
      c.texts.push_back(values.front());
    } else {
      std::sort(values.begin(), values.end(), text_less);
      c.texts = std::move(values);
    }
    key_ += field.param;
    key_ += '=';
    for (const std::string& t : c.texts)
      key_.append(t).append(1, '\x1f');
    for (std::int64_t n : c.numbers)
      key_.append(std::to_string(n)).append(1, '\x1f');
    key_ += '\x1e';
    conditions_.push_back(std::move(c));
  }
}

bool Record_Filter::holds(const Condition& c, const Record& record) const {
  switch (c.match) {
    case Match::TEXT:
      return has_text(c.texts, record.text(c.key));
    case Match::INTEGER: {
      if (!record.has_integer(c.key)) return false;
      return std::binary_search(c.numbers.begin(), c.numbers.end(), record.integer(c.key));
    }
    case Match::ID:
      return has_text(c.texts, record.id());
    case Match::NOT_ID:
      return !has_text(c.texts, record.id());
    case Match::SEARCH:
      return contains_ignoring_case(record.id(), c.texts.front()) ||
             contains_ignoring_case(record.text(c.key), c.texts.front());
  }
  return false;
}

bool Record_Filter::operator()(const Record& record) const {
  for (const Condition& c : conditions_)
    if (!holds(c, record)) return false;
  return true;
}

}  // namespace qingcloud_sim
