#include "cli/cli.h"
namespace cli {
void registerExtract(CLI::App&, Runner&) {}
void registerVerify(CLI::App&, Runner&) {}
}  // namespace cli
