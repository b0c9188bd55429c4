// The built qingcloud-agent against the simulator: its home folder, the
// environment store and the plug-in's handlers reached through dlopen.
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>

#include "host/json_spirit/object_get.h"
#include "host/json_spirit/reader.h"
#include "host/json_spirit/writer.h"
#include "testing/canary.h"
#include "testing/json_text.h"
#include "testing/program_run.h"
#include "testing/scripted_http_server.h"
#include "testing/simulator.h"

namespace {

using json_spirit::Value;
using testing_support::json_value;
using testing_support::Program_Result;
using testing_support::run_program;
using testing_support::Simulator;

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

mode_t mode_of(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

class Agent_Program : public testing_support::Simulator_Test {
 protected:
  void SetUp() override {
    Simulator_Test::SetUp();
    const Program_Result added = agent(
        {"env", "add", "--boss-host", sim().host(), "--api-host", "api.example.invalid", "--port",
         std::to_string(sim().port()), "--no-ssl", "--access-key-id", Simulator::BOSS_KEY_ID});
    ASSERT_EQ(added.exit_code, 0) << added.err;
    uuid = lines_of(added.out).at(0);
    sim().reset_stats();  // of the login test that came before keeping it
  }

  // The program with the test's home and the back-office secret.
  Program_Result agent(std::vector<std::string> args, const std::string& input = "",
                       const std::string& secret = Simulator::BOSS_SECRET) {
    args.insert(args.begin(), QINGCLOUD_AGENT_PATH);
    args.insert(args.end(), {"--home", home()});
    Program_Result r = run_program(args, input, {{"QINGCLOUD_SECRET_ACCESS_KEY", secret}});
    testing_support::expect_no_canary(r.out, "program output");
    testing_support::expect_no_canary(r.err, "program output");
    return r;
  }

  std::string home() const { return dir.path() + "/home"; }

  // `serve` on the test's home, in the background, and the address it
  // printed (http://127.0.0.1:PORT/#token=TOKEN).
  std::string start_serve(std::unique_ptr<testing_support::Started_Program>& serve) {
    int out[2];
    EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
    serve = std::make_unique<testing_support::Started_Program>(
        std::vector<std::string>{QINGCLOUD_AGENT_PATH, "serve", "--home", home()},
        testing_support::Started_Program::Streams{-1, out[1], -1});
    ::close(out[1]);
    const std::string url = testing_support::read_until(out[0], "\n");
    ::close(out[0]);
    return url;
  }

  // The settings as kept, the secret encrypted: what the console sends.
  Value kept_settings() {
    std::ifstream in(home() + "/environments.json");
    Value store;
    EXPECT_TRUE(json_spirit::read(
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), store));
    return store.get_obj().at(uuid);
  }

  testing_support::Temp_Dir dir;
  std::string uuid;
};

TEST_F(Agent_Program, KeepsEnvironmentsPrivatelyAndNeverShowsTheSecret) {
  EXPECT_EQ(mode_of(home()), 0700u);
  EXPECT_EQ(mode_of(home() + "/host_key.pem"), 0600u);
  EXPECT_EQ(mode_of(home() + "/environments.json"), 0600u);
  const std::string cipher = kept_settings().get_obj().at("secret_access_key").get_str();
  EXPECT_GT(cipher.size(), 300u);  // RSA-encrypted, base64

  const Program_Result shown = agent({"env", "show", uuid});
  ASSERT_EQ(shown.exit_code, 0);
  Value settings = json_value(shown.out);
  EXPECT_EQ(settings.get_obj().count("secret_access_key"), 0u);
  EXPECT_EQ(settings.get_obj().at("boss_host"), Value(sim().host()));
  const Program_Result listed = agent({"env", "list"});
  for (const Program_Result& r : {shown, listed}) {
    EXPECT_EQ(r.out.find(cipher.substr(0, 40)), std::string::npos);
    EXPECT_EQ(r.out.find(Simulator::BOSS_SECRET), std::string::npos);
  }
  EXPECT_EQ(lines_of(listed.out).size(), 1u);

  EXPECT_EQ(agent({"env", "remove", uuid}).exit_code, 0);
  EXPECT_EQ(agent({"env", "list"}).out, "");
  EXPECT_EQ(agent({"env", "show", uuid}).exit_code, 1);
}

// The console's requests, one a line, each through the plug-in's handler;
// what is not a request is answered and the next line is read.
TEST_F(Agent_Program, AnswersJsonRpcLineByLine) {
  const std::string settings = json_spirit::JSON_Dump(kept_settings(), false).str();
  const std::string input =
      R"({"jsonrpc":"2.0","id":1,"method":"qingcloud.list","params":{"uuid":")" + uuid +
      R"(","subtype":"search","search_type":"Zone","search":"SH"}})" + "\n" + "not json\n" +
      R"({"jsonrpc":"2.0","id":2,"method":"qingcloud.remove","params":{}})" + "\n" +
      R"({"jsonrpc":"2.0","id":3,"method":"qingcloud.login","params":)" + settings + "}\n";
  const Program_Result r = agent({"rpc"}, input);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::vector<std::string> lines = lines_of(r.out);
  ASSERT_EQ(lines.size(), 4u) << r.out;
  EXPECT_EQ(json_value(lines[0]), json_value(R"({"jsonrpc":"2.0","id":1,"result":[
                {"type":"Zone","name":"sh1a","moid":"sh1a","has_children":false}]})"));
  EXPECT_EQ(json_value(lines[1]), json_value(R"({"jsonrpc":"2.0","id":null,
                "error":{"code":-32700,"message":"Parse error","data":null}})"));
  EXPECT_EQ(json_value(lines[2]), json_value(R"({"jsonrpc":"2.0","id":2,
                "error":{"code":-32601,"message":"Method not found","data":null}})"));
  EXPECT_EQ(json_value(lines[3]),
            json_value(R"({"jsonrpc":"2.0","id":3,"result":{"status":true}})"));
  EXPECT_EQ(sim().requests("DescribeZones"), 2u);
}

