// Banks read by each header's size or refused whole; each sample a file of exactly its audio.
#include "app/commands/fsb.h"
#include "bank_bytes.h"
#include "platform/mapped_file.h"
#include "support/checks.h"
#include "support/command_harness.h"
#include "support/system.h"

namespace fsb_tests {
namespace {

using namespace std::string_literals;
using namespace testing_support;

// Data on 32-byte file offsets with bank flag 0x40; basic headers take sample 0's fields.
TEST(Bank, SamplesAreFoundByEachHeadersOwnSizeAndWhereThePreviousDataEnded) {
  const struct {
    const char* what;
    RawBank bank;
    std::vector<std::size_t> extra;  // header bytes after the fixed fields, per sample
  } rows[] = {
      {"FSB3.0, extra header bytes", {.version = 0x30000}, {46, 0, 3, 92, 1}},
      {"FSB3.1, extra header bytes", {}, {14, 46, 0, 1, 2}},
      {"basic headers", {.flags = kBankBasicHeaders}, {46, 0, 0, 0, 0}},
      {"32-byte data offsets", {.flags = kBankMpegPadded4}, {0, 1, 2, 3, 4}},
      {"FSB3.0, basic headers, 32-byte data offsets, trailing bytes",
       {.version = 0x30000, .flags = kBankBasicHeaders | kBankMpegPadded4, .trailing = "tail"},
       {3, 0, 0, 0, 0}},
      {"FSB4, 32-byte data offsets",
       {.id = "FSB4", .version = 0x40000, .flags = kBankMpegPadded4},
       {0, 46, 0, 0, 5}}};
  const std::uint32_t modes[] = {kModeVag, kModeGcAdpcm, kModeXma, kModeOgg,
                                 kModeImaAdpcm | kModeMultichannel};
  const std::string extensions[] = {".vag", ".dsp", ".xma", ".ogg", ".ima"};
  const std::size_t lengths[] = {33, 17, 7, 64, 1};
  std::mt19937 random(32);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const bool basic = row.bank.flags & kBankBasicHeaders;
    std::vector<RawSample> samples;
    for (std::uint32_t i = 0; i < 5; ++i)
      samples.push_back({"s" + std::to_string(i), randomBytes(lengths[i], random), 100 + i,
                         modes[i], std::uint16_t(i == 4 ? 6 : 2), 32000 + int(i), row.extra[i]});
    const std::string bytes = buildBank(row.bank, samples);
    Sandbox box(bytes);
    const auto result = box.convert();
    const Bank bank = readBank(toBytes(bytes));
    EXPECT_EQ(result.trailingBytes, row.bank.trailing.size());
    ASSERT_EQ(bank.samples.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
      const RawSample& own = samples[i];
      const RawSample& from = samples[basic ? 0 : i];
      const bool named = !basic || i == 0;
      const Sample& read = bank.samples[i];
      EXPECT_EQ(std::tuple(read.name, read.frames, read.mode, read.rate, read.channels),
                std::tuple(named ? own.name : "", own.frames, from.mode, from.rate, from.channels));
      EXPECT_EQ(Sandbox::nameOf(result, i),
                named ? own.name + extensions[i] : "bank_" + std::to_string(i) + ".vag");
      EXPECT_TRUE(box.output(result, i) == own.data) << "sample " << i << " holds other bytes";
    }
  }
}

TEST(Bank, BanksWhoseHeadersOrRangesDoNotFitAreRefusedWithNothingWritten) {
  // 24 + 2 * 80 + 8 bytes: the second header at 0x68, its data at 0xBC.
  const std::vector<RawSample> base = {{"one", "\x01\x02\x03\x04", 2},
                                       {"two", "\x05\x06\x07\x08", 2}};
  const auto edited = [&](auto edit, RawBank bank = {}) {
    auto samples = base;
    edit(samples);
    return buildBank(bank, samples);
  };
  const std::string good = buildBank({}, base);
  const std::pair<std::string, std::string> rows[] = {
      {good.substr(0, 23), "the file is 23 bytes long, shorter than a bank header (24 bytes)"},
      {buildBank({.id = "FSB5"}, base), "not an FSB3 or FSB4 sound bank (it starts with \"FSB5\")"},
      {buildBank({.version = 0x30002}, base), "unknown FSB3 version 0x30002 at 0x10"},
      {buildBank({.flags = kBankEncrypted}, base), "the bank is encrypted at 0x14"},
      {good.substr(0, good.size() - 1), "its headers say it ends at 0xC0, the file ends at 0xBF"},
      {edited([](auto& s) { s[1].sizeField = 79; }), "sample 1 is 79 bytes, fewer than 80 at 0x68"},
      {edited([](auto& s) { s[1].sizeField = 81; }),
       "(81 bytes) runs past the header area at 0x68"},
      {edited([](auto& s) { s[0].sizeField = 160; }),
       "the header of sample 1 starts past the header area at 0xB8"},
      {edited([](auto& s) { s[0].sizeField = 63; }, {.version = 0x30000}),
       "sample 0 is 63 bytes, fewer than 64 at 0x18"},
      {edited([](auto& s) { s[1].dataBytesField = 5; }),
       "sample 1 (5 bytes) runs past the end of the data area (0xC0) at 0xBC"},
      {edited([](auto& s) { s[1].dataBytesField = 0xFFFFFFFF; }),
       "(4294967295 bytes) runs past the end of the data area (0xC0) at 0xBC"},
      {buildBank({.headerBytesField = 0xFFFFFFF0, .dataBytesField = 0x20}, base),
       "its headers say it ends at 0x100000028"},
      {buildBank({.countField = 0x20000001}, base), "too few for 536870913 samples at 0x8"},
      {buildBank({.countField = 0xFFFFFFFF}, base), "negative sample count at 0x4"}};
  for (const auto& [bytes, message] : rows) {
    Sandbox box(bytes);
    EXPECT_HAS(thrown<BankError>([&] { box.convert(); }), message);
    EXPECT_TRUE(fs::is_empty(box.folder)) << message;
  }
}

TEST(Convert, PcmBecomesLittleEndianInterleavedWavWithUnsigned8Bits) {
  const std::string six = "abcdefghijklmnopqrstuvwx";  // 6 channels, 2 frames
  const struct {
    const char* what;
    std::uint32_t flags, mode;
    std::uint16_t channels, wavChannels, bits;
    std::string in, out;
  } rows[] = {
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
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    rate += 1111;
    const auto frames = static_cast<std::uint32_t>(row.in.size() * 8 / row.wavChannels / row.bits);
    EXPECT_EQ(
        convertOne({.flags = row.flags}, {"pcm", row.in, frames, row.mode, row.channels, rate}),
        std::pair("pcm.wav"s, wavFile(row.wavChannels, rate, row.bits, row.out)));
  }
}

// Worked out by hand: a code adds step >> 3, + step (bit 2), + step >> 1, + step >> 2, negated by
// bit 3, within 16 bits; the index moves -1 x4, 2, 4, 6, 8 by the low bits, within 0 to 88. Steps:
// 0: 7, 2: 9, 6: 13, 12: 23, 20: 50, 22: 60, 29: 118, 30: 130, 40: 337, 44: 494, 49: 796,
// 50: 876, 51: 963, 52: 1060, 87: 29794, 88: 32767.
TEST(Convert, ImaAdpcmCodesDecodeToTheSamplesTheDefinitionGives) {
  const struct Row {
    const char* what;
    ImaChannel in;
    std::vector<int> out;  // the header's sample, then one per code
  } rows[] = {
      {"index 0 stays 0, moves of 0, 1, 3, 4", {0, 0, "123089AB1"}, {0, 1, 4, 8, 8, 8, 7, 4, 0, 1}},
      {"the index climbs by 2, 4, 6, 8, falls by 1",
       {0, 0, "4567CF08"},
       {0, 7, 19, 39, 80, 24, -88, -72, -86}},
      {"index 40", {-1000, 40, "F"}, {-1000, -1631}},
      {"index 44 and on", {1000, 44, "71A34E"}, {1000, 1925, 2322, 1721, 2487, 3382, 1818}},
      {"index 88, samples kept within 16 bits",
       {30000, 88, "74FF03"},
       {30000, 32767, 32767, -28669, -32768, -28673, -2604}},
      {"kept at -32768", {-32768, 0, "9B3"}, {-32768, -32768, -32768, -32764}},
      {"a header index past 88 counts as 88", {0, 255, "10"}, {0, 12286, 16010}}};
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    const Row &row = rows[i], &right = rows[(i + 1) % std::size(rows)];
    SCOPED_TRACE(row.what);
    std::vector<int> stereo;  // beside the next row, as long as the shorter of the two
    for (std::size_t f = 0; f < std::min(row.out.size(), right.out.size()); ++f)
      stereo.insert(stereo.end(), {row.out[f], right.out[f]});
    for (const auto& [channels, block, pcm] :
         {std::tuple(1, imaBlock({row.in}), row.out),
          std::tuple(2, imaBlock({row.in, right.in}), stereo)}) {
      const auto mode = kModeImaAdpcm | (channels == 2 ? kModeStereo : 0);
      const auto frames = static_cast<std::uint32_t>(pcm.size() / channels);
      EXPECT_EQ(convertOne({}, {"ima", block, frames, mode, std::uint16_t(channels), 22050}),
                std::pair("ima.wav"s, wavFile(channels, 22050, 16, pcm16(pcm))));
    }
  }
}

