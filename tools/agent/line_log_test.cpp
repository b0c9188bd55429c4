// One event a line, and the journal's priority prefix only for the journal.
#include "tools/agent/line_log.h"

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <ace/Log_Msg.h>
#include <gtest/gtest.h>

#include "testing/program_run.h"

namespace {

class Line_Log_Test : public ::testing::Test {
 protected:
  Line_Log_Test() : path(dir.path() + "/log") {
    fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0600);
  }
  ~Line_Log_Test() override { ::close(fd); }

  std::string written() const {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::string stream_name() const {
    struct stat st;
    ::fstat(fd, &st);
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
  }

  testing_support::Temp_Dir dir;
  std::string path;
  int fd = -1;
};

TEST_F(Line_Log_Test, KnowsTheJournalByItsStream) {
  const std::string own = stream_name();
  const std::string other_inode = own.substr(0, own.find(':')) + ":1";
  EXPECT_TRUE(is_journal_stream(fd, own.c_str()));
  for (const char* value : {static_cast<const char*>(nullptr), "", "x", "1:", "1:2:3"})
    EXPECT_FALSE(is_journal_stream(fd, value)) << (value ? value : "(null)");
  EXPECT_FALSE(is_journal_stream(fd, other_inode.c_str()));
  EXPECT_FALSE(is_journal_stream(fd, (own + "x").c_str()));
}

TEST_F(Line_Log_Test, WritesEachRecordAsOneLine) {
  {
    Line_Log log(fd, false);
    ACE_ERROR((LM_ERROR,
               "a.cpp:1: two\nlines\tand \033[2J \xc2\x9b"
               "2J\n"));
  }
  {
    Line_Log log(fd, true);
    ACE_ERROR((LM_ERROR, "failed\n"));
    ACE_DEBUG((LM_WARNING, "odd\n"));
    ACE_DEBUG((LM_INFO, "told\n"));
    ACE_ERROR((LM_EMERGENCY, "unexpected\n"));
  }
  EXPECT_EQ(written(),
            "a.cpp:1: two\\nlines\\tand \\x1b[2J \\u009b2J\n"
            "<3>failed\n<4>odd\n<6>told\n<2>unexpected\n");
}

}  // namespace
