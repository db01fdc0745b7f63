#include "arkivoresources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void registerArkivoResources()
{
    Q_INIT_RESOURCE(arkivo);
    Q_INIT_RESOURCE(arkivo_translations);
}

static void unregisterArkivoResources()
{
    Q_CLEANUP_RESOURCE(arkivo_translations);
    Q_CLEANUP_RESOURCE(arkivo);
}

namespace {
// A static library drops the resource data unless something refers to it;
// this registration runs when the library that holds it loads.
struct ResourceRegistration
{
    ResourceRegistration() { registerArkivoResources(); }
    ~ResourceRegistration() { unregisterArkivoResources(); }
    ResourceRegistration(const ResourceRegistration &) = delete;
    ResourceRegistration &operator=(const ResourceRegistration &) = delete;
};
const ResourceRegistration registration;
}

namespace Arkivo {
void ensureResources()
{
    // The registration above has run by the time anyone can call this.
}
}
