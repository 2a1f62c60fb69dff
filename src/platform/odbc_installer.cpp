#include "platform/odbc_installer.h"

#include <algorithm>
#include <cwchar>
#include <string>

namespace dsnconf {
namespace {

// Loaded on first use and kept until the process ends; null until a load succeeds.
HMODULE installerModule = nullptr;

// MAX_PATH and its terminator: the size of each module path shown to the user.
constexpr DWORD kModulePathLength = 261;
// The "not supported" text is cut to fit a buffer of this many characters.
constexpr std::size_t kNotSupportedTextLength = 783;

const wchar_t kCaption[] = L"ODBC Installer Error";

void reportMissingInstaller() {
  MessageBoxW(nullptr, L"The ODBC installer DLL (ODBCCP32.DLL) is not installed on this system.",
              kCaption, MB_ICONINFORMATION);
}

// Function names are plain ASCII; each byte becomes the character of the same value.
std::wstring widen(const char* text) {
  std::wstring wide;
  for (; *text != '\0'; ++text) wide += static_cast<wchar_t>(static_cast<unsigned char>(*text));
  return wide;
}

void reportMissingFunction(const char* name) {
  wchar_t installerPath[kModulePathLength] = L"";
  wchar_t programPath[kModulePathLength] = L"";
  GetModuleFileNameW(installerModule, installerPath, kModulePathLength);
  GetModuleFileNameW(nullptr, programPath, kModulePathLength);

  // Joined piece by piece: the printf family disagrees between runtimes on what
  // %s and %S take in a wide format.
  const std::wstring text = std::wstring(L"The program ") + programPath +
                            L", or one of its DLLs attempted to call the function " + widen(name) +
                            L" which is not supported in the loaded ODBC installer DLL (" +
                            installerPath + L"). Press OK to proceed.";
  wchar_t message[kNotSupportedTextLength];
  const std::size_t length = std::min(text.size(), kNotSupportedTextLength - 1);
  std::wmemcpy(message, text.data(), length);
  message[length] = L'\0';
  MessageBoxW(nullptr, message, kCaption, MB_ICONINFORMATION);
}

}  // namespace

FARPROC resolveInstallerEntry(const char* name) {
  if (installerModule == nullptr) {
    installerModule = LoadLibraryA("odbccp32.dll");
    if (installerModule == nullptr) {
      reportMissingInstaller();
      return nullptr;
    }
  }
  const FARPROC entry = GetProcAddress(installerModule, name);
  if (entry == nullptr) reportMissingFunction(name);
  return entry;
}

}  // namespace dsnconf

namespace {

// Calls the installer function `name`, which has the type of the entry point
// `self` that stands for it, or returns `failure` when it cannot be resolved.
template <typename Result, typename... Params>
Result callInstaller(Result(WINAPI* /*self*/)(Params...), const char* name, Result failure,
                     Params... arguments) {
  const FARPROC entry = dsnconf::resolveInstallerEntry(name);
  if (entry == nullptr) return failure;
  // Through the generic function pointer type, which compilers accept as a
  // stand-in for any other without a cast-function-type warning.
  using Generic = void (*)();
  using Target = Result(WINAPI*)(Params...);
  return reinterpret_cast<Target>(reinterpret_cast<Generic>(entry))(arguments...);
}

constexpr RETCODE kErrorResult = dsnconf::SQL_ERROR;

}  // namespace

BOOL WINAPI SQLConfigDataSource(HWND hwndParent, WORD fRequest, LPCSTR lpszDriver,
                                LPCSTR lpszAttributes) {
  return callInstaller(&SQLConfigDataSource, "SQLConfigDataSource", FALSE, hwndParent, fRequest,
                       lpszDriver, lpszAttributes);
}

BOOL WINAPI SQLConfigDataSourceW(HWND hwndParent, WORD fRequest, LPCWSTR lpszDriver,
                                 LPCWSTR lpszAttributes) {
  return callInstaller(&SQLConfigDataSourceW, "SQLConfigDataSourceW", FALSE, hwndParent, fRequest,
                       lpszDriver, lpszAttributes);
}

BOOL WINAPI SQLConfigDriver(HWND hwndParent, WORD fRequest, LPCSTR lpszDriver, LPCSTR lpszArgs,
                            LPSTR lpszMsg, WORD cbMsgMax, WORD* pcbMsgOut) {
  return callInstaller(&SQLConfigDriver, "SQLConfigDriver", FALSE, hwndParent, fRequest, lpszDriver,
                       lpszArgs, lpszMsg, cbMsgMax, pcbMsgOut);
}

