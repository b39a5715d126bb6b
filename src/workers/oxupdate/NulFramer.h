#pragma once

// Splits a byte stream into NUL-terminated messages, as spoken by a headless
// browser's DevTools pipe and by the shared browser host. A message that grows
// past the size limit before its NUL arrives marks the stream broken: the peer
// is misbehaving and the connection should be dropped rather than buffered
// without bound.
//
//   NulFramer framer;
//   framer.Feed(buffer, n);
//   while (auto message = framer.Next()) Handle(*message);
//   if (framer.Broken()) Disconnect();

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace orvex::oxupdate {

class NulFramer
{
public:
    static constexpr std::size_t kDefaultLimit = 64u * 1024u * 1024u;

    explicit NulFramer(std::size_t limit = kDefaultLimit) : m_limit(limit) {}

    // Appends received bytes. Ignored once the stream is broken.
    void Feed(const char* data, std::size_t size);
    void Feed(std::string_view bytes) { Feed(bytes.data(), bytes.size()); }

    // The next complete message (without its NUL), or nothing when none is
    // complete yet or the stream is broken.
    std::optional<std::string> Next();

    // True once a message exceeded the limit; nothing more is delivered.
    bool Broken() const { return m_broken; }

    // Bytes received but not yet delivered.
    std::size_t Pending() const { return m_buffer.size() - m_start; }

private:
    void Compact();

    std::size_t m_limit;
    std::string m_buffer;
    std::size_t m_start = 0;   // first undelivered byte
    std::size_t m_scanned = 0; // bytes from m_start already known to hold no NUL
    std::size_t m_tail = 0;    // bytes received since the last NUL
    bool m_overflow = false;   // the unterminated tail passed the limit
    bool m_broken = false;
};

// Appends the NUL terminator: the wire form of one message.
inline std::string NulFrame(std::string_view message)
{
    std::string out;
    out.reserve(message.size() + 1);
    out.append(message);
    out.push_back('\0');
    return out;
}

} // namespace orvex::oxupdate
