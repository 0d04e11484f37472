#include "net/web_request.h"

#include <gtest/gtest.h>
#include <QTimer>

#include <chrono>

#include "platform/internet.h"
#include "support/scripted_http_server.h"
#include "text/codepage.h"

namespace shorturl {
namespace {

using testing::ScriptedAnswer;
using testing::ScriptedHttpServer;

const Text kAcceptLine =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";

Text Defaults(const Text& url) {
  return kAcceptLine + "Referer: " + url + "\r\nAccept-Language: zh-cn\r\n";
}

// The header block of a recorded request, request line included.
std::string HeadOf(const std::string& request) {
  return request.substr(0, request.find("\r\n\r\n") + 4);
}
std::string BodyOf(const std::string& request) {
  return request.substr(request.find("\r\n\r\n") + 4);
}
bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class WebRequestTest : public ::testing::Test {
 protected:
  void TearDown() override {
    SetInternetTimeouts(std::chrono::seconds(15), std::chrono::seconds(30));
  }
  ScriptedHttpServer server_;
};

TEST_F(WebRequestTest, PostSendsTheDefaultHeaderBlockAndLeavesItInTheCallersVariable) {
  server_.Queue(ScriptedAnswer::Http(200, {"X-Answer: 1"}, R"({"code":200})"));
  Text url = server_.Url("/api/url");
  Text headers, response_headers;
  Text body = WebRequestText(url, "POST", {}, &headers, "url=abc", &response_headers);

  EXPECT_EQ(body, R"({"code":200})");
  Text block =
      Defaults(url) + "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 7\r\n";
  EXPECT_EQ(headers, block);
  ASSERT_EQ(server_.Requests().size(), 1u);
  EXPECT_EQ(server_.Requests()[0], "POST /api/url HTTP/1.1\r\nHost: " + server_.Address() +
                                       "\r\nUser-Agent: KOVEX-ShortUrl-APP\r\n" + block +
                                       "\r\nurl=abc");
  EXPECT_EQ(response_headers, "HTTP/1.1 200 OK\r\nX-Answer: 1\r\nContent-Length: 12\r\n\r\n");
}

TEST_F(WebRequestTest, MethodDecidesWhatIsSentAndTheVerbIsKeptAsWritten) {
  struct Case {
    const char* method;
    const char* request_line_start;
    bool body_sent;
  } cases[] = {
      {"post", "post /p HTTP/1.1", true}, {"PoSt", "PoSt /p HTTP/1.1", true},
      {"GET", "GET /p HTTP/1.1", false},  {"get", "get /p HTTP/1.1", false},
      {"", "GET /p HTTP/1.1", false},
  };
  std::size_t seen = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.method);
    Text headers;
    WebRequestText(server_.Url("/p"), c.method, {}, &headers, "a=1");
    ASSERT_TRUE(server_.WaitForRequests(++seen, 5000));
    std::string request = server_.Requests().back();
    EXPECT_EQ(request.rfind(c.request_line_start, 0), 0u) << request;
    EXPECT_EQ(Has(request, "Content-Type:"), c.body_sent);
    EXPECT_EQ(Has(request, "Content-Length:"), c.body_sent);
    EXPECT_EQ(BodyOf(request), c.body_sent ? "a=1" : "");
  }
}

TEST_F(WebRequestTest, UnsupportedMethodSendsNothingAndFailsWith255ZeroBytes) {
  Text url = server_.Url("/p");
  Text headers, response_headers = "untouched";
  Bytes result = WebRequest(url, "PUT", {}, &headers, "a=1", &response_headers);
  EXPECT_EQ(result, Bytes(255, 0));
  EXPECT_EQ(WebRequestText(url, "PUT"), "");
  EXPECT_EQ(headers, Defaults(url));
  EXPECT_EQ(response_headers, "untouched");
  // The next request is the first the server sees.
  WebRequestText(url, "GET");
  ASSERT_EQ(server_.Requests().size(), 1u);
  EXPECT_EQ(server_.Requests()[0].rfind("GET /p", 0), 0u);
}

