// vantrel-cli: the command-line front end over the engine.
#pragma once

namespace vantrel::cli {

int Main(int argc, char** argv);

}  // namespace vantrel::cli
