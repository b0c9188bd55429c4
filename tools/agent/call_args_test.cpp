#include "tools/agent/call_args.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "host/json_spirit/writer.h"
#include "tools/agent/command_entry.h"
#include "tools/agent/commands.h"

namespace {

std::string dump(const json_spirit::Object& o) {
  return json_spirit::JSON_Dump(o, false).str();
}

// call's arguments as the command reads them.
bool parse(const Command_Args& words, Call_Options& o, std::string& error) {
  const Arg_Reader args = read_command_args(CALL_COMMAND, words);
  if (!args.ok()) {
    error = args.error();
    return false;
  }
  return parse_call_args(args, o, error);
}

TEST(Call_Args, ReadsOptionsActionAndParameters) {
  Call_Options o;
  std::string error;
  ASSERT_TRUE(parse({"--host", "api.example", "--access-key-id", "AK", "DescribeZones", "zone=pek3",
                     "status:=[\"active\"]", "limit:=10", "note=a=b", "version:=2"},
                    o, error))
      << error;
  EXPECT_EQ(o.connection.host, "api.example");
  EXPECT_FALSE(o.boss);
  EXPECT_EQ(o.connection.access_key_id, "AK");
  EXPECT_EQ(dump(o.params),
            R"({"action":"DescribeZones","limit":10,"note":"a=b","signature_method":"HmacSHA256",)"
            R"("signature_version":1,"status":["active"],"version":2,"zone":"pek3"})");

  Call_Options boss;
  ASSERT_TRUE(parse({"--boss", "--ca-file", "ca.pem", "--host", "h", "--access-key-id", "AK",
                     "--secret-file", "s", "DescribeUsers"},
                    boss, error));
  EXPECT_TRUE(boss.boss);
  EXPECT_EQ(boss.connection.ca_file, "ca.pem");
  EXPECT_EQ(boss.connection.secret_file, "s");
}

// Every command that reaches the platform (call, client, env add,
// login-test) goes through choose_tls.
TEST(Call_Args, SpeaksTlsOnPort443UnlessTold) {
  struct Case {
    Command_Args flags;
    bool ssl;
    unsigned short port;
  } cases[] = {
      {{}, true, 443},
      {{"--ssl"}, true, 443},
      {{"--no-ssl"}, false, 80},
      {{"--no-ssl", "--port", "8080"}, false, 8080},
      {{"--port", "8443"}, true, 8443},
  };
  for (const Case& c : cases) {
    Command_Args args = c.flags;
    args.insert(args.end(), {"--host", "h", "--access-key-id", "AK", "A"});
    Call_Options o;
    std::string error;
    ASSERT_TRUE(parse(args, o, error)) << error;
    EXPECT_EQ(o.connection.ssl, c.ssl) << args[0];
    EXPECT_EQ(o.connection.port, c.port) << args[0];
  }
}

TEST(Call_Args, RefusesUnusableCommandLines) {
  struct Case {
    Command_Args args;
    const char* error;
  } cases[] = {
      {{"--access-key-id", "AK", "A"}, "--host is missing"},
      {{"--host", "h", "A"}, "--access-key-id is missing"},
      {{"--host", "h", "--access-key-id", "AK"}, "ACTION is missing"},
      {{"--host"}, "--host needs a value"},
      {{"--port", "0"}, "--port wants a number from 1 to 65535, not '0'"},
      {{"--port", "65536"}, "--port wants a number from 1 to 65535, not '65536'"},
      {{"--port", "-1"}, "--port wants a number from 1 to 65535, not '-1'"},
      {{"--verbose"}, "unknown option --verbose"},
      {{"--ssl", "--no-ssl", "--host", "h", "--access-key-id", "AK", "A"},
       "--ssl and --no-ssl exclude each other"},
      {{"--secret", "x"},
       "the secret is not taken from the command line; use QINGCLOUD_SECRET_ACCESS_KEY or "
       "--secret-file"},
      {{"--secret-access-key=x"},
       "the secret is not taken from the command line; use QINGCLOUD_SECRET_ACCESS_KEY or "
       "--secret-file"},
      {{"A", "zone"}, "'zone' is neither name=value nor name:=JSON"},
      {{"A", "=x"}, "'=x' has no parameter name"},
      {{"A", ":=1"}, "':=1' has no parameter name"},
      {{"A", "limit:=ten"}, "the value of limit is not JSON (syntax error at offset 1)"},
  };
  for (const Case& c : cases) {
    Call_Options o;
    std::string error;
    EXPECT_FALSE(parse(c.args, o, error)) << c.error;
    EXPECT_EQ(error, c.error);
  }
}

class Call_Secret : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const std::string& f : files_)
      ::unlink(f.c_str());
  }

  std::string write_file(const std::string& content) {
    std::string path = ::testing::TempDir() + "qc-secret-XXXXXX";
    int fd = ::mkstemp(path.data());
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    ::close(fd);
    files_.push_back(path);
    return path;
  }

  static const char* env_with(const char* name, const char* value, const char* wanted) {
    return std::string(name) == wanted ? value : nullptr;
  }

  std::vector<std::string> files_;
};

