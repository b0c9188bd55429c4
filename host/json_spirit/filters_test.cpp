#include "host/json_spirit/filters.h"

#include <vector>

#include <gtest/gtest.h>

namespace json_spirit {
namespace {

TEST(Filters, KeepOnlyElementsOfTheirKindInOrder) {
  Array a{"vol-1", 7, Object{{"vxnet_id", "vxnet-a"}}, "vol-2", Value(), Object{}};
  std::vector<std::string> strings;
  for (const std::string& s : a | get_str)
    strings.push_back(s);
  EXPECT_EQ(strings, (std::vector<std::string>{"vol-1", "vol-2"}));

  std::vector<std::size_t> sizes;
  for (const Object& o : a | get_obj)
    sizes.push_back(o.size());
  EXPECT_EQ(sizes, (std::vector<std::size_t>{1, 0}));
  EXPECT_TRUE(boost::empty(Array{} | get_str));
}

}  // namespace
}  // namespace json_spirit