BOOL WINAPI SQLConfigDriverW(HWND hwndParent, WORD fRequest, LPCWSTR lpszDriver, LPCWSTR lpszArgs,
                             LPWSTR lpszMsg, WORD cbMsgMax, WORD* pcbMsgOut) {
  return callInstaller(&SQLConfigDriverW, "SQLConfigDriverW", FALSE, hwndParent, fRequest,
                       lpszDriver, lpszArgs, lpszMsg, cbMsgMax, pcbMsgOut);
}

BOOL WINAPI SQLCreateDataSource(HWND hwndParent, LPCSTR lpszDSN) {
  return callInstaller(&SQLCreateDataSource, "SQLCreateDataSource", FALSE, hwndParent, lpszDSN);
}

BOOL WINAPI SQLCreateDataSourceW(HWND hwndParent, LPCWSTR lpszDSN) {
  return callInstaller(&SQLCreateDataSourceW, "SQLCreateDataSourceW", FALSE, hwndParent, lpszDSN);
}

BOOL WINAPI SQLGetAvailableDrivers(LPCSTR lpszInfFile, LPSTR lpszBuf, WORD cbBufMax,
                                   WORD* pcbBufOut) {
  return callInstaller(&SQLGetAvailableDrivers, "SQLGetAvailableDrivers", FALSE, lpszInfFile,
                       lpszBuf, cbBufMax, pcbBufOut);
}

BOOL WINAPI SQLGetAvailableDriversW(LPCWSTR lpszInfFile, LPWSTR lpszBuf, WORD cbBufMax,
                                    WORD* pcbBufOut) {
  return callInstaller(&SQLGetAvailableDriversW, "SQLGetAvailableDriversW", FALSE, lpszInfFile,
                       lpszBuf, cbBufMax, pcbBufOut);
}

BOOL WINAPI SQLGetConfigMode(UWORD* pwConfigMode) {
  return callInstaller(&SQLGetConfigMode, "SQLGetConfigMode", FALSE, pwConfigMode);
}

BOOL WINAPI SQLGetInstalledDrivers(LPSTR lpszBuf, WORD cbBufMax, WORD* pcbBufOut) {
  return callInstaller(&SQLGetInstalledDrivers, "SQLGetInstalledDrivers", FALSE, lpszBuf, cbBufMax,
                       pcbBufOut);
}

BOOL WINAPI SQLGetInstalledDriversW(LPWSTR lpszBuf, WORD cbBufMax, WORD* pcbBufOut) {
  return callInstaller(&SQLGetInstalledDriversW, "SQLGetInstalledDriversW", FALSE, lpszBuf,
                       cbBufMax, pcbBufOut);
}

int WINAPI SQLGetPrivateProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszDefault,
                                      LPSTR lpszRetBuffer, int cbRetBuffer, LPCSTR lpszFilename) {
  return callInstaller(&SQLGetPrivateProfileString, "SQLGetPrivateProfileString", 0, lpszSection,
                       lpszEntry, lpszDefault, lpszRetBuffer, cbRetBuffer, lpszFilename);
}

int WINAPI SQLGetPrivateProfileStringW(LPCWSTR lpszSection, LPCWSTR lpszEntry, LPCWSTR lpszDefault,
                                       LPWSTR lpszRetBuffer, int cbRetBuffer,
                                       LPCWSTR lpszFilename) {
  return callInstaller(&SQLGetPrivateProfileStringW, "SQLGetPrivateProfileStringW", 0, lpszSection,
                       lpszEntry, lpszDefault, lpszRetBuffer, cbRetBuffer, lpszFilename);
}

BOOL WINAPI SQLGetTranslator(HWND hwndParent, LPSTR lpszName, WORD cbNameMax, WORD* pcbNameOut,
                             LPSTR lpszPath, WORD cbPathMax, WORD* pcbPathOut, DWORD* pvOption) {
  return callInstaller(&SQLGetTranslator, "SQLGetTranslator", FALSE, hwndParent, lpszName,
                       cbNameMax, pcbNameOut, lpszPath, cbPathMax, pcbPathOut, pvOption);
}

