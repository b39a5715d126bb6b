#include "NulFramer.h"

#include <cstring>

namespace orvex::oxupdate {

void NulFramer::Feed(const char* data, std::size_t size)
{
    if (m_broken || m_overflow || size == 0)
        return;
    const void* last = memrchr(data, '\0', size);
    std::size_t keep = size;
    if (last) {
        const std::size_t pos = static_cast<const char*>(last) - data;
        m_tail = size - pos - 1;
        if (m_tail > m_limit) {
            keep = pos + 1;
            m_overflow = true;
        }
    } else {
        m_tail += size;
        if (m_tail > m_limit) {
            keep = 0;
            m_overflow = true;
        }
    }
    // The messages completed before an overflow are still delivered; the
    // oversized tail is never stored.
    Compact();
    m_buffer.append(data, keep);
}

std::optional<std::string> NulFramer::Next()
{
    if (m_broken)
        return std::nullopt;
    const std::size_t from = m_start + m_scanned;
    const char* base = m_buffer.data();
    const void* hit =
        from < m_buffer.size() ? std::memchr(base + from, '\0', m_buffer.size() - from) : nullptr;
    if (!hit) {
        m_scanned = m_buffer.size() - m_start;
        if (m_overflow) {
            m_broken = true;
            m_buffer.clear();
            m_buffer.shrink_to_fit();
            m_start = m_scanned = 0;
        }
        return std::nullopt;
    }
    const std::size_t end = static_cast<const char*>(hit) - base;
    if (end - m_start > m_limit) {
        // Complete but oversized (it arrived in one piece): same verdict.
        m_broken = true;
        m_buffer.clear();
        m_buffer.shrink_to_fit();
        m_start = m_scanned = 0;
        return std::nullopt;
    }
    std::string message(base + m_start, end - m_start);
    m_start = end + 1;
    m_scanned = 0;
    if (m_start == m_buffer.size()) {
        m_buffer.clear();
        m_start = 0;
    }
    return message;
}

void NulFramer::Compact()
{
    // Drop delivered bytes once they dominate, so the buffer does not creep.
    if (m_start > 0 && m_start * 2 >= m_buffer.size()) {
        m_buffer.erase(0, m_start);
        m_start = 0;
    }
}

} // namespace orvex::oxupdate
