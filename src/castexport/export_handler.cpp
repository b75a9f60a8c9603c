#include "castexport/export_handler.h"

namespace tamarisk {

// Not yet built: the call's result stays as the host set it.
void Avocets(InterfaceObject*, CallRecord*) {}

}  // namespace tamarisk