TEST_F(Agent_Program, CommandsReportTheirOutcomeInTheExitCode) {
  struct Case {
    std::vector<std::string> args;
    std::string secret;
    int exit_code;
    std::string out;  // the first line, when given
    std::string err;  // the first error line, when given
  };
  const std::string port = std::to_string(sim().port());
  const Case cases[] = {
      {{"login-test", uuid}, Simulator::BOSS_SECRET, 0, "{", ""},
      {{"login-test", "--boss-host", sim().host(), "--api-host", "x", "--port", port, "--no-ssl",
        "--access-key-id", Simulator::BOSS_KEY_ID},
       "not-the-secret",
       1,
       "{",
       ""},
      {{"ls", "no-such-uuid"}, "", 1, "", "qingcloud-agent ls: no environment no-such-uuid"},
      {{"ls", uuid, "--type", "User"},
       "",
       1,
       "",
       "qingcloud-agent ls: error -32603: Failed to list qingcloud resources"},
      {{"ls", uuid, "--type", "Zone", "--moid", "pek3a", "--table"},
       "",
       0,
       "HostSystem pek3ar01n01 zone=pek3a",
       ""},
      {{"search", uuid, "--type", "VirtualMachine", "jump", "--table"},
       "",
       0,
       "VirtualMachine jump-host (i-9bv7ul3m) owner=usr-ops00001 status=running size=20 GiB "
       "host=pek3ar01n02 zone=pek3a",
       ""},
      {{"tree", uuid, "--depth", "0"}, "", 0, "Zone pek3a", ""},
      {{"ls"}, "", 2, "", ""},
      {{"tree", uuid, "--depth", "deep"}, "", 2, "", ""},
      {{"tree", uuid, "--jobs", "0"}, "", 2, "", ""},
      {{"tree", uuid, "--jobs", "65"}, "", 2, "", ""},
      {{"tree", uuid, "--jobs", "-1"}, "", 2, "", ""},
      {{"env", "add", "--api-host", "x", "--access-key-id", "K"}, "s", 2, "", ""},
      {{"env", "add", "--boss-host", "b", "--api-host", "x", "--access-key-id", "K", "--secret",
        "s"},
       "s",
       2,
       "",
       ""},
      {{"search", uuid, "--bogus"}, "", 2, "", ""},
  };
  for (const Case& c : cases) {
    std::string what;
    for (const std::string& a : c.args)
      what += a + " ";
    SCOPED_TRACE(what);
    const Program_Result r = agent(c.args, "", c.secret);
    EXPECT_EQ(r.exit_code, c.exit_code) << r.err;
    const std::vector<std::string> out = lines_of(r.out), err = lines_of(r.err);
    if (!c.out.empty()) {
      ASSERT_FALSE(out.empty());
      EXPECT_EQ(out[0], c.out);
    }
    if (!c.err.empty()) {
      ASSERT_FALSE(err.empty());
      EXPECT_EQ(err[0], c.err);
    }
    if (c.exit_code == 2) {
      EXPECT_EQ(err.size(), 1u) << r.err;
    }
  }
  // The depth-0 tree is the zones alone.
  EXPECT_EQ(lines_of(agent({"tree", uuid, "--depth", "0"}).out),
            (std::vector<std::string>{"Zone pek3a", "Zone sh1a"}));
}

