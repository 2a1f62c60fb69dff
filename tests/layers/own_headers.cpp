// Every layer reaches its own headers and those of the layers below it.
#include "base/output.h"
#include "cli/usage.h"
#include "commands/commands.h"
#include "dsn/places.h"
#include "platform/exit_status.h"
#include "win32.h"
