#include "cli/cli.h"

int main(int argc, char** argv) { return vantrel::cli::Main(argc, argv); }
