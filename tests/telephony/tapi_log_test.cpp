#include "telephony/tapi_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "tapi_fixture.h"

namespace telephony::test {
namespace {

std::vector<std::string> FileLines(const std::string& path) {
  std::istringstream in(testing_support::ReadFile(path));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class CallLog : public TapiTest {
 protected:
  CallLog() {
    log = new TLkTapiLog(owner.get());
    log->SetTapiHistoryName(dir.File("LKTAPI.HIS"));
    MakeDevice();
  }
  testing_support::TempDir dir;
  TLkTapiLog* log = nullptr;
};

TEST_F(CallLog, EachCallIsAnIndentedBlockBetweenItsStartAndFinish) {
  EXPECT_EQ(TLkTapiLog(nullptr).TapiHistoryName(), "LKTAPI.HIS");
  for (int call = 0; call < 2; ++call) {
    device->Dial("5551234");
    ASSERT_TRUE(ProcessUntil([&] { return device->Connected(); }));
    sim.HangUpFarEnd();
    ASSERT_TRUE(ProcessUntil([&] { return !device->LineInUse(); }));
  }
  const std::vector<std::string> block = {"call started", "  dialing 5551234", "  connected", "  dropped",
                                          "call finished"};
  const std::vector<std::string> lines = FileLines(log->TapiHistoryName());
  ASSERT_EQ(lines.size(), 2 * (block.size() + 1));
  const std::regex stamped(R"(^\S.* : (.*)$)");
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::size_t at = i % (block.size() + 1);
    if (at == block.size()) {
      EXPECT_EQ(lines[i], "");  // an empty line between calls
      continue;
    }
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[i], m, stamped)) << lines[i];
    EXPECT_EQ(m[1], block[at]);
  }
}

TEST_F(CallLog, EveryCodeHasItsTextAndAnEmptyNameWritesNothing) {
  const std::vector<std::pair<TTapiLogCode, std::string>> texts = {
      {ltapiAccept, "  accepting"}, {ltapiAnswer, "  answering"},     {ltapiCancel, "  cancelled"},
      {ltapiBusy, "  busy"},        {ltapiDialFail, "  dial failed"}, {ltapiReceivedDigit, "  received digit"},
  };
  for (const auto& [code, text] : texts) log->UpdateLog(code);
  log->UpdateLog(ltapiNone);
  const std::vector<std::string> lines = FileLines(log->TapiHistoryName());
  ASSERT_EQ(lines.size(), texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) EXPECT_TRUE(lines[i].ends_with(" : " + texts[i].second)) << lines[i];

  std::filesystem::remove(log->TapiHistoryName());
  log->SetTapiHistoryName("");
  device->Dial("5551234");
  ASSERT_TRUE(ProcessUntil([&] { return device->Connected(); }));
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

}  // namespace
}  // namespace telephony::test