BOOL WINAPI SQLGetTranslatorW(HWND hwndParent, LPWSTR lpszName, WORD cbNameMax, WORD* pcbNameOut,
                              LPWSTR lpszPath, WORD cbPathMax, WORD* pcbPathOut, DWORD* pvOption) {
  return callInstaller(&SQLGetTranslatorW, "SQLGetTranslatorW", FALSE, hwndParent, lpszName,
                       cbNameMax, pcbNameOut, lpszPath, cbPathMax, pcbPathOut, pvOption);
}

BOOL WINAPI SQLInstallDriver(LPCSTR lpszInfFile, LPCSTR lpszDriver, LPSTR lpszPath, WORD cbPathMax,
                             WORD* pcbPathOut) {
  return callInstaller(&SQLInstallDriver, "SQLInstallDriver", FALSE, lpszInfFile, lpszDriver,
                       lpszPath, cbPathMax, pcbPathOut);
}

BOOL WINAPI SQLInstallDriverEx(LPCSTR lpszDriver, LPCSTR lpszPathIn, LPSTR lpszPathOut,
                               WORD cbPathOutMax, WORD* pcbPathOut, WORD fRequest,
                               LPDWORD lpdwUsageCount) {
  return callInstaller(&SQLInstallDriverEx, "SQLInstallDriverEx", FALSE, lpszDriver, lpszPathIn,
                       lpszPathOut, cbPathOutMax, pcbPathOut, fRequest, lpdwUsageCount);
}

BOOL WINAPI SQLInstallDriverExW(LPCWSTR lpszDriver, LPCWSTR lpszPathIn, LPWSTR lpszPathOut,
                                WORD cbPathOutMax, WORD* pcbPathOut, WORD fRequest,
                                LPDWORD lpdwUsageCount) {
  return callInstaller(&SQLInstallDriverExW, "SQLInstallDriverExW", FALSE, lpszDriver, lpszPathIn,
                       lpszPathOut, cbPathOutMax, pcbPathOut, fRequest, lpdwUsageCount);
}

BOOL WINAPI SQLInstallDriverManager(LPSTR lpszPath, WORD cbPathMax, WORD* pcbPathOut) {
  return callInstaller(&SQLInstallDriverManager, "SQLInstallDriverManager", FALSE, lpszPath,
                       cbPathMax, pcbPathOut);
}

BOOL WINAPI SQLInstallDriverManagerW(LPWSTR lpszPath, WORD cbPathMax, WORD* pcbPathOut) {
  return callInstaller(&SQLInstallDriverManagerW, "SQLInstallDriverManagerW", FALSE, lpszPath,
                       cbPathMax, pcbPathOut);
}

BOOL WINAPI SQLInstallDriverW(LPCWSTR lpszInfFile, LPCWSTR lpszDriver, LPWSTR lpszPath,
                              WORD cbPathMax, WORD* pcbPathOut) {
  return callInstaller(&SQLInstallDriverW, "SQLInstallDriverW", FALSE, lpszInfFile, lpszDriver,
                       lpszPath, cbPathMax, pcbPathOut);
}

BOOL WINAPI SQLInstallODBC(HWND hwndParent, LPCSTR lpszInfFile, LPCSTR lpszSrcPath,
                           LPCSTR lpszDrivers) {
  return callInstaller(&SQLInstallODBC, "SQLInstallODBC", FALSE, hwndParent, lpszInfFile,
                       lpszSrcPath, lpszDrivers);
}

BOOL WINAPI SQLInstallODBCW(HWND hwndParent, LPCWSTR lpszInfFile, LPCWSTR lpszSrcPath,
                            LPCWSTR lpszDrivers) {
  return callInstaller(&SQLInstallODBCW, "SQLInstallODBCW", FALSE, hwndParent, lpszInfFile,
                       lpszSrcPath, lpszDrivers);
}

BOOL WINAPI SQLInstallTranslator(LPCSTR lpszInfFile, LPCSTR lpszTranslator, LPCSTR lpszPathIn,
                                 LPSTR lpszPathOut, WORD cbPathOutMax, WORD* pcbPathOut,
                                 WORD fRequest, LPDWORD lpdwUsageCount) {
  return callInstaller(&SQLInstallTranslator, "SQLInstallTranslator", FALSE, lpszInfFile,
                       lpszTranslator, lpszPathIn, lpszPathOut, cbPathOutMax, pcbPathOut, fRequest,
                       lpdwUsageCount);
}

