// The one failure every layer throws: the text shown to the user (Japanese for the Jet engine, the
// driver's own diagnostic for ODBC), what kind of failure it is, and DAO's error number.
#pragma once

#include <stdexcept>
#include <string>

namespace vellicor::dao {

// What failed, for callers that react differently (a damaged file is not a full disk).
enum class ErrorKind {
  kDamagedFile,  // a file's contents contradict the format or themselves
  kInputOutput,  // the system refused a read, write, sync, lock or rename
  kFormatLimit,  // more than Jet 3 can hold: file size, name length, fields, row or key size
  kRefused,      // the caller asked for something this object does not allow (now)
  kSource,       // the ODBC source or its driver failed
};

// DAO's numbers for the failures raised here, named after DAO's own messages.
namespace errnum {
inline constexpr int kNone = 0;
inline constexpr int kInvalidArgument = 3001;
inline constexpr int kGetChunkArguments = 3003;
inline constexpr int kTableExists = 3010;
inline constexpr int kObjectNotFound = 3011;
inline constexpr int kUpdateWithoutAddNew = 3020;
inline constexpr int kDuplicateKey = 3022;
inline constexpr int kNoCurrentRecord = 3021;
inline constexpr int kReadOnly = 3027;
inline constexpr int kNotAValidPassword = 3031;
inline constexpr int kDiskOrNetworkError = 3043;
inline constexpr int kNotAValidPath = 3044;
inline constexpr int kFileInUse = 3045;
inline constexpr int kRecordTooLarge = 3047;
inline constexpr int kDatabaseCorrupt = 3049;
inline constexpr int kNullInIndex = 3058;
inline constexpr int kCannotOpenFile = 3051;
inline constexpr int kTableNotFound = 3078;
inline constexpr int kNotAValidName = 3125;
inline constexpr int kInvalidSql = 3129;
inline constexpr int kOdbcCallFailed = 3146;
inline constexpr int kOdbcConnectionFailed = 3151;
inline constexpr int kFieldTooSmall = 3163;
inline constexpr int kTooManyFields = 3190;
inline constexpr int kFieldExists = 3191;
inline constexpr int kDatabaseExists = 3204;
inline constexpr int kNotSupported = 3251;
inline constexpr int kInvalidFieldType = 3259;
inline constexpr int kNoFields = 3264;
inline constexpr int kItemNotFound = 3265;
inline constexpr int kUnrecognizedFormat = 3343;
inline constexpr int kPrimaryKeyExists = 3283;
inline constexpr int kIndexExists = 3284;
inline constexpr int kNumericOverflow = 3349;
inline constexpr int kObjectClosed = 3420;
inline constexpr int kDataTypeConversion = 3421;
inline constexpr int kTypeMismatch = 3464;
}  // namespace errnum

// The kind DAO's number implies; numbers that say nothing of it give kRefused.
constexpr ErrorKind kindOfNumber(int number) {
  switch (number) {
    case errnum::kDatabaseCorrupt:
    case errnum::kUnrecognizedFormat: return ErrorKind::kDamagedFile;
    case errnum::kDiskOrNetworkError:
    case errnum::kCannotOpenFile:
    case errnum::kFileInUse: return ErrorKind::kInputOutput;
    case errnum::kRecordTooLarge:
    case errnum::kFieldTooSmall:
    case errnum::kNumericOverflow:
    case errnum::kTooManyFields: return ErrorKind::kFormatLimit;
    case errnum::kOdbcCallFailed:
    case errnum::kOdbcConnectionFailed:
    case errnum::kInvalidSql: return ErrorKind::kSource;
    default: return ErrorKind::kRefused;
  }
}

class Error : public std::runtime_error {
 public:
  explicit Error(std::string description, int number = errnum::kNone)
      : Error(std::move(description), number, kindOfNumber(number)) {}
  Error(std::string description, int number, ErrorKind kind)
      : std::runtime_error(description), description_(std::move(description)), number_(number), kind_(kind) {}
  const std::string& description() const { return description_; }
  int number() const { return number_; }
  ErrorKind kind() const { return kind_; }

 private:
  std::string description_;
  int number_;
  ErrorKind kind_;
};

// Whether a failure is the disk's or the file's (it cannot take more work) rather than a refusal
// of one request, value or object, after which the work may go on.
inline bool isFileFailure(const Error& e) {
  return e.kind() == ErrorKind::kInputOutput || e.kind() == ErrorKind::kDamagedFile;
}

// The usual failures of each kind.
inline Error damagedFile(std::string description) {
  return Error(std::move(description), errnum::kDatabaseCorrupt, ErrorKind::kDamagedFile);
}
inline Error ioFailure(std::string description, int number = errnum::kDiskOrNetworkError) {
  return Error(std::move(description), number, ErrorKind::kInputOutput);
}
inline Error formatLimit(std::string description, int number = errnum::kNone) {
  return Error(std::move(description), number, ErrorKind::kFormatLimit);
}

}  // namespace vellicor::dao
