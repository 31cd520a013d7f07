#include "base/text.h"

#include <cstring>

namespace vantrelo {

Text Text::number(std::int64_t value) { return Text(std::to_string(value)); }

int Text::compare(const Text& other) const {
    // The bytes never hold a NUL, so strcmp sees the whole text.
    const int r = std::strcmp(m_bytes.c_str(), other.m_bytes.c_str());
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

}  // namespace vantrelo
