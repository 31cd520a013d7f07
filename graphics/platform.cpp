#include "graphics/platform.h"

namespace vantrelo {
namespace {
DisplayInfoProvider g_provider = nullptr;
}

void setDisplayInfoProvider(DisplayInfoProvider provider) { g_provider = provider; }

DisplayInfo displayInfo() { return g_provider ? g_provider() : DisplayInfo{}; }

}  // namespace vantrelo