// Nodes expanded side by side print the same tree as one after the other,
// failed branches included.
// A failure says why without --verbose: the handler's message, then what
// the host made of the plug-in's log; a mistake on the command line is named
// in one line before anything is sent.
TEST_F(Agent_Program, FailuresSayWhyWithoutVerbose) {
  int closed_port = 0;
  {
    testing_support::Scripted_HTTP_Server gone;
    closed_port = gone.port();
  }
  const std::string nowhere =
      lines_of(agent({"env", "add", "--boss-host", "127.0.0.1", "--api-host", "127.0.0.1", "--port",
                      std::to_string(closed_port), "--no-ssl", "--access-key-id", "K", "--no-test"})
                   .out)
          .at(0);
  const std::vector<std::string> to_sim = {"env",
                                           "add",
                                           "--boss-host",
                                           sim().host(),
                                           "--api-host",
                                           "x",
                                           "--port",
                                           std::to_string(sim().port()),
                                           "--no-ssl",
                                           "--access-key-id",
                                           Simulator::BOSS_KEY_ID};
  const struct {
    std::vector<std::string> args;
    std::string secret;
    int exit_code;
    std::vector<std::string> err;  // its lines, or their beginnings
  } cases[] = {
      {{"ls", nowhere},
       "",
       1,
       {"qingcloud-agent ls: error -32603: Failed to login qingcloud",
        "qingcloud-agent ls: nothing listens at 127.0.0.1:" + std::to_string(closed_port)}},
      {to_sim,
       "not-the-secret",
       1,
       {"qingcloud-agent env: the login test failed: ",
        "qingcloud-agent env: the platform does not know the access key id",
        "qingcloud-agent env: nothing was kept; --no-test keeps settings"}},
      {{"env", "add", "--boss-host", "https://boss.example.com", "--api-host", "a",
        "--access-key-id", "K"},
       "s",
       2,
       {"qingcloud-agent env: --boss-host takes a host name or address, not a URL"}},
      {{"env", "add", "--boss-host", "b", "--api-host", "a:8443", "--access-key-id", "K"},
       "s",
       2,
       {"qingcloud-agent env: --api-host takes a host name or address, not a port"}},
      {{"ls", uuid, "--type", "HostSystem", "--moid", "pek3ar01n01"},
       "",
       2,
       {"qingcloud-agent ls: --type HostSystem lists what lies in one zone: --zone is needed"}},
      {{"lst"}, "", 2, {"qingcloud-agent: no command 'lst' (see qingcloud-agent --help)"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.at(0) + " " + (c.args.size() > 1 ? c.args[1] : ""));
    const Program_Result r = agent(c.args, "", c.secret);
    EXPECT_EQ(r.exit_code, c.exit_code) << r.err;
    const std::vector<std::string> err = lines_of(r.err);
    ASSERT_EQ(err.size(), c.err.size()) << r.err;
    for (std::size_t i = 0; i < err.size(); ++i)
      EXPECT_EQ(err[i].rfind(c.err[i], 0), 0u) << err[i];
  }
  // The settings that failed their test were not kept; untested, they are.
  EXPECT_EQ(lines_of(agent({"env", "list"}).out).size(), 2u);
  std::vector<std::string> untested = to_sim;
  untested.push_back("--no-test");
  EXPECT_EQ(agent(untested, "", "not-the-secret").exit_code, 0);
  EXPECT_EQ(lines_of(agent({"env", "list"}).out).size(), 3u);

  // Options before the command are named; --opt=value is --opt value.
  EXPECT_EQ(run_program({QINGCLOUD_AGENT_PATH, "--home", home(), "ls", uuid}).err,
            "qingcloud-agent: the command comes first, its options after it, not --home (see "
            "qingcloud-agent --help)\n");
  const Program_Result joined = agent({"ls", uuid, "--type=Zone", "--moid=pek3a", "--table"});
  EXPECT_EQ(lines_of(joined.out).at(0), "HostSystem pek3ar01n01 zone=pek3a") << joined.err;
}

// Interrupted, tree ends at a line's end with the shell's status for SIGINT.
TEST_F(Agent_Program, TreeInterruptedEndsAtALine) {
  sim().inject(Simulator::Fault::delay(400).on("DescribeInstances"));
  const std::string printed = dir.path() + "/tree.txt";
  const int out = ::open(printed.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  ASSERT_GE(out, 0);
  testing_support::Started_Program tree(
      {QINGCLOUD_AGENT_PATH, "tree", uuid, "--view", "vms", "--jobs", "1", "--home", home()},
      {-1, out, -1});
  ::close(out);
  // The zones are in (and printed, into the buffer) once a zone's instances
  // are asked for; their answer is held back.
  for (int i = 0; i < 500 && sim().requests("DescribeInstances") == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ::kill(tree.pid(), SIGINT);
  EXPECT_EQ(tree.wait(), 130);
  std::ifstream in(printed);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n');
}

TEST_F(Agent_Program, WalksTheSameTreeOnEightJobsAsOnOne) {
  for (const char* view : {"hosts", "vms", "recovery"}) {
    for (bool failing : {false, true}) {
      SCOPED_TRACE(std::string(view) + (failing ? ", volumes failing" : ""));
      sim().clear_faults();
      if (failing) sim().inject(Simulator::Fault::http_status(500).on("DescribeVolumes").forever());
      const Program_Result one = agent({"tree", uuid, "--view", view, "--jobs", "1"});
      const Program_Result eight = agent({"tree", uuid, "--view", view, "--jobs", "8"});
      EXPECT_GT(lines_of(one.out).size(), 10u) << one.err;
      EXPECT_EQ(eight.out, one.out);
      EXPECT_EQ(eight.err, one.err);
      EXPECT_EQ(eight.exit_code, one.exit_code);
      EXPECT_EQ(one.exit_code, failing && std::string(view) != "recovery" ? 1 : 0) << one.err;
    }
  }
}

// What arrives from outside, at its worst: each line gets a clear answer and
// the next line is read.
TEST_F(Agent_Program, GivesBadInputAClearAnswer) {
  auto settings_with = [this](const char* key, const Value& value) {
    Value s = kept_settings();
    s.get_obj()[key] = value;
    return json_spirit::JSON_Dump(s, false).str();
  };
  auto call = [](const std::string& method, const std::string& params) {
    return R"({"jsonrpc":"2.0","id":1,"method":")" + method + R"(","params":)" + params + "}";
  };
  const std::string list = "qingcloud.list", login = "qingcloud.login";
  const std::string deep = std::string(10000, '[') + std::string(10000, ']');
  struct Case {
    std::string line;
    std::string answer;  // the error, or "result" for any result
  };
  const Case cases[] = {
      {call(login, settings_with("port", 0)), "-32602 Invalid params"},
      {call(login, settings_with("port", 65536)), "-32602 Invalid params"},
      {call(login, settings_with("boss_host", "boss host")), "-32602 Invalid params"},
      {call(list, R"({"uuid":")" + uuid + R"(\u0000","subtype":"inventory"})"),
       "-32603 Failed to get host info"},
      {call(list, R"({"uuid":")" + uuid +
                      R"(","subtype":"search","search_type":"Zone","search":"a\u0000b"})"),
       "result"},
      {call(list, R"({"uuid":")" + uuid +
                      R"(","subtype":"search","search_type":"VirtualMachine","search":")" +
                      std::string(1 << 20, 'x') + R"("})"),
       "result"},
      {call(list, R"({"uuid":")" + uuid + R"(","subtype":"inventory","moid":)" + deep + "}"),
       "-32700 Parse error"},
      {R"({"jsonrpc":"2.0","id":{"n":1},"method":"qingcloud.list","params":{}})",
       "-32600 Invalid Request"},
  };
  std::string input;
  for (const Case& c : cases)
    input += c.line + "\n";
  const Program_Result r = agent({"rpc"}, input);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::vector<std::string> lines = lines_of(r.out);
  ASSERT_EQ(lines.size(), std::size(cases)) << r.out.substr(0, 2000);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Value answer = json_value(lines[i]);
    const Value* error = json_spirit::object_get_value(answer.get_obj(), "error");
    const std::string got = error ? std::to_string(error->get_obj().at("code").get_int()) + " " +
                                        error->get_obj().at("message").get_str()
                                  : "result";
    EXPECT_EQ(got, cases[i].answer) << cases[i].line.substr(0, 200);
  }
}