BOOL WINAPI SQLInstallTranslatorEx(LPCSTR lpszTranslator, LPCSTR lpszPathIn, LPSTR lpszPathOut,
                                   WORD cbPathOutMax, WORD* pcbPathOut, WORD fRequest,
                                   LPDWORD lpdwUsageCount) {
  return callInstaller(&SQLInstallTranslatorEx, "SQLInstallTranslatorEx", FALSE, lpszTranslator,
                       lpszPathIn, lpszPathOut, cbPathOutMax, pcbPathOut, fRequest, lpdwUsageCount);
}

BOOL WINAPI SQLInstallTranslatorExW(LPCWSTR lpszTranslator, LPCWSTR lpszPathIn, LPWSTR lpszPathOut,
                                    WORD cbPathOutMax, WORD* pcbPathOut, WORD fRequest,
                                    LPDWORD lpdwUsageCount) {
  return callInstaller(&SQLInstallTranslatorExW, "SQLInstallTranslatorExW", FALSE, lpszTranslator,
                       lpszPathIn, lpszPathOut, cbPathOutMax, pcbPathOut, fRequest, lpdwUsageCount);
}

BOOL WINAPI SQLInstallTranslatorW(LPCWSTR lpszInfFile, LPCWSTR lpszTranslator, LPCWSTR lpszPathIn,
                                  LPWSTR lpszPathOut, WORD cbPathOutMax, WORD* pcbPathOut,
                                  WORD fRequest, LPDWORD lpdwUsageCount) {
  return callInstaller(&SQLInstallTranslatorW, "SQLInstallTranslatorW", FALSE, lpszInfFile,
                       lpszTranslator, lpszPathIn, lpszPathOut, cbPathOutMax, pcbPathOut, fRequest,
                       lpdwUsageCount);
}

RETCODE WINAPI SQLInstallerError(WORD iError, DWORD* pfErrorCode, LPSTR lpszErrorMsg,
                                 WORD cbErrorMsgMax, WORD* pcbErrorMsg) {
  return callInstaller(&SQLInstallerError, "SQLInstallerError", kErrorResult, iError, pfErrorCode,
                       lpszErrorMsg, cbErrorMsgMax, pcbErrorMsg);
}

RETCODE WINAPI SQLInstallerErrorW(WORD iError, DWORD* pfErrorCode, LPWSTR lpszErrorMsg,
                                  WORD cbErrorMsgMax, WORD* pcbErrorMsg) {
  return callInstaller(&SQLInstallerErrorW, "SQLInstallerErrorW", kErrorResult, iError, pfErrorCode,
                       lpszErrorMsg, cbErrorMsgMax, pcbErrorMsg);
}

BOOL WINAPI SQLManageDataSources(HWND hwndParent) {
  return callInstaller(&SQLManageDataSources, "SQLManageDataSources", FALSE, hwndParent);
}

RETCODE WINAPI SQLPostInstallerError(DWORD dwErrorCode, LPCSTR lpszErrMsg) {
  return callInstaller(&SQLPostInstallerError, "SQLPostInstallerError", kErrorResult, dwErrorCode,
                       lpszErrMsg);
}

RETCODE WINAPI SQLPostInstallerErrorW(DWORD dwErrorCode, LPCWSTR lpszErrorMsg) {
  return callInstaller(&SQLPostInstallerErrorW, "SQLPostInstallerErrorW", kErrorResult, dwErrorCode,
                       lpszErrorMsg);
}

BOOL WINAPI SQLReadFileDSN(LPCSTR lpszFileName, LPCSTR lpszAppName, LPCSTR lpszKeyName,
                           LPSTR lpszString, WORD cbString, WORD* pcbString) {
  return callInstaller(&SQLReadFileDSN, "SQLReadFileDSN", FALSE, lpszFileName, lpszAppName,
                       lpszKeyName, lpszString, cbString, pcbString);
}

BOOL WINAPI SQLReadFileDSNW(LPCWSTR lpszFileName, LPCWSTR lpszAppName, LPCWSTR lpszKeyName,
                            LPWSTR lpszString, WORD cbString, WORD* pcbString) {
  return callInstaller(&SQLReadFileDSNW, "SQLReadFileDSNW", FALSE, lpszFileName, lpszAppName,
                       lpszKeyName, lpszString, cbString, pcbString);
}

BOOL WINAPI SQLRemoveDSNFromIni(LPCSTR lpszDSN) {
  return callInstaller(&SQLRemoveDSNFromIni, "SQLRemoveDSNFromIni", FALSE, lpszDSN);
}

BOOL WINAPI SQLRemoveDSNFromIniW(LPCWSTR lpszDSN) {
  return callInstaller(&SQLRemoveDSNFromIniW, "SQLRemoveDSNFromIniW", FALSE, lpszDSN);
}

