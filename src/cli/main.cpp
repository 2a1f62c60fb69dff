// dsnconf: inspects and edits the ODBC configuration of the Ivorel driver
// family in the registry and in file data sources.
#include "cli/dispatcher.h"
#include "platform/exit_status.h"

int main(int argc, char** argv) {
  return dsnconf::toExitStatus(dsnconf::dispatch(argc, argv));
}
