// What the host learns when it registers the module: the class table and
// the Lingo message table.
#pragma once

#include "simhost/sim_host.h"

namespace tamarisk {
namespace cli {

// Prints what DllGetClassInfo and DllGetClassForm answer; false on a failure.
bool PrintClassTable(sim::SimHost& host);

// Registers the module as the host does; the message table is then known,
// and printed when print says so.
bool Register(sim::SimHost& host, bool print);

}  // namespace cli
}  // namespace tamarisk
