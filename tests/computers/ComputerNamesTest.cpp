// Reading computer lists and making outside texts safe to print.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "platform/ComputerNames.h"
#include "platform/TextSafety.h"

namespace {

using Names = std::vector<std::string>;
using tavrin::ReadComputerList;
using tavrin::TListBounds;

class ComputerNames : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tavrin-names-XXXXXX";
    dir_ = mkdtemp(pattern);
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
  std::string File(const std::string& text) {
    const std::string path = dir_ + "/list" + std::to_string(++files_);
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  // The message ReadComputerList refuses the list with; empty when it reads it.
  static std::string Refusal(const std::string& path, const TListBounds& bounds = {}) {
    try {
      ReadComputerList(path, bounds);
    } catch (const std::invalid_argument& e) {
      return e.what();
    }
    return {};
  }
  std::string dir_;
  int files_ = 0;
};

TEST_F(ComputerNames, ReadsNamesCommentsAndLineEnds) {
  EXPECT_EQ(ReadComputerList(
                File("PC01\r\n  pc02 , PC03,,# PC04\n\t# all comment\nPC05 \\\\PC06\tPC07:4455")),
            (Names{"PC01", "pc02", "PC03", "PC05", "PC06", "PC07:4455"}));
  // The same rule on the command line and in the Add dialog.
  EXPECT_EQ(tavrin::SplitComputerNames(" a,b\tc \\\\d\r\n"), (Names{"a", "b", "c", "d"}));
  EXPECT_TRUE(tavrin::SameComputerName("Pc-01.corp", "PC-01.CORP"));
  EXPECT_FALSE(tavrin::SameComputerName("PC01", "PC1"));
  for (const char* bad : {"\\PC", "PC/1", "PC*", "PC?", "P\"C", "PC<1>", "PC|1"})
    EXPECT_NE(tavrin::ComputerNameProblem(bad).find("which no computer name may"),
              std::string::npos)
        << bad;
  EXPECT_EQ(ReadComputerList(File("")), Names{});
}

TEST_F(ComputerNames, RefusesWhatIsNoListAndKeepsTheBounds) {
  const TListBounds small{16, 3, 64, std::chrono::milliseconds(200)};
  const std::string nul = File(std::string("PC01\nPC02\0EVIL\n", 15));
  const struct {
    std::string path;
    std::string says;
    TListBounds bounds;
  } cases[] = {
      {dir_, "is a directory", small},
      {"/dev/zero", "is a device", small},
      {dir_ + "/missing", "cannot be read", small},
      {nul, "line 2: the name \"PC02\\x00EVIL\"", small},
      {File("PC\x1b]2;owned\x07\n"), "\"PC\\x1b]2;owned\\x07\"", small},
      {File(std::string(300, 'A')), "is longer than 255", {}},
      {File("PC01\nPC02\n" + std::string(20, 'B')), "line longer than 16 characters (line 3)",
       small},
      {File("A,B,C,D"), "more than 3 names", small},
      {File(std::string(70, ',')), "larger than 64 bytes", small},
  };
  for (const auto& [path, says, bounds] : cases) {
    SCOPED_TRACE(path);
    const std::string refusal = Refusal(path, bounds);
    EXPECT_NE(refusal.find(says), std::string::npos) << refusal;
  }
  // At the bounds exactly, the list is read.
  EXPECT_EQ(ReadComputerList(File("A,B\n" + std::string(15, 'x')), small).size(), 3u);
}

TEST_F(ComputerNames, ANamedPipeIsWaitedForOnlySoLong) {
  const std::string fifo = dir_ + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  TListBounds bounds;
  bounds.pipeWait = std::chrono::milliseconds(300);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_NE(Refusal(fifo, bounds).find("nothing wrote to within 300 ms"), std::string::npos);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

  // A writer that comes in time is read to its end.
  bounds.pipeWait = std::chrono::seconds(5);
  std::thread writer([&] {
    // Opened once the reader is there, for at most 5 s.
    int fd = -1;
    for (int turn = 0; fd < 0 && turn < 500; ++turn) {
      fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd < 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_GE(fd, 0);
    const std::string text = "PC01\nPC02\n";
    EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(fd);
  });
  EXPECT_EQ(ReadComputerList(fifo, bounds), (Names{"PC01", "PC02"}));
  writer.join();
}

TEST(TextSafety, OutsideTextsArePrintedSafely) {
  EXPECT_EQ(EscapeControls("PC\x1b[31m\x07\x7f"), "PC\\x1b[31m\\x07\\x7f");
  // C1 controls (here CSI, U+009B) and stray bytes are escaped byte by byte;
  // letters beyond ASCII and backslashes stay.
  EXPECT_EQ(EscapeControls("a\xc2\x9b"
                           "b\xff"
                           "CORP\\Jos\xc3\xa9"),
            "a\\xc2\\x9bb\\xffCORP\\Jos\xc3\xa9");
  EXPECT_TRUE(HasControls("a\xc2\x9b"));
  EXPECT_TRUE(HasControls("\xc0\x80"));  // an overlong NUL
  EXPECT_FALSE(HasControls("M\xc3\xbcller-PC"));

  EXPECT_EQ(OneLine("Win32 Error.  Code: 1313.\r\nA specified privilege\r\n"),
            "Win32 Error.  Code: 1313. A specified privilege");

  bool replaced = true;
  EXPECT_EQ(ValidUtf8("M\xc3\xbcller", replaced), "M\xc3\xbcller");
  EXPECT_FALSE(replaced);
  EXPECT_EQ(ValidUtf8("PC\xff\xed\xa0\x80", replaced),
            "PC\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd");  // a surrogate is no text
  EXPECT_TRUE(replaced);
}

}  // namespace