// At index 0 (step 7) codes 0-3 add 0, 1, 3, 4, codes 8-B as much down, the index stays 0.
TEST(Convert, ImaAdpcmBlocksAreDecodedToExactlyTheBanksFramesOf16BitPcm) {
  const std::pair<char, int> moves[] = {{'0', 0}, {'1', 1},  {'2', 3},  {'3', 4},
                                        {'8', 0}, {'9', -1}, {'A', -3}, {'B', -4}};
  std::mt19937 random(36064);
  for (std::uint16_t channels : {1, 2}) {
    SCOPED_TRACE(channels);
    const std::uint32_t frames = 3 * 64 - 17;
    std::string data;
    std::vector<std::vector<int>> played(channels);
    for (int block = 0; block < 3; ++block) {
      std::vector<ImaChannel> heads(channels);
      for (std::size_t c = 0; c < channels; ++c) {
        int sample = heads[c].first = static_cast<std::int16_t>(int(random() % 60001) - 30000);
        played[c].push_back(sample);
        for (int n = 0; n < 64; ++n) {  // the last code of a block is not played
          const auto& [code, move] = moves[random() % std::size(moves)];
          heads[c].codes += code;
          if (n < 63)
            played[c].push_back(sample += move);
        }
      }
      data += imaBlock(heads);
    }
    std::vector<int> expected;
    for (std::size_t f = 0; f < frames; ++f)
      for (std::size_t c = 0; c < channels; ++c)
        expected.push_back(played[c][f]);
    const auto mode = kModeImaAdpcm | (channels == 2 ? kModeStereo : 0);
    EXPECT_EQ(convertOne({}, {"ima", data, frames, mode, channels, 22050}),
              std::pair("ima.wav"s, wavFile(channels, 22050, 16, pcm16(expected))));
  }
}

