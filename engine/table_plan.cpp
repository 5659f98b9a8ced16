// The table plan: type mapping, fitted names and the row limit, with the texts the plan and the run
// log show for what changed.
#include "engine/table_plan.h"

#include <algorithm>

#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/table_definition.h"
#include "dataaccess/odbc/odbc_api.h"
#include "engine/name_fitting.h"
#include "engine/run_state.h"
#include "engine/table_creation.h"
#include "text/codepage.h"

namespace vellicor::engine {
namespace {

const std::string kRowLimit = std::to_string(jet3::fmt::kMaxRowSize);

bool isExactNumeric(int16_t sqlType) { return sqlType == SQL_NUMERIC || sqlType == SQL_DECIMAL || sqlType == SQL_BIGINT; }

// Bytes a Text or Binary field takes at its longest; 0 for the other types.
int32_t declaredLength(const dao::FieldDef& f) {
  if (f.type != dao::dbText && f.type != dao::dbBinary) return 0;
  return f.size ? *f.size : static_cast<int32_t>(jet3::fmt::kMaxTextLength);
}

// Notes on what a column's values become, and which of them the file refuses.
void noteValues(ColumnPlan& c, bool allTypes) {
  if (!c.field) {
    c.notes.push_back("この型 (" + std::to_string(c.sourceType) + ") はサポートされていません" +
                      (allTypes ? std::string() : std::string("。--all-types で変換できます")));
    return;
  }
  const int16_t to = c.field->type;
  const bool exact = c.source && isExactNumeric(c.source->sqlType);
  if (to == dao::dbText && (exact || c.sourceType == dao::dbBigInt)) {
    c.notes.push_back("数値の全桁をテキストとして格納");
  }
  if (c.sourceType == dao::dbDecimal && to == dao::dbDouble) {
    c.notes.push_back("倍精度浮動小数点数 (Double) として格納");
  }
  if ((c.sourceType == dao::dbFloat || c.sourceType == dao::dbNumeric) && to == dao::dbDouble) {
    c.notes.push_back("倍精度浮動小数点数 (Double) として格納");
  }
  if (to == dao::dbDate) {
    if (c.sourceType == dao::dbTime) c.notes.push_back("時刻を Jet の日付 0 (1899/12/30) の日付/時刻として格納");
    if (c.sourceType == dao::dbTimeStamp && c.source && c.source->decimalDigits > 3) {
      c.notes.push_back("1/1000 秒未満は日付の値 (倍精度) が保てる精度に丸めて格納");
    }
    c.notes.push_back("100/01/01 より前の日付は格納できません");
  }
  const bool knownType = c.sourceType >= dao::dbBoolean && c.sourceType <= dao::dbTimeStamp;
  if (to == dao::dbText && !knownType) {
    c.notes.push_back("値をテキスト形式で格納 (" + std::to_string(jet3::fmt::kMaxTextLength) +
                      " バイトを超える値は格納できません)");
  }
}

std::string longTypeName(int16_t type) { return type == dao::dbMemo ? "メモ型" : "ロングバイナリ型"; }

}  // namespace

std::string tooManyColumnsText(const std::string& objectName, int columns) {
  return objectName + "テーブルの列数 (" + std::to_string(columns) + ") が多すぎます。Access 97 のテーブルは " +
         std::to_string(jet3::fmt::kMaxColumns) + " 列までです。";
}

std::string unsupportedTypeText(const std::string& objectName, const std::string& column, int16_t type) {
  return objectName + "テーブル" + column + "の型(" + std::to_string(type) + ")はサポートされていません。";
}

TablePlan planTable(const std::string& objectName, const std::string& originalName, const std::string& targetName,
                    dao::Recordset& rows, const TableOptions& options) {
  TablePlan plan;
  plan.objectName = objectName;
  plan.targetName = targetName;
  plan.renamed = targetName != originalName;
  if (plan.renamed) plan.logLines.push_back("テーブル " + objectName + " 名前変更 " + originalName + " → " + targetName);

  dao::Fields& fields = rows.fields();
  auto* descriptions = dynamic_cast<dao::ColumnDescriptions*>(&rows);
  const int count = fields.count();
  if (count > static_cast<int>(jet3::fmt::kMaxColumns)) plan.stop = tooManyColumnsText(objectName, count);
  std::vector<std::string> names;
  for (int k = 0; k < count; ++k) {
    dao::Field& f = fields[k];
    ColumnPlan c;
    c.sourceName = f.name();
    c.sourceType = f.type();
    c.sourceSize = f.size();
    if (descriptions != nullptr) c.source = descriptions->sourceColumn(k);
    c.field = targetFieldFor(c.sourceName, c.sourceType, c.sourceSize, options.allTypes);
    if (!c.field && plan.stop.empty()) plan.stop = unsupportedTypeText(objectName, c.sourceName, c.sourceType);
    names.push_back(c.sourceName);
    plan.columns.push_back(std::move(c));
  }

  NameScope fieldNames;
  const std::vector<std::string> fitted = fitNames(names, fieldNames);
  for (size_t k = 0; k < plan.columns.size(); ++k) {
    ColumnPlan& c = plan.columns[k];
    if (fitted[k] != c.sourceName) {
      c.renamed = true;
      c.notes.push_back("名前を変更: " + c.sourceName + " → " + fitted[k]);
      plan.logLines.push_back("テーブル " + objectName + " フィールド名変更 " + c.sourceName + " → " + fitted[k]);
    }
    if (c.field) c.field->name = fitted[k];
    noteValues(c, options.allTypes);
    const int64_t longest = k < options.longestText.size() ? options.longestText[k] : -1;
    if (c.field && c.field->type == dao::dbMemo && longest >= 0 && longest <= static_cast<int64_t>(jet3::fmt::kMaxTextLength)) {
      const int32_t size = static_cast<int32_t>(std::max<int64_t>(longest, 1));
      c.field->type = dao::dbText;
      c.field->size = size;
      c.fittedToValues = true;
      const std::string why = "値の最長 " + std::to_string(longest) + " バイト";
      c.notes.push_back(why + "のためテキスト型 (" + std::to_string(size) + ") で格納");
      plan.logLines.push_back("テーブル " + objectName + " フィールド " + c.field->name + " をテキスト型 (" +
                              std::to_string(size) + ") に変更 (" + why + ")");
    }
  }
  if (!plan.stop.empty()) return plan;

  // The table as the run appends it, checked as the file checks it; then the widest Text (or
  // Binary) fields made long, widest first, until the widest possible row fits.
  const text::CodePage& cp = text::CodePage::forId(text::kCodePage932);
  try {
    for (;;) {
      dao::TableDef def(targetName);
      for (const ColumnPlan& c : plan.columns) def.appendField(*c.field);
      plan.widestRow = jet3::widestRowLength(jet3::checkedDefinition(def, cp));
      if (plan.widestRow <= jet3::fmt::kMaxRowSize) break;
      ColumnPlan* widest = nullptr;
      for (ColumnPlan& c : plan.columns) {
        if (declaredLength(*c.field) > (widest ? declaredLength(*widest->field) : 0)) widest = &c;
      }
      if (widest == nullptr) break;  // only fixed fields left: the file refuses the longest rows
      widest->field->type = widest->field->type == dao::dbText ? dao::dbMemo : dao::dbLongBinary;
      widest->field->size = 0;
      widest->madeLong = true;
      const std::string to = longTypeName(widest->field->type);
      widest->notes.push_back("1 レコードの上限 (" + kRowLimit + " バイト) のため" + to + "に変更");
      plan.logLines.push_back("テーブル " + objectName + " フィールド " + widest->field->name + " を" + to +
                              "に変更 (1 レコードの上限 " + kRowLimit + " バイト)");
    }
  } catch (const std::exception& e) {
    plan.failure = describe(e);
  }
  return plan;
}

std::vector<int64_t> longestTextOf(const TablePlan& scanned) {
  std::vector<int64_t> longest;
  for (const ColumnPlan& c : scanned.columns) longest.push_back(c.scan ? c.scan->longest : -1);
  return longest;
}

}  // namespace vellicor::engine
