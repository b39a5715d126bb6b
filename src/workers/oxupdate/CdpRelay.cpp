#include "CdpRelay.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstring>

namespace orvex::oxupdate {

using nlohmann::json;

namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

void SkipSpace(std::string_view t, std::size_t& i)
{
    while (i < t.size() && IsSpace(t[i]))
        ++i;
}

// At an opening quote; moves past the closing one. Long strings (base64
// screenshots) are crossed with memchr rather than byte by byte.
bool SkipString(std::string_view t, std::size_t& i)
{
    ++i;
    while (i < t.size()) {
        const void* hit = std::memchr(t.data() + i, '"', t.size() - i);
        if (!hit)
            return false;
        std::size_t quote = static_cast<const char*>(hit) - t.data();
        std::size_t backslashes = 0;
        while (quote - backslashes > i && t[quote - backslashes - 1] == '\\')
            ++backslashes;
        i = quote + 1;
        if (backslashes % 2 == 0)
            return true;
    }
    return false;
}

bool SkipValue(std::string_view t, std::size_t& i)
{
    if (i >= t.size())
        return false;
    const char c = t[i];
    if (c == '"')
        return SkipString(t, i);
    if (c == '{' || c == '[') {
        std::string open;
        while (i < t.size()) {
            const char d = t[i];
            if (d == '"') {
                if (!SkipString(t, i))
                    return false;
                continue;
            }
            if (d == '{' || d == '[') {
                open.push_back(d);
            } else if (d == '}' || d == ']') {
                if (open.empty() || (d == '}') != (open.back() == '{'))
                    return false;
                open.pop_back();
                if (open.empty()) {
                    ++i;
                    return true;
                }
            }
            ++i;
        }
        return false;
    }
    // A number or a literal.
    const std::size_t start = i;
    while (i < t.size() && !IsSpace(t[i]) && t[i] != ',' && t[i] != '}' && t[i] != ']')
        ++i;
    if (i == start)
        return false;
    const char first = t[start];
    return first == '-' || (first >= '0' && first <= '9') || first == 't' || first == 'f' ||
           first == 'n';
}

// The text of a JSON string token (quotes included).
bool DecodeString(std::string_view token, std::string& out)
{
    if (token.size() < 2 || token.front() != '"')
        return false;
    if (token.find('\\') == std::string_view::npos) {
        out.assign(token.substr(1, token.size() - 2));
        return true;
    }
    const json decoded = json::parse(token, nullptr, false);
    if (!decoded.is_string())
        return false;
    out = decoded.get<std::string>();
    return true;
}

std::string WithId(std::string_view text, const CdpEnvelope& env, std::string_view id)
{
    std::string out;
    out.reserve(text.size() + id.size());
    out.append(text.substr(0, env.idBegin));
    out.append(id);
    out.append(text.substr(env.idEnd));
    return out;
}

std::string StringAt(const json& object, const char* key)
{
    if (!object.is_object())
        return {};
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// JSON-RPC error codes as the browser uses them.
constexpr int kInvalidRequest = -32600;
constexpr int kMethodNotFound = -32601;
constexpr int kInvalidParams = -32602;
constexpr int kServerError = -32000;

} // namespace

bool ScanEnvelope(std::string_view t, CdpEnvelope& out)
{
    out = CdpEnvelope{};
    std::size_t i = 0;
    SkipSpace(t, i);
    if (i >= t.size() || t[i] != '{')
        return false;
    ++i;
    SkipSpace(t, i);
    if (i < t.size() && t[i] == '}') {
        ++i;
    } else {
        while (true) {
            SkipSpace(t, i);
            if (i >= t.size() || t[i] != '"')
                return false;
            const std::size_t keyStart = i;
            if (!SkipString(t, i))
                return false;
            std::string key;
            if (!DecodeString(t.substr(keyStart, i - keyStart), key))
                return false;
            SkipSpace(t, i);
            if (i >= t.size() || t[i] != ':')
                return false;
            ++i;
            SkipSpace(t, i);
            const std::size_t valueStart = i;
            if (!SkipValue(t, i))
                return false;
            const std::string_view value = t.substr(valueStart, i - valueStart);
            if (key == "id") {
                out.hasId = true;
                out.idBegin = valueStart;
                out.idEnd = i;
            } else if (key == "method") {
                if (!DecodeString(value, out.method))
                    return false;
            } else if (key == "sessionId") {
                if (!DecodeString(value, out.sessionId))
                    return false;
            } else if (key == "result") {
                out.hasResult = true;
            } else if (key == "error") {
                out.hasError = true;
            }
            SkipSpace(t, i);
            if (i < t.size() && t[i] == ',') {
                ++i;
                continue;
            }
            if (i < t.size() && t[i] == '}') {
                ++i;
                break;
            }
            return false;
        }
    }
    SkipSpace(t, i);
    return i == t.size();
}

void CdpRelay::ClientConnected(ClientId client)
{
    m_clients.try_emplace(client);
}

long long CdpRelay::NextId()
{
    // The browser takes 32-bit ids; wrap long before that, skipping ids still
    // in flight.
    do {
        if (m_nextId >= 2000000000)
            m_nextId = 1;
        ++m_nextId;
    } while (m_pending.count(m_nextId));
    return m_nextId;
}

std::string CdpRelay::Reply(const std::string& idText, const std::string& resultJson)
{
    return "{\"id\":" + idText + ",\"result\":" + resultJson + "}";
}

std::string CdpRelay::ErrorReply(const std::string& idText, int code, const std::string& message)
{
    // The message may quote a client's method name, which need not be UTF-8;
    // such bytes are replaced rather than allowed to throw in the host.
    const json error = {{"code", code}, {"message", message}};
    return "{\"id\":" + idText +
           ",\"error\":" + error.dump(-1, ' ', false, json::error_handler_t::replace) + "}";
}

std::string CdpRelay::SendInternal(std::vector<Delivery>& out, const std::string& method,
                                   const std::string& paramsJson, Kind kind, Pending pending)
{
    const long long id = NextId();
    pending.kind = kind;
    pending.method = method;
    m_pending[id] = std::move(pending);
    out.push_back({kToBrowser, "{\"id\":" + std::to_string(id) + ",\"method\":" +
                                   json(method).dump() + ",\"params\":" + paramsJson + "}"});
    return std::to_string(id);
}

std::vector<Delivery> CdpRelay::FromClient(ClientId client, std::string_view text)
{
    std::vector<Delivery> out;
    m_clients.try_emplace(client);
    CdpEnvelope env;
    if (!ScanEnvelope(text, env) || !env.hasId)
        return out; // nothing to answer to
    const std::string idText(text.substr(env.idBegin, env.idEnd - env.idBegin));
    if (env.method.empty()) {
        out.push_back({client, ErrorReply(idText, kInvalidRequest, "Message must have a method")});
        return out;
    }
    if (env.method.starts_with("Orvex.")) {
        HostMethod(client, env, text, out);
        return out;
    }
    if (env.method == "Browser.close" && env.sessionId.empty()) {
        // Other workers still use the browser; this client is merely done.
        out.push_back({client, Reply(idText, "{}")});
        return out;
    }
    if (env.method == "Browser.crash" || env.method == "Browser.crashGpuProcess") {
        out.push_back(
            {client, ErrorReply(idText, kServerError, "Not allowed on a shared browser")});
        return out;
    }

    Pending pending;
    pending.kind = Kind::Forwarded;
    pending.client = client;
    pending.clientIdText = idText;
    pending.method = env.method;
    // Commands that end something a client owns: remember what, so the
    // bookkeeping follows once the browser confirms.
    if (env.method == "Target.closeTarget" || env.method == "Target.disposeBrowserContext" ||
        env.method == "Target.detachFromTarget") {
        const json message = json::parse(text, nullptr, false);
        const json params =
            message.is_object() ? message.value("params", json::object()) : json::object();
        if (env.method == "Target.closeTarget")
            pending.subject = StringAt(params, "targetId");
        else if (env.method == "Target.disposeBrowserContext")
            pending.subject = StringAt(params, "browserContextId");
        else
            pending.subject = StringAt(params, "sessionId");
    }
    const long long id = NextId();
    m_pending[id] = std::move(pending);
    out.push_back({kToBrowser, WithId(text, env, std::to_string(id))});
    return out;
}

void CdpRelay::HostMethod(ClientId client, const CdpEnvelope& env, std::string_view text,
                          std::vector<Delivery>& out)
{
    const std::string idText(text.substr(env.idBegin, env.idEnd - env.idBegin));
    const json message = json::parse(text, nullptr, false);
    json params = message.is_object() ? message.value("params", json::object()) : json::object();
    if (!params.is_object())
        params = json::object();
    Client& state = m_clients[client];

    if (env.method == "Orvex.slotContext") {
        const auto slot = params.find("slot");
        const auto proxy = params.find("proxyServer");
        const auto bypass = params.find("proxyBypassList");
        if (slot == params.end() || !slot->is_number_integer() || slot->get<long long>() < 0 ||
            (proxy != params.end() && !proxy->is_string()) ||
            (bypass != params.end() && !bypass->is_string())) {
            out.push_back({client, ErrorReply(idText, kInvalidParams,
                                              "Orvex.slotContext needs an integer slot >= 0 "
                                              "and string proxyServer, proxyBypassList")});
            return;
        }
        SlotKey key;
        key.slot = slot->get<long long>();
        key.proxyServer = proxy != params.end() ? proxy->get<std::string>() : std::string();
        key.proxyBypassList = bypass != params.end() ? bypass->get<std::string>() : std::string();

        // A slot whose proxy setting changed will not need its old contexts.
        for (auto it = m_idle.begin(); it != m_idle.end();) {
            if (it->first.slot == key.slot && it->first != key) {
                for (const std::string& context : it->second) {
                    m_slotContexts.erase(context);
                    SendInternal(out, "Target.disposeBrowserContext",
                                 json{{"browserContextId", context}}.dump(), Kind::Cleanup,
                                 Pending{});
                }
                it = m_idle.erase(it);
            } else {
                ++it;
            }
        }

        auto idle = m_idle.find(key);
        if (idle != m_idle.end() && !idle->second.empty()) {
            const std::string context = idle->second.back();
            idle->second.pop_back();
            if (idle->second.empty())
                m_idle.erase(idle);
            state.lent.insert(context);
            out.push_back(
                {client,
                 Reply(idText, json{{"browserContextId", context}, {"reused", true}}.dump())});
            return;
        }
        json create = json::object();
        if (!key.proxyServer.empty())
            create["proxyServer"] = key.proxyServer;
        if (!key.proxyBypassList.empty())
            create["proxyBypassList"] = key.proxyBypassList;
        Pending pending;
        pending.client = client;
        pending.clientIdText = idText;
        pending.key = key;
        SendInternal(out, "Target.createBrowserContext", create.dump(), Kind::SlotCreate,
                     std::move(pending));
        return;
    }
    if (env.method == "Orvex.contextClean") {
        for (const std::string& context : state.lent) {
            const auto known = m_slotContexts.find(context);
            if (known != m_slotContexts.end())
                m_idle[known->second].push_back(context);
        }
        state.lent.clear();
        out.push_back({client, Reply(idText, "{}")});
        return;
    }
    out.push_back(
        {client, ErrorReply(idText, kMethodNotFound, "'" + env.method + "' wasn't found")});
}

void CdpRelay::ForgetContext(const std::string& context)
{
    const auto known = m_slotContexts.find(context);
    if (known != m_slotContexts.end()) {
        auto idle = m_idle.find(known->second);
        if (idle != m_idle.end()) {
            std::erase(idle->second, context);
            if (idle->second.empty())
                m_idle.erase(idle);
        }
        m_slotContexts.erase(known);
    }
    for (auto& [id, client] : m_clients) {
        client.lent.erase(context);
        client.contexts.erase(context);
    }
}

void CdpRelay::Learn(const Pending& pending, std::string_view text, std::vector<Delivery>& out)
{
    const std::string& method = pending.method;
    const bool interesting =
        method == "Target.createTarget" || method == "Target.attachToTarget" ||
        method == "Target.attachToBrowserTarget" || method == "Target.createBrowserContext" ||
        method == "Target.closeTarget" || method == "Target.disposeBrowserContext" ||
        method == "Target.detachFromTarget";
    if (!interesting)
        return;
    const json message = json::parse(text, nullptr, false);
    if (!message.is_object() || !message.contains("result"))
        return; // failed: nothing changed
    const json& result = message["result"];
    const auto owner = m_clients.find(pending.client);
    const bool alive = owner != m_clients.end();

    if (method == "Target.createTarget") {
        const std::string target = StringAt(result, "targetId");
        if (target.empty())
            return;
        if (alive) {
            owner->second.targets.insert(target);
            m_targetOwner[target] = pending.client;
        } else {
            // Its creator left while the page was being made.
            SendInternal(out, "Target.closeTarget", json{{"targetId", target}}.dump(),
                         Kind::Cleanup, Pending{});
        }
    } else if (method == "Target.attachToTarget" || method == "Target.attachToBrowserTarget") {
        const std::string session = StringAt(result, "sessionId");
        if (session.empty())
            return;
        if (alive) {
            owner->second.sessions.insert(session);
            m_sessionOwner[session] = pending.client;
        } else {
            SendInternal(out, "Target.detachFromTarget", json{{"sessionId", session}}.dump(),
                         Kind::Cleanup, Pending{});
        }
    } else if (method == "Target.createBrowserContext") {
        const std::string context = StringAt(result, "browserContextId");
        if (context.empty())
            return;
        if (alive)
            owner->second.contexts.insert(context);
        else
            SendInternal(out, "Target.disposeBrowserContext",
                         json{{"browserContextId", context}}.dump(), Kind::Cleanup, Pending{});
    } else if (method == "Target.closeTarget") {
        const auto target = m_targetOwner.find(pending.subject);
        if (target != m_targetOwner.end()) {
            const auto creator = m_clients.find(target->second);
            if (creator != m_clients.end())
                creator->second.targets.erase(pending.subject);
            m_targetOwner.erase(target);
        }
    } else if (method == "Target.disposeBrowserContext") {
        ForgetContext(pending.subject);
    } else if (method == "Target.detachFromTarget") {
        const auto session = m_sessionOwner.find(pending.subject);
        if (session != m_sessionOwner.end()) {
            const auto holder = m_clients.find(session->second);
            if (holder != m_clients.end())
                holder->second.sessions.erase(pending.subject);
            m_sessionOwner.erase(session);
        }
    }
}

void CdpRelay::RouteEvent(const CdpEnvelope& env, std::string_view text, std::vector<Delivery>& out)
{
    const bool targetEvent = env.method.starts_with("Target.");
    std::optional<ClientId> to;
    if (!env.sessionId.empty()) {
        const auto owner = m_sessionOwner.find(env.sessionId);
        if (owner != m_sessionOwner.end())
            to = owner->second;
    }
    json params;
    if (targetEvent) {
        const json message = json::parse(text, nullptr, false);
        if (message.is_object())
            params = message.value("params", json::object());
        if (!to) {
            // A browser-level event about a client's own session or page.
            const std::string session = StringAt(params, "sessionId");
            std::string target = StringAt(params, "targetId");
            if (target.empty() && params.is_object() && params.contains("targetInfo"))
                target = StringAt(params["targetInfo"], "targetId");
            if (const auto s = m_sessionOwner.find(session);
                !session.empty() && s != m_sessionOwner.end())
                to = s->second;
            else if (const auto t = m_targetOwner.find(target);
                     !target.empty() && t != m_targetOwner.end())
                to = t->second;
        }
    }
    if (!to)
        return;
    if (targetEvent) {
        const std::string session = StringAt(params, "sessionId");
        if (env.method == "Target.attachedToTarget" && !session.empty()) {
            // Sessions attached below a client's session (frames, workers)
            // belong to that client too.
            m_sessionOwner[session] = *to;
            m_clients[*to].sessions.insert(session);
        } else if (env.method == "Target.detachedFromTarget" && !session.empty()) {
            const auto s = m_sessionOwner.find(session);
            if (s != m_sessionOwner.end()) {
                const auto holder = m_clients.find(s->second);
                if (holder != m_clients.end())
                    holder->second.sessions.erase(session);
                m_sessionOwner.erase(s);
            }
        } else if (env.method == "Target.targetDestroyed") {
            const std::string target = StringAt(params, "targetId");
            const auto t = m_targetOwner.find(target);
            if (t != m_targetOwner.end()) {
                const auto creator = m_clients.find(t->second);
                if (creator != m_clients.end())
                    creator->second.targets.erase(target);
                m_targetOwner.erase(t);
            }
        }
    }
    if (m_clients.count(*to))
        out.push_back({*to, std::string(text)});
}

std::vector<Delivery> CdpRelay::FromBrowser(std::string_view text)
{
    std::vector<Delivery> out;
    CdpEnvelope env;
    if (!ScanEnvelope(text, env))
        return out;
    if (!env.hasId) {
        if (!env.method.empty())
            RouteEvent(env, text, out);
        return out;
    }
    const json idValue =
        json::parse(text.substr(env.idBegin, env.idEnd - env.idBegin), nullptr, false);
    if (!idValue.is_number_integer())
        return out;
    const auto found = m_pending.find(idValue.get<long long>());
    if (found == m_pending.end())
        return out; // not ours (or from before a restart)
    const Pending pending = std::move(found->second);
    m_pending.erase(found);

    switch (pending.kind) {
    case Kind::Forwarded:
        Learn(pending, text, out);
        if (m_clients.count(pending.client))
            out.push_back({pending.client, WithId(text, env, pending.clientIdText)});
        break;
    case Kind::SlotCreate: {
        const json message = json::parse(text, nullptr, false);
        const bool alive = m_clients.count(pending.client) > 0;
        const std::string context = message.is_object() && message.contains("result")
                                        ? StringAt(message["result"], "browserContextId")
                                        : std::string();
        if (context.empty()) {
            if (alive) {
                std::string reason = "the browser could not create a context";
                if (message.is_object() && message.contains("error"))
                    reason += ": " + StringAt(message["error"], "message");
                out.push_back(
                    {pending.client, ErrorReply(pending.clientIdText, kServerError, reason)});
            }
            break;
        }
        m_slotContexts[context] = pending.key;
        if (alive) {
            m_clients[pending.client].lent.insert(context);
            out.push_back({pending.client,
                           Reply(pending.clientIdText,
                                 json{{"browserContextId", context}, {"reused", false}}.dump())});
        } else {
            // Never used, so clean: keep it for the slot's next job.
            m_idle[pending.key].push_back(context);
        }
        break;
    }
    case Kind::Cleanup:
        break;
    }
    return out;
}

std::vector<Delivery> CdpRelay::ClientGone(ClientId client)
{
    std::vector<Delivery> out;
    const auto found = m_clients.find(client);
    if (found == m_clients.end())
        return out;
    Client state = std::move(found->second);
    m_clients.erase(found);

    for (const std::string& target : state.targets) {
        m_targetOwner.erase(target);
        SendInternal(out, "Target.closeTarget", json{{"targetId", target}}.dump(), Kind::Cleanup,
                     Pending{});
    }
    for (const std::string& session : state.sessions)
        m_sessionOwner.erase(session);
    // A lent context not declared clean may hold the job's cookies and
    // storage: it must not serve another job.
    std::set<std::string> dispose = state.lent;
    dispose.insert(state.contexts.begin(), state.contexts.end());
    for (const std::string& context : dispose) {
        ForgetContext(context);
        SendInternal(out, "Target.disposeBrowserContext",
                     json{{"browserContextId", context}}.dump(), Kind::Cleanup, Pending{});
    }
    return out;
}

void CdpRelay::BrowserGone()
{
    m_pending.clear();
    m_clients.clear();
    m_sessionOwner.clear();
    m_targetOwner.clear();
    m_slotContexts.clear();
    m_idle.clear();
}

} // namespace orvex::oxupdate
