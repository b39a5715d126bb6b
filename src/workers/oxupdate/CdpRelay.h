#pragma once

// The routing rules of the shared browser host, free of sockets and processes:
// messages in, deliveries out. The host (BrowserHost.cpp) only moves bytes.
//
// Each client (a worker) speaks exactly what it would speak to the browser's
// pipe. The relay
//  - gives every forwarded command an id of its own, so clients' ids never
//    collide, and hands the reply back to the sender with its original id;
//  - routes an event carrying a sessionId to the client that attached that
//    session, and a browser-level Target event about a client's own target or
//    session to that client; every other browser-level event is dropped;
//  - answers the host's own methods:
//      Orvex.slotContext {slot, proxyServer, proxyBypassList}
//          -> {browserContextId, reused}: a browser context kept per slot and
//          proxy setting, created on first use and lent to one client at a time;
//      Orvex.contextClean {} -> {}: the client has cleared the context it was
//          lent, which may therefore serve the slot's next job;
//  - cleans up after a client that goes away: closes the pages it created,
//    disposes the contexts it created, and disposes a lent context it did not
//    declare clean (the slot's next job then gets a fresh one);
//  - never lets a client close the shared browser (Browser.close is answered
//    without being forwarded).

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orvex::oxupdate {

// The top-level fields of one DevTools message, found without building the
// whole document (replies may carry screenshots of many megabytes).
struct CdpEnvelope
{
    bool hasId = false;
    std::size_t idBegin = 0; // byte range of the id's value in the text
    std::size_t idEnd = 0;
    std::string method;
    std::string sessionId;
    bool hasResult = false;
    bool hasError = false;
};

// False when text is not a single JSON object (the values themselves are only
// checked for balanced brackets and terminated strings).
bool ScanEnvelope(std::string_view text, CdpEnvelope& out);

using ClientId = std::uint64_t;
// The destination of a delivery that goes to the browser.
constexpr ClientId kToBrowser = 0;

struct Delivery
{
    ClientId to = kToBrowser;
    std::string text; // one message, without its NUL
};

class CdpRelay
{
public:
    // A client's messages may only be passed on once it is known; clients are
    // also registered implicitly by their first message.
    void ClientConnected(ClientId client);
    std::vector<Delivery> FromClient(ClientId client, std::string_view text);
    std::vector<Delivery> FromBrowser(std::string_view text);
    // Cleanup commands for everything the client left behind.
    std::vector<Delivery> ClientGone(ClientId client);
    // The browser died: every context, page and session went with it.
    void BrowserGone();

    std::size_t ClientCount() const { return m_clients.size(); }
    // Commands sent to the browser whose replies have not come yet.
    std::size_t PendingCount() const { return m_pending.size(); }
    // Slot contexts that exist (lent or idle).
    std::size_t SlotContextCount() const { return m_slotContexts.size(); }

private:
    struct SlotKey
    {
        long long slot = 0;
        std::string proxyServer;
        std::string proxyBypassList;
        auto operator<=>(const SlotKey&) const = default;
    };
    enum class Kind { Forwarded, SlotCreate, Cleanup };
    struct Pending
    {
        Kind kind = Kind::Forwarded;
        ClientId client = 0;
        std::string clientIdText; // the client's own id, as it wrote it
        std::string method;
        std::string subject; // the target, context or session a command names
        SlotKey key;
    };
    struct Client
    {
        std::set<std::string> sessions;
        std::set<std::string> targets;  // created by it
        std::set<std::string> contexts; // created by it
        std::set<std::string> lent;     // slot contexts lent to it
    };

    long long NextId();
    std::string SendInternal(std::vector<Delivery>& out, const std::string& method,
                             const std::string& paramsJson, Kind kind, Pending pending);
    void HostMethod(ClientId client, const CdpEnvelope& env, std::string_view text,
                    std::vector<Delivery>& out);
    void Learn(const Pending& pending, std::string_view text, std::vector<Delivery>& out);
    void RouteEvent(const CdpEnvelope& env, std::string_view text, std::vector<Delivery>& out);
    void ForgetContext(const std::string& context);

    static std::string Reply(const std::string& idText, const std::string& resultJson);
    static std::string ErrorReply(const std::string& idText, int code, const std::string& message);

    long long m_nextId = 1;
    std::unordered_map<long long, Pending> m_pending;
    std::map<ClientId, Client> m_clients;
    std::unordered_map<std::string, ClientId> m_sessionOwner;
    std::unordered_map<std::string, ClientId> m_targetOwner;
    std::map<std::string, SlotKey> m_slotContexts; // lent or idle
    std::map<SlotKey, std::vector<std::string>> m_idle;
};

} // namespace orvex::oxupdate
