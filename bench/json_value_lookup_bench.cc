// GetJsonValue per call, beside its floor measured in the same run: one fresh
// engine doing one JSON.parse and one member read of the same answer.
// Times are processor time of this thread, the fastest of several
// alternating rounds, which a busy machine disturbs least.
// Goal: at most 0.5 ms per call on a typical answer, at most 4x the floor.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "json/json_value_lookup.h"
#include "platform/script_control.h"
#include "text/text.h"

namespace shorturl {
namespace {

// Seconds per call of `measured` and of `floor`, measured in alternating
// rounds of about 40 ms each so that both meet the same load on a shared
// machine; each is the mean of its fastest round.
struct Pair {
  double measured;
  double floor;
};

// The calling thread's processor time in seconds. Both sides do nothing
// but compute, so this is their running time without the time that other
// programs on a busy machine take from them.
double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double Round(const std::function<void()>& call) {
  int calls = 0;
  double start = ThreadSeconds();
  double spent = 0;
  do {
    call();
    ++calls;
    spent = ThreadSeconds() - start;
  } while (spent < 0.04);
  return spent / calls;
}

Pair PerCall(const std::function<void()>& measured, const std::function<void()>& floor) {
  measured();  // warm-up
  floor();
  Pair best{1e9, 1e9};
  for (int round = 0; round < 15; ++round) {
    best.measured = std::min(best.measured, Round(measured));
    best.floor = std::min(best.floor, Round(floor));
  }
  return best;
}

// The answer as an apostrophe-quoted script string.
Text ScriptString(const Text& text) {
  Text out = "'";
  for (char c : text) {
    if (c == '\\' || c == '\'') out += '\\';
    out += c;
  }
  return out + "'";
}

Text Floor(const Text& answer, const char* member) {
  auto engine = ScriptControl::Create();
  engine->SetLanguage("JavaScript");
  return engine->Eval("JSON.parse(" + ScriptString(answer) + ")" + member).ToText();
}

void Measure(const char* name, const Text& answer) {
  struct Lookup {
    const char* path;
    const char* member;
  } lookups[] = {{"code", ".code"}, {"data['short_url']", ".data['short_url']"}};
  for (const Lookup& l : lookups) {
    Pair time = PerCall(
        [&] {
          Text text = answer;
          GetJsonValue(text, l.path);
        },
        [&] { Floor(answer, l.member); });
    std::printf("%-8s %-18s GetJsonValue %9.3f ms   floor %9.3f ms   ratio %5.2f\n", name, l.path,
                time.measured * 1e3, time.floor * 1e3, time.measured / time.floor);
  }
}

}  // namespace
}  // namespace shorturl

int main() {
  using shorturl::Text;
  const Text typical =
      R"({"code":200,"msg":"success","data":{"short_url":"http:\/\/127.0.0.1:17380\/s\/Ab3dE9","long_url":"https:\/\/example.com\/a\/b?c=d"}})";
  Text large = R"({"code":200,"msg":"success","data":{"short_url":"http:\/\/x.cn\/Ab3","items":[)";
  while (large.size() < 1'000'000) large += R"({"id":12345,"name":"item name","ok":true},)";
  large += "null]}}";
  std::printf("typical answer %zu bytes, large answer %zu bytes\n", typical.size(), large.size());
  shorturl::Measure("typical", typical);
  shorturl::Measure("1 MB", large);
  return 0;
}
