// Record copy: the count and row queries (names quoted when they are not plain identifiers),
// the target table, and the row loop moving long values in pieces of kChunkSize.
#include "engine/record_copy.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "engine/object_name.h"
#include "engine/plan_scan.h"
#include "engine/table_plan.h"
#include "engine/read_ahead.h"
#include "engine/table_creation.h"
#include "engine/table_keys.h"

namespace vellicor::engine {
namespace {

void closeAndRelease(std::unique_ptr<dao::Recordset>& rs) {
  std::unique_ptr<dao::Recordset> held = std::move(rs);
  if (held) held->close();
}

// How a source column's values go into their field: in pieces (a long value into a long field),
// as text read whole (a long text column whose field is Text, --fit-text), or as they are.
enum class Feed { kAsIs, kChunks, kWholeText };

// One row's values into the target's fields; long values in pieces of kChunkSize.
void storeValues(const std::vector<dao::Variant>& row, const std::vector<dao::Field*>& targetFields,
                 const std::vector<Feed>& feeds) {
  for (size_t k = 0; k < row.size(); ++k) {
    dao::Field& out = *targetFields[k];
    const Feed feed = k < feeds.size() ? feeds[k] : Feed::kAsIs;
    const auto* whole = feed == Feed::kWholeText ? std::get_if<dao::Bytes>(&row[k]) : nullptr;
    if (whole != nullptr) {
      out.setValue(std::string(whole->begin(), whole->end()));  // UTF-8, as a Memo's pieces are
    } else if (feed == Feed::kChunks) {
      if (const auto* bytes = std::get_if<dao::Bytes>(&row[k])) {
        for (size_t offset = 0; offset < bytes->size(); offset += kChunkSize) {
          const size_t end = std::min(bytes->size(), offset + static_cast<size_t>(kChunkSize));
          out.appendChunk(dao::Bytes(bytes->begin() + static_cast<std::ptrdiff_t>(offset),
                                     bytes->begin() + static_cast<std::ptrdiff_t>(end)));  // each value
        }
      }
    } else {
      out.setValue(row[k]);  // each value
    }
  }
}

}  // namespace

std::string withRecordNumber(const std::string& description, int64_t record) {
  const std::string where = " (" + std::to_string(record) + " 件目のレコード)";
  static const std::string kFullStop = "。";
  if (description.size() >= kFullStop.size() && description.compare(description.size() - kFullStop.size(), kFullStop.size(), kFullStop) == 0) {
    return description.substr(0, description.size() - kFullStop.size()) + where + kFullStop;
  }
  return description + where;
}

void copyObject(RunState& run, const std::string& objectName) {
  checkStop(run.stop);
  const std::string queryName = quoteObjectName(objectName);
  const std::string targetName = run.targetNameOf(objectName);

  int64_t recordCount = 0;
  {
    std::unique_ptr<dao::Recordset> counted = run.source.openRecordset("select count(*) from " + queryName);  // the row count
    recordCount = valueAsCount(counted->fields()[0].value());
    counted->close();
  }
  run.sourceRows = run.source.openRecordset("select * from " + queryName, dao::dbOpenSnapshot);  // the rows, as a snapshot
  run.host.setProgress("レコード = " + std::to_string(recordCount));
  if (run.logflag) run.log.writeRecordCountLine(objectName, recordCount);

  const uint64_t substitutedBefore = run.output.substitutedCharacters();
  std::vector<int64_t> longestText;
  if (run.fitText) {
    // The rows are read once before the table is made, for the longest value of each column.
    run.host.setProgress("レコード = " + std::to_string(recordCount) + " (値の長さを調査中)");
    std::unique_ptr<dao::Recordset> scanned = run.source.openRecordset("select * from " + queryName, dao::dbOpenSnapshot);
    TablePlan measured = planTable(objectName, targetName, targetName, *scanned, TableOptions{run.allTypes, {}});
    scanRows(*scanned, measured, run.stop, nullptr);
    longestText = longestTextOf(measured);
    closeAndRelease(scanned);
  }
  const TablePlan table = createTargetTable(run, objectName, targetName, *run.sourceRows, longestText);
  run.tableMade = true;
  run.targetRows = run.output.openRecordset(targetName);  // the target table
  run.host.setMessage(objectStatusText(run.position, run.objectCount, objectName));

  copyRows(run, *run.sourceRows, *run.targetRows, recordCount);

  closeAndRelease(run.sourceRows);  // the source rows released
  closeAndRelease(run.targetRows);
  const uint64_t substituted = run.output.substitutedCharacters() - substitutedBefore;
  if (run.logflag && substituted > 0) run.log.writeSubstitutedLine(objectName, substituted);
  // The source's keys, built over the rows now in the file.
  if (run.keys) buildKeys(run, objectName, table);
}

int64_t copyRows(RunState& run, dao::Recordset& source, dao::Recordset& target, int64_t recordCount) {
  std::vector<Feed> feeds;
  {
    dao::Fields& columns = source.fields();
    dao::Fields& fields = target.fields();
    for (int k = 0; k < columns.count(); ++k) {
      const bool longSource = isLongType(columns[k].type());
      const bool longField = k >= fields.count() || isLongType(fields[k].type());
      feeds.push_back(!longSource ? Feed::kAsIs : longField ? Feed::kChunks : Feed::kWholeText);
    }
  }
  const std::string countSuffix = "/" + std::to_string(recordCount);
  int64_t copied = 0;
  const std::string progressPrefix = "レコード = ";
  std::string progress = progressPrefix;

  std::vector<dao::Field*> targetFields;  // the target's fields, looked up at the first row
  auto store = [&](const std::vector<dao::Variant>& row) {
    checkStop(run.stop);  // the rows stored so far stay
    target.addNew();  // a new target row
    if (targetFields.size() < row.size()) {
      dao::Fields& to = target.fields();
      targetFields.clear();
      for (size_t k = 0; k < row.size(); ++k) targetFields.push_back(&to[static_cast<int>(k)]);
    }
    try {
      storeValues(row, targetFields, feeds);
      target.update(dao::dbUpdateRegular, false);  // the row stored
    } catch (const dao::Error& e) {
      // A value or row the file refuses: say which row (a failing disk or file is not the row's).
      if (dao::isFileFailure(e)) throw;
      throw dao::Error(withRecordNumber(e.description(), copied + 1), e.number(), e.kind());
    }
    ++copied;
    run.rowsStored = copied;
    char digits[24];
    progress.resize(progressPrefix.size());
    progress.append(digits, std::to_chars(digits, digits + sizeof digits, copied).ptr);
    progress += countSuffix;
    run.host.setProgress(progress);
    run.host.recordProgress(copied, recordCount);
  };

  // The source is read ahead on a second thread; this thread stores the rows in order. A read
  // failure arrives after the rows read before it, so those rows are stored first. Rows that
  // arrive as a fetched block are read into one reused row, whose text keeps its storage.
  ReadAhead reader(source, kChunkSize);
  std::vector<dao::Variant> blockRow;
  for (bool more = true; more;) {
    RowBatch batch = reader.next();
    more = !batch.last;
    if (batch.block) {
      const dao::RowBlock& block = *batch.block;
      for (size_t r = 0; r < block.rowCount(); ++r) {
        // The whole row is read before it is added, as a row read by the other thread is.
        block.readRow(r, blockRow);
        store(blockRow);
      }
    }
    for (const std::vector<dao::Variant>& row : batch.rows) store(row);
    if (batch.failure) std::rethrow_exception(batch.failure);
    if (more) reader.recycle(std::move(batch));
  }
  return copied;
}

}  // namespace vellicor::engine
