// fsbext: writes every sample of a sound bank as a file a player opens.
//
//   fsbext -d OUTPUT_FOLDER -a BANK
//
// Exit codes: 0 every sample written; 1 some samples could not be written (the others
// were); 2 the bank was refused or could not be read (nothing written); 7 usage error.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <filesystem>
#include <iostream>

#include "fsb/bank.h"
#include "fsb/convert.h"
#include "platform/files.h"
#include "platform/mapped_file.h"
#include "platform/process.h"
#include "platform/temporary.h"
#include "util/error_text.h"
#include "util/version.h"

int main(int argc, char** argv) {
  platform::prepareConsole();
  platform::installInterruptCleanup();
  platform::returnLargeBuffersToTheSystem();
  std::string folder = ".", bank, positional;
  bool verbose = false;
  CLI::App app{
      "Writes every sample of an FSB3 or FSB4 sound bank into a folder: PCM and IMA "
      "ADPCM as WAV, MPEG as .mp3/.mp2, other encodings as their raw data. Files "
      "already in the folder are never replaced; a new file takes a number instead.",
      "fsbext"};
  app.allow_windows_style_options(false);
  app.add_option("-d,--dir", folder, "the output folder (made when missing; default: .)");
  app.add_option("-a,--bank", bank, "the bank to convert");
  app.add_option("BANK", positional, "the bank, when -a is not given");
  app.add_flag("-v,--verbose", verbose, "name each file written");
  app.set_version_flag("--version", "fsbext (" + std::string(util::kVersionText) + ")");
  // UTF-8 arguments whatever the system handed over; CLI11 takes them last first.
  auto args = platform::arguments(argc, argv);
  args.erase(args.begin());
  std::reverse(args.begin(), args.end());
  try {
    app.parse(args);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 7;
  }
  if (bank.empty())
    bank = positional;
  if (bank.empty() || (!positional.empty() && positional != bank)) {
    std::cerr << "fsbext: name one bank, with -a BANK\n";
    return 7;
  }
  try {
    const auto result =
        fsb::convertBank(platform::pathFromUtf8(bank), platform::pathFromUtf8(folder));
    for (const auto& done : result.written)
      if (verbose)
        std::cout << platform::utf8(platform::pathFromUtf8(folder) /
                                    platform::pathFromUtf8(done.fileName))
                  << "\n";
    if (result.trailingBytes > 0)
      std::cerr << "fsbext: " << bank << ": " << result.trailingBytes
                << " bytes after the end of the bank were ignored\n";
    for (const auto& failure : result.failures)
      std::cerr << "fsbext: " << bank << ": " << failure << "\n";
    return result.failures.empty() ? 0 : 1;
  } catch (const fsb::BankError& e) {
    std::cerr << "fsbext: " << bank << ": " << e.what() << "\n";
  } catch (const platform::MappingChanged& e) {
    std::cerr << "fsbext: " << bank << ": " << e.what() << "\n";
  } catch (...) {
    std::cerr << "fsbext: " << util::describeException(std::current_exception()) << "\n";
  }
  return 2;
}
