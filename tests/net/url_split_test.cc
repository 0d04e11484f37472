#include "net/url_split.h"

#include <gtest/gtest.h>

namespace shorturl {
namespace {

TEST(UrlSplit, CutsAddressesIntoHostPortAndPath) {
  struct Case {
    const char* url;
    const char* host;
    const char* host_with_port;
    std::int32_t port;
    const char* path;
  } cases[] = {
      {"http://Server:8080/a/b?c=d", "server", "server:8080", 8080, "/a/b?c=d"},
      {"http://server", "server", "server", 80, "/"},
      {"http://server/", "server", "server", 80, "/"},
      {"http://server:81", "server", "server:81", 81, "/"},
      {"http://server:x/", "server", "server:x", 0, "/"},
      {"http://server?q=1", "server?q=1", "server?q=1", 80, "/"},
      {"server/a", "server", "server", 80, "/a"},
      // Only the lower-case "http://" is recognised; other schemes become hosts.
      {"https://server/x", "https", "https:", 0, "//server/x"},
      {"HTTP://SERVER/a", "http", "http:", 0, "//SERVER/a"},
      {"", "", "", 80, "/"},
      // The first "http://" anywhere counts, and the port is not validated.
      {"x=http://srv:99999/P", "srv", "srv:99999", 99999, "/P"},
      {"http://srv:-5/", "srv", "srv:-5", -5, "/"},
      // The path starts at the first "/" after the host's first occurrence,
      // which for an empty host or one like "h" lies inside "http://" itself.
      {"http:///nohost", "", "", 80, "///nohost"},
      {"http://h/p", "h", "h", 80, "//h/p"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    EXPECT_EQ(UrlHost(c.url), c.host);
    EXPECT_EQ(UrlHost(c.url, true), c.host_with_port);
    EXPECT_EQ(UrlPort(c.url), c.port);
    EXPECT_EQ(UrlPath(c.url), c.path);
  }
}

TEST(UrlSplit, LowerCasesOnlyAsciiLettersOfTheHost) {
  // GBK bytes: a double-byte character whose trail byte is an ASCII capital.
  Text url =
      "http://A\xC4"
      "A.cn/Path";
  EXPECT_EQ(UrlHost(url),
            "a\xC4"
            "A.cn");
  EXPECT_EQ(UrlPath(url), "/Path");
}

}  // namespace
}  // namespace shorturl
