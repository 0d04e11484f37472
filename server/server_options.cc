#include "server/server_options.h"

#include <cctype>
#include <charconv>

namespace shorturl::server {
namespace {

bool ParsePort(std::string_view text, int* port) {
  int value = -1;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 0 || value > 65535) {
    return false;
  }
  *port = value;
  return true;
}

// HOST:PORT, or [IPv6]:PORT.
bool ParseListen(const std::string& value, ServerOptions* options) {
  std::size_t colon = value.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  std::string host = value.substr(0, colon);
  if (host.front() == '[') {
    if (host.size() < 3 || host.back() != ']') return false;
    host = host.substr(1, host.size() - 2);
  } else if (host.find(':') != std::string::npos) {
    return false;
  }
  if (!ParsePort(std::string_view(value).substr(colon + 1), &options->port)) return false;
  options->host = host;
  return true;
}

bool IsDomain(const std::string& domain) {
  if (domain.empty() || domain.size() > 253 || domain.front() == '.' || domain.back() == '.') {
    return false;
  }
  for (char c : domain) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.') return false;
  }
  return true;
}

// N=DOMAIN with N from 1 to 8.
bool ParseDomain(const std::string& value, ServerOptions* options) {
  if (value.size() < 3 || value[0] < '1' || value[0] > '8' || value[1] != '=') return false;
  std::string domain = value.substr(2);
  if (!IsDomain(domain)) return false;
  for (char& c : domain) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  options->domains[value[0] - '1'] = domain;
  return true;
}

}  // namespace

std::string ServerUsage() {
  return "usage: shorturl-server [--listen HOST:PORT] [--db FILE] [--domain N=DOMAIN]...\n"
         "The short-link API server.\n"
         "  --listen HOST:PORT  address to listen on (default 127.0.0.1:17380; port 0 picks a\n"
         "                      free one). Once it accepts, the server prints one line\n"
         "                      'listening on HOST:PORT' to standard output.\n"
         "  --db FILE           database file (default var/shorturl.db; its folder is made)\n"
         "  --domain N=DOMAIN   domain of link type N, 1 to 8 (defaults: 1=dl.test 2=sl.test\n"
         "                      3=tu.test 4=kz.test 5=c.test 6=wz.test 7=url.test 8=link.test)\n"
         "  --help              show this text\n"
         "SIGINT or SIGTERM stops it after the requests under way.\n";
}

bool ParseServerOptions(const std::vector<std::string>& args, ServerOptions* options,
                        std::string* error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    bool has_value = false;
    if (std::size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      has_value = true;
    }
    if (name == "--help" && !has_value) {
      options->help = true;
      continue;
    }
    if (name != "--listen" && name != "--db" && name != "--domain") {
      *error = "unknown option '" + args[i] + "' (see --help)";
      return false;
    }
    if (!has_value) {
      if (i + 1 >= args.size()) {
        *error = "option " + name + " needs a value (see --help)";
        return false;
      }
      value = args[++i];
    }
    if (name == "--listen" && !ParseListen(value, options)) {
      *error = "bad --listen '" + value + "': expected HOST:PORT with a port from 0 to 65535";
      return false;
    }
    if (name == "--db") {
      if (value.empty()) {
        *error = "--db needs a file name";
        return false;
      }
      options->db_path = value;
    }
    if (name == "--domain" && !ParseDomain(value, options)) {
      *error = "bad --domain '" + value + "': expected N=DOMAIN with N from 1 to 8";
      return false;
    }
  }
  return true;
}

}  // namespace shorturl::server
