// The manual and kalvor-calc agree: every option `kalvor-calc --help` lists
// is described in doc/manual.md (written there as `--option`), and the
// manual names no option the program does not know.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

std::string HelpText() {
  std::string out;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(KALVOR_CALC " --help", "r"), pclose);
  if (!pipe) return out;
  std::array<char, 4096> buffer{};
  while (size_t n = fread(buffer.data(), 1, buffer.size(), pipe.get())) out.append(buffer.data(), n);
  return out;
}

std::set<std::string> Options(const std::string& text, const std::regex& pattern) {
  std::set<std::string> options;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern); it != std::sregex_iterator(); ++it)
    options.insert((*it)[1].str());
  return options;
}

TEST(ManualTest, EveryKalvorCalcOptionIsInTheManualAndNoOtherOne) {
  const std::string help = HelpText();
  std::ifstream file(KALVOR_MANUAL, std::ios::binary);
  ASSERT_TRUE(file) << KALVOR_MANUAL;
  std::stringstream manual;
  manual << file.rdbuf();

  // Options at the start of a --help line, and as `--option` in the manual.
  const std::set<std::string> listed = Options(help, std::regex(R"((?:^|\n)\s+(--[a-z][a-z-]*))"));
  ASSERT_GT(listed.size(), 20u) << help;
  const std::set<std::string> described = Options(manual.str(), std::regex(R"(`(--[a-z][a-z-]*)[ `])"));
  for (const std::string& option : listed) EXPECT_TRUE(described.count(option)) << option << " is not in the manual";
  for (const std::string& option : described)
    EXPECT_TRUE(help.find(option) != std::string::npos) << option << " is in the manual but not in --help";
}

}  // namespace
