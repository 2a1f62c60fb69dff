// Our installer's functions as a Windows odbccp32.dll exports them: __stdcall,
// the convention through which the program calls them, under their plain
// names (odbccp32.def). The installer's sources define them with the default C
// convention of the POSIX build; this build renames those definitions with the
// prefix "posix" (CMakeLists.txt), and each export here forwards to one.
#include <windows.h>

using RETCODE = short;

extern "C" {

BOOL posixSQLValidDSN(LPCSTR lpszDSN);
BOOL posixSQLValidDSNW(LPCWSTR lpszDSN);
BOOL posixSQLReadFileDSN(LPCSTR lpszFileName, LPCSTR lpszAppName, LPCSTR lpszKeyName,
                         LPSTR lpszString, WORD cbString, WORD* pcbString);
BOOL posixSQLWriteFileDSN(LPCSTR lpszFileName, LPCSTR lpszAppName, LPCSTR lpszKeyName,
                          LPCSTR lpszString);
RETCODE posixSQLInstallerError(WORD iError, DWORD* pfErrorCode, LPSTR lpszErrorMsg,
                               WORD cbErrorMsgMax, WORD* pcbErrorMsg);

BOOL WINAPI SQLValidDSN(LPCSTR lpszDSN) {
  return posixSQLValidDSN(lpszDSN);
}

BOOL WINAPI SQLValidDSNW(LPCWSTR lpszDSN) {
  return posixSQLValidDSNW(lpszDSN);
}

BOOL WINAPI SQLReadFileDSN(LPCSTR lpszFileName, LPCSTR lpszAppName, LPCSTR lpszKeyName,
                           LPSTR lpszString, WORD cbString, WORD* pcbString) {
  return posixSQLReadFileDSN(lpszFileName, lpszAppName, lpszKeyName, lpszString, cbString,
                             pcbString);
}

BOOL WINAPI SQLWriteFileDSN(LPCSTR lpszFileName, LPCSTR lpszAppName, LPCSTR lpszKeyName,
                            LPCSTR lpszString) {
  return posixSQLWriteFileDSN(lpszFileName, lpszAppName, lpszKeyName, lpszString);
}

RETCODE WINAPI SQLInstallerError(WORD iError, DWORD* pfErrorCode, LPSTR lpszErrorMsg,
                                 WORD cbErrorMsgMax, WORD* pcbErrorMsg) {
  return posixSQLInstallerError(iError, pfErrorCode, lpszErrorMsg, cbErrorMsgMax, pcbErrorMsg);
}

}  // extern "C"
