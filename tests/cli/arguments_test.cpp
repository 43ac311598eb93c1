#include "cli/arguments.h"

#include <gtest/gtest.h>

namespace vantrel::cli {
namespace {

TEST(CliArguments, GlobalOptionsAreTakenWhereverTheyStand) {
  ParsedArguments parsed =
      ParseArguments({"--yes", "tape", "--home=/h", "goto", "--tape", "/t", "5", "--", "--yes"});
  ASSERT_EQ(parsed.error, "");
  EXPECT_TRUE(parsed.options.yes);
  EXPECT_EQ(parsed.options.home, "/h");
  EXPECT_EQ(parsed.options.tape, "/t");
  EXPECT_EQ(parsed.command, (std::vector<std::string>{"tape", "goto", "5", "--", "--yes"}));
  EXPECT_NE(ParseArguments({"tape", "info", "--home"}).error, "");
  EXPECT_NE(ParseArguments({"--tape="}).error, "");
}

TEST(CliArguments, CommandOptionsAndOperands) {
  CommandArguments a = SplitCommandArguments(
      {"NAME", "--capacity", "1M", "--sequential", "--", "--x"}, {"--sequential"}, {"--capacity"});
  ASSERT_EQ(a.error, "");
  EXPECT_EQ(a.operands, (std::vector<std::string>{"NAME", "--x"}));
  EXPECT_EQ(a.options.at("--capacity"), "1M");
  EXPECT_TRUE(a.Has("--sequential"));
  EXPECT_NE(SplitCommandArguments({"--capacity"}, {}, {"--capacity"}).error, "");
  EXPECT_NE(SplitCommandArguments({"--sequential=1"}, {"--sequential"}, {}).error, "");
  EXPECT_NE(SplitCommandArguments({"--fast"}, {"--sequential"}, {}).error, "");
}

TEST(CliArguments, LocationsPreferOptionsThenEnvironmentThenExecutable) {
  std::map<std::string, std::string> env = {{"VANTREL_HOME", "/env/home"},
                                            {"VANTREL_TAPE", "/dev/nst0"}};
  Locations fromEnvironment = ResolveLocations({}, env, "/opt/vantrel");
  EXPECT_EQ(fromEnvironment.home, "/env/home");
  EXPECT_EQ(fromEnvironment.tape, "/dev/nst0");

  GlobalOptions options;
  options.home = "/given/home/";
  Locations fromOptions = ResolveLocations(options, {}, "/opt/vantrel");
  EXPECT_EQ(fromOptions.home, "/given/home");
  EXPECT_EQ(fromOptions.tape, "/given/home/vtape");
  EXPECT_EQ(ResolveLocations({}, {}, "/opt/vantrel").tape, "/opt/vantrel/vtape");
}

TEST(CliArguments, ByteCounts) {
  const std::pair<const char*, std::optional<int64_t>> cases[] = {
      {"1048576", 1048576},
      {"100M", 100LL << 20},
      {"2g", 2LL << 30},
      {"1T", 1LL << 40},
      {"0", std::nullopt},
      {"", std::nullopt},
      {"10MB", std::nullopt},
      {"-5", std::nullopt},
      {"9999999999T", std::nullopt},
      {"99999999999999999999", std::nullopt}};
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(ParseByteCount(text), expected) << text;
  }
}

}  // namespace
}  // namespace vantrel::cli
