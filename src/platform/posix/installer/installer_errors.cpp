#include "installer_errors.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace dsnconf::odbccp {
namespace {

// The installer API keeps up to eight records per call.
constexpr std::size_t kMaxRecords = 8;

struct ErrorRecord {
  DWORD code;
  std::string message;
};

thread_local std::vector<ErrorRecord> records;

WORD clampToWord(std::size_t n) {
  return static_cast<WORD>(std::min<std::size_t>(n, 0xFFFF));
}

}  // namespace

void clearErrors() {
  records.clear();
}

void postError(DWORD code, std::string message) {
  if (records.size() < kMaxRecords) records.push_back({code, std::move(message)});
}

RETCODE readError(WORD record, DWORD* code, char* message, WORD size, WORD* length) {
  if (record < 1 || record > kMaxRecords) return SQL_ERROR;
  if (record > records.size()) return SQL_NO_DATA;
  const ErrorRecord& found = records[record - 1];
  if (code != nullptr) *code = found.code;
  if (length != nullptr) *length = clampToWord(found.message.size());
  if (message == nullptr) return SQL_SUCCESS;
  if (size == 0) return SQL_SUCCESS_WITH_INFO;
  const std::size_t copied = std::min<std::size_t>(found.message.size(), size - 1u);
  std::memcpy(message, found.message.data(), copied);
  message[copied] = '\0';
  return copied < found.message.size() ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

}  // namespace dsnconf::odbccp
