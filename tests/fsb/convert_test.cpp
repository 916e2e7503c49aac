// Property: every sample becomes a file a player opens holding exactly the bank's audio (PCM
// and decoded IMA ADPCM as WAV, MPEG frames without their padding), under a name that stays
// in the output folder and never replaces another file.
#include "bank_bytes.h"

namespace fsb_tests {
namespace {

using namespace std::string_literals;

TEST(Convert, PcmBecomesLittleEndianInterleavedWavWithUnsigned8Bits) {
  struct Row {
    const char* what;
    std::uint32_t flags, mode;
    std::uint16_t channels, wavChannels, bits;
    std::string in, out;
  };
  const std::string six = "abcdefghijklmnopqrstuvwx";  // 6 channels, 2 frames
  const Row rows[] = {
      {"16-bit", 0, 0x10 | 0x20, 1, 1, 16, "\x01\x02\x03\x04", "\x01\x02\x03\x04"},
      {"16-bit big-endian", kBankBigEndianPcm, kModeStereo, 2, 2, 16,
       "\x01\x02\x03\x04\x05\x06\x07\x08", "\x02\x01\x04\x03\x06\x05\x08\x07"},
      {"stereo by the mode bit", 0, kModeStereo, 0, 2, 16, "\x01\x02\x03\x04", "\x01\x02\x03\x04"},
      {"8-bit signed", 0, kMode8Bits, 1, 1, 8, "\x00\x7F\x80\xFF\x01"s, "\x80\xFF\x00\x7F\x81"s},
      {"8-bit unsigned", 0, kMode8Bits | kModeUnsigned, 1, 1, 8, "\x00\x7F\x80"s, "\x00\x7F\x80"s},
      {"6 channels", 0, kModeMultichannel, 6, 6, 16, six, six},
      {"not interleaved", kBankNotInterleaved, kModeStereo, 2, 2, 16, "LlMmRrSs", "LlRrMmSs"},
      {"not interleaved 8-bit", kBankNotInterleaved, kMode8Bits | kModeMultichannel, 3, 3, 8,
       "\x00\x01\x02\x10\x11\x12\x20\x21\x22"s, "\x80\x90\xA0\x81\x91\xA1\x82\x92\xA2"s}};
  std::int32_t rate = 8000;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    rate += 1111;
    const auto frames = static_cast<std::uint32_t>(row.in.size() * 8 / row.wavChannels / row.bits);
    Sandbox box(
        buildBank({.flags = row.flags}, {{"pcm", row.in, frames, row.mode, row.channels, rate}}));
    const auto result = box.convert();
    ASSERT_EQ(Sandbox::nameOf(result, 0), "pcm.wav");
    const Wav wav = parseWav(box.output(result, 0));
    EXPECT_EQ(std::vector<std::uint32_t>({wav.tag, wav.channels, wav.rate, wav.bits}),
              std::vector<std::uint32_t>({1, row.wavChannels, std::uint32_t(rate), row.bits}));
    EXPECT_EQ(wav.data, row.out);
    EXPECT_EQ(result.written.at(0).bytes, fs::file_size(box.folder / "pcm.wav"));
  }
}

TEST(Convert, ImaAdpcmIsDecodedToExactlyTheBanksFramesOf16BitPcm) {
  std::mt19937 random(36064);
  for (std::uint16_t channels : {1, 2}) {
    SCOPED_TRACE(channels);
    const std::uint32_t frames = 3 * 64 - 17;
    std::string data;
    for (int block = 0; block < 3; ++block) {
      for (int c = 0; c < channels; ++c) {
        put(data, block + c == 0 ? 32000 : random(), 2);  // the first one will clip
        put(data, block + c == 0 ? 88 : random() % 89, 1);
        put(data, 0, 1);
      }
      data += randomBytes(32u * channels, random);
    }
    const auto mode = kModeImaAdpcm | (channels == 2 ? kModeStereo : 0);
    Sandbox box(buildBank({}, {{"ima", data, frames, mode, channels, 22050}}));
    const auto result = box.convert();
    EXPECT_EQ(Sandbox::nameOf(result, 0), "ima.wav");
    const Wav wav = parseWav(box.output(result, 0));
    EXPECT_EQ(std::vector<std::uint32_t>({wav.tag, wav.channels, wav.rate, wav.bits}),
              std::vector<std::uint32_t>({1, channels, 22050, 16}));
    std::vector<std::int16_t> samples(wav.data.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
      samples[i] = static_cast<std::int16_t>(get(wav.data, 2 * i, 2));
    EXPECT_EQ(samples, imaDecode(data, channels, frames));
  }
}

TEST(Convert, MpegFramesAreWrittenAsTheyAreWithoutThePaddingBetweenThem) {
  struct Row {
    std::uint32_t flags;
    std::uint8_t layerByte;                            // 0xFB: layer III, 0xFD: layer II
    std::vector<std::pair<std::uint8_t, int>> frames;  // third header byte, frame length
    std::size_t multiple;
    std::string name;
  };
  const Row rows[] = {{kBankMpegPadded, 0xFB, {{0x90, 417}, {0x92, 418}, {0x90, 417}}, 2, "m.mp3"},
                      {kBankMpegPadded4, 0xFB, {{0x90, 417}, {0x92, 418}, {0x90, 417}}, 4, "m.mp3"},
                      {0, 0xFD, {{0xA0, 626}, {0xA2, 627}}, 1, "m.mp2"}};
  std::mt19937 random(417);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name + " " + std::to_string(row.multiple));
    std::string data, expected;
    for (const auto& [third, length] : row.frames) {
      const std::string frame = "\xFF"s + char(row.layerByte) + char(third) + '\0' +
                                randomBytes(std::size_t(length) - 4, random, 0xFF);
      expected += frame;
      data += frame + std::string((row.multiple - frame.size() % row.multiple) % row.multiple, 0);
    }
    Sandbox box(buildBank({.flags = row.flags}, {{"m", data, 1152, kModeMpeg | kModeStereo, 2}}));
    const auto result = box.convert();
    EXPECT_EQ(Sandbox::nameOf(result, 0), row.name);
    EXPECT_TRUE(box.output(result, 0) == expected) << "not the frames without their padding";
  }
}

