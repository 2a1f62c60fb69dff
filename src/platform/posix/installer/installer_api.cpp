// The ODBC installer functions that dsnconf calls, as this library exports them.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "dsn_file_path.h"
#include "dsn_file_reader.h"
#include "file_io.h"
#include "ini_editor.h"
#include "installer_errors.h"
#include "win32.h"

#define INSTALLER_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using namespace dsnconf::odbccp;

// SQL_MAX_DSN_LENGTH: the longest data source name, in bytes.
constexpr std::size_t kMaxDsnLength = 32;
constexpr char kDsnForbidden[] = "[]{}(),;?*=!@\\";

bool hasLineBreak(const std::string& text) {
  return text.find_first_of("\r\n") != std::string::npos;
}

bool hasOuterBlanks(const std::string& text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  return !text.empty() && (blank(text.front()) || blank(text.back()));
}

// A section, key or value that would not read back as written, or would break
// the line structure of the file, is refused; the reason, or empty when fine.
// Names hold no ';': the lists of section and key names that a read returns
// are joined by ';'.
std::string refusalOf(const std::string& section, const char* key, const char* value) {
  if (section.empty() || hasLineBreak(section) ||
      section.find_first_of("];") != std::string::npos || hasOuterBlanks(section)) {
    return "Invalid section name [" + section + "]";
  }
  if (key != nullptr) {
    const std::string name = key;
    if (name.empty() || hasLineBreak(name) || name.find_first_of("=;") != std::string::npos ||
        name.front() == '#' || name.front() == '[' || hasOuterBlanks(name)) {
      return "Invalid key name '" + name + "'";
    }
  }
  if (value != nullptr && hasLineBreak(value)) return "A value may not span lines";
  return {};
}

void postFileError(int error, const std::string& path) {
  const DWORD code = error == ENOENT || error == ENOTDIR || error == EISDIR
                         ? ODBC_ERROR_INVALID_PATH
                         : ODBC_ERROR_GENERAL_ERR;
  postError(code, path + ": " + std::strerror(error));
}

WORD clampToWord(std::size_t n) {
  return static_cast<WORD>(std::min<std::size_t>(n, 0xFFFF));
}

// Copies as much as fits, always terminated; a cut text is an error.
bool deliver(const std::string& text, char* buffer, WORD size, WORD* length) {
  const std::size_t copied = std::min<std::size_t>(text.size(), size - 1u);
  std::memcpy(buffer, text.data(), copied);
  buffer[copied] = '\0';
  if (length != nullptr) *length = clampToWord(text.size());
  if (copied == text.size()) return true;
  postError(ODBC_ERROR_OUTPUT_STRING_TRUNCATED, "Output string truncated");
  return false;
}

bool lookupFailed(const LookupResult& result, const char* section, const char* key,
                  const std::string& path) {
  if (result.status == Lookup::MissingSection) {
    postError(ODBC_ERROR_REQUEST_FAILED, "No section [" + std::string(section) + "] in " + path);
  } else if (result.status == Lookup::MissingKey) {
    postError(ODBC_ERROR_REQUEST_FAILED,
              "No key '" + std::string(key) + "' in section [" + section + "] of " + path);
  }
  return result.status != Lookup::Found;
}

// The file a data-source name stands for, or empty after posting the error.
std::string resolvedPathOrError(const char* fileName) {
  std::string path = resolveDsnFilePath(fileName);
  if (path.empty()) postError(ODBC_ERROR_INVALID_PATH, "Invalid file name");
  return path;
}

bool readFileDsn(const char* fileName, const char* appName, const char* keyName, char* buffer,
                 WORD size, WORD* length) {
  if (buffer == nullptr || size == 0) {
    postError(ODBC_ERROR_INVALID_BUFF_LEN, "Invalid buffer length");
    return false;
  }
  if (appName == nullptr && keyName != nullptr) {
    postError(ODBC_ERROR_INVALID_REQUEST_TYPE, "A key needs a section");
    return false;
  }
  const std::string path = resolvedPathOrError(fileName);
  if (path.empty()) return false;
  const FileContent file = readWholeFile(path);
  if (file.error != 0) {
    postFileError(file.error, path);
    return false;
  }
  if (appName == nullptr) return deliver(readSectionNames(file.bytes), buffer, size, length);
  const LookupResult result = keyName == nullptr ? readKeyNames(file.bytes, appName)
                                                 : readValue(file.bytes, appName, keyName);
  if (lookupFailed(result, appName, keyName, path)) return false;
  return deliver(result.text, buffer, size, length);
}