BOOL WINAPI SQLRemoveDefaultDataSource() {
  return callInstaller(&SQLRemoveDefaultDataSource, "SQLRemoveDefaultDataSource", FALSE);
}

BOOL WINAPI SQLRemoveDriver(LPCSTR lpszDriver, BOOL fRemoveDSN, LPDWORD lpdwUsageCount) {
  return callInstaller(&SQLRemoveDriver, "SQLRemoveDriver", FALSE, lpszDriver, fRemoveDSN,
                       lpdwUsageCount);
}

BOOL WINAPI SQLRemoveDriverManager(LPDWORD lpdwUsageCount) {
  return callInstaller(&SQLRemoveDriverManager, "SQLRemoveDriverManager", FALSE, lpdwUsageCount);
}

BOOL WINAPI SQLRemoveDriverW(LPCWSTR lpszDriver, BOOL fRemoveDSN, LPDWORD lpdwUsageCount) {
  return callInstaller(&SQLRemoveDriverW, "SQLRemoveDriverW", FALSE, lpszDriver, fRemoveDSN,
                       lpdwUsageCount);
}

BOOL WINAPI SQLRemoveTranslator(LPCSTR lpszTranslator, LPDWORD lpdwUsageCount) {
  return callInstaller(&SQLRemoveTranslator, "SQLRemoveTranslator", FALSE, lpszTranslator,
                       lpdwUsageCount);
}

BOOL WINAPI SQLRemoveTranslatorW(LPCWSTR lpszTranslator, LPDWORD lpdwUsageCount) {
  return callInstaller(&SQLRemoveTranslatorW, "SQLRemoveTranslatorW", FALSE, lpszTranslator,
                       lpdwUsageCount);
}

BOOL WINAPI SQLSetConfigMode(UWORD wConfigMode) {
  return callInstaller(&SQLSetConfigMode, "SQLSetConfigMode", FALSE, wConfigMode);
}

BOOL WINAPI SQLValidDSN(LPCSTR lpszDSN) {
  return callInstaller(&SQLValidDSN, "SQLValidDSN", FALSE, lpszDSN);
}

BOOL WINAPI SQLValidDSNW(LPCWSTR lpszDSN) {
  return callInstaller(&SQLValidDSNW, "SQLValidDSNW", FALSE, lpszDSN);
}

BOOL WINAPI SQLWriteDSNToIni(LPCSTR lpszDSN, LPCSTR lpszDriver) {
  return callInstaller(&SQLWriteDSNToIni, "SQLWriteDSNToIni", FALSE, lpszDSN, lpszDriver);
}

BOOL WINAPI SQLWriteDSNToIniW(LPCWSTR lpszDSN, LPCWSTR lpszDriver) {
  return callInstaller(&SQLWriteDSNToIniW, "SQLWriteDSNToIniW", FALSE, lpszDSN, lpszDriver);
}

BOOL WINAPI SQLWriteFileDSN(LPCSTR lpszFileName, LPCSTR lpszAppName, LPCSTR lpszKeyName,
                            LPCSTR lpszString) {
  return callInstaller(&SQLWriteFileDSN, "SQLWriteFileDSN", FALSE, lpszFileName, lpszAppName,
                       lpszKeyName, lpszString);
}

BOOL WINAPI SQLWriteFileDSNW(LPCWSTR lpszFileName, LPCWSTR lpszAppName, LPCWSTR lpszKeyName,
                             LPCWSTR lpszString) {
  return callInstaller(&SQLWriteFileDSNW, "SQLWriteFileDSNW", FALSE, lpszFileName, lpszAppName,
                       lpszKeyName, lpszString);
}

BOOL WINAPI SQLWritePrivateProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszString,
                                         LPCSTR lpszFilename) {
  return callInstaller(&SQLWritePrivateProfileString, "SQLWritePrivateProfileString", FALSE,
                       lpszSection, lpszEntry, lpszString, lpszFilename);
}

BOOL WINAPI SQLWritePrivateProfileStringW(LPCWSTR lpszSection, LPCWSTR lpszEntry,
                                          LPCWSTR lpszString, LPCWSTR lpszFilename) {
  return callInstaller(&SQLWritePrivateProfileStringW, "SQLWritePrivateProfileStringW", FALSE,
                       lpszSection, lpszEntry, lpszString, lpszFilename);
}
