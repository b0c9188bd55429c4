#include "json/pextract.h"

#include <gtest/gtest.h>

#include "host/json_spirit/reader.h"
#include "testing/exception_text.h"

namespace qingcloud {
namespace {

using json_spirit::Value;

class Pextract : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(json_spirit::read(R"({
      "status": "running", "vcpus_current": 2, "volume_ids": ["vol-1"],
      "extra": {"cpu_model": "Westmere", "os_disk_size": 20},
      "image": {"image_id": "img-1"} })",
                                  doc));
  }

  Value doc;
};

TEST_F(Pextract, ReadsByPathAndMovesTheRoot) {
  std::string status, model, image;
  int cpu = 0;
  std::uint64_t disk = 0;
  const json_spirit::Array* volumes = nullptr;
  auto px = pextract_or_throw(doc);
  px("/status", status)("/vcpus_current", cpu)("/volume_ids", volumes);
  px.chroot("/extra")("/cpu_model", model)("/os_disk_size", disk);
  EXPECT_EQ(px.root_path(), "/extra");
  px.chroot_abs("/image")("/image_id", image);
  EXPECT_EQ(px.root_path(), "/image");
  EXPECT_EQ(status, "running");
  EXPECT_EQ(cpu, 2);
  EXPECT_EQ(volumes->size(), 1u);
  EXPECT_EQ(model, "Westmere");
  EXPECT_EQ(disk, 20u);
  EXPECT_EQ(image, "img-1");
  px.no_chroot()("/status", status);
  EXPECT_EQ(px.root_path(), "");
}

TEST_F(Pextract, MessagesCarryTheFullPath) {
  std::string s;
  int n = 0;
  EXPECT_EQ(testing_support::exception_text([&] { pextract_or_throw(doc)("/missing", s); }),
            "JSON Pointer path '/missing' not exist in JSON!");
  // Another kind counts as not existing.
  EXPECT_EQ(testing_support::exception_text([&] { pextract_or_throw(doc)("/status", n); }),
            "JSON Pointer path '/status' not exist in JSON!");
  EXPECT_EQ(testing_support::exception_text(
                [&] { pextract_or_throw(doc).chroot("/extra")("/cpu_topology", s); }),
            "JSON Pointer path '/extra/cpu_topology' not exist in JSON!");
  EXPECT_EQ(testing_support::exception_text(
                [&] { pextract_or_throw(doc).chroot("/extra").chroot("/nested"); }),
            "JSON Pointer path '/extra/nested' not exist in JSON!");
  EXPECT_EQ(testing_support::exception_text(
                [&] { pextract_or_throw(doc).chroot("/extra").chroot_abs("/img"); }),
            "JSON Pointer path '/img' not exist in JSON!");
}

TEST_F(Pextract, WithoutThrowAFailedChrootSkipsReadsUntilAChrootSucceeds) {
  std::string model = "unset", image = "unset", status = "unset";
  auto px = pextract(doc);
  px.chroot("/nowhere");
  EXPECT_TRUE(px.flags() & FG_BRK_UNT_CHROOT);
  px("/cpu_model", model);
  px.chroot("/extra");  // still below the unreachable root
  px("/cpu_model", model);
  EXPECT_EQ(model, "unset");
  px.chroot_abs("/image")("/image_id", image);
  EXPECT_FALSE(px.flags() & FG_BRK_UNT_CHROOT);
  EXPECT_EQ(image, "img-1");
  px("/absent", status);  // a plain failed read is skipped quietly
  EXPECT_EQ(status, "unset");
}

}  // namespace
}  // namespace qingcloud
