// Test helper: run_log_writer PATH PREFIX COUNT writes the lines PREFIX-0,
// PREFIX-1, ... into the run log at PATH (UTF-8), COUNT of them, or without
// end when COUNT is 0.
#include <cstdlib>
#include <string>

#include "desktop/run_log.h"
#include "text/codepage.h"

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const shorturl::Text path = shorturl::TextFromUtf8(argv[1]);
  const std::string prefix = argv[2];
  const long count = std::strtol(argv[3], nullptr, 10);
  for (long i = 0; count == 0 || i < count; ++i) {
    shorturl::WriteRunLog(prefix + "-" + std::to_string(i), path);
  }
  return 0;
}
