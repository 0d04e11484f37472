// Prints, measured side by side in one run: WebRequestText POST round trips
// against a bare in-process libcurl POST to the same loopback server, and
// UrlEncode throughput on 1 MB of mixed text.
#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "bare_curl_post.h"
#include "net/url_encode.h"
#include "net/web_request.h"
#include "support/scripted_http_server.h"

namespace {

using Clock = std::chrono::steady_clock;

double BareCurlPost(const std::string& url, const std::string& body) {
  auto start = Clock::now();
  shorturl::bench::BareCurlPost(url, body);
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

double OurPost(const std::string& url, const std::string& body) {
  auto start = Clock::now();
  shorturl::WebRequestText(url, "POST", {}, nullptr, body);
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

}  // namespace

int main() {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  shorturl::testing::ScriptedHttpServer server;
  std::string url = server.Url("/api/url");
  std::string body = "url=http%3A%2F%2Fexample%2Ftest&type=1";
  constexpr int kRounds = 300;
  double ours = 0, bare = 0;
  for (int i = 0; i < kRounds; ++i) {  // interleaved, so both see the same machine load
    bare += BareCurlPost(url, body);
    ours += OurPost(url, body);
  }
  std::printf(
      "POST round trip: WebRequestText %.1f us, bare libcurl %.1f us, ratio %.2f (goal <= 1.2)\n",
      ours / kRounds, bare / kRounds, ours / bare);

  std::string text;
  const std::string pattern = "http://x.cn/a?b=1&c=\xD6\xD0\xCE\xC4 ~-_.Zz09";
  while (text.size() < (1u << 20)) text += pattern;
  text.resize(1u << 20);
  std::size_t total = 0;
  auto start = Clock::now();
  constexpr int kPasses = 200;
  for (int i = 0; i < kPasses; ++i) total += shorturl::UrlEncode(text).size();
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("UrlEncode: %.0f MB/s on 1 MB of mixed text (goal >= 500), %zu bytes out\n",
              kPasses / seconds, total);
  return 0;
}