TEST(Convert, MpegFramesAreWrittenAsTheyAreWithoutThePaddingBetweenThem) {
  const struct {
    std::uint32_t flags;
    std::uint8_t layerByte;                            // 0xFB: layer III, 0xFD: layer II
    std::vector<std::pair<std::uint8_t, int>> frames;  // third header byte, frame length
    std::size_t multiple;
    std::string name;
  } rows[] = {{kBankMpegPadded, 0xFB, {{0x90, 417}, {0x92, 418}, {0x90, 417}}, 2, "m.mp3"},
              {kBankMpegPadded4, 0xFB, {{0x90, 417}, {0x92, 418}, {0x90, 417}}, 4, "m.mp3"},
              {0, 0xFD, {{0xA0, 626}, {0xA2, 627}}, 1, "m.mp2"}};
  std::mt19937 random(417);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name + " " + std::to_string(row.multiple));
    std::string data, expected;
    for (const auto& [third, length] : row.frames) {
      const std::string frame = "\xFF"s + char(row.layerByte) + char(third) + '\0' +
                                randomBytes(std::size_t(length) - 4, random, 0xFF);
      expected += frame;
      data += frame + std::string((row.multiple - frame.size() % row.multiple) % row.multiple, 0);
    }
    const auto [name, bytes] =
        convertOne({.flags = row.flags}, {"m", data, 1152, kModeMpeg | kModeStereo, 2});
    EXPECT_EQ(name, row.name);
    EXPECT_TRUE(bytes == expected) << "not the frames without their padding";
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
      {"..", ""},  // "": any name that keeps the file in the folder
      {".", ""},
      {"..\\..\\x", ""},
      {"../../y", ""}};
  std::vector<RawSample> samples;
  for (const auto& [name, file] : names)
    samples.push_back({name, {char(samples.size()), 'S'}, 1, 0, 1, 11025});
  Sandbox box(buildBank({}, samples), "music.fsb");
  const auto old = box.dir.write("a/out/old.wav", "not a sample");
  const auto result = box.convert();
  EXPECT_TRUE(result.failures.empty());
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const std::string file = Sandbox::nameOf(result, i);
    EXPECT_EQ(file, names[i].second.empty() ? file : names[i].second);
    EXPECT_EQ(box.output(result, i), wavFile(1, 11025, 16, samples[i].data)) << file;
  }
  EXPECT_EQ(slurp(old), "not a sample");
  const auto all = filesBelow(box.dir.path());
  EXPECT_EQ(all.size(), samples.size() + 2);
  for (const auto& file : all)
    EXPECT_TRUE(file == "music.fsb" || fs::path(file).parent_path() == "a/out") << file;
}

