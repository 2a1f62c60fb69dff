// The ODBC installer library, bound at run time by name.
//
// The program never links against the installer: every entry point below looks
// its function up in odbccp32.dll when it is called, so the program starts, and
// its registry-only paths work, where that library is missing. Each entry point
// bears the installer function's name and takes that function's parameters; it
// returns the installer's result unchanged, or a failure value when the library
// or the function is missing (after telling the user in a message box).
#pragma once

#include "win32.h"

// ODBC's own types, as the installer API declares its functions with them.
using RETCODE = short;
using UWORD = unsigned short;

namespace dsnconf {

// Results of SQLInstallerError and SQLPostInstallerError.
constexpr RETCODE SQL_SUCCESS = 0;
constexpr RETCODE SQL_SUCCESS_WITH_INFO = 1;
constexpr RETCODE SQL_NO_DATA = 100;
constexpr RETCODE SQL_ERROR = -1;

// Installer error codes that callers act on.
constexpr DWORD ODBC_ERROR_OUTPUT_STRING_TRUNCATED = 22;

// The address of the installer function `name`, or null when the installer
// library or that function is missing; in both cases the user has been told.
FARPROC resolveInstallerEntry(const char* name);

}  // namespace dsnconf

BOOL WINAPI SQLConfigDataSource(HWND hwndParent, WORD fRequest, LPCSTR lpszDriver,
                                LPCSTR lpszAttributes);
BOOL WINAPI SQLConfigDataSourceW(HWND hwndParent, WORD fRequest, LPCWSTR lpszDriver,
                                 LPCWSTR lpszAttributes);
BOOL WINAPI SQLConfigDriver(HWND hwndParent, WORD fRequest, LPCSTR lpszDriver, LPCSTR lpszArgs,
                            LPSTR lpszMsg, WORD cbMsgMax, WORD* pcbMsgOut);
BOOL WINAPI SQLConfigDriverW(HWND hwndParent, WORD fRequest, LPCWSTR lpszDriver, LPCWSTR lpszArgs,
                             LPWSTR lpszMsg, WORD cbMsgMax, WORD* pcbMsgOut);
BOOL WINAPI SQLCreateDataSource(HWND hwndParent, LPCSTR lpszDSN);
BOOL WINAPI SQLCreateDataSourceW(HWND hwndParent, LPCWSTR lpszDSN);
BOOL WINAPI SQLGetAvailableDrivers(LPCSTR lpszInfFile, LPSTR lpszBuf, WORD cbBufMax,
                                   WORD* pcbBufOut);
BOOL WINAPI SQLGetAvailableDriversW(LPCWSTR lpszInfFile, LPWSTR lpszBuf, WORD cbBufMax,
                                    WORD* pcbBufOut);
BOOL WINAPI SQLGetConfigMode(UWORD* pwConfigMode);
BOOL WINAPI SQLGetInstalledDrivers(LPSTR lpszBuf, WORD cbBufMax, WORD* pcbBufOut);
BOOL WINAPI SQLGetInstalledDriversW(LPWSTR lpszBuf, WORD cbBufMax, WORD* pcbBufOut);
int WINAPI SQLGetPrivateProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszDefault,
                                      LPSTR lpszRetBuffer, int cbRetBuffer, LPCSTR lpszFilename);
int WINAPI SQLGetPrivateProfileStringW(LPCWSTR lpszSection, LPCWSTR lpszEntry, LPCWSTR lpszDefault,
                                       LPWSTR lpszRetBuffer, int cbRetBuffer, LPCWSTR lpszFilename);
BOOL WINAPI SQLGetTranslator(HWND hwndParent, LPSTR lpszName, WORD cbNameMax, WORD* pcbNameOut,
                             LPSTR lpszPath, WORD cbPathMax, WORD* pcbPathOut, DWORD* pvOption);
BOOL WINAPI SQLGetTranslatorW(HWND hwndParent, LPWSTR lpszName, WORD cbNameMax, WORD* pcbNameOut,
                              LPWSTR lpszPath, WORD cbPathMax, WORD* pcbPathOut, DWORD* pvOption);
BOOL WINAPI SQLInstallDriver(LPCSTR lpszInfFile, LPCSTR lpszDriver, LPSTR lpszPath, WORD cbPathMax,
                             WORD* pcbPathOut);
BOOL WINAPI SQLInstallDriverEx(LPCSTR lpszDriver, LPCSTR lpszPathIn, LPSTR lpszPathOut,
                               WORD cbPathOutMax, WORD* pcbPathOut, WORD fRequest,
                               LPDWORD lpdwUsageCount);
BOOL WINAPI SQLInstallDriverExW(LPCWSTR lpszDriver, LPCWSTR lpszPathIn, LPWSTR lpszPathOut,
                                WORD cbPathOutMax, WORD* pcbPathOut, WORD fRequest,
                                LPDWORD lpdwUsageCount);
BOOL WINAPI SQLInstallDriverManager(LPSTR lpszPath, WORD cbPathMax, WORD* pcbPathOut);
BOOL WINAPI SQLInstallDriverManagerW(LPWSTR lpszPath, WORD cbPathMax, WORD* pcbPathOut);
BOOL WINAPI SQLInstallDriverW(LPCWSTR lpszInfFile, LPCWSTR lpszDriver, LPWSTR lpszPath,
                              WORD cbPathMax, WORD* pcbPathOut);
