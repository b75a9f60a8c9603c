#include "filecopy/file_copy_handler.h"

namespace tamarisk {

// Not yet built: the call's result stays as the host set it.
void Plovers(InterfaceObject*, CallRecord*) {}

}  // namespace tamarisk
