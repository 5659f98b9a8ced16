// Record copy: the count and row queries (names quoted when they are not plain identifiers),
// the target table, and the row loop moving long values in pieces.
#include "engine/record_copy.h"

#include "engine/object_name.h"
#include "engine/table_creation.h"

namespace vellicor::engine {
namespace {

void closeAndRelease(std::unique_ptr<dao::Recordset>& rs) {
  std::unique_ptr<dao::Recordset> held = std::move(rs);
  if (held) held->close();
}

}  // namespace

void copyObject(RunState& run, const std::string& objectName) {
  const std::string queryName = quoteObjectName(objectName);
  const std::string targetName = run.suffix + objectName;

  int64_t recordCount = 0;
  {
    std::unique_ptr<dao::Recordset> counted = run.source.openRecordset("select count(*) from " + queryName);  // R1
    recordCount = valueAsCount(counted->fields()[0].value());
    counted->close();
  }
  run.sourceRows = run.source.openRecordset("select * from " + queryName, dao::dbOpenSnapshot);  // R2
  run.host.setProgress("レコード = " + std::to_string(recordCount));
  if (run.logflag) run.log.writeRecordCountLine(objectName, recordCount);

  createTargetTable(run.host, run.output, targetName, objectName, *run.sourceRows);
  run.targetRows = run.output.openRecordset(targetName);  // R3
  run.host.setMessage(objectStatusText(run.position, run.objectCount, objectName));

  copyRows(run, recordCount);

  closeAndRelease(run.sourceRows);  // R9
  closeAndRelease(run.targetRows);
}

int64_t copyRows(RunState& run, int64_t recordCount) {
  dao::Recordset& source = *run.sourceRows;
  dao::Recordset& target = *run.targetRows;
  const std::string countSuffix = "/" + std::to_string(recordCount);
  int64_t copied = 0;
  std::string progress;
  while (!source.eof()) {
    target.addNew();  // R4
    dao::Fields& from = source.fields();
    dao::Fields& to = target.fields();
    const int columns = from.count();
    for (int k = 0; k < columns; ++k) {
      dao::Field& in = from[k];  // R5
      const int16_t type = in.type();
      if (type == dao::dbMemo || type == dao::dbLongBinary) {
        const int64_t length = in.fieldSize();
        dao::Field& out = to[k];
        // Advance by what each piece really held, so a short piece can neither leave a gap nor
        // spin forever.
        for (int64_t offset = 0; offset < length;) {
          dao::Bytes piece = in.getChunk(offset, kChunkSize);
          if (piece.empty()) break;
          offset += static_cast<int64_t>(piece.size());
          out.appendChunk(piece);  // R6
        }
      } else {
        to[k].setValue(in.value());  // R6
      }
    }
    target.update(dao::dbUpdateRegular, false);  // R7
    ++copied;
    progress.assign("レコード = ");
    progress += std::to_string(copied);
    progress += countSuffix;
    run.host.setProgress(progress);
    run.host.recordProgress(copied, recordCount);
    source.moveNext();  // R8
  }
  return copied;
}

}  // namespace vellicor::engine
