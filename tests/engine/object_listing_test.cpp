// Unit tests of the object listing over the data access stand-in: names in server order, the
// count limit, and the two failure messages.
#include <gtest/gtest.h>

#include "engine/object_listing.h"
#include "fake_dao.h"

namespace vellicor::fake {
namespace {

TEST(ObjectListing, ListsNamesAndClosesTheConnection) {
  World world;
  RecordingHost host;
  host.chkTable = 0;
  host.chkView = 1;
  world.setObjectList(" where object_type in ('VIEW')", {"V_B", "V_A"});
  engine::RunOptions opts;
  opts.createWorkspace = world.factory();
  std::vector<std::string> names;
  ASSERT_EQ(engine::getUserObjects(host, "ORCL", "SCOTT", "", [&](const std::string& n) { names.push_back(n); }, opts), 0);
  EXPECT_EQ(names, (std::vector<std::string>{"V_B", "V_A"}));
  EXPECT_EQ(world.calls[1], "OpenDatabase odbc |1|rw|ODBC;Driver={Oracle ODBC Driver};DBQ=ORCL;UID=SCOTT;PWD=;");
  EXPECT_EQ(world.calls[2], "OpenRecordset select count(*) from user_objects  where object_type in ('VIEW') |0");
  EXPECT_EQ(host.only("msg:"), (std::vector<std::string>{"Oracle接続中...SCOTT@ORCL", "テーブル名取得中..."}));
  EXPECT_EQ(world.calls.back(), "Close odbc ws");
}

TEST(ObjectListing, FailuresShowTheirMessages) {
  World world;
  RecordingHost host;
  engine::RunOptions opts;
  opts.createWorkspace = world.factory();
  auto ignore = [](const std::string&) {};

  world.failConnect = "could not connect";
  ASSERT_EQ(engine::getUserObjects(host, "ORCL", "SCOTT", "x", ignore, opts), 1);
  EXPECT_EQ(host.events, (std::vector<std::string>{"msg:Oracle接続中...SCOTT@ORCL", "msg:could not connect",
                                                   "box:|DB接続に失敗しました。"}));

  world.failConnect.clear();
  host.events.clear();
  world.setObjectList(" where object_type in ('TABLE')", {});
  world.queries["select count(*) from user_objects  where object_type in ('TABLE')"].rows[0][0] =
      dao::Variant(int32_t{32768});
  ASSERT_EQ(engine::getUserObjects(host, "ORCL", "SCOTT", "x", ignore, opts), 1);
  EXPECT_EQ(host.only("box:"), (std::vector<std::string>{"異常終了|オーバーフローしました。"}));
  EXPECT_EQ(world.calls.back(), "Close odbc ws");

  world.queries["select count(*) from user_objects  where object_type in ('TABLE')"].rows[0][0] =
      dao::Variant(int32_t{32767});
  ASSERT_EQ(engine::getUserObjects(host, "ORCL", "SCOTT", "x", ignore, opts), 0);
}

}  // namespace
}  // namespace vellicor::fake