// A store that an interrupted program left half written is reported, and
// kept as it is for its owner to mend.
TEST_F(Agent_Program, LeavesABrokenStoreAsItIs) {
  const std::string path = home() + "/environments.json";
  std::ifstream in(path);
  const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string half = whole.substr(0, whole.size() / 2);
  std::ofstream(path, std::ios::trunc) << half;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"env", "list"},
        std::vector<std::string>{"env", "add", "--boss-host", "b", "--api-host", "a",
                                 "--access-key-id", "K"},
        std::vector<std::string>{"env", "remove", uuid}, std::vector<std::string>{"ls", uuid}}) {
    const Program_Result r = agent(args);
    EXPECT_EQ(r.exit_code, 2) << args[0];
    EXPECT_NE(r.err.find("environments.json is not a JSON object"), std::string::npos) << r.err;
  }
  std::ifstream again(path);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>()),
            half);
}

// What the platform names reaches the terminal escaped; JSON stays JSON.
TEST_F(Agent_Program, EscapesWhatThePlatformSendsForTheTerminal) {
  const std::string name = "\x1b[2J\x7f\xc2\x9b-evil";
  const std::vector<std::string> client = {
      QINGCLOUD_AGENT_PATH,         "client",   "--host",          sim().host(),          "--port",
      std::to_string(sim().port()), "--no-ssl", "--access-key-id", Simulator::BOSS_KEY_ID};
  const std::map<std::string, std::string> secret{
      {"QINGCLOUD_SECRET_ACCESS_KEY", Simulator::BOSS_SECRET}};
  std::vector<std::string> run = client;
  run.insert(run.end(), {"--as-user", Simulator::OPS_USER_ID, "--zone", "pek3a", "run-instance",
                         "--image", "centos77x64a", "--name", name});
  ASSERT_EQ(run_program(run, "", secret).exit_code, 0);

  const Program_Result table =
      agent({"search", uuid, "--type", "VirtualMachine", "evil", "--table"});
  EXPECT_EQ(table.exit_code, 0) << table.err;
  EXPECT_NE(table.out.find("VirtualMachine \\x1b[2J\\x7f\\u009b-evil ("), std::string::npos)
      << table.out;
  const Program_Result json = agent({"search", uuid, "--type", "VirtualMachine", "evil"});
  EXPECT_EQ(json_value(json.out).get_array().at(0).get_obj().at("name"), Value(name));

  sim().inject(Simulator::Fault::ret_code(1400, "PermissionDenied, \x1b]0;owned\x07"));
  std::vector<std::string> users = client;
  users.push_back("describe-users");
  const Program_Result refused = run_program(users, "", secret);
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_NE(refused.err.find("error 1400: PermissionDenied, \\x1b]0;owned\\x07\n"),
            std::string::npos)
      << refused.err;
  for (const std::string& text : {table.out, json.out, refused.err}) {
    for (const char raw : {'\x1b', '\x7f', '\x07'})
      EXPECT_EQ(text.find(raw), std::string::npos) << text;
    EXPECT_EQ(text.find("\xc2\x9b"), std::string::npos) << text;
  }
}