TEST_F(WebRequestTest, RequestsThatCannotBeOpenedFailWith255ZeroBytes) {
  for (const Text& url :
       {Text("http:///path"), Text(""), Text("http://127.0.0.1:65616/"), Text("http://h:-1/")}) {
    SCOPED_TRACE(url);
    Text headers, response_headers;
    EXPECT_EQ(WebRequest(url, "POST", {}, &headers, "a=1", &response_headers), Bytes(255, 0));
    EXPECT_EQ(headers, "");
    EXPECT_EQ(response_headers, "");
  }
  EXPECT_EQ(WebRequest("http://127.0.0.1:1/", "GET", {}, nullptr, {}, nullptr).size(), 0u)
      << "a refused connection is no open failure";
  EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(WebRequestTest, CallersHeadersDecideWhichDefaultsAreAdded) {
  struct Case {
    const char* name;
    Text headers;
    std::string body;
    std::vector<std::string> present;
    std::vector<std::string> absent;
  } cases[] = {
      {"empty POST body", "", "", {}, {"Content-Type", "Content-Length"}},
      {"own content type in lower case suppresses the default",
       "content-type: text/plain\r\n",
       "abc",
       {"content-type: text/plain\r\n", "Content-Length: 3\r\n"},
       {"application/x-www-form-urlencoded"}},
      {"own content length gets a second one",
       "Content-Length: 3\r\n",
       "abcde",
       {"Content-Length: 3\r\nAccept: ", "Content-Length: 5\r\n"},
       {}},
      {"own accept, referer and language stay alone",
       "ACCEPT: x/y\r\nreferer: r\r\naccept-language: en\r\n",
       "",
       {"ACCEPT: x/y\r\nreferer: r\r\naccept-language: en\r\n\r\n"},
       {"image/gif", "zh-cn"}},
  };
  std::size_t seen = 0;
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    server_.Queue(ScriptedAnswer::Http(400, {}, "bad"));
    Text headers = c.headers;
    EXPECT_EQ(WebRequestText(server_.Url("/h"), "POST", {}, &headers, c.body), "bad");
    ASSERT_TRUE(server_.WaitForRequests(++seen, 5000));
    std::string request = server_.Requests().back();
    std::string head = HeadOf(request);
    EXPECT_EQ(head.substr(head.size() - std::min(head.size(), headers.size() + 2)),
              headers + "\r\n")
        << "the caller's variable is the block that was sent";
    for (const std::string& part : c.present) EXPECT_TRUE(Has(request, part)) << part;
    for (const std::string& part : c.absent) EXPECT_FALSE(Has(request, part)) << part;
  }
}

TEST_F(WebRequestTest, ProxyOfSpacesConnectsDirectlyAndOneWithALeadingSpaceIsUsed) {
  WebRequestText(server_.Url("/direct"), "GET", "   ");
  ASSERT_TRUE(server_.WaitForRequests(1, 5000));
  EXPECT_EQ(server_.Requests()[0].rfind("GET /direct HTTP/1.1\r\n", 0), 0u);

  server_.Queue(ScriptedAnswer::Http(200, {}, "via proxy"));
  EXPECT_EQ(WebRequestText("http://far.invalid:8080/x?y=1", "GET", " " + server_.Address()),
            "via proxy");
  ASSERT_TRUE(server_.WaitForRequests(2, 5000));
  std::string request = server_.Requests()[1];
  EXPECT_EQ(request.rfind("GET http://far.invalid:8080/x?y=1 HTTP/1.1\r\n", 0), 0u) << request;
  EXPECT_TRUE(Has(request, "\r\nHost: far.invalid:8080\r\n"));
  EXPECT_FALSE(Has(request, "Proxy-Connection"));
}

TEST_F(WebRequestTest, UpperCaseHostWithPortConnectsToTheLowerCaseHostAndKeepsCookiesThere) {
  Text url = "http://LOCALHOST:" + std::to_string(server_.port()) + "/Path";
  server_.Queue(ScriptedAnswer::Http(200, {"Set-Cookie: upper=1"}, "x"));
  EXPECT_EQ(WebRequestText(url, "GET"), "x");
  EXPECT_EQ(WebRequestText(url, "GET"), "");
  ASSERT_TRUE(server_.WaitForRequests(2, 5000));
  std::string first = server_.Requests()[0];
  EXPECT_EQ(first.rfind("GET /Path HTTP/1.1\r\nHost: localhost:", 0), 0u) << first;
  EXPECT_TRUE(Has(first, "Referer: " + url + "\r\n"));
  // The answer's cookie and its replay are one cookie, sent once.
  EXPECT_TRUE(Has(server_.Requests()[1], "\r\nCookie: upper=1\r\n")) << server_.Requests()[1];
}

