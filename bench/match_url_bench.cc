// MatchFirstUrl per call, on a 100-character text and on a 1 MB text whose
// only address is at its end, measured in one run; the second figure is the
// ratio of the two, so that a cost that grows faster than the text shows.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "regex/regex_object.h"
#include "text/codepage.h"

namespace {

using Clock = std::chrono::steady_clock;

// Median time of one call, in microseconds.
double MicrosPerCall(const shorturl::Text& text, int calls, std::size_t& sink) {
  std::vector<double> times;
  for (int i = 0; i < calls; ++i) {
    auto start = Clock::now();
    sink += shorturl::MatchFirstUrl(text, 1).size();
    times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main() {
  const shorturl::Text words = shorturl::TextFromUtf8("请输入原网址 some words: and_more 中文 ");
  const shorturl::Text url = "https://example.test/a/b?c=d";
  shorturl::Text short_text = words;
  short_text.resize(100 - url.size());
  short_text += url;
  shorturl::Text long_text;
  while (long_text.size() < (1 << 20) - url.size()) long_text += words;
  long_text.resize((1 << 20) - url.size() - 1);
  long_text += " " + url;

  std::size_t sink = 0;
  double short_us = MicrosPerCall(short_text, 2001, sink);
  double long_us = MicrosPerCall(long_text, 31, sink);
  std::printf("MatchFirstUrl, median per call\n");
  std::printf("  %-24s %12.2f us\n", "100 characters", short_us);
  std::printf("  %-24s %12.2f us\n", "1 MB", long_us);
  std::printf("  %-24s %12.1f (the text is %zu times longer)\n", "ratio 1 MB / 100",
              long_us / short_us, long_text.size() / short_text.size());
  return sink == 0 ? 1 : 0;
}
