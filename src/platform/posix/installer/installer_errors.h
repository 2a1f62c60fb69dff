// The installer's error records: what SQLInstallerError reports about the last
// installer call. Every installer function clears them when it starts, and a
// failing one posts the reason.
#pragma once

#include <string>

#include "win32.h"

using RETCODE = short;

namespace dsnconf::odbccp {

constexpr RETCODE SQL_SUCCESS = 0;
constexpr RETCODE SQL_SUCCESS_WITH_INFO = 1;
constexpr RETCODE SQL_NO_DATA = 100;
constexpr RETCODE SQL_ERROR = -1;

// Installer error codes, with the numbers the ODBC installer API gives them.
constexpr DWORD ODBC_ERROR_GENERAL_ERR = 1;
constexpr DWORD ODBC_ERROR_INVALID_BUFF_LEN = 2;
constexpr DWORD ODBC_ERROR_INVALID_REQUEST_TYPE = 5;
constexpr DWORD ODBC_ERROR_INVALID_KEYWORD_VALUE = 8;
constexpr DWORD ODBC_ERROR_REQUEST_FAILED = 11;
constexpr DWORD ODBC_ERROR_INVALID_PATH = 12;
constexpr DWORD ODBC_ERROR_OUT_OF_MEM = 21;
constexpr DWORD ODBC_ERROR_OUTPUT_STRING_TRUNCATED = 22;

void clearErrors();
void postError(DWORD code, std::string message);

// SQLInstallerError: record `record` (from 1) into the caller's code and
// message buffer, never writing more than `size` bytes of message.
RETCODE readError(WORD record, DWORD* code, char* message, WORD size, WORD* length);

}  // namespace dsnconf::odbccp
