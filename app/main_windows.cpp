// wmain() on Windows (linked with -municode): the arguments arrive as UTF-16 and go on as UTF-8, so
// Japanese names and paths survive whatever the ANSI code page is.
#include <clocale>
#include <string>
#include <vector>

#include "app/program_main.h"
#include "text/wide_windows.h"

int wmain(int argc, wchar_t** argv) {
  std::setlocale(LC_ALL, "");
  std::vector<std::string> words;
  words.reserve(static_cast<size_t>(argc));
  for (int i = 0; i < argc; ++i) words.push_back(vellicor::text::narrow(argv[i]));
  std::vector<char*> pointers;
  for (std::string& w : words) pointers.push_back(w.data());
  pointers.push_back(nullptr);
  return vellicor::app::programMain(argc, pointers.data());
}
