// Unit tests of the table plan and of the run that creates its tables from it: the row limit's
// Memo fields, the stops before anything of a table is written, the opt-in for every column type,
// fitted names in the file and in the log, and the plan that predicts what the run then does.
#include <gtest/gtest.h>

#include "dataaccess/jet3/format.h"
#include "engine/plan.h"
#include "engine/table_creation.h"
#include "engine/table_plan.h"
#include "run_fixture.h"

namespace vellicor::fake {
namespace {

using engine::RunEnding;
using engine::TablePlan;
using V = dao::Variant;

const std::string kTables = " where object_type in ('TABLE')";

TablePlan planOf(World& world, const Table& t, bool allTypes = false) {
  world.addSourceObject("T", t);
  auto db = world.factory()("ODBC-D", "", "", dao::dbUseODBC)->openDatabase("", 1, true, "");
  auto rows = db->openRecordset("select * from T", dao::dbOpenSnapshot);
  engine::TableOptions options;
  options.allTypes = allTypes;
  return engine::planTable("T", "T", "T", *rows, options);
}

Table textColumns(const std::vector<int32_t>& sizes) {
  Table t;
  for (size_t k = 0; k < sizes.size(); ++k) t.columns.push_back({"C" + std::to_string(k + 1), dao::dbText, sizes[k]});
  return t;
}

TEST(TablePlan, WidestTextFieldsBecomeMemoUntilTheWidestRowFits) {
  World world;
  // Twelve fields of 250 bytes: 3,000 bytes of text. Each Memo leaves 12 bytes of its 250 in the
  // row; five are needed (1,810 bytes of values and the row's 24 bytes of bookkeeping).
  const TablePlan twelve = planOf(world, textColumns(std::vector<int32_t>(12, 250)));
  ASSERT_TRUE(twelve.copies()) << twelve.stop << twelve.failure;
  std::vector<std::string> memos;
  for (const auto& c : twelve.columns)
    if (c.field->type == dao::dbMemo) memos.push_back(c.field->name);
  EXPECT_EQ(memos, (std::vector<std::string>{"C1", "C2", "C3", "C4", "C5"}));
  EXPECT_LE(twelve.widestRow, jet3::fmt::kMaxRowSize);
  ASSERT_EQ(twelve.logLines.size(), 5u);
  EXPECT_EQ(twelve.logLines[0], "テーブル T フィールド C1 をメモ型に変更 (1 レコードの上限 2012 バイト)");

  // Widest first whatever the order; a size left out counts as Jet's 255; equal widths in order.
  World world2;
  const TablePlan mixed = planOf(world2, textColumns({100, 240, 0, 255, 200, 200, 200, 200, 200, 200, 200, 200, 200}));
  std::vector<std::string> made;
  for (const std::string& l : mixed.logLines) made.push_back(l.substr(l.find("C"), l.find(" を") - l.find("C")));
  EXPECT_EQ(made, (std::vector<std::string>{"C3", "C4", "C2"}));
  EXPECT_LE(mixed.widestRow, jet3::fmt::kMaxRowSize);

  // A table that fits is left as it is, and says nothing.
  World world3;
  const TablePlan narrow = planOf(world3, textColumns(std::vector<int32_t>(7, 255)));
  EXPECT_TRUE(narrow.logLines.empty());
  for (const auto& c : narrow.columns) EXPECT_EQ(c.field->type, dao::dbText);
}

TEST(TablePlan, StopsAndTheOptInForEveryColumnType) {
  World world;
  Table odd;
  odd.columns = {{"ID", dao::dbLong, 4},      {"RAW16", dao::dbVarBinary, 16}, {"RAWLONG", dao::dbVarBinary, 2000},
                 {"AT", dao::dbTime, 8},      {"K", dao::dbGUID, 16},          {"SPAN", -110, 0},
                 {"BIG", dao::dbBigInt, 8},   {"F", dao::dbFloat, 8}};
  const TablePlan stopped = planOf(world, odd);
  EXPECT_EQ(stopped.stop, "TテーブルRAW16の型(17)はサポートされていません。");
  World world2;
  const TablePlan all = planOf(world2, odd, true);
  ASSERT_TRUE(all.copies()) << all.stop << all.failure;
  const std::vector<std::pair<int16_t, std::optional<int32_t>>> expected = {
      {dao::dbLong, 4},        {dao::dbBinary, 16}, {dao::dbLongBinary, 0}, {dao::dbDate, std::nullopt},
      {dao::dbGUID, std::nullopt}, {dao::dbText, 255}, {dao::dbText, 20},     {dao::dbDouble, std::nullopt}};
  for (size_t k = 0; k < expected.size(); ++k) {
    EXPECT_EQ(all.columns[k].field->type, expected[k].first) << k;
    EXPECT_EQ(all.columns[k].field->size, expected[k].second) << k;
  }

  // 256 columns stop whatever their types; 255 are a table.
  World world3;
  Table wide = textColumns(std::vector<int32_t>(256, 1));
  EXPECT_EQ(planOf(world3, wide, true).stop,
            "Tテーブルの列数 (256) が多すぎます。Access 97 のテーブルは 255 列までです。");
  World world4;
  wide.columns.pop_back();
  EXPECT_TRUE(planOf(world4, wide).copies());

  // Two fields Jet takes as one keep their names: the append's refusal is the plan's failure.
  World world5;
  Table twins;
  twins.columns = {{"a", dao::dbLong, 4}, {"A", dao::dbLong, 4}};
  EXPECT_EQ(planOf(world5, twins).failure, "テーブル 'T' のフィールド 'A' は既に存在します。");
}

class FittingRunTest : public FakeRunTest {};

TEST_F(FittingRunTest, FittedNamesGoIntoTheFileAndOneLogLineEach) {
  world.setObjectList(kTables, {"X!Y", "X_Y", "MANY", "LATER"});
  Table t;
  t.columns = {{"A.B", dao::dbLong, 4}, {" LEAD", dao::dbText, 10}, {"A_B", dao::dbText, 10}};
  t.rows = {{V(int32_t{1}), V(std::string("x")), V(std::string("y"))}};
  world.addSourceObject("\"X!Y\"", t);
  world.addSourceObject("X_Y", textColumns({5}));
  world.addSourceObject("MANY", textColumns(std::vector<int32_t>(300, 1)));
  world.addSourceObject("LATER", textColumns({5}));

  ASSERT_EQ(run(), RunEnding::UnsupportedType);
  // The unchanged X_Y keeps its name; X!Y takes the next free one.
  EXPECT_NE(std::find(world.calls.begin(), world.calls.end(), "AppendTableDef X_Y_2(A_B_2:4:4;LEAD:10:10;A_B:10:10;)"),
            world.calls.end());
  EXPECT_EQ(world.files[out]["X_Y_2"].rows, t.rows);
  EXPECT_EQ(world.files[out].count("X_Y"), 1u);
  // The table of too many columns stops before any of it is made; nothing after it is read.
  EXPECT_EQ(std::find(world.calls.begin(), world.calls.end(), "CreateTableDef MANY"), world.calls.end());
  EXPECT_EQ(world.files[out].count("MANY"), 0u);
  EXPECT_EQ(std::find(world.calls.begin(), world.calls.end(), "OpenRecordset select count(*) from LATER |0"),
            world.calls.end());
  EXPECT_EQ(host.only("box:"), (std::vector<std::string>{
                                   "|MANYテーブルの列数 (300) が多すぎます。Access 97 のテーブルは 255 列までです。"}));
  EXPECT_EQ(logLines(), (std::vector<std::string>{"データベース= SCOTT@ORCL", "テーブル X!Y レコード件数 = 1 件",
                                                   "テーブル X!Y 名前変更 X!Y → X_Y_2",
                                                   "テーブル X!Y フィールド名変更 A.B → A_B_2",
                                                   "テーブル X!Y フィールド名変更  LEAD → LEAD",
                                                   "テーブル X_Y レコード件数 = 0 件", "テーブル MANY レコード件数 = 0 件",
                                                   "中止: MANYテーブルの列数 (300) が多すぎます。Access 97 のテーブルは 255 列までです。"}));
}

TEST_F(FittingRunTest, ThePlanPredictsTheRunsTablesLinesAndStop) {
  world.setObjectList(kTables, {"WIDE", "SKIPPED", "T!1", "ODD", "LATER"});
  Table wide = textColumns(std::vector<int32_t>(12, 250));
  wide.rows = {std::vector<V>(12, V(std::string(250, 'w')))};
  world.addSourceObject("WIDE", wide);
  world.addSourceObject("\"T!1\"", textColumns({3}));
  Table odd;
  odd.columns = {{"AT", dao::dbTime, 8}};
  odd.rows = {{V(dao::Date{0.5})}};
  world.addSourceObject("ODD", odd);
  world.addSourceObject("LATER", textColumns({3}));
  host.selection = "WIDE,T!1,ODD,LATER";

  for (bool allTypes : {false, true}) {
    SCOPED_TRACE(allTypes);
    std::filesystem::remove(out);
    world.files.clear();
    host.events.clear();
    engine::PlanRequest request;
    request.server = "ORCL";
    request.user = "SCOTT";
    request.options = opts;
    request.options.allTypes = allTypes;
    const engine::RunPlan plan = engine::planRun(host, request);
    opts.allTypes = allTypes;
    const RunEnding ending = run();

    ASSERT_TRUE(plan.connected);
    EXPECT_EQ(plan.completes(), ending == RunEnding::Completed);
    std::vector<std::string> planned{"データベース= SCOTT@ORCL"};
    std::vector<std::string> tables;
    for (const engine::ObjectPlan& o : plan.objects) {
      if (o.action == engine::PlanAction::Skip) {
        planned.push_back("テーブル " + o.name + " スキップ");
        continue;
      }
      planned.push_back("テーブル " + o.name + " レコード件数 = " + std::to_string(o.rowCount) + " 件");
      if (o.action == engine::PlanAction::Stop) {
        EXPECT_EQ(host.only("box:").back(), "|" + o.stopMessage);
        planned.push_back("中止: " + o.stopMessage);
        break;
      }
      planned.insert(planned.end(), o.table->logLines.begin(), o.table->logLines.end());
      tables.push_back(o.table->targetName);
    }
    std::vector<std::string> lines = logLines();
    if (ending == RunEnding::Completed) lines.resize(lines.size() - 2);  // the time lines
    EXPECT_EQ(lines, planned);
    std::vector<std::string> made;
    for (const auto& [name, table] : world.files[out]) made.push_back(name);
    std::sort(tables.begin(), tables.end());
    EXPECT_EQ(made, tables);
    EXPECT_EQ(plan.firstStop() != nullptr, !allTypes);
  }
  EXPECT_EQ(world.files[out]["WIDE"].rows.size(), 1u);
}

TEST_F(FittingRunTest, APlanThatCannotConnectSaysSoAsTheRunDoes) {
  world.failConnect = "ログインできません。";
  engine::PlanRequest request;
  request.options = opts;
  const engine::RunPlan plan = engine::planRun(host, request);
  EXPECT_FALSE(plan.connected);
  EXPECT_FALSE(plan.completes());
  EXPECT_EQ(host.only("box:"), (std::vector<std::string>{"|DB接続に失敗しました。"}));
  EXPECT_EQ(host.only("msg:").back(), "ログインできません。");
}

}  // namespace
}  // namespace vellicor::fake
