#include "FuzzInput.h"

#include <cstdio>
#include <cstdlib>

namespace qv::fuzz {

void fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "property broken: %s\n", what);
  if (!detail.empty()) {
    std::fprintf(stderr, "  ");
    for (unsigned char c : detail) {
      if (c >= 32 && c < 127 && c != '\\')
        std::fputc(c, stderr);
      else
        std::fprintf(stderr, "\\x%02x", c);
    }
    std::fprintf(stderr, "\n");
  }
  std::abort();
}

}  // namespace qv::fuzz
