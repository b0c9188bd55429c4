#pragma once

#include <string>
#include <string_view>

#include "host/json_spirit/value.h"

namespace testing_support {

// The value of a JSON text written in a test; fails the current test (and
// gives null) when the text does not parse.
json_spirit::Value json_value(std::string_view text);

// The element `index` of the array `member` of a platform reply sample in the
// shared test data, e.g. reply_element("DescribeInstances.json",
// "instance_set", 0); null (and a failed test) when it is not there.
json_spirit::Value reply_element(const std::string& sample, const std::string& member,
                                 std::size_t index);

}  // namespace testing_support
