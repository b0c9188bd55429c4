// The built qingcloud-agent reaching the simulator through a real HTTP proxy
// (tinyproxy), chosen by --proxy or kept in the home folder: login tests and
// listings over plain HTTP and over TLS, and proxies that fail.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/canary.h"
#include "testing/program_run.h"
#include "testing/simulator.h"
#include "testing/test_certificate.h"
#include "testing/tinyproxy.h"

namespace {

using testing_support::Program_Result;
using testing_support::Simulator;
using testing_support::Tinyproxy;

constexpr const char* PROXY_PASSWORD = "pr0xy-pa55";

class Agent_Through_Proxy : public ::testing::Test {
 protected:
  void SetUp() override { testing_support::add_canary(PROXY_PASSWORD); }

  // The program with the test's home, CA file and the back-office secret.
  Program_Result agent(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), QINGCLOUD_AGENT_PATH);
    args.insert(args.end(), {"--home", dir.path() + "/home", "--ca-file", certificate.pem_file()});
    Program_Result r = testing_support::run_program(
        args, input, {{"QINGCLOUD_SECRET_ACCESS_KEY", Simulator::BOSS_SECRET}});
    for (const std::string* text : {&r.out, &r.err})
      testing_support::expect_no_canary(*text, "program output");
    return r;
  }

  // Keeps an environment of `platform` (tested on the way, unless not
  // `tested`) and returns its uuid.
  std::string add(const Simulator& platform, bool tls, bool tested = true) {
    std::vector<std::string> args = {"env",
                                     "add",
                                     "--boss-host",
                                     "127.0.0.1",
                                     "--api-host",
                                     "127.0.0.1",
                                     "--port",
                                     std::to_string(platform.port()),
                                     "--access-key-id",
                                     Simulator::BOSS_KEY_ID};
    if (!tls) args.push_back("--no-ssl");
    if (!tested) args.push_back("--no-test");
    Program_Result r = agent(args);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return r.out.substr(0, r.out.find('\n'));
  }

  static qingcloud_sim::Options tls_options(const testing_support::Test_Certificate& c) {
    qingcloud_sim::Options options = Simulator::test_options();
    options.tls_cert = c.cert();
    options.tls_key = c.key();
    return options;
  }

  testing_support::Temp_Dir dir;
  testing_support::Test_Certificate certificate{"IP:127.0.0.1"};
  Simulator plain;
  Simulator tls{tls_options(certificate)};
};

// The home folder's proxy, with credentials, typed on standard input rather
// than given on the command line; TLS goes through CONNECT.
TEST_F(Agent_Through_Proxy, LoginTestsAndListingsGoThroughTheHomesProxy) {
  Tinyproxy proxy({"ops", PROXY_PASSWORD, false});
  ASSERT_TRUE(proxy.running());
  ASSERT_EQ(agent({"config", "set", "proxy", "-"}, proxy.url_with_credentials() + "\n").exit_code,
            0);
  EXPECT_EQ(agent({"config", "show"}).out,
            "proxy http://***@127.0.0.1:" + std::to_string(proxy.port()) + "\n");
  for (Simulator* platform : {&plain, &tls}) {
    const bool over_tls = platform == &tls;
    SCOPED_TRACE(over_tls ? "TLS" : "plain HTTP");
    const std::string uuid = add(*platform, over_tls);
    const Program_Result login = agent({"login-test", uuid});
    EXPECT_EQ(login.exit_code, 0) << login.out << login.err;
    const Program_Result listed =
        agent({"ls", uuid, "--view", "vms", "--type", "Zone", "--moid", "pek3a"});
    EXPECT_EQ(listed.exit_code, 0) << listed.err;
    EXPECT_NE(listed.out.find("web-01"), std::string::npos) << listed.out;
    // env add's login test, then login-test's and the listing's logins.
    EXPECT_EQ(platform->requests("DescribeZones"), 3u);
  }
  const std::string log = proxy.log();
  EXPECT_NE(log.find("POST http://127.0.0.1:" + std::to_string(plain.port()) + "/boss2/"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("CONNECT 127.0.0.1:" + std::to_string(tls.port())), std::string::npos) << log;

  EXPECT_EQ(agent({"config", "unset", "proxy"}).exit_code, 0);
  EXPECT_EQ(agent({"config", "show"}).out, "proxy (none: the environment's)\n");
}

// --proxy wins over the home folder's; a proxy that refuses or is down is
// the platform out of reach (the network error), its message naming it.
TEST_F(Agent_Through_Proxy, AProxyThatRefusesOrIsDownIsANetworkError) {
  Tinyproxy refusing({"", "", true});
  ASSERT_TRUE(refusing.running());
  int down_port = 0;
  {
    Tinyproxy gone;
    down_port = gone.port();
  }
  const std::string down = "http://127.0.0.1:" + std::to_string(down_port);
  ASSERT_EQ(agent({"config", "set", "proxy", refusing.url()}).exit_code, 0);
  const std::string uuid = add(tls, true, false);  // the proxy refuses its test
  for (const std::string& through : {std::string(), down}) {
    std::vector<std::string> args = {"login-test", uuid, "--verbose"};
    if (!through.empty()) args.insert(args.end(), {"--proxy", through});
    const Program_Result r = agent(args);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.out.find("network error"), std::string::npos) << r.out;
    const std::string named = through.empty() ? refusing.url() : down;
    EXPECT_NE(r.err.find("through proxy " + named), std::string::npos) << r.err;
  }
  EXPECT_EQ(tls.requests("DescribeZones"), 0u);
  EXPECT_EQ(agent({"login-test", uuid, "--proxy", "socks5://127.0.0.1:1"}).err,
            "qingcloud-agent login-test: unusable proxy: only http:// proxies are supported\n");
}

// A password on the command line is in the process list, where every local
// user can read it: refused, with the ways that keep it off.
TEST_F(Agent_Through_Proxy, APasswordOnTheCommandLineIsRefused) {
  const std::string with_password = std::string("http://ops:") + PROXY_PASSWORD + "@127.0.0.1:3128";
  const std::string safe_ways =
      " holds a password, which every local user can read in the process list; give the "
      "address with `qingcloud-agent config set proxy -` (read from standard input) or in the "
      "environment's https_proxy and http_proxy instead\n";
  const struct {
    std::vector<std::string> args;
    std::string error;
  } cases[] = {
      {{"login-test", "x", "--proxy", with_password}, "login-test: --proxy"},
      {{"config", "set", "proxy", with_password}, "config: the proxy address"},
  };
  for (const auto& c : cases) {
    const Program_Result r = agent(c.args);
    EXPECT_EQ(r.exit_code, 2) << c.error;
    EXPECT_EQ(r.err, "qingcloud-agent " + c.error + safe_ways);
  }
  EXPECT_EQ(agent({"config", "show"}).out, "proxy (none: the environment's)\n");
}

}  // namespace
