#include "job/identification.h"

#include "test_doubles.h"

namespace dovevid::job {
namespace {

TEST(IdentificationText, FromTheHardwareAddressThePrinterReplyOrTheVolumeSerial) {
  const std::pair<const char*, const char*> macs[] = {
      {"001A2B3C4D5E", "1A2B3C4D"}, {"0123456789ABCDEF", "23456789"},  // 8-byte address
      {"0123456789", "01234567"},   {"ABCD", "ABCD"}};
  for (const auto& [mac, id] : macs) EXPECT_EQ(IdentificationFromMac(mac), id) << mac;
  // Only bytes 2 to 20 of the 20-byte reply count.
  const std::pair<std::string, std::optional<std::string>> replies[] = {
      {"\x5F" "X7\0AB123456\0\0"s, "AB123456"}, {"\x5F" "SER123456"s, "SER12345"},
      {"\x5F" "0123456789012345678XYZ"s, "23456789"}, {"\x5F" "1234567"s, std::nullopt},
      {"\x5F\0\0\0\0\0\0\0\0\0"s, std::nullopt}, {"", std::nullopt}};
  for (const auto& [reply, id] : replies) EXPECT_EQ(IdentificationFromPrinterReply(reply), id);
  const std::pair<std::optional<std::int32_t>, const char*> volumes[] = {
      {-1234567890, "12345690"}, {123456789, "12345679"}, {12345678, "12345678"},
      {1234567, "kY1234567"},    {-123456, "J123456"},    {12345, "0"},
      {std::nullopt, "12345678"}};
  for (const auto& [volume, id] : volumes) EXPECT_EQ(ReadSerialNumber(volume), id) << id;
}

class DumpTest : public testing::JobTest {
 protected:
  DumpTest() {
    settings.polling_interval_ms = 500;
    state_.port_usable = true;
    timer_.SetInterval(500);
    timer_.SetEnabled(true);
  }
  void RunUntil(std::int64_t ms) { timer_.RunUntil(ms, [this] { cycle_.OnPollTick(); }); }

  StatusView view_;
  testing::FixedIdentity source_;
  IdentificationDump dump_{{env, trace_, state_, files_, timer_, view_, channel, source_}};
  testing::ScriptedPrint print_{env};
  JobCycle cycle_{JobCycle::Deps{env, trace_, op, dirs_, settings, state_, files_, timer_,
                                 view_, print_, dump_, [] {}}};
};

TEST_F(DumpTest, SerialPrinterTakesTheEthernetAddressASpoolerOneAsksItsSerialNumber) {
  env.SetFile("/data/SR_ERR.001", "E502: Nessuna porta di comunicazione disponibile\r\n");
  dump_.StartDumpConf();
  EXPECT_EQ(env.File("/data/SR_MATR.001"), "1A2B3C4D\r\n");
  EXPECT_FALSE(env.HasFile("/data/SR_ERR.001"));
  EXPECT_TRUE(serial.printed.empty());  // the printer is not asked
  source_.mac.clear();  // no Ethernet adapter: an empty line, jobs still taken
  dump_.StartDumpConf();
  EXPECT_EQ(env.File("/data/SR_MATR.001"), "\r\n");

  testing::UseSpoolerPrinter(channel, spooler);
  channel.OpenStatusMonitor();
  // A silent printer, or a reply too short, falls back on the volume serial.
  const std::tuple<std::string, std::optional<std::int32_t>, const char*> cases[] = {
      {"_AB12345678\0"s, -1234567890, "12345678\r\n"},
      {"", -1234567890, "12345690\r\n"},
      {"_123", std::nullopt, "12345678\r\n"}};
  for (const auto& [reply, volume, line] : cases) {
    monitor.direct_io_reply = reply;
    source_.volume = volume;
    dump_.StartDumpConf();
    EXPECT_EQ(env.File("/data/SR_MATR.001"), line) << reply;
  }
  EXPECT_FALSE(state_.dump_in_progress);
}

TEST_F(DumpTest, NoneWhileBusyOrClosingRemovedIdentificationIsRewrittenOnAPollThatTakesNoJob) {
  for (bool* flag : {&state_.dump_in_progress, &state_.job_in_progress, &state_.closing}) {
    *flag = true;
    dump_.StartDumpConf();
    EXPECT_FALSE(env.HasFile("/data/SR_MATR.001"));
    EXPECT_TRUE(timer_.Enabled());
    *flag = false;
  }
  RunUntil(500);  // first poll: the dump
  ASSERT_EQ(env.File("/data/SR_MATR.001"), "1A2B3C4D\r\n");
  RunUntil(1500 + 500);  // re-arm, then a poll

  env.RemoveFile("/data/SR_MATR.001");
  Submit();
  RunUntil(2500);
  EXPECT_EQ(env.File("/data/SR_MATR.001"), "1A2B3C4D\r\n");
  RunUntil(4000);  // the dump's re-arming tick at 3500, then one interval
  EXPECT_THAT(print_.start_times, ElementsAre(4000));
}

}  // namespace
}  // namespace dovevid::job
