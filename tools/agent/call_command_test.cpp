// qingcloud-agent call against a scripted server on 127.0.0.1.
#include "tools/agent/call_command.h"

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "host/http/http_tls_context.h"
#include "testing/scripted_http_server.h"
#include "testing/signature_check.h"
#include "testing/test_certificate.h"

namespace {

using testing_support::Scripted_Reply;

const char* const SECRET = "CALL-SECRET-CANARY";

// Runs the command with its output caught in memory.
struct Call_Run {
  int exit_code = -1;
  std::string out;
  std::string err;
};

Call_Run run(const Command_Args& args, const char* secret = SECRET) {
  Call_Run r;
  char* out_buf = nullptr;
  char* err_buf = nullptr;
  std::size_t out_len = 0;
  std::size_t err_len = 0;
  Call_IO io;
  io.out = open_memstream(&out_buf, &out_len);
  io.err = open_memstream(&err_buf, &err_len);
  io.terminal = -1;
  io.getenv = [secret](const char* name) -> const char* {
    return std::string(name) == "QINGCLOUD_SECRET_ACCESS_KEY" ? secret : nullptr;
  };
  r.exit_code = run_call(args, io);
  std::fclose(io.out);
  std::fclose(io.err);
  r.out.assign(out_buf, out_len);
  r.err.assign(err_buf, err_len);
  std::free(out_buf);
  std::free(err_buf);
  EXPECT_EQ(r.out.find(SECRET), std::string::npos);
  EXPECT_EQ(r.err.find(SECRET), std::string::npos);
  return r;
}

class Call_Command : public ::testing::Test {
 protected:
  Command_Args args(std::initializer_list<std::string> rest) const {
    Command_Args a{"--host",   "127.0.0.1",       "--port", std::to_string(server_.port()),
                   "--no-ssl", "--access-key-id", "AK"};
    a.insert(a.end(), rest.begin(), rest.end());
    return a;
  }

  testing_support::Scripted_HTTP_Server server_;
};

TEST_F(Call_Command, PrintsTheReplyOfASignedGet) {
  server_.script(Scripted_Reply::json(R"({"ret_code":0,"zone_set":[{"zone_id":"pek3"}]})"));
  Call_Run r = run(args({"DescribeZones", "zone=pek3", "status:=[\"active\"]", "limit:=10"}));
  EXPECT_EQ(r.exit_code, EXIT_OK) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "{\n  \"ret_code\": 0,\n  \"zone_set\": [\n    {\n      \"zone_id\": \"pek3\"\n    }\n"
            "  ]\n}\n");

  auto got = server_.received();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].method, "GET");
  EXPECT_EQ(got[0].path, "/iaas/");
  auto verdict = testing_support::check_signature("GET", "/iaas/", got[0].query, SECRET);
  EXPECT_TRUE(verdict.accepted) << verdict.reason;
  auto form = testing_support::decode_form(got[0].query);
  EXPECT_EQ(form["action"], "DescribeZones");
  EXPECT_EQ(form["status.1"], "active");
  EXPECT_EQ(form["limit"], "10");
  EXPECT_EQ(form["version"], "1");
  EXPECT_EQ(form["signature_version"], "1");
  EXPECT_EQ(form["signature_method"], "HmacSHA256");
  EXPECT_EQ(form["access_key_id"], "AK");
}

TEST_F(Call_Command, BossCallsArePostedToTheBackOffice) {
  Call_Run r = run(args({"--boss", "DescribeUsers", "limit:=5"}));
  EXPECT_EQ(r.exit_code, EXIT_OK) << r.err;
  auto got = server_.received();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].method, "POST");
  EXPECT_EQ(got[0].path, "/boss2/");
  auto verdict = testing_support::check_signature("POST", "/boss2/", got[0].body, SECRET);
  EXPECT_TRUE(verdict.accepted) << verdict.reason;
  EXPECT_EQ(testing_support::decode_form(got[0].body)["params"],
            R"({"action":"DescribeUsers","limit":5,"signature_method":"HmacSHA256",)"
            R"("signature_version":1,"version":1})");
}

