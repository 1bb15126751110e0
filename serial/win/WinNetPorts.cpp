// Lines behind serial device servers have no Windows device layer yet: such a name goes to the
// COM device layer, which reports that no such port exists.

#include "serial/ComBackend.h"
#include "serial/net/NetBackend.h"

std::shared_ptr<TComBackend> CreateNetComBackend() { return CreateSystemComBackend(); }
