// The command line of the server.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace shorturl::server {

// The domains of the eight link types, type 1 first: the labels of the
// program's radio buttons.
inline const std::array<std::string, 8> kDefaultDomains = {
    "dl.test", "sl.test", "tu.test", "kz.test", "c.test", "wz.test", "url.test", "link.test",
};

struct ServerOptions {
  std::string host = "127.0.0.1";
  int port = 17380;  // 0 picks a free port
  std::string db_path = "var/shorturl.db";
  std::array<std::string, 8> domains = kDefaultDomains;
  bool help = false;
};

// Reads the arguments after the program name into `*options`. False with a
// one-line reason in `*error` for an unknown option, a missing or bad value.
bool ParseServerOptions(const std::vector<std::string>& args, ServerOptions* options,
                        std::string* error);

// The text that --help prints.
std::string ServerUsage();

}  // namespace shorturl::server