// Typed on a terminal, the secret is not echoed; and a process that holds
// secrets cannot be read by another process or leave a core file: its
// entries in /proc belong to root however it runs.
TEST_F(Agent_Program, AsksForTheSecretWithoutEchoAndCannotBeDumped) {
  const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(terminal, 0);
  ASSERT_EQ(::grantpt(terminal), 0);
  ASSERT_EQ(::unlockpt(terminal), 0);
  const int side = ::open(::ptsname(terminal), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(side, 0);
  // Root's processes belong to root anyway: as root the program runs as
  // nobody, in a home of nobody's.
  const bool root = ::geteuid() == 0;
  std::string own_home = home();
  if (root) {
    ASSERT_EQ(::chmod(dir.path().c_str(), 0711), 0);
    own_home = dir.path() + "/nobody";
    ASSERT_EQ(::mkdir(own_home.c_str(), 0700), 0);
    std::ofstream(own_home + "/host_key.pem") << std::ifstream(home() + "/host_key.pem").rdbuf();
    for (const std::string& path : {own_home, own_home + "/host_key.pem"})
      ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod((own_home + "/host_key.pem").c_str(), 0600), 0);
  }
  testing_support::Started_Program login(
      {QINGCLOUD_AGENT_PATH, "login-test", "--boss-host", sim().host(), "--api-host", "x", "--port",
       std::to_string(sim().port()), "--no-ssl", "--access-key-id", Simulator::BOSS_KEY_ID,
       "--home", own_home},
      {side, side, side}, {{"QINGCLOUD_SECRET_ACCESS_KEY", ""}}, root ? 65534 : -1);
  ::close(side);
  std::string shown = testing_support::read_until(terminal, "Secret access key: ");
  ASSERT_NE(shown.find("Secret access key: "), std::string::npos) << shown;

  struct stat entry {};
  ASSERT_EQ(::stat(("/proc/" + std::to_string(login.pid()) + "/status").c_str(), &entry), 0);
  EXPECT_EQ(entry.st_uid, 0u);

  const std::string typed = std::string(Simulator::BOSS_SECRET) + "\n";
  ASSERT_EQ(::write(terminal, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
  shown += testing_support::read_until(terminal);
  EXPECT_EQ(login.wait(), 0) << shown;
  EXPECT_NE(shown.find("\"status\": true"), std::string::npos) << shown;
  EXPECT_EQ(shown.find(Simulator::BOSS_SECRET), std::string::npos) << "echoed: " << shown;
  ::close(terminal);
}

// A running serve and commands from the shell share the home: every change
// is made on the store as it is, so that nothing is lost and nothing removed
// comes back.
TEST_F(Agent_Program, KeepsTheChangesOfProcessesAtOnce) {
  std::unique_ptr<testing_support::Started_Program> serve;
  const std::string url = start_serve(serve);
  const std::string prefix = "http://127.0.0.1:";
  const std::size_t mark = url.find("/#token=");
  ASSERT_TRUE(url.rfind(prefix, 0) == 0 && mark != std::string::npos) << url;
  httplib::Client http("127.0.0.1", std::stoi(url.substr(prefix.size())));
  const httplib::Headers token{{"Authorization", "Bearer " + url.substr(mark + 8, 64)}};
  auto call = [&](const std::string& method, const std::string& params) {
    auto res = http.Post(
        "/rpc", token,
        R"({"jsonrpc":"2.0","id":1,"method":")" + method + R"(","params":)" + params + "}",
        "application/json");
    return res && res->status == 200 ? json_value(res->body) : Value();
  };

  std::vector<std::thread> shells;
  for (int shell = 0; shell < 8; ++shell) {
    shells.emplace_back([this, shell] {
      for (int i = 0; i < 10; ++i) {
        const std::string id = "shell-" + std::to_string(shell) + "-" + std::to_string(i);
        EXPECT_EQ(agent({"env", "add", "--uuid", id, "--boss-host", "b", "--api-host", "a",
                         "--access-key-id", "K", "--no-test"})
                      .exit_code,
                  0)
            << id;
      }
    });
  }
  std::set<std::string> expected = {uuid};
  for (int i = 0; i < 10; ++i) {
    const std::string id = "serve-" + std::to_string(i);
    call("host.environments.add", R"({"uuid":")" + id +
                                      R"(","boss_host":"b","api_host":"a","access_key":"K",
                                         "secret_access_key":"s","test":false})");
    if (i % 2 == 0) {
      call("host.environments.remove", R"({"uuid":")" + id + R"("})");
    } else {
      expected.insert(id);
    }
  }
  for (std::thread& t : shells)
    t.join();
  for (int shell = 0; shell < 8; ++shell)
    for (int i = 0; i < 10; ++i)
      expected.insert("shell-" + std::to_string(shell) + "-" + std::to_string(i));

  // serve sees what the shells added without a restart.
  std::set<std::string> listed;
  const Value answer = call("host.environments.list", "{}");
  ASSERT_EQ(answer.type(), json_spirit::obj_type);
  for (const Value& env : answer.get_obj().at("result").get_array())
    listed.insert(env.get_obj().at("uuid").get_str());
  EXPECT_EQ(listed, expected);
  EXPECT_EQ(lines_of(agent({"env", "list"}).out).size(), expected.size());
  EXPECT_EQ(serve->stop(), 0);
}

