// Compiles the record layout checks of link_records.h into every build, native and both
// Windows targets, even before any other code includes the header.
#include "link/link_records.h"
