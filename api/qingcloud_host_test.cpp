#include "api/qingcloud_host.h"

#include <gtest/gtest.h>

#include "testing/exception_text.h"
#include "testing/json_text.h"

namespace qingcloud {
namespace {

using testing_support::exception_text;
using testing_support::json_value;

TEST(Host, DiskFiguresAreReadOnlyWithTheFlag) {
  const json_spirit::Value without_disk =
      json_value(R"({"host_machine": "sh1br08n02", "container_mode": "kvm", "status": "active"})");
  Host host;
  host.load_from_api_or_throw(without_disk);
  EXPECT_EQ(host.id, "sh1br08n02");
  EXPECT_EQ(host.container_mode, "kvm");
  EXPECT_EQ(host.free_disk, 0.0);
  EXPECT_EQ(host.used_disk, 0.0);
  EXPECT_EQ(host.disk_usage, 0.0);

  Host with_flag;
  EXPECT_EQ(
      exception_text([&] { with_flag.load_from_api_or_throw(without_disk, Host::WITH_DISK_INFO); }),
      "key 'free_disk' not found");

  Host with_disk;
  with_disk.load_from_api_or_throw(json_value(R"({"host_machine": "sh1br08n03",
      "container_mode": "kvm", "free_disk": 2048.0, "used_disk": 1024.5, "disk_usage": 0.333})"),
                                   Host::WITH_DISK_INFO);
  EXPECT_DOUBLE_EQ(with_disk.free_disk, 2048.0);
  EXPECT_DOUBLE_EQ(with_disk.used_disk, 1024.5);
  EXPECT_DOUBLE_EQ(with_disk.disk_usage, 0.333);
}

}  // namespace
}  // namespace qingcloud
