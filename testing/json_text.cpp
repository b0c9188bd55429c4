#include "testing/json_text.h"

#include <gtest/gtest.h>

#include "host/json_spirit/reader.h"
#include "testing/shared_data.h"

namespace testing_support {

json_spirit::Value json_value(std::string_view text) {
  json_spirit::Value value;
  std::string error;
  EXPECT_TRUE(json_spirit::read(text, value, &error)) << error << "\n" << text;
  return value;
}

json_spirit::Value reply_element(const std::string& sample, const std::string& member,
                                 std::size_t index) {
  json_spirit::Value reply = json_value(read_file(shared_dir() + "/testdata/qingcloud/" + sample));
  if (reply.type() == json_spirit::obj_type) {
    auto it = reply.get_obj().find(member);
    if (it != reply.get_obj().end() && it->second.type() == json_spirit::array_type &&
        index < it->second.get_array().size()) {
      return it->second.get_array()[index];
    }
  }
  ADD_FAILURE() << sample << " has no " << member << "[" << index << "]";
  return json_spirit::Value();
}

}  // namespace testing_support
