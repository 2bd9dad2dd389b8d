// The release as a user unpacks it (release_check.sh unpacks it and names the folder): the
// program starts from that folder with the default timetable's seven rows, every file found.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/belvane_app.h"

namespace belvane::e2e {
namespace {

TEST(ReleaseTest, UnpackedFolderStartsWithSevenRowsAndEveryFileFound) {
  const wchar_t* folder = _wgetenv(L"BELVANE_RELEASE_DIR");
  ASSERT_NE(folder, nullptr) << "run through release_check.sh";
  BelvaneApp app{std::filesystem::path(folder)};
  ASSERT_TRUE(app.Start()) << app.Process().SetUpError();
  std::vector<Row> expected = DefaultRowsWithMarkers();
  for (Row& row : expected) row[2] = row[2].substr(std::string(kMissingMarker).size());
  EXPECT_TRUE(WaitUntil([&] { return app.Rows() == expected; }));
  EXPECT_EQ(app.Music().Count(), 7);
  EXPECT_TRUE(app.Process().Exists("Belvane配置.ini"));
  EXPECT_TRUE(app.CloseConfirmed());
}

}  // namespace
}  // namespace belvane::e2e