// The values of every cookie called `name` on the Cookie lines of `request`.
std::vector<std::string> CookieValues(const std::string& request, const std::string& name) {
  std::vector<std::string> values;
  std::size_t at = 0;
  while ((at = request.find("\r\nCookie: ", at)) != std::string::npos) {
    at += 10;
    std::string line = request.substr(at, request.find("\r\n", at) - at);
    for (std::size_t start = 0; start <= line.size();) {
      std::size_t end = std::min(line.find("; ", start), line.size());
      std::string cookie = line.substr(start, end - start);
      if (cookie.rfind(name + "=", 0) == 0) values.push_back(cookie.substr(name.size() + 1));
      start = end + 2;
    }
  }
  return values;
}

TEST_F(WebRequestTest, CookiesAreOnePerHostPathAndNameAndNeverCrossToAnotherHost) {
  // Two hosts on the one server: a name and an address.
  Text named = "http://localhost:" + std::to_string(server_.port());
  Text numeric = server_.Url("");
  server_.Queue(ScriptedAnswer::Http(200, {"Set-Cookie: twin=named1; path=/two"}, ""));
  server_.Queue(ScriptedAnswer::Http(200, {"Set-Cookie: twin=ip1; path=/two"}, ""));
  server_.Queue(ScriptedAnswer::Http(200, {"Set-Cookie: twin=named2; path=/two"}, ""));
  WebRequest(named + "/two/a");
  WebRequest(numeric + "/two/a");
  WebRequest(named + "/two/b");  // the answer replaces the cookie handed in before
  // Handed in, it replaces the answer's; a domain attribute cannot send it elsewhere.
  EXPECT_TRUE(InternetSetCookie(named, "twin", "named3; path=/two"));
  EXPECT_TRUE(InternetSetCookie(named, "stray", "1; path=/two; domain=127.0.0.1"));
  WebRequest(named + "/two/c");
  WebRequest(numeric + "/two/c");
  // An expired one deletes it, there only.
  EXPECT_TRUE(InternetSetCookie(named, "twin", "gone; path=/two; max-age=0"));
  WebRequest(named + "/two/d");
  WebRequest(numeric + "/two/d");

  struct Case {
    const char* request;
    std::vector<std::string> twin;
    std::vector<std::string> stray;
  } cases[] = {
      {"localhost, first", {}, {}},
      {"127.0.0.1, first", {}, {}},
      {"localhost, after its answer and the replay", {"named1"}, {}},
      {"localhost, after the cookies handed in", {"named3"}, {"1"}},
      {"127.0.0.1, after the cookies handed in", {"ip1"}, {}},
      {"localhost, after the expired one", {}, {"1"}},
      {"127.0.0.1, after the expired one", {"ip1"}, {}},
  };
  ASSERT_TRUE(server_.WaitForRequests(std::size(cases), 5000));
  std::vector<std::string> requests = server_.Requests();
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].request);
    EXPECT_EQ(CookieValues(requests[i], "twin"), cases[i].twin) << requests[i];
    EXPECT_EQ(CookieValues(requests[i], "stray"), cases[i].stray) << requests[i];
  }
}

TEST_F(WebRequestTest, BodyWithAZeroByteIsWholeAsBytesAndCutAsText) {
  std::string body("ab\0cd", 5);
  server_.Queue(ScriptedAnswer::Http(200, {}, body));
  server_.Queue(ScriptedAnswer::Http(200, {}, body));
  EXPECT_EQ(WebRequest(server_.Url("/z")), Bytes(body.begin(), body.end()));
  EXPECT_EQ(WebRequestText(server_.Url("/z")), "ab");
}

TEST_F(WebRequestTest, CookiesOfTheAnswerAreSentBackWithAndWithoutName) {
  server_.Queue(
      ScriptedAnswer::Http(200, {"Set-Cookie: sid=abc; path=/", "set-cookie: lonely"}, "ok"));
  Text response_headers;
  WebRequest(server_.Url("/login"), "POST", {}, nullptr, "u=1", &response_headers);
  EXPECT_EQ(response_headers,
            "HTTP/1.1 200 OK\r\nSet-Cookie: sid=abc; path=/\r\nset-cookie: lonely\r\n"
            "Content-Length: 2\r\n\r\n");
  WebRequest(server_.Url("/next"), "GET");
  ASSERT_TRUE(server_.WaitForRequests(2, 5000));
  EXPECT_TRUE(Has(server_.Requests()[1], "\r\nCookie: sid=abc; lonely\r\n"))
      << server_.Requests()[1];
}

