#include "testing/canary.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "support/log.h"
#include "testing/exception_text.h"
#include "testing/log_capture.h"

namespace testing_support {
namespace {

TEST(Canary, ASecretInAnyWatchedTextFailsTheTest) {
  add_canary("canary-secret-4711");
  EXPECT_NONFATAL_FAILURE(QC_LOG_ERROR("Failed with key %s.\n", "canary-secret-4711"),
                          "shows in the log line");
  EXPECT_NONFATAL_FAILURE(
      {
        Log_Capture log;
        QC_LOG_ERROR("Failed with key %s.\n", "xx canary-secret-4711 xx");
      },
      "shows in the log line");
  EXPECT_NONFATAL_FAILURE(
      exception_text([] { throw std::runtime_error("bad key canary-secret-4711"); }),
      "shows in the exception text");
  expect_no_canary("canary-secret-471", "text");  // a part of it is no leak

  int id = add_canary_source([] { return std::vector<std::string>{"late-canary-0815"}; });
  EXPECT_NONFATAL_FAILURE(expect_no_canary("answer: late-canary-0815", "JSON-RPC answer"),
                          "JSON-RPC answer");
  remove_canary_source(id);
  expect_no_canary("answer: late-canary-0815", "JSON-RPC answer");
}

}  // namespace
}  // namespace testing_support