// One serve a home, one a port: a second one says what it met and exits 2,
// so that serve-url always belongs to the serve that runs.
TEST_F(Agent_Program, ASecondServeOnABusyHomeOrPortExitsTwo) {
  std::unique_ptr<testing_support::Started_Program> serve;
  const std::string url = start_serve(serve);
  const std::string address = url.substr(0, url.find("/#token="));
  ASSERT_EQ(address.rfind("http://127.0.0.1:", 0), 0u) << url;
  const Program_Result same_home = agent({"serve"});
  EXPECT_EQ(same_home.exit_code, 2);
  EXPECT_EQ(same_home.err, "qingcloud-agent serve: another serve runs on the home folder " +
                               home() + " at " + address +
                               "; stop it first, or give this one --home of its own\n");
  const std::string port = address.substr(address.rfind(':') + 1);
  const Program_Result same_port =
      run_program({QINGCLOUD_AGENT_PATH, "serve", "--home", dir.path() + "/other", "--listen",
                   "127.0.0.1:" + port});
  EXPECT_EQ(same_port.exit_code, 2);
  EXPECT_EQ(same_port.err, "qingcloud-agent serve: cannot listen on 127.0.0.1:" + port +
                               ": the port is in use by another program\n");
  EXPECT_EQ(serve->stop(), 0);
}