TEST_F(WebRequestTest, HeaderBlockOf1024BytesOrMoreLeaves1024Spaces) {
  struct Case {
    std::size_t block_size;
    bool seen;
  } cases[] = {{1023, true}, {1024, false}, {5000, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.block_size);
    // "HTTP/1.1 200 OK\r\n" + "X: ...\r\n" + "Content-Length: 4\r\n" + "\r\n"
    std::size_t fixed = 17 + 5 + 19 + 2;
    server_.Queue(
        ScriptedAnswer::Http(200, {"X: " + std::string(c.block_size - fixed, 'x')}, "body"));
    Text response_headers;
    EXPECT_EQ(WebRequestText(server_.Url("/long"), "GET", {}, nullptr, {}, &response_headers),
              "body");
    if (c.seen) {
      EXPECT_EQ(response_headers.size(), c.block_size);
    } else {
      EXPECT_EQ(response_headers, Text(1024, ' '));
    }
  }
}

TEST_F(WebRequestTest, AnswersInAnyShapeComeBackAsTheBodyThatArrived) {
  struct Case {
    const char* name;
    ScriptedAnswer answer;
    std::string body;
  } cases[] = {
      {"chunked, in pieces with pauses",
       ScriptedAnswer::Chunked(200, {}, {"hel", "lo ", "world"}, 50), "hello world"},
      {"error status", ScriptedAnswer::Http(500, {}, "oops"), "oops"},
      {"closed mid-body", ScriptedAnswer::CloseMidBody("partial", 100), "partial"},
      {"no HTTP at all", ScriptedAnswer::Raw("SSH-2.0-OpenSSH\r\n\r\ngarbage"), ""},
      {"redirect of a POST goes on as GET",
       ScriptedAnswer::Http(302, {"Location: /target"}, "moved"), "target reached"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    server_.Queue(c.answer);
    server_.Queue(ScriptedAnswer::Http(200, {}, "target reached"));
    EXPECT_EQ(WebRequestText(server_.Url("/shape"), "POST", {}, nullptr, "a=1"), c.body);
    // Drop the unused second answer by consuming it.
    if (c.body != "target reached") WebRequestText(server_.Url("/drain"));
  }
  std::vector<std::string> requests = server_.Requests();
  std::string redirected = requests.back();
  EXPECT_EQ(redirected.rfind("GET /target HTTP/1.1\r\n", 0), 0u) << redirected;
  EXPECT_FALSE(Has(redirected, "Content-Length")) << redirected;
  EXPECT_EQ(BodyOf(redirected), "");
}

TEST_F(WebRequestTest, HundredMegabyteAnswerIsHeldWhole) {
  std::string body(100u << 20, 'z');
  body[12345] = 'a';
  body.back() = 'e';
  server_.Queue(ScriptedAnswer::Http(200, {}, body));
  Bytes result = WebRequest(server_.Url("/big"));
  ASSERT_EQ(result.size(), body.size());
  EXPECT_TRUE(std::equal(result.begin(), result.end(), body.begin()));
}

TEST_F(WebRequestTest, ServerThatNeverAnswersEndsAtTheTimeLimitWhileTheWindowStaysAlive) {
  SetInternetTimeouts(std::chrono::seconds(15), std::chrono::milliseconds(800));
  server_.Queue(ScriptedAnswer::Never());
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
  timer.start(50);
  Text response_headers;
  auto start = std::chrono::steady_clock::now();
  Text body = WebRequestText(server_.Url("/silent"), "POST", {}, nullptr, "a=1", &response_headers);
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(body, "");
  EXPECT_EQ(response_headers, Text(1024, ' '));
  EXPECT_GE(waited, std::chrono::milliseconds(700));
  EXPECT_GE(ticks, 5) << "timer events were dispatched while the request waited";

  // A chunked answer that stalls after its first piece ends with what came.
  server_.Queue(ScriptedAnswer::Chunked(200, {}, {"first"}, 0));
  ScriptedAnswer stalled = ScriptedAnswer::Chunked(200, {}, {"first", "late"}, 0);
  stalled.pieces[2].delay_ms = 5000;
  server_.Queue(ScriptedAnswer::Http(200, {}, ""));  // consumed by the line below
  WebRequestText(server_.Url("/warm"));
  server_.Queue(stalled);
  WebRequestText(server_.Url("/skip"));
  EXPECT_EQ(WebRequestText(server_.Url("/stall")), "first");
}

}  // namespace
}  // namespace shorturl
