// tarnwick-cli sounds: what a sound bank holds, one line per sample; with -o, every sample
// converted into a folder as the window's converter does it.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>

#include "cli/cli.h"
#include "fsb/bank.h"
#include "fsb/convert.h"
#include "platform/files.h"
#include "platform/mapped_file.h"
#include "util/cp1252.h"
#include "util/json_text.h"

namespace cli {

namespace {

struct SoundsArgs {
  std::string bank, output;
  bool json = false;
};

std::string seconds(const fsb::Sample& s) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f",
                s.rate > 0 ? static_cast<double>(s.frames) / s.rate : 0.0);
  return text;
}

void list(const fsb::Bank& bank, Io& io) {
  io.out << "index  name                            encoding   ch   rate      frames  seconds"
            "        bytes\n";
  for (const auto& s : bank.samples) {
    char line[160];
    const std::string name = s.name.empty() ? "-" : util::cp1252ToUtf8(s.name);
    std::snprintf(line, sizeof line, "%5zu  %-30s  %-9s %3u %6d %11u %8s %12u\n", s.index,
                  name.c_str(), std::string(fsb::encodingName(s.encoding)).c_str(), s.channels,
                  s.rate, s.frames, seconds(s).c_str(), s.dataBytes);
    io.out << line;
  }
}

void listJson(const fsb::Bank& bank, Io& io) {
  io.out << "[";
  for (const auto& s : bank.samples) {
    io.out << (s.index ? ",\n " : "\n ") << "{\"index\": " << s.index << ", \"name\": "
           << (s.name.empty() ? "null" : util::jsonString(util::cp1252ToUtf8(s.name)))
           << ", \"encoding\": " << util::jsonString(fsb::encodingName(s.encoding))
           << ", \"channels\": " << s.channels << ", \"rate\": " << s.rate
           << ", \"frames\": " << s.frames << ", \"seconds\": " << seconds(s)
           << ", \"bytes\": " << s.dataBytes << "}";
  }
  io.out << (bank.samples.empty() ? "]\n" : "\n]\n");
}

int runSounds(const SoundsArgs& args, Io& io) {
  try {
    if (!args.output.empty()) {
      const auto result =
          fsb::convertBank(platform::pathFromUtf8(args.bank), platform::pathFromUtf8(args.output));
      for (const auto& done : result.written)
        io.out << platform::utf8(platform::pathFromUtf8(args.output) /
                                 platform::pathFromUtf8(done.fileName))
               << "\n";
      for (const auto& failure : result.failures)
        io.err << "tarnwick-cli: " << args.bank << ": " << failure << "\n";
      io.out << "Converted " << result.written.size() << " of "
             << result.written.size() + result.failures.size() << " samples of " << args.bank
             << " into " << args.output << "\n";
      return result.failures.empty() ? kExitOk : kExitWarnings;
    }
    const platform::MappedFile file(platform::pathFromUtf8(args.bank));
    const auto bank = fsb::readBank(file.bytes());
    if (args.json)
      listJson(bank, io);
    else
      list(bank, io);
    if (bank.trailingBytes > 0)
      io.err << "tarnwick-cli: " << args.bank << ": " << bank.trailingBytes
             << " bytes follow the end of the bank\n";
    return kExitOk;
  } catch (const fsb::BankError& e) {
    io.err << "tarnwick-cli: " << args.bank << ": " << e.what() << "\n";
    return kExitFailed;
  }
}

}  // namespace

void registerSounds(CLI::App& app, Runner& run) {
  auto args = std::make_shared<SoundsArgs>();
  auto* sub = app.add_subcommand(
      "sounds", "List the samples of an FSB sound bank, or with -o convert them into files.");
  sub->add_option("BANK", args->bank, "the .fsb sound bank")->required();
  sub->add_option("-o,--output", args->output,
                  "convert every sample into this folder (PCM and IMA ADPCM as WAV, MPEG as "
                  ".mp3/.mp2, other encodings raw); existing files are never replaced");
  sub->add_flag("--json", args->json, "the listing as JSON");
  sub->callback([&run, args] { run = [args](Io& io) { return runSounds(*args, io); }; });
}

}  // namespace cli