bool writeFileDsn(const char* fileName, const char* appName, const char* keyName,
                  const char* value) {
  if (appName == nullptr || (keyName == nullptr && value != nullptr)) {
    postError(ODBC_ERROR_INVALID_REQUEST_TYPE, "A value needs a section and a key");
    return false;
  }
  const std::string section = appName;
  const std::string refusal = refusalOf(section, keyName, value);
  if (!refusal.empty()) {
    postError(ODBC_ERROR_INVALID_KEYWORD_VALUE, refusal);
    return false;
  }
  const std::string path = resolvedPathOrError(fileName);
  if (path.empty()) return false;
  const FileContent file = readWholeFile(path);
  if (file.error != 0 && file.error != ENOENT) {
    postFileError(file.error, path);
    return false;
  }

  IniEditor editor(file.bytes);
  if (keyName == nullptr) {
    editor.removeSection(section);
  } else if (value == nullptr) {
    editor.removeKey(section, keyName);
  } else {
    editor.setValue(section, keyName, value);
  }
  const std::string changed = editor.text();
  // Removing what is not there changes nothing, and creates no file.
  if (changed == file.bytes) return true;
  const int error = replaceFile(path, changed);
  if (error != 0) {
    postFileError(error, path);
    return false;
  }
  return true;
}

// A name of 1 to 32 characters without a forbidden one, in either width.
template <typename Char>
bool validDsn(const Char* dsn) {
  if (dsn == nullptr) return false;
  std::size_t length = 0;
  for (; dsn[length] != 0; ++length) {
    const Char c = dsn[length];
    if (c < 0x80 && std::strchr(kDsnForbidden, static_cast<char>(c)) != nullptr) return false;
  }
  return length >= 1 && length <= kMaxDsnLength;
}

// Every installer function starts with clean error records and lets no
// exception pass into its C caller.
template <typename Result, typename Call>
Result guarded(Result failure, Call call) {
  clearErrors();
  try {
    return call();
  } catch (const std::bad_alloc&) {
    postError(ODBC_ERROR_OUT_OF_MEM, "Out of memory");
  } catch (...) {
    postError(ODBC_ERROR_GENERAL_ERR, "General installer error");
  }
  return failure;
}

}  // namespace

INSTALLER_EXPORT BOOL SQLValidDSN(LPCSTR lpszDSN) {
  return guarded<BOOL>(FALSE, [&] { return validDsn(lpszDSN) ? TRUE : FALSE; });
}

INSTALLER_EXPORT BOOL SQLValidDSNW(LPCWSTR lpszDSN) {
  return guarded<BOOL>(FALSE, [&] { return validDsn(lpszDSN) ? TRUE : FALSE; });
}

INSTALLER_EXPORT BOOL SQLReadFileDSN(LPCSTR lpszFileName, LPCSTR lpszAppName, LPCSTR lpszKeyName,
                                     LPSTR lpszString, WORD cbString, WORD* pcbString) {
  return guarded<BOOL>(FALSE, [&] {
    return readFileDsn(lpszFileName, lpszAppName, lpszKeyName, lpszString, cbString, pcbString)
               ? TRUE
               : FALSE;
  });
}

INSTALLER_EXPORT BOOL SQLWriteFileDSN(LPCSTR lpszFileName, LPCSTR lpszAppName, LPCSTR lpszKeyName,
                                      LPCSTR lpszString) {
  return guarded<BOOL>(FALSE, [&] {
    return writeFileDsn(lpszFileName, lpszAppName, lpszKeyName, lpszString) ? TRUE : FALSE;
  });
}

// Reads the records of the last call; it does not clear them itself.
INSTALLER_EXPORT RETCODE SQLInstallerError(WORD iError, DWORD* pfErrorCode, LPSTR lpszErrorMsg,
                                           WORD cbErrorMsgMax, WORD* pcbErrorMsg) {
  return readError(iError, pfErrorCode, lpszErrorMsg, cbErrorMsgMax, pcbErrorMsg);
}