// A bank cut between samples: the zeros are not written; samples written before stay whole.
TEST(Convert, ATruncatedBankOrACancelStopsBeforeTheNextSampleAndKeepsTheSamplesWritten) {
  if (!testing_support::canShortenMappedFiles())
    GTEST_SKIP() << "this system does not shorten a file while it is mapped";
  const std::string first = noise(8192), second = noise(256 << 10, 8);
  Sandbox box(buildBank(
      {}, {{"first", first, 4096, 0, 1, 22050}, {"second", second, 128 << 10, 0, 1, 22050}}));
  struct TruncateAfterFirst : util::Progress {
    fs::path bank;
    void step(std::uint64_t done, std::string_view) override {
      if (done == 1)
        fs::resize_file(bank, 200);
    }
  } truncate;
  truncate.bank = box.bank;
  EXPECT_EQ(thrown<platform::MappingChanged>([&] { convertBank(box.bank, box.folder, truncate); }),
            "the bank changed while it was being read");
  EXPECT_EQ(contents(box.folder), (Files{{"first.wav", wavFile(1, 22050, 16, first)}}));

  Sandbox three(buildBank(
      {}, {{"one", "abcd", 2, 0x10}, {"two", "efgh", 2, 0x10}, {"three", "ijkl", 2, 0x10}}));
  CancelAfter progress(1);
  EXPECT_EQ(thrown<util::Cancelled>([&] { convertBank(three.bank, three.folder, progress); }),
            "cancelled after 1 of 3");
  EXPECT_EQ(progress.total, 3u);
  EXPECT_EQ(progress.names, Strings{"one.wav"});
  EXPECT_EQ(filesBelow(three.folder), Strings{"one.wav"});
}

// Records its arguments, adds new.wav to the -d folder, says "bad bank" and exits with `code`.
std::string fakeConverter(const TempDir& dir, int code) {
  const auto path = dir.write("tools/fake converter",
                              "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args\"\n"
                              "echo made > \"$2/new.wav\"\necho 'bad bank' >&2\nexit " +
                                  std::to_string(code) + "\n");
  fs::permissions(path, fs::perms::owner_all);
  return path.string();
}

// A bank whose first name field holds `name` (a 56-byte FSB3 start is enough for the window).
std::string bankNamed(const std::string& name) {
  return buildBank({}, {{.name = name, .data = "pcm!", .frames = 2}});
}

struct Converting : CommandHarness {
  Converting() { state.logText = "Earlier line\r\n"; }
  fs::path sounds() const { return state.folders.sounds; }
  void convert(const std::string& bankBytes, int code = 0) {
    state.converterPath = fakeConverter(home, code);
    session.bankPath = home.write("banks/my bank.fsb", bankBytes).string();
    window.items = {"a.dds"};
    session.archive.fileName = "a.mpak";
    app::processFSB(context);
  }
};

