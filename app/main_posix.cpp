// main() on POSIX: the arguments are the program's UTF-8 as they come.
#include <clocale>

#include "app/program_main.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  return vellicor::app::programMain(argc, argv);
}
