#pragma once
#include <string>
#include <vector>

namespace vantrelo {
// vantrelo-render batch FILE.csv --out-dir DIR [--format bmp|png|jpg] [--jobs N]
int runBatch(const std::vector<std::string>& args);
}  // namespace vantrelo
