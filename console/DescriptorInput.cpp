#include "console/DescriptorInput.h"

#include <cerrno>
#include <system_error>
#include <unistd.h>

namespace zestrel::console {

DescriptorInput::int_type DescriptorInput::underflow() {
    for (;;) {
        const auto count = ::read(fd_, buffer_.data(), buffer_.size());
        if (count > 0) {
            setg(buffer_.data(), buffer_.data(), buffer_.data() + count);
            return traits_type::to_int_type(buffer_[0]);
        }
        if (count == 0) {
            return traits_type::eof();
        }
        if (errno != EINTR) {
            throw std::system_error(errno, std::generic_category());
        }
    }
}

} // namespace zestrel::console
