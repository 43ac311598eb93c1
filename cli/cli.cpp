#include "cli/cli.h"

namespace vantrel::cli {

int Main(int argc, char** argv) { return 2; }

}  // namespace vantrel::cli
