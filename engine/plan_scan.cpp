// The scan: values converted by the file's own conversions (the ones a stored row goes through),
// measured and counted per column; nothing is written.
#include "engine/plan_scan.h"

#include <cstring>
#include <vector>

#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/value_coercion.h"
#include "engine/read_ahead.h"
#include "engine/record_copy.h"
#include "engine/run_state.h"
#include "text/codepage.h"

namespace vellicor::engine {
namespace {

constexpr int64_t kProgressEvery = 4096;

// One column's target as the file's conversions see it.
struct ScanTarget {
  jet3::FieldTarget field;
  std::string fieldName;
  bool measured = false;  // Text, Memo, Binary, Long Binary: the stored length counts
};

class ColumnScanner {
 public:
  explicit ColumnScanner(TablePlan& plan) : plan_(plan), cp_(text::CodePage::forId(text::kCodePage932)) {
    targets_.resize(plan.columns.size());
    for (size_t k = 0; k < plan.columns.size(); ++k) {
      ColumnPlan& c = plan.columns[k];
      ScanTarget& t = targets_[k];
      t.fieldName = c.field->name;
      t.field.type = static_cast<uint8_t>(c.field->type);
      const bool variable = c.field->type == dao::dbText || c.field->type == dao::dbBinary;
      t.field.maxLength = static_cast<uint16_t>(
          variable ? (c.field->size ? *c.field->size : static_cast<int32_t>(jet3::fmt::kMaxTextLength)) : 0);
      t.field.tableName = &plan.targetName;
      t.field.fieldName = &t.fieldName;
      t.measured = variable || c.field->type == dao::dbMemo || c.field->type == dao::dbLongBinary;
      c.scan = ColumnScan{};
      c.scan->longest = t.measured ? 0 : -1;
    }
  }

  // One row (row: from 1). Returns the first refusal's text, or empty.
  std::string take(const std::vector<dao::Variant>& values, int64_t row) {
    std::string refusal;
    for (size_t k = 0; k < values.size() && k < targets_.size(); ++k) {
      if (dao::isNull(values[k])) continue;
      try {
        takeValue(k, values[k], row);
      } catch (const dao::Error& e) {
        if (refusal.empty()) refusal = withRecordNumber(e.description(), row);  // as the run says it
      }
    }
    return refusal;
  }

 private:
  void takeValue(size_t k, const dao::Variant& v, int64_t row) {
    const ScanTarget& t = targets_[k];
    ColumnScan& scan = *plan_.columns[k].scan;
    out_.clear();
    switch (t.field.type) {
      case jet3::fmt::kTypeText:
      case jet3::fmt::kTypeMemo: {
        // A long source value arrives as the bytes of its UTF-8 text.
        size_t substituted;
        if (const auto* b = std::get_if<dao::Bytes>(&v); b && t.field.type == jet3::fmt::kTypeMemo) {
          substituted = cp_.encode(std::string_view(reinterpret_cast<const char*>(b->data()), b->size()), out_);
        } else {
          substituted = jet3::coerceText(v, t.field, cp_, out_);
        }
        if (substituted > 0) {
          scan.unmappable += static_cast<int64_t>(substituted);
          if (scan.unmappableRows.size() < kListedUnmappableRows) scan.unmappableRows.push_back(row);
        }
        break;
      }
      case jet3::fmt::kTypeBinary:
      case jet3::fmt::kTypeOle:
        jet3::coerceBytes(v, t.field, out_);
        break;
      default: {
        uint8_t fixed[16];
        bool flag = false;
        jet3::coerceFixed(v, t.field, fixed, &flag);
        break;
      }
    }
    if (t.measured) scan.longest = std::max<int64_t>(scan.longest, static_cast<int64_t>(out_.size()));
  }

  TablePlan& plan_;
  const text::CodePage& cp_;
  std::vector<ScanTarget> targets_;
  std::string out_;
};

}  // namespace

ScanOutcome scanRows(dao::Recordset& rows, TablePlan& plan, const StopRequest* stop,
                     const std::function<void(int64_t)>& progress) {
  ScanOutcome outcome;
  ColumnScanner scanner(plan);
  auto takeRow = [&](const std::vector<dao::Variant>& row) {
    ++outcome.rows;
    const std::string refusal = scanner.take(row, outcome.rows);
    if (!refusal.empty() && outcome.refusal.empty()) {
      outcome.refusal = refusal;
      outcome.refusalRow = outcome.rows;
    }
    if (outcome.rows % kProgressEvery == 0) {
      checkStop(stop);
      if (progress) progress(outcome.rows);
    }
  };
  if (progress) progress(0);
  ReadAhead reader(rows, kChunkSize);
  std::vector<dao::Variant> blockRow;
  for (bool more = true; more;) {
    RowBatch batch = reader.next();
    more = !batch.last;
    if (batch.block) {
      for (size_t r = 0; r < batch.block->rowCount(); ++r) {
        batch.block->readRow(r, blockRow);
        takeRow(blockRow);
      }
    }
    for (const std::vector<dao::Variant>& row : batch.rows) takeRow(row);
    if (batch.failure) std::rethrow_exception(batch.failure);
    if (more) reader.recycle(std::move(batch));
  }
  if (progress) progress(outcome.rows);
  return outcome;
}

}  // namespace vellicor::engine
