#include "tools/render/batch.h"

#include <cstdio>

namespace vantrelo {

int runBatch(const std::vector<std::string>&) {
    std::fprintf(stderr, "vantrelo-render: batch is not available yet\n");
    return 1;
}

}  // namespace vantrelo
