// Proxy URLs, the host-wide proxy and the environment's, and no_proxy.
#include "host/http/http_proxy.h"

#include <cstdlib>

#include <gtest/gtest.h>

namespace {

TEST(HTTP_Proxy, ReadsProxyUrlsAndNeverPrintsTheirCredentials) {
  struct Case {
    const char* url;
    const char* proxy;  // null: refused
    const char* user;
    const char* password;
    const char* printable_or_why;
  };
  const Case cases[] = {
      {"http://127.0.0.1:3128", "http://127.0.0.1:3128", "", "", "http://127.0.0.1:3128"},
      {"proxy.example:8080", "http://proxy.example:8080", "", "", "http://proxy.example:8080"},
      {"http://proxy.example", "http://proxy.example:1080", "", "", "http://proxy.example:1080"},
      {"http://ops:s%40cret@[::1]:3128/", "http://[::1]:3128", "ops", "s@cret",
       "http://***@[::1]:3128"},
      {"socks5://127.0.0.1:1080", nullptr, "", "", "only http:// proxies are supported"},
      {"http://127.0.0.1:3128/path", nullptr, "", "", "a proxy URL has no path"},
      {"http://u:p w@host:1", nullptr, "", "", "not a URL"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    HTTP_Proxy proxy;
    std::string why;
    ASSERT_EQ(http_parse_proxy(c.url, proxy, why), c.proxy != nullptr) << why;
    if (c.proxy == nullptr) {
      EXPECT_EQ(why, c.printable_or_why);
      continue;
    }
    EXPECT_EQ(proxy.url, c.proxy);
    EXPECT_EQ(proxy.user, c.user);
    EXPECT_EQ(proxy.password, c.password);
    EXPECT_EQ(proxy.printable(), c.printable_or_why);
  }
}

TEST(HTTP_Proxy, NoProxyListsExemptHostsAsCurlReadsThem) {
  struct Case {
    const char* no_proxy;
    const char* host;
    bool exempt;
  };
  const Case cases[] = {
      {"*", "anything.example", true},
      {"ample.com", "ample.com", true},
      {"ample.com", "www.ample.com", true},
      {".ample.com", "www.AMPLE.com.", true},
      {"ample.com", "www.example.com", false},
      {"ample.com", "ample.com.org", false},
      {"localhost, 127.0.0.1", "127.0.0.1", true},
      {"127.0.0.1", "127.0.0.10", false},
      {"192.168.0.0/16", "192.168.7.1", true},
      {"192.168.0.0/16", "192.169.0.1", false},
      {"10.0.0.0/9", "10.127.0.1", true},
      {"10.0.0.0/9", "10.128.0.1", false},
      {"::1", "[::1]", true},
      {"fd00::/8", "fd12::1", true},
      {"", "ample.com", false},
      {"*.ample.com", "www.ample.com", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(http_no_proxy_matches(c.no_proxy, c.host), c.exempt)
        << "'" << c.no_proxy << "' for " << c.host;
}

// The environment as curl reads it, and the host-wide proxy over it.
TEST(HTTP_Proxy, TheHostWideProxyWinsOverTheEnvironment) {
  ::setenv("http_proxy", "http://env-http:1", 1);
  ::setenv("HTTP_PROXY", "http://upper-http:1", 1);
  ::setenv("HTTPS_PROXY", "http://env-https:2", 1);
  ::setenv("no_proxy", "direct.example", 1);
  EXPECT_EQ(http_proxy_for("api.example", false).url, "http://env-http:1");
  EXPECT_EQ(http_proxy_for("api.example", true).url, "http://env-https:2");
  EXPECT_TRUE(http_proxy_for("direct.example", true).empty());
  ::unsetenv("http_proxy");
  EXPECT_TRUE(http_proxy_for("api.example", false).empty()) << "HTTP_PROXY is not read";

  std::string why;
  ASSERT_TRUE(http_set_default_proxy("http://ops:pw@site-proxy:3128", why)) << why;
  EXPECT_FALSE(http_set_default_proxy("ftp://elsewhere", why));
  const HTTP_Proxy chosen = http_proxy_for("direct.example", true);
  EXPECT_EQ(chosen.url, "http://site-proxy:3128");
  EXPECT_EQ(chosen.password, "pw");
  ASSERT_TRUE(http_set_default_proxy("", why));
  EXPECT_EQ(http_proxy_for("api.example", true).url, "http://env-https:2");
  for (const char* name : {"HTTP_PROXY", "HTTPS_PROXY", "no_proxy"})
    ::unsetenv(name);
}

}  // namespace
