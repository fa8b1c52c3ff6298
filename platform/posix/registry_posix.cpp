#include "platform/memory_registry.h"

namespace corv {

// Natively the registry is in memory: the portable logic runs against it in tests.
RegistryBackend* DefaultRegistryBackend() {
    static MemoryRegistry registry;
    return &registry;
}

}  // namespace corv
