// The shared library exports exactly its nine functions and nothing else.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>

namespace {

std::string ReadCommandOutput(const std::string &command) {
  std::string output;
  FILE *pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return output;
  }
  char buffer[512];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
    output.append(buffer, n);
  }
  pclose(pipe);
  return output;
}

TEST(LibraryExports, ExactlyTheNineKelvoFunctions) {
  if (std::system("command -v nm >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "nm is not installed";
  }
  const std::string listing = ReadCommandOutput("nm -D --defined-only '" KELVO_LIBRARY_FILE "'");
  ASSERT_FALSE(listing.empty()) << "nm printed nothing for " KELVO_LIBRARY_FILE;

  std::set<std::string> functions;
  std::set<std::string> others;
  std::istringstream lines(listing);
  std::string address, kind, name;
  while (lines >> address >> kind >> name) {
    (kind == "T" && name.rfind("Kelvo_", 0) == 0 ? functions : others).insert(name);
  }
  const std::set<std::string> expected = {
      "Kelvo_SetButtonStatus", "Kelvo_SetType",        "Kelvo_SetAddress",
      "Kelvo_SetValue",        "Kelvo_CompileMessage", "Kelvo_GetLastError",
      "Kelvo_Check",           "Kelvo_KeyToID",        "Kelvo_CharConv"};
  EXPECT_EQ(functions, expected);
  EXPECT_TRUE(others.empty()) << "also exported: " << *others.begin();
}

}  // namespace
