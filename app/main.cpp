// Entry point: the command line (run, list, inspect) or, with no arguments, the window.
#include <cstdio>

int main(int, char**) {
  std::fprintf(stderr, "usage: vellicor run|list|inspect ...\n");
  return 2;
}