TEST_F(Call_Command, FailuresGetOneLineAndAnExitCode) {
  server_.script(Scripted_Reply::json(R"({"ret_code":1400,"message":"PermissionDenied"})"));
  Call_Run api = run(args({"DescribeZones"}));
  EXPECT_EQ(api.exit_code, EXIT_FAILED);
  EXPECT_EQ(api.out, "");
  EXPECT_EQ(api.err, "qingcloud-agent call: error 1400: PermissionDenied\n");

  server_.script(Scripted_Reply::not_json("oops"));
  Call_Run internal = run(args({"DescribeZones"}));
  EXPECT_EQ(internal.exit_code, EXIT_FAILED);
  EXPECT_EQ(internal.err,
            "qingcloud-agent call: internal error (-1): Invalid JSON reply from "
            "'http://127.0.0.1:" +
                std::to_string(server_.port()) + "/iaas/': syntax error at offset 0\n");

  unsigned short closed_port = 0;
  {
    testing_support::Scripted_HTTP_Server gone;
    closed_port = gone.port();
  }
  Call_Run refused = run({"--host", "127.0.0.1", "--port", std::to_string(closed_port), "--no-ssl",
                          "--access-key-id", "AK", "DescribeZones"});
  EXPECT_EQ(refused.exit_code, EXIT_FAILED);
  const std::string head =
      "qingcloud-agent call: network error (-2): HTTP exchange with "
      "'http://127.0.0.1:" +
      std::to_string(closed_port) + "/iaas/' failed: ";
  EXPECT_EQ(refused.err.rfind(head, 0), 0u) << refused.err;
  EXPECT_EQ(refused.err.find('\n'), refused.err.size() - 1) << "one line";

  Call_Run no_secret = run(args({"DescribeZones"}), nullptr);
  EXPECT_EQ(no_secret.exit_code, EXIT_BAD_USAGE);
  EXPECT_EQ(no_secret.err,
            "qingcloud-agent call: no secret access key: set "
            "QINGCLOUD_SECRET_ACCESS_KEY or give --secret-file\n");

  Call_Run bad = run(args({"DescribeZones", "limit:=x"}));
  EXPECT_EQ(bad.exit_code, EXIT_BAD_USAGE);
  EXPECT_EQ(bad.err,
            "qingcloud-agent call: the value of limit is not JSON (syntax error at "
            "offset 0) (see qingcloud-agent call --help)\n");

  Call_Run no_ca = run(args({"--ca-file", "/nonexistent/ca.pem", "DescribeZones"}));
  EXPECT_EQ(no_ca.exit_code, EXIT_BAD_USAGE);
  EXPECT_EQ(no_ca.err,
            "qingcloud-agent call: cannot read CA file /nonexistent/ca.pem: No such file or "
            "directory\n");

  Call_Run bad_host = run({"--host", "a b", "--no-ssl", "--access-key-id", "AK", "DescribeZones"});
  EXPECT_EQ(bad_host.exit_code, EXIT_BAD_USAGE);
  EXPECT_EQ(bad_host.err,
            "qingcloud-agent call: cannot use a b: Failed to create HTTP session "
            "for 'a b' port 80: not a valid host name or address\n");
  EXPECT_EQ(server_.received().size(), 2u);
}

TEST(Call_Command_TLS, TrustsTheCaFileItIsGiven) {
  testing_support::Test_Certificate cert("IP:127.0.0.1");
  testing_support::Scripted_HTTP_Server server(cert);
  const std::string saved = HTTP_TLS_Context::default_ca_file();
  Call_Run r = run({"--host", "127.0.0.1", "--port", std::to_string(server.port()), "--ssl",
                    "--ca-file", cert.pem_file(), "--access-key-id", "AK", "DescribeZones"});
  HTTP_TLS_Context::set_default_ca_file(saved);
  EXPECT_EQ(r.exit_code, EXIT_OK) << r.err;
  EXPECT_EQ(server.received().size(), 1u);
}

}  // namespace