TEST(Agent_Help, EveryCommandShowsItsUsageOptionsAndAnExample) {
  for (const char* command : {"probe", "call", "env", "login-test", "ls", "search", "tree", "rpc",
                              "serve", "serve-url", "client", "config"}) {
    for (const Program_Result& r : {run_program({QINGCLOUD_AGENT_PATH, "help", command}),
                                    run_program({QINGCLOUD_AGENT_PATH, command, "--help"})}) {
      EXPECT_EQ(r.exit_code, 0) << command;
      EXPECT_EQ(r.out.rfind(std::string("usage: qingcloud-agent ") + command, 0), 0u) << r.out;
      EXPECT_NE(r.out.find("\noptions:\n"), std::string::npos) << command;
      EXPECT_NE(r.out.find("\nexample:\n"), std::string::npos) << command;
    }
  }
  EXPECT_EQ(run_program({QINGCLOUD_AGENT_PATH, "--version"}).out,
            std::string("qingcloud-agent ") + QINGCLOUD_VERSION + "\n");
  EXPECT_EQ(run_program({QINGCLOUD_AGENT_PATH, "help", "nothing"}).exit_code, 2);
}

// The help is the command reference: every option a command's help names
// is one the command takes (followed by a word, which a flag leaves as a
// word and an option takes as its value; with --help nothing runs).
TEST(Agent_Help, EveryOptionAHelpNamesIsTaken) {
  const std::regex option(R"(--[a-z][a-z-]*)");
  for (const char* command : {"probe", "call", "env", "login-test", "ls", "search", "tree", "rpc",
                              "serve", "serve-url", "client", "config"}) {
    const std::string help = run_program({QINGCLOUD_AGENT_PATH, command, "--help"}).out;
    std::set<std::string> named;
    for (std::sregex_iterator m(help.begin(), help.end(), option), none; m != none; ++m)
      named.insert(m->str());
    EXPECT_FALSE(named.empty()) << command;
    for (const std::string& name : named) {
      const Program_Result r = run_program({QINGCLOUD_AGENT_PATH, command, "--help", name, "x"});
      EXPECT_EQ(r.exit_code, 0) << command << " " << name << ": " << r.err;
    }
  }
}

}  // namespace
