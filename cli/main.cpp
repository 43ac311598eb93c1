#include <clocale>

#include "cli/cli.h"

int main(int argc, char** argv) {
  // Dates are shown in the person's own format.
  std::setlocale(LC_ALL, "");
  return vantrel::cli::Main(argc, argv);
}