TEST(Convert, NamesStayInTheFolderGetAnExtensionWhenTheyHaveNoneAndReplaceNothing) {
  const std::pair<std::string, std::string> names[] = {
      {"tone", "tone.wav"},
      {"a.wav", "a.wav"},
      {"cut\0junk"s, "cut.wav"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcd", "ABCDEFGHIJKLMNOPQRSTUVWXYZabcd.wav"},
      {"a\\b/c:d*e?f\"g<h>i|j\x01k\x1Fl", "a_b_c_d_e_f_g_h_i_j_k_l.wav"},
      {"caf\xE9", "caf\xC3\xA9.wav"},
      {"", "music_6.wav"},
      {"dup", "dup.wav"},
      {"dup", "dup_1.wav"},
      {"dup.wav", "dup_2.wav"},
      {"old", "old_1.wav"},
      {"..", ""},
      {".", ""},
      {"..\\..\\x", ""},
      {"../../y", ""}};
  std::vector<RawSample> samples;
  for (const auto& [name, file] : names)
    samples.push_back({name, {char(samples.size()), 'S'}, 1, 0, 1, 11025});
  Sandbox box(buildBank({}, samples), "music.fsb");
  const auto old = box.folder / "old.wav";
  box.dir.write("a/out/old.wav", "not a sample");

  const auto result = box.convert();

  EXPECT_TRUE(result.failures.empty());
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const std::string file = Sandbox::nameOf(result, i);
    if (!names[i].second.empty()) {
      EXPECT_EQ(file, names[i].second);
    }
    EXPECT_TRUE(file != "." && file != ".." && file.find('/') == std::string::npos) << file;
    EXPECT_EQ(parseWav(box.output(result, i)).data, samples[i].data) << file;
  }
  EXPECT_EQ(testing_support::slurp(old), "not a sample");
  const auto all = testing_support::filesBelow(box.dir.path());
  EXPECT_EQ(all.size(), samples.size() + 2);
  for (const auto& file : all)
    EXPECT_TRUE(file == "music.fsb" ||
                (file.starts_with("a/out/") && file.find('/', 6) == std::string::npos))
        << file;
}

}  // namespace
}  // namespace fsb_tests
