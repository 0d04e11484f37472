// The real server process on a free port with a real database file, spoken
// to over loopback the way the program speaks to it.
#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "gtest/gtest.h"
#include "net/url_encode.h"
#include "server/json_answer.h"
#include "support/process.h"
#include "support/server_process.h"
#include "text/codepage.h"

namespace shorturl::testing {
namespace {

using shorturl::operator""_gbk;

// Percent-encodes every byte but letters and digits, as the program does.
// The program's own form value encoding.
std::string EncodeLikeProgram(std::string_view bytes) { return UrlEncode(bytes); }

void AppendUtf8(std::string& out, unsigned long c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The value of the first member `key` in a JSON answer: a number as its text,
// a string decoded to UTF-8; "<missing>" when there is none.
std::string JsonValue(const std::string& json, const std::string& key) {
  std::size_t at = json.find("\"" + key + "\":");
  if (at == std::string::npos) return "<missing>";
  std::size_t i = at + key.size() + 3;
  if (i >= json.size()) return "<missing>";
  if (json[i] != '"') return json.substr(i, json.find_first_of(",}", i) - i);
  std::string out;
  for (++i; i < json.size() && json[i] != '"'; ++i) {
    if (json[i] != '\\') {
      out += json[i];
      continue;
    }
    char e = json[++i];
    if (e != 'u') {
      out += e == 'n' ? '\n' : e;
      continue;
    }
    unsigned long c = std::stoul(json.substr(i + 1, 4), nullptr, 16);
    i += 4;
    if (c >= 0xD800 && c < 0xDC00 && json.compare(i + 1, 2, "\\u") == 0) {
      unsigned long low = std::stoul(json.substr(i + 3, 4), nullptr, 16);
      c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
      i += 6;
    }
    AppendUtf8(out, c);
  }
  return out;
}

bool IsAscii(const std::string& bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

struct Reply {
  int status = -1;
  std::string body;
  std::string location;
};

// A raw TCP connection to the server, for what a well-behaved client never does.
int Connect(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Everything a raw request gets back until the server closes the connection.
std::string RawExchange(int port, const std::string& request) {
  int fd = Connect(port);
  if (fd < 0) return {};
  send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  timeval timeout = {20, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  std::string reply;
  char buffer[4096];
  ssize_t n;
  while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0)
    reply.append(buffer, static_cast<std::size_t>(n));
  close(fd);
  return reply;
}

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override { Start(); }

  void Start(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"--db", db_path_};
    args.insert(args.end(), extra.begin(), extra.end());
    server_ = std::make_unique<ServerProcess>(args);
    ASSERT_NE(server_->port(), 0) << "the server did not come up";
  }

  Reply Post(const std::string& path, const std::string& body) {
    httplib::Client client("127.0.0.1", server_->port());
    client.set_read_timeout(30);
    auto result = client.Post(path.c_str(), body, "application/x-www-form-urlencoded");
    if (!result) return {};
    return {result->status, result->body, result->get_header_value("Location")};
  }

  // A GET over a raw socket: the library's client would decode the Location
  // header, and its bytes on the wire are what counts.
  Reply Get(const std::string& path) {
    std::string raw = RawExchange(
        server_->port(), "GET " + path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    Reply reply;
    if (raw.rfind("HTTP/1.1 ", 0) != 0) return reply;
    reply.status = std::atoi(raw.c_str() + 9);
    std::size_t end = raw.find("\r\n\r\n");
    if (end == std::string::npos) return reply;
    reply.body = raw.substr(end + 4);
    std::size_t location = raw.find("\r\nLocation: ");
    if (location < end) {
      location += 12;
      reply.location = raw.substr(location, raw.find("\r\n", location) - location);
    }
    return reply;
  }

  // The short link for `long_url` (raw bytes, encoded here), or "" on failure.
  std::string Shorten(const std::string& long_url, int type) {
    Reply reply =
        Post("/api/url", "url=" + EncodeLikeProgram(long_url) + "&type=" + std::to_string(type));
    return reply.status == 200 ? JsonValue(reply.body, "short_url") : "";
  }

  // The long address restored from `text` (sent unencoded), or "<code>" of a failure.
  std::string Restore(const std::string& text) {
    Reply reply = Post("/api/url/query", "url=" + text);
    if (reply.status != 200) return "<" + std::to_string(reply.status) + ">";
    return JsonValue(reply.body, "long_url");
  }

  TempDir dir_;
  std::string db_path_ = dir_.path() + "/links.db";
  std::unique_ptr<ServerProcess> server_;
};

std::string CodeOf(const std::string& short_url) {
  return short_url.substr(short_url.rfind('/') + 1);
}

TEST_F(ServerTest, ShortensOnceAndRestoresByLinkOrCode) {
  std::string link = Shorten("http://example.com/a b?x=1&y=2", 3);
  ASSERT_EQ(link.rfind("http://tu.test/", 0), 0u) << link;
  std::string code = CodeOf(link);
  EXPECT_GE(code.size(), 6u);
  EXPECT_EQ(
      code.find_first_not_of("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"),
      std::string::npos);

  EXPECT_EQ(Shorten("http://example.com/a b?x=1&y=2", 3), link) << "same address and type";
  std::string other_type = Shorten("http://example.com/a b?x=1&y=2", 8);
  EXPECT_EQ(other_type.rfind("http://link.test/", 0), 0u) << other_type;
  EXPECT_NE(CodeOf(other_type), code);

  const std::string long_url = "http://example.com/a b?x=1&y=2";
  struct Row {
    std::string sent;
    std::string expected;
  } rows[] = {
      {link, long_url},
      {"https://tu.test/" + code, long_url},
      {link + "/", long_url},
      {"HTTP://TU.TEST/" + code, long_url},
      {code, long_url},
      {"  " + link + " ", long_url},
      {EncodeLikeProgram(link), long_url},  // a client that encodes the value
      {"http://sl.test/" + code, "<404>"},  // a domain this link was not made for
      {"http://example.com/" + code, "<404>"},
      {"http://tu.test/" + code + "/x", "<404>"},
      {"http://tu.test/", "<404>"},
      {"ZZZZZZZZ", "<404>"},
      {"a b&c=d%", "<404>"},
      {"", "<400>"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.sent);
    EXPECT_EQ(Restore(row.sent), row.expected);
  }
}

TEST_F(ServerTest, RedirectsToTheEscapedLongAddress) {
  std::string long_url = "http://example.com/p a\"th?q=<x>&r=%41%zz";
  std::string code = CodeOf(Shorten(long_url, 1));
  Reply reply = Get("/" + code);
  EXPECT_EQ(reply.status, 302);
  EXPECT_EQ(reply.location, "http://example.com/p%20a%22th?q=%3Cx%3E&r=%41%25zz");
  EXPECT_EQ(JsonValue(reply.body, "code"), "302");

  for (const char* path : {"/ZZZZZZZZ", "/", "/api/url", "/a/b"}) {
    SCOPED_TRACE(path);
    Reply missing = Get(path);
    EXPECT_EQ(missing.status, 404);
    EXPECT_EQ(JsonValue(missing.body, "code"), "404");
    EXPECT_EQ(missing.location, "");
  }
}

TEST_F(ServerTest, RefusesEachBadRequestWithItsOwnCode) {
  const std::string too_long = "http://example.com/" + std::string(8 * 1024, 'a');
  struct Row {
    std::string path;
    std::string body;
    int code;
  } rows[] = {
      {"/api/url", "type=1", 400},
      {"/api/url", "url=&type=1", 400},
      {"/api/url", "url=%20%20%20&type=1", 400},
      {"/api/url", "url=http%3A%2F%2Fx.com", 422},
      {"/api/url", "url=http%3A%2F%2Fx.com&type=0", 422},
      {"/api/url", "url=http%3A%2F%2Fx.com&type=9", 422},
      {"/api/url", "url=http%3A%2F%2Fx.com&type=1x", 422},
      {"/api/url", "url=http%3A%2F%2Fx.com&type=", 422},
      {"/api/url", "url=javascript%3Aalert(1)&type=1", 403},
      {"/api/url", "url=file%3A%2F%2F%2Fetc%2Fpasswd&type=1", 403},
      {"/api/url", "url=see%20http%3A%2F%2Fx.com&type=1", 403},
      {"/api/url", "url=http%3A%2F%2F&type=1", 403},
      {"/api/url", "url=http%3A%2F%2Fx.com%2F%0D%0ASet-Cookie%3A%20a&type=1", 403},
      {"/api/url", "url=" + EncodeLikeProgram(too_long) + "&type=1", 414},
      {"/api/url", "url=http%3A%2F%2Fdl.test%2Fabc&type=1", 409},
      {"/api/url", "url=https%3A%2F%2FLINK.TEST.%3A8080%2F&type=2", 409},
      {"/api/url", "url=http%3A%2F%2Fuser%40c.test%2F&type=2", 409},
      {"/api/url", "url=http%3A%2F%2Fwz%2Etest%2F&type=2", 409},
      {"/api/url", "url=http%3A%2F%2Fwz.test%5C%40x.com%2F&type=2", 409},
      {"/api/url/query", "", 400},
      {"/api/url/query", "code=abcdef", 400},
      {"/nowhere", "url=x", 404},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path + " " + row.body.substr(0, 80));
    Reply reply = Post(row.path, row.body);
    EXPECT_EQ(reply.status, row.code);
    EXPECT_EQ(JsonValue(reply.body, "code"), std::to_string(row.code));
    EXPECT_NE(JsonValue(reply.body, "msg"), "<missing>");
    EXPECT_TRUE(IsAscii(reply.body)) << reply.body;
  }
  // The longest address accepted is exactly 8 KB.
  EXPECT_NE(Shorten(too_long.substr(0, 8 * 1024), 1), "");
  // ftp is shortened like http and https.
  EXPECT_NE(Shorten("ftp://files.example.com/a", 1), "");
}

TEST_F(ServerTest, RefusesBodiesOver64KBBeforeReadingThem) {
  Reply reply =
      Post("/api/url", "url=http%3A%2F%2Fx.com&type=1&pad=" + std::string(64 * 1024, 'a'));
  EXPECT_EQ(reply.status, 413);
  EXPECT_EQ(JsonValue(reply.body, "code"), "413");

  // A client that announces a huge body gets its answer without sending it.
  int fd = Connect(server_->port());
  ASSERT_GE(fd, 0);
  std::string head =
      "POST /api/url HTTP/1.1\r\nHost: x\r\nContent-Length: 100000000\r\n"
      "Content-Type: application/x-www-form-urlencoded\r\n\r\n";
  ASSERT_EQ(send(fd, head.data(), head.size(), MSG_NOSIGNAL), static_cast<ssize_t>(head.size()));
  timeval timeout = {10, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  char buffer[512] = {};
  ssize_t n = recv(fd, buffer, sizeof buffer - 1, 0);
  close(fd);
  ASSERT_GT(n, 0);
  EXPECT_EQ(std::string(buffer).rfind("HTTP/1.1 413", 0), 0u) << buffer;
}

TEST_F(ServerTest, ReadsNonAsciiAddressesAsGbkOrUtf8AndAnswersInAscii) {
  const std::string utf8 = "http://例子.test/路径?q=中文";
  const std::string gbk = "http://例子.test/路径?q=中文"_gbk;
  ASSERT_NE(gbk, utf8);

  std::string from_gbk = Shorten(gbk, 2);
  ASSERT_NE(from_gbk, "");
  EXPECT_EQ(Shorten(utf8, 2), from_gbk) << "both encodings are the same address";

  Reply reply = Post("/api/url/query", "url=" + from_gbk);
  ASSERT_EQ(reply.status, 200);
  EXPECT_TRUE(IsAscii(reply.body)) << reply.body;
  EXPECT_NE(reply.body.find("\\u4f8b\\u5b50"), std::string::npos) << reply.body;  // 例子
  EXPECT_EQ(JsonValue(reply.body, "long_url"), utf8);

  EXPECT_EQ(Get("/" + CodeOf(from_gbk)).location,
            "http://%E4%BE%8B%E5%AD%90.test/%E8%B7%AF%E5%BE%84?q=%E4%B8%AD%E6%96%87");

  // A character beyond the BMP comes back as a surrogate pair.
  std::string emoji = "http://example.com/\xF0\x9F\x98\x80";
  Reply emoji_reply = Post("/api/url/query", "url=" + Shorten(emoji, 1));
  EXPECT_NE(emoji_reply.body.find("\\ud83d\\ude00"), std::string::npos) << emoji_reply.body;
  EXPECT_EQ(JsonValue(emoji_reply.body, "long_url"), emoji);
}

TEST_F(ServerTest, TimesOutASlowClientWithoutHoldingUpOthers) {
  int slow = Connect(server_->port());
  ASSERT_GE(slow, 0);
  std::string part = "POST /api/url HTTP/1.1\r\nHost: x\r\n";
  ASSERT_GT(send(slow, part.data(), part.size(), MSG_NOSIGNAL), 0);

  EXPECT_NE(Shorten("http://example.com/meanwhile", 1), "");

  // Whatever the server says on giving up, it closes the connection.
  auto start = std::chrono::steady_clock::now();
  timeval timeout = {20, 0};
  setsockopt(slow, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  char buffer[256];
  ssize_t n;
  while ((n = recv(slow, buffer, sizeof buffer, 0)) > 0) {
  }
  auto waited = std::chrono::steady_clock::now() - start;
  close(slow);
  EXPECT_EQ(n, 0) << "closed by the server";
  EXPECT_LT(waited, std::chrono::seconds(15));
}

TEST_F(ServerTest, TwoHundredParallelShortensGiveOneLinkPerAddressAndType) {
  constexpr int kClients = 200;
  std::vector<std::string> links(kClients);
  std::vector<std::thread> clients;
  for (int i = 0; i < kClients; ++i) {
    // Even clients send distinct addresses, odd ones all the same.
    std::string url = i % 2 == 0 ? "http://example.com/item/" + std::to_string(i)
                                 : std::string("http://example.com/same");
    clients.emplace_back([this, &links, i, url] { links[i] = Shorten(url, 4); });
  }
  for (std::thread& client : clients) client.join();

  std::set<std::string> distinct;
  std::set<std::string> same;
  for (int i = 0; i < kClients; ++i) {
    SCOPED_TRACE(i);
    ASSERT_EQ(links[i].rfind("http://kz.test/", 0), 0u) << links[i];
    (i % 2 == 0 ? distinct : same).insert(links[i]);
  }
  EXPECT_EQ(distinct.size(), kClients / 2u) << "unique codes";
  EXPECT_EQ(same.size(), 1u) << "one link for the same address";
  EXPECT_EQ(distinct.count(*same.begin()), 0u);
  for (int i = 0; i < kClients; i += 2) {
    EXPECT_EQ(Restore(links[i]), "http://example.com/item/" + std::to_string(i));
  }
}

TEST_F(ServerTest, KeepsEveryAcknowledgedLinkWhenKilledDuringLoad) {
  std::mutex mutex;
  std::map<std::string, std::string> acknowledged;  // short link -> long address
  std::atomic<bool> stop = false;
  std::atomic<int> next = 0;
  std::vector<std::thread> clients;
  for (int t = 0; t < 8; ++t) {
    clients.emplace_back([&] {
      while (!stop) {
        std::string url = "http://example.com/load/" + std::to_string(next++);
        std::string link = Shorten(url, 5);
        if (link.empty()) continue;
        std::lock_guard lock(mutex);
        acknowledged[link] = url;
      }
    });
  }
  ASSERT_TRUE(WaitFor(
      [&] {
        std::lock_guard lock(mutex);
        return acknowledged.size() >= 300;
      },
      60000));
  EXPECT_EQ(server_->Stop(SIGKILL), -1);
  stop = true;
  for (std::thread& client : clients) client.join();

  Start();
  std::lock_guard lock(mutex);
  for (const auto& [link, url] : acknowledged) {
    SCOPED_TRACE(link);
    ASSERT_EQ(Restore(link), url);
  }
}

TEST_F(ServerTest, StopsCleanlyOnSigterm) {
  EXPECT_NE(Shorten("http://example.com/before-stop", 1), "");
  EXPECT_EQ(server_->Stop(SIGTERM), 0);
}

TEST(ServerOptionsTest, HelpAndBadOptions) {
  CommandResult help = RunCommand({ServerProgram(), "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--listen HOST:PORT"), std::string::npos);

  const char* bad[][2] = {
      {"--bogus", ""},
      {"--listen", "127.0.0.1"},
      {"--listen", "127.0.0.1:70000"},
      {"--listen", "x:-1"},
      {"--domain", "9=a.test"},
      {"--domain", "1="},
      {"--domain", "1=a b"},
      {"--db", ""},
      {"--listen", "[::1:80"},
  };
  for (const auto& row : bad) {
    SCOPED_TRACE(std::string(row[0]) + " " + row[1]);
    std::string command = "'" + ServerProgram() + "' " + row[0] + " '" + row[1] + "' 2>&1";
    if (std::string(row[0]) == "--bogus") command = "'" + ServerProgram() + "' --bogus 2>&1";
    CommandResult result = RunCommand({"sh", "-c", command});
    EXPECT_NE(result.status, 0);
    ASSERT_FALSE(result.out.empty());
    EXPECT_EQ(result.out.find('\n'), result.out.size() - 1) << "one line: " << result.out;
  }
}

TEST(ServerOptionsTest, DomainsAndTheDefaultDatabaseFolder) {
  TempDir dir;
  ServerProcess server({"--domain", "3=s.example", "--domain=8=L.Example"}, dir.path());
  ASSERT_NE(server.port(), 0);
  httplib::Client client("127.0.0.1", server.port());
  auto shorten = [&](const std::string& body) {
    auto result = client.Post("/api/url", body, "application/x-www-form-urlencoded");
    return result ? JsonValue(result->body, "short_url") : "";
  };
  EXPECT_EQ(shorten("url=http%3A%2F%2Fa.com&type=3").rfind("http://s.example/", 0), 0u);
  EXPECT_EQ(shorten("url=http%3A%2F%2Fa.com&type=8").rfind("http://l.example/", 0), 0u);
  EXPECT_EQ(shorten("url=http%3A%2F%2Fa.com&type=1").rfind("http://dl.test/", 0), 0u);
  // The new domain is one of ours now; the one it replaced is not.
  EXPECT_EQ(shorten("url=http%3A%2F%2Fs.example%2Fx&type=1"), "<missing>");
  EXPECT_NE(shorten("url=http%3A%2F%2Ftu.test%2Fx&type=1"), "<missing>");
  EXPECT_TRUE(std::filesystem::exists(dir.path() + "/var/shorturl.db"));
}

TEST(ServerOptionsTest, RefusesAPortInUse) {
  TempDir dir;
  ServerProcess first({"--db", dir.path() + "/a.db"});
  ASSERT_NE(first.port(), 0);
  CommandResult second =
      RunCommand({"sh", "-c",
                  "'" + ServerProgram() + "' --listen 127.0.0.1:" + std::to_string(first.port()) +
                      " --db '" + dir.path() + "/b.db' 2>&1"});
  EXPECT_NE(second.status, 0);
  EXPECT_NE(second.out.find("cannot listen"), std::string::npos) << second.out;
}

}  // namespace
}  // namespace shorturl::testing
