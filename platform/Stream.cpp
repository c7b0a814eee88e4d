#include "platform/Stream.h"

#include <algorithm>
#include <cstring>

namespace platform {

std::size_t MemoryStream::Read(void* buffer, std::size_t n) {
    const std::size_t available = position_ < bytes_.size() ? bytes_.size() - position_ : 0;
    const std::size_t count = std::min(n, available);
    if (count > 0) std::memcpy(buffer, bytes_.data() + position_, count);
    position_ += count;
    return count;
}

}  // namespace platform
