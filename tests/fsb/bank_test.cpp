// Property: each sample header is found by the previous header's own size and each sample's
// data where the previous data ended (on a 32-byte file offset with bank flag 0x40); a bank
// whose headers or ranges do not fit is refused whole, saying what and where, with nothing
// written.
#include <cctype>

#include "bank_bytes.h"
#include "support/thrown.h"

namespace fsb_tests {
namespace {

std::span<const std::uint8_t> bytesOf(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(Bank, SamplesAreFoundByEachHeadersOwnSizeAndWhereThePreviousDataEnded) {
  struct Row {
    const char* what;
    RawBank bank;
    std::vector<std::size_t> extra;  // header bytes after the fixed fields, per sample
  };
  const Row rows[] = {
      {"FSB3.0", {.version = 0x30000}, {0, 0, 0, 0, 0}},
      {"FSB3.0, extra header bytes", {.version = 0x30000}, {46, 0, 3, 92, 1}},
      {"FSB3.1", {}, {0, 0, 0, 0, 0}},
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
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const bool basic = row.bank.flags & kBankBasicHeaders;
    std::vector<RawSample> samples;
    for (std::uint32_t i = 0; i < 5; ++i)
      samples.push_back({"s" + std::to_string(i), randomBytes(lengths[i], random), 100 + i,
                         modes[i], std::uint16_t(i == 4 ? 6 : 2), 32000 + int(i), row.extra[i]});
    const std::string bytes = buildBank(row.bank, samples);
    Sandbox box(bytes);

    const auto result = box.convert();
    const Bank bank = readBank(bytesOf(bytes));

    EXPECT_EQ(result.trailingBytes, row.bank.trailing.size());
    ASSERT_EQ(bank.samples.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
      const RawSample& own = samples[i];
      const RawSample& from = samples[basic ? 0 : i];  // basic headers take sample 0's
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
  const std::pair<std::string, std::vector<std::string>> rows[] = {
      {good.substr(0, 23), {"23", "24", "short"}},
      {buildBank({.id = "FSB5"}, base), {"fsb"}},
      {buildBank({.version = 0x30002}, base), {"version"}},
      {buildBank({.version = 0x20000}, base), {"version"}},
      {buildBank({.flags = kBankEncrypted}, base), {"encrypt"}},
      {good.substr(0, good.size() - 1), {"truncat", "past", "end", "short"}},
      {edited([](auto& s) { s[1].sizeField = 79; }), {"0x68", "104"}},
      {edited([](auto& s) { s[1].sizeField = 81; }), {"0x68", "104"}},
      {edited([](auto& s) { s[0].sizeField = 63; }, {.version = 0x30000}), {"0x18", "24"}},
      {edited([](auto& s) { s[1].dataBytesField = 5; }), {"0xbc", "188"}},
      {edited([](auto& s) { s[1].dataBytesField = 0xFFFFFFFF; }), {"0xbc", "188"}},
      {buildBank({.headerBytesField = 0xFFFFFFF0, .dataBytesField = 0x20}, base),
       {"0x", "truncat", "past", "end"}},
      {buildBank({.countField = 0x20000001}, base), {"0x", "sample", "count"}},
      {buildBank({.countField = 0xFFFFFFFF}, base), {"0x", "sample", "count"}}};
  for (std::size_t row = 0; row < std::size(rows); ++row) {
    SCOPED_TRACE(row);
    const auto& [bytes, mentions] = rows[row];
    Sandbox box(bytes);
    std::string message = testing_support::thrown<BankError>([&] { box.convert(); });
    for (char& c : message)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_NE(message, "") << "accepted";
    EXPECT_TRUE(std::any_of(mentions.begin(), mentions.end(), [&](const auto& m) {
      return message.find(m) != std::string::npos;
    })) << message;
    EXPECT_TRUE(fs::is_empty(box.folder));
  }
}

}  // namespace
}  // namespace fsb_tests
