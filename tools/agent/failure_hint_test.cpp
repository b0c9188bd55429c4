#include "tools/agent/failure_hint.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Each known cause, found in the plug-in's own log lines as a listing or
// a login test leaves them, and the one sentence it gives.
TEST(Failure_Hint, EachKnownCauseGivesItsSentence) {
  const std::string at = "HTTP exchange with 'http://127.0.0.1:8443/boss2/' failed: ";
  const std::string tls_at = "HTTP exchange with 'https://127.0.0.1:8080/boss2/' failed: ";
  const std::string api = "api/qingcloud_session.cpp:224: Failed to call api: errno=";
  const struct {
    std::vector<std::string> lines;
    std::string hint;
  } cases[] = {
      {{at + "Couldn't connect to server, errno=111, Connection refused.",
        "api/qingcloud_session.cpp:121: Failed to receive response from "
        "'http://127.0.0.1:8443/boss2/', errno=111, Connection refused."},
       "nothing listens at 127.0.0.1:8443: check the host and the port, and that the platform "
       "runs"},
      {{"HTTP exchange with 'http://10.0.0.5:80/boss2/ through proxy http://127.0.0.1:3128' "
        "failed: Couldn't connect to server, errno=111, Connection refused."},
       "the proxy http://127.0.0.1:3128 refused the connection or is down: check --proxy, "
       "`qingcloud-agent config show` and the proxy variables"},
      {{tls_at + "error:0A00010B:SSL routines::wrong version number, errno=71, Protocol error."},
       "the endpoint at 127.0.0.1:8080 speaks plain HTTP: untick TLS in the console, or give "
       "--no-ssl"},
      {{at + "Received HTTP/0.9 when not allowed, errno=71, Protocol error."},
       "the endpoint at 127.0.0.1:8443 may speak HTTPS: tick TLS in the console, or leave out "
       "--no-ssl"},
      {{tls_at + "SSL certificate problem: self-signed certificate, errno=71, Protocol error."},
       "the certificate of 127.0.0.1:8080 is not trusted here: give the certificate of its CA "
       "with --ca-file"},
      {{"HTTP exchange with 'https://boss.example.invalid:443/boss2/' failed: Could not resolve "
        "host: boss.example.invalid, errno=113, No route to host."},
       "the name boss.example.invalid does not resolve: check it, or give the host's address"},
      {{api + "1200, AuthFailure, signature not matched."},
       "the platform does not know the access key id, or the secret is not its: check both"},
      {{api + "1300, RequestExpired, the time_stamp [x] is out of the valid range."},
       "this host's clock is more than a minute off the platform's: set it right (NTP)"},
      {{api + "1400, PermissionDenied, the key may not."},
       "the platform refused the access key this action: it needs the back office's "
       "permission"},
      {{tls_at + "it ran out of time (300 s, the longest an exchange may take), errno=110, "
                 "Connection timed out."},
       "the platform at 127.0.0.1:8080 did not answer in time: check that it runs and that "
       "nothing on the way holds its answers"},
      {{"websvcs_agent/qingcloud_list_handler.cpp:88: Unsupported type 'User'."}, ""},
      {{}, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(failure_hint(c.lines), c.hint) << (c.lines.empty() ? "" : c.lines.front());
}

TEST(Failure_Hint, TheCauseHoldsTheLinesAndTheHintWhenOneIsKnown) {
  const std::vector<std::string> refused = {
      "HTTP exchange with 'http://h:1/boss2/' failed: Couldn't connect to server, errno=111."};
  json_spirit::Object cause = failure_cause(refused);
  EXPECT_EQ(cause.at("log"), json_spirit::Value(json_spirit::Array{refused[0]}));
  EXPECT_EQ(cause.count("hint"), 1u);
  cause = failure_cause({"Unsupported type 'User'."});
  EXPECT_EQ(cause.count("hint"), 0u);
}

}  // namespace