// Paths pass as single arguments; a failure (exit code, no converter, no bank) empties the pane.
TEST(ConvertFsbCommand, SuccessListsTheNewFilesAndFailuresEmptyThePaneAndSayWhy) {
  Converting h;
  h.convert(bankNamed("tone"));
  EXPECT_EQ(h.window.log, crlfText("Earlier line\nConverting: my bank.fsb\nnew.wav\n"
                                   "Operation complete.\n\n"));
  EXPECT_EQ(h.window.messages, Messages{});
  EXPECT_TRUE(h.window.items.empty());
  EXPECT_EQ(h.window.text("Label2"), "0 Items");
  EXPECT_FALSE(h.session.archive.loaded());
  EXPECT_EQ(slurp(h.home.path() / "tools/args"),
            "-d\n" + h.sounds().string() + "\n-a\n" + h.session.bankPath + "\n");

  const auto before = h.state.logText;
  h.convert(bankNamed("tone"), 3);
  EXPECT_EQ(h.window.log, "");
  EXPECT_EQ(h.state.logText, before + crlfText("Converting: my bank.fsb\n"));
  h.state.converterPath = (h.home.path() / "no-such-converter").string();
  app::processFSB(h.context);
  EXPECT_EQ(
      h.window.messages,
      (Messages{
          {app::Icon::None, "Conversion error (3).\r\nbad bank\r\n\r\nOperation terminated.\r\n"},
          {app::Icon::None, "Conversion error (-1).\r\nThe converter was not found at " +
                                h.state.converterPath + ".\r\n\r\nOperation terminated.\r\n"}}));
  h.session.bankPath = (h.home.path() / "gone.fsb").string();
  app::processFSB(h.context);
  ASSERT_EQ(h.window.messages.size(), 3u);
  EXPECT_EQ(h.window.messages[2].icon, app::Icon::Exclamation);
  EXPECT_TRUE(h.window.messages[2].text.starts_with("ProcessFSB error.\r\n\r\n"));
  EXPECT_HAS(h.window.messages[2].text, "gone.fsb");
  EXPECT_EQ(h.window.log, "");
}

TEST(ConvertFsbCommand, DeletesOnlyAPlainFileNamedLikeTheFirstSampleInSounds) {
  const std::string thirty(30, 'n');
  const Strings present = {"Sounds/victim.wav", "Sounds/other.wav", "Sounds/" + thirty,
                           "Library/keep.toc"};
  // The bank, the file deleted ("" for none).
  const std::pair<std::string, std::string> cases[] = {
      {bankNamed("victim.wav"), "Sounds/victim.wav"},
      {bankNamed(thirty), "Sounds/" + thirty},
      {bankNamed(""), ""},
      {bankNamed("../Library/keep.toc"), ""},
      {bankNamed("..\\Library\\keep.toc"), ""},
      {bankNamed(".."), ""},
      {bankNamed("victim.wav").substr(0, 55), ""},  // too short for the whole name field
  };
  for (const auto& [bank, deleted] : cases) {
    Converting h;
    for (const auto& file : present)
      h.home.write(file, "x");
    h.convert(bank);
    for (const auto& file : present)
      EXPECT_EQ(fs::exists(h.home.path() / file), file != deleted) << file;
    EXPECT_TRUE(fs::exists(h.home.path() / "tools/args")) << "the converter still runs";
  }
}

TEST(ConvertFsbCommand, TheRealConverterWritesEverySample) {
  Converting h;
  h.state.converterPath = TARNWICK_FSBEXT;
  const auto bank = buildBank({}, {{.name = "one", .data = "abcd", .frames = 2, .mode = 0x10},
                                   {.name = "two.raw", .data = "vv", .mode = fsb::kModeVag}});
  h.session.bankPath = h.home.write("b.fsb", bank).string();
  h.home.write("Sounds/one.wav", "kept");
  app::processFSB(h.context);
  EXPECT_EQ(h.window.log, crlfText("Earlier line\nConverting: b.fsb\none_1.wav\ntwo.raw\n"
                                   "Operation complete.\n\n"));
  EXPECT_EQ(slurp(h.sounds() / "one.wav"), "kept");
  EXPECT_EQ(slurp(h.sounds() / "two.raw"), "vv");
}

}  // namespace
}  // namespace fsb_tests
