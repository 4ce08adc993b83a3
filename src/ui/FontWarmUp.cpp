#include "ui/FontWarmUp.h"

#include <fontconfig/fontconfig.h>

#include <system_error>

namespace tolva {

FontWarmUp::FontWarmUp() {
    try {
        m_thread = std::thread([] { FcInit(); });
    } catch (const std::system_error&) {
        // No thread to spare: the configuration is read when the first text
        // needs it, as it would be without this.
    }
}

FontWarmUp::~FontWarmUp() {
    wait();
}

void FontWarmUp::wait() {
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace tolva
