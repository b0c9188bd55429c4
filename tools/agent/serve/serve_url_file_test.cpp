// The serve-url file: private, read back whole, removed only by its writer.
#include "tools/agent/serve/serve_url_file.h"

#include <string>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "testing/program_run.h"

namespace {

TEST(Serve_Url_File, IsPrivateAndRemovedOnlyByItsWriter) {
  testing_support::Temp_Dir home;
  std::string error;
  secure_string url;
  bool missing = false;
  ASSERT_TRUE(read_serve_url(home.path(), url, missing, error)) << error;
  EXPECT_TRUE(missing);

  ASSERT_TRUE(write_serve_url(home.path(), "http://127.0.0.1:1/#token=a", error)) << error;
  struct stat st;
  ASSERT_EQ(::stat(serve_url_path(home.path()).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_TRUE(read_serve_url(home.path(), url, missing, error)) << error;
  EXPECT_FALSE(missing);
  EXPECT_EQ(std::string(url.data(), url.size()), "http://127.0.0.1:1/#token=a");

  // A later serve on the same home wrote its own: the earlier one leaves it.
  ASSERT_TRUE(write_serve_url(home.path(), "http://127.0.0.1:2/#token=b", error)) << error;
  ASSERT_TRUE(remove_serve_url(home.path(), "http://127.0.0.1:1/#token=a", error)) << error;
  ASSERT_TRUE(read_serve_url(home.path(), url, missing, error)) << error;
  EXPECT_FALSE(missing);
  ASSERT_TRUE(remove_serve_url(home.path(), "http://127.0.0.1:2/#token=b", error)) << error;
  ASSERT_TRUE(read_serve_url(home.path(), url, missing, error)) << error;
  EXPECT_TRUE(missing);
}

}  // namespace