TEST_F(Call_Secret, ComesFromTheEnvironmentOrAFile) {
  std::string secret_file;
  secure_string secret;
  std::string error;
  auto env = [](const char* name) {
    return env_with(name, "from-env", "QINGCLOUD_SECRET_ACCESS_KEY");
  };
  ASSERT_TRUE(load_secret(secret_file, env, secret, error));
  EXPECT_EQ(secret, "from-env");

  secret_file = write_file("from-file\r\n");
  ASSERT_TRUE(load_secret(secret_file, env, secret, error)) << error;
  EXPECT_EQ(secret, "from-file") << "the file wins; its line break is dropped";
}

TEST_F(Call_Secret, MissingOrUnreadableSecretsAreReported) {
  std::string secret_file;
  secure_string secret;
  std::string error;
  auto no_env = [](const char*) -> const char* { return nullptr; };
  EXPECT_FALSE(load_secret(secret_file, no_env, secret, error, -1));
  EXPECT_EQ(error, "no secret access key: set QINGCLOUD_SECRET_ACCESS_KEY or give --secret-file");

  secret_file = "/nonexistent/secret";
  EXPECT_FALSE(load_secret(secret_file, no_env, secret, error));
  EXPECT_EQ(error, "cannot read secret file /nonexistent/secret: No such file or directory");

  secret_file = ::testing::TempDir();
  EXPECT_FALSE(load_secret(secret_file, no_env, secret, error));
  EXPECT_EQ(error, "secret file " + secret_file + " is not a regular file");

  secret_file = write_file("\n");
  EXPECT_FALSE(load_secret(secret_file, no_env, secret, error));
  EXPECT_EQ(error, "secret file " + secret_file + " is empty");

  secret_file = write_file(std::string(5000, 'k'));
  EXPECT_FALSE(load_secret(secret_file, no_env, secret, error));
  EXPECT_EQ(error, "cannot read secret file " + secret_file + ": File too large");
}

// A secret file is taken as ssh takes a key: this user's own regular file,
// which nobody else may read.  A FIFO would hang the command: it is refused
// without waiting for a writer.
TEST_F(Call_Secret, FilesOthersCouldReadOrSwapAreRefused) {
  const std::string readable = write_file("s3cret\n");
  ASSERT_EQ(::chmod(readable.c_str(), 0644), 0);
  const std::string fifo = write_file("");
  ASSERT_EQ(::unlink(fifo.c_str()), 0);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string target = write_file("s3cret\n");
  const std::string link = target + ".link";
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  files_.push_back(link);
  const struct {
    std::string path;
    std::string error;
  } cases[] = {
      {readable, "secret file " + readable +
                     " is open to group or others (mode 0644); run chmod go-rwx " + readable},
      {fifo, "secret file " + fifo + " is not a regular file"},
      {link, "secret file " + link + " is a symbolic link; the host reads only its own files"},
  };
  auto no_env = [](const char*) -> const char* { return nullptr; };
  for (const auto& c : cases) {
    secure_string secret;
    std::string error;
    EXPECT_FALSE(load_secret(c.path, no_env, secret, error));
    EXPECT_EQ(error, c.error);
  }
  secure_string secret;
  std::string error;
  EXPECT_TRUE(load_secret(target, no_env, secret, error)) << error;
  EXPECT_EQ(secret, "s3cret");
}

}  // namespace
