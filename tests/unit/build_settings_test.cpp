// The build settings every target needs: 64-bit file offsets, inode numbers
// and times, also on a 32-bit target (armhf), where glibc gives them only
// with _FILE_OFFSET_BITS=64 and _TIME_BITS=64 (see CMakeLists.txt).
#ifndef _WIN32
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <ctime>

namespace {

TEST(BuildSettings, FileOffsetsInodesAndTimesHave64Bits) {
  struct stat st {};
  dirent entry{};
  EXPECT_EQ(sizeof(off_t), 8u);
  EXPECT_EQ(sizeof st.st_ino, 8u);
  EXPECT_EQ(sizeof st.st_size, 8u);
  EXPECT_EQ(sizeof entry.d_ino, 8u);
  EXPECT_EQ(sizeof(std::time_t), 8u);
  EXPECT_EQ(sizeof st.st_mtim.tv_sec, 8u);
}

}  // namespace
#endif