BOOL WINAPI SQLInstallODBC(HWND hwndParent, LPCSTR lpszInfFile, LPCSTR lpszSrcPath,
                           LPCSTR lpszDrivers);
BOOL WINAPI SQLInstallODBCW(HWND hwndParent, LPCWSTR lpszInfFile, LPCWSTR lpszSrcPath,
                            LPCWSTR lpszDrivers);
BOOL WINAPI SQLInstallTranslator(LPCSTR lpszInfFile, LPCSTR lpszTranslator, LPCSTR lpszPathIn,
                                 LPSTR lpszPathOut, WORD cbPathOutMax, WORD* pcbPathOut,
                                 WORD fRequest, LPDWORD lpdwUsageCount);
BOOL WINAPI SQLInstallTranslatorEx(LPCSTR lpszTranslator, LPCSTR lpszPathIn, LPSTR lpszPathOut,
                                   WORD cbPathOutMax, WORD* pcbPathOut, WORD fRequest,
                                   LPDWORD lpdwUsageCount);
BOOL WINAPI SQLInstallTranslatorExW(LPCWSTR lpszTranslator, LPCWSTR lpszPathIn, LPWSTR lpszPathOut,
                                    WORD cbPathOutMax, WORD* pcbPathOut, WORD fRequest,
                                    LPDWORD lpdwUsageCount);
BOOL WINAPI SQLInstallTranslatorW(LPCWSTR lpszInfFile, LPCWSTR lpszTranslator, LPCWSTR lpszPathIn,
                                  LPWSTR lpszPathOut, WORD cbPathOutMax, WORD* pcbPathOut,
                                  WORD fRequest, LPDWORD lpdwUsageCount);
RETCODE WINAPI SQLInstallerError(WORD iError, DWORD* pfErrorCode, LPSTR lpszErrorMsg,
                                 WORD cbErrorMsgMax, WORD* pcbErrorMsg);
RETCODE WINAPI SQLInstallerErrorW(WORD iError, DWORD* pfErrorCode, LPWSTR lpszErrorMsg,
                                  WORD cbErrorMsgMax, WORD* pcbErrorMsg);
BOOL WINAPI SQLManageDataSources(HWND hwndParent);
RETCODE WINAPI SQLPostInstallerError(DWORD dwErrorCode, LPCSTR lpszErrMsg);
RETCODE WINAPI SQLPostInstallerErrorW(DWORD dwErrorCode, LPCWSTR lpszErrorMsg);
BOOL WINAPI SQLReadFileDSN(LPCSTR lpszFileName, LPCSTR lpszAppName, LPCSTR lpszKeyName,
                           LPSTR lpszString, WORD cbString, WORD* pcbString);
BOOL WINAPI SQLReadFileDSNW(LPCWSTR lpszFileName, LPCWSTR lpszAppName, LPCWSTR lpszKeyName,
                            LPWSTR lpszString, WORD cbString, WORD* pcbString);
BOOL WINAPI SQLRemoveDSNFromIni(LPCSTR lpszDSN);
BOOL WINAPI SQLRemoveDSNFromIniW(LPCWSTR lpszDSN);
BOOL WINAPI SQLRemoveDefaultDataSource();
BOOL WINAPI SQLRemoveDriver(LPCSTR lpszDriver, BOOL fRemoveDSN, LPDWORD lpdwUsageCount);
BOOL WINAPI SQLRemoveDriverManager(LPDWORD lpdwUsageCount);
BOOL WINAPI SQLRemoveDriverW(LPCWSTR lpszDriver, BOOL fRemoveDSN, LPDWORD lpdwUsageCount);
BOOL WINAPI SQLRemoveTranslator(LPCSTR lpszTranslator, LPDWORD lpdwUsageCount);
BOOL WINAPI SQLRemoveTranslatorW(LPCWSTR lpszTranslator, LPDWORD lpdwUsageCount);
BOOL WINAPI SQLSetConfigMode(UWORD wConfigMode);
BOOL WINAPI SQLValidDSN(LPCSTR lpszDSN);
BOOL WINAPI SQLValidDSNW(LPCWSTR lpszDSN);
BOOL WINAPI SQLWriteDSNToIni(LPCSTR lpszDSN, LPCSTR lpszDriver);
BOOL WINAPI SQLWriteDSNToIniW(LPCWSTR lpszDSN, LPCWSTR lpszDriver);
BOOL WINAPI SQLWriteFileDSN(LPCSTR lpszFileName, LPCSTR lpszAppName, LPCSTR lpszKeyName,
                            LPCSTR lpszString);
BOOL WINAPI SQLWriteFileDSNW(LPCWSTR lpszFileName, LPCWSTR lpszAppName, LPCWSTR lpszKeyName,
                             LPCWSTR lpszString);
BOOL WINAPI SQLWritePrivateProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszString,
                                         LPCSTR lpszFilename);
BOOL WINAPI SQLWritePrivateProfileStringW(LPCWSTR lpszSection, LPCWSTR lpszEntry,
                                          LPCWSTR lpszString, LPCWSTR lpszFilename);
