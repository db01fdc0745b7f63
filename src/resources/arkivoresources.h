#pragma once

namespace Arkivo {
// The plug-in's images are registered when the library loads. Code that uses
// them calls this, which also keeps the registration in a static link.
void ensureResources();
}
