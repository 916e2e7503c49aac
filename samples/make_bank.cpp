// Writes a sound bank: the bundled sample bank, or with MEGABYTES a bank of ten PCM16
// stereo tones that together hold about that many megabytes (for benchmarks).
//   tarnwick-make-bank OUTPUT.fsb [MEGABYTES]
#include <fstream>
#include <iostream>
#include <string>

#include "sample_bank.h"

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::cerr << "usage: tarnwick-make-bank OUTPUT.fsb [MEGABYTES]\n";
    return 7;
  }
  auto tones = samples::sampleTones();
  if (argc == 3) {
    const unsigned long megabytes = std::stoul(argv[2]);
    tones.clear();
    for (int i = 0; i < 10; ++i)
      tones.push_back({"tone_" + std::to_string(i), samples::Tone::Pcm16, 2, 44100,
                       static_cast<unsigned>(megabytes * 1000000 / 10 / 4), 220.0 + 55 * i});
  }
  const auto bank = samples::makeBank(tones);
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bank.data()), static_cast<std::streamsize>(bank.size()));
  if (!out.flush()) {
    std::cerr << "tarnwick-make-bank: cannot write " << argv[1] << "\n";
    return 2;
  }
  return 0;
}
