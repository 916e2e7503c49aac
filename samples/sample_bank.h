// The bundled sample sound bank: a small FSB3.1 bank of short tones, written from the
// format's facts so the demo converts something that plays.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace samples {

struct Tone {
  std::string name;  // at most 30 bytes
  enum Kind { Pcm16, Pcm8, Ima } kind = Pcm16;
  unsigned channels = 1;
  unsigned rate = 22050;
  unsigned frames = 0;
  double hertz = 440;
};

// A whole FSB3.1 bank holding the tones, each a fading sine wave.
std::vector<std::uint8_t> makeBank(const std::vector<Tone>& tones);

// The three tones of sound/bank1.fsb: PCM16 stereo, PCM8 mono and IMA ADPCM mono.
std::vector<Tone> sampleTones();

}  // namespace samples
