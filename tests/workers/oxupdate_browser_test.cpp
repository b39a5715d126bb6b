// The browser side of the capture worker: message framing, the shared host's
// routing rules (without a browser), and the real thing: the host serving
// several workers, a browser of a worker's own, and no browser process ever
// outliving its owner.
#include "BrowserLink.h"
#include "CdpRelay.h"
#include "ChromiumProcess.h"
#include "NulFramer.h"
#include "UrlstatRun.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <csignal>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace ox = orvex::oxupdate;
using nlohmann::json;
using namespace std::string_literals;
using Clock = std::chrono::steady_clock;

// --- Framing ---------------------------------------------------------------

struct FramerCase
{
    const char* name;
    std::size_t limit;
    std::vector<std::string> chunks;
    std::vector<std::string> messages;
    bool broken;
};
void PrintTo(const FramerCase& c, std::ostream* out)
{
    *out << c.name;
}

class NulFramerTest : public ::testing::TestWithParam<FramerCase>
{
};

TEST_P(NulFramerTest, DeliversWholeMessagesAndRefusesOversizedOnes)
{
    const FramerCase& c = GetParam();
    ox::NulFramer framer(c.limit);
    std::vector<std::string> got;
    for (const std::string& chunk : c.chunks) {
        framer.Feed(chunk);
        while (auto message = framer.Next())
            got.push_back(*message);
    }
    EXPECT_EQ(got, c.messages);
    EXPECT_EQ(framer.Broken(), c.broken);
    if (c.broken) {
        // A broken stream stays broken: nothing after it is trusted.
        framer.Feed("ok\0"s);
        EXPECT_FALSE(framer.Next().has_value());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NulFramerTest,
    ::testing::Values(
        FramerCase{"TwoInOneChunk", 64, {"a\0b\0"s}, {"a", "b"}, false},
        FramerCase{
            "SplitAcrossChunks", 64, {"{\"id\""s, ":1}\0{"s, "}\0"s}, {"{\"id\":1}", "{}"}, false},
        FramerCase{"ByteByByte", 64, {"x", "y", "\0"s, "z", "\0"s}, {"xy", "z"}, false},
        FramerCase{"IncompleteTailWaits", 64, {"abc"}, {}, false},
        FramerCase{"EmptyMessage", 64, {"\0x\0"s}, {"", "x"}, false},
        FramerCase{"ExactlyTheLimit", 4, {"abcd\0"s}, {"abcd"}, false},
        FramerCase{
            "LimitCountsFromTheLastTerminator", 4, {"abc\0def"s, "g\0"s}, {"abc", "defg"}, false},
        FramerCase{"OverTheLimitInOnePiece", 4, {"abcde\0f\0"s}, {}, true},
        FramerCase{"UnterminatedOverTheLimitAfterGoodOnes", 4, {"ab\0"s, "cdefg"}, {"ab"}, true},
        FramerCase{"UnterminatedGrowingOverSeveralChunks", 4, {"ab", "cd", "e"}, {}, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NulFramerTest, KeepsOnlyUndeliveredBytes)
{
    ox::NulFramer framer;
    for (int i = 0; i < 1000; ++i) {
        framer.Feed(std::string(1000, 'a') + '\0');
        ASSERT_TRUE(framer.Next().has_value());
    }
    framer.Feed("tail");
    EXPECT_FALSE(framer.Next().has_value());
    EXPECT_EQ(framer.Pending(), 4u);
}

// --- Envelope scanning -----------------------------------------------------

struct EnvelopeCase
{
    const char* name;
    std::string text;
    bool valid;
    std::string id; // the id's text, empty for none
    std::string method;
    std::string session;
    bool result;
    bool error;
};
void PrintTo(const EnvelopeCase& c, std::ostream* out)
{
    *out << c.name;
}

class ScanEnvelopeTest : public ::testing::TestWithParam<EnvelopeCase>
{
};

TEST_P(ScanEnvelopeTest, FindsTheTopLevelFields)
{
    const EnvelopeCase& c = GetParam();
    ox::CdpEnvelope env;
    ASSERT_EQ(ox::ScanEnvelope(c.text, env), c.valid) << c.text;
    if (!c.valid)
        return;
    EXPECT_EQ(env.hasId, !c.id.empty());
    if (env.hasId) {
        EXPECT_EQ(c.text.substr(env.idBegin, env.idEnd - env.idBegin), c.id);
    }
    EXPECT_EQ(env.method, c.method);
    EXPECT_EQ(env.sessionId, c.session);
    EXPECT_EQ(env.hasResult, c.result);
    EXPECT_EQ(env.hasError, c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScanEnvelopeTest,
    ::testing::Values(
        EnvelopeCase{"Command", R"({"id":12,"method":"Page.enable","sessionId":"S1"})", true, "12",
                     "Page.enable", "S1", false, false},
        EnvelopeCase{
            "EventWithTrickyStrings",
            R"({"method":"Page.x","params":{"a":"}{\"]","b":[{"c":"\\"}]},"sessionId":"S"})", true,
            "", "Page.x", "S", false, false},
        EnvelopeCase{"ReplyIdLastAndSpaces",
                     " {\"result\" : {\"data\":\"a\\\"b\"} , \"id\" : 3 }\n", true, "3", "", "",
                     true, false},
        EnvelopeCase{"ErrorReply", R"({"id":-7,"error":{"code":-32000,"message":"x"}})", true, "-7",
                     "", "", false, true},
        EnvelopeCase{"EscapedMethod", R"({"method":"A\u002eB","id":1})", true, "1", "A.B", "",
                     false, false},
        EnvelopeCase{"EmptyObject", "{}", true, "", "", "", false, false},
        EnvelopeCase{"Array", "[1]", false, "", "", "", false, false},
        EnvelopeCase{"TrailingGarbage", R"({"id":1} x)", false, "", "", "", false, false},
        EnvelopeCase{"Unclosed", R"({"id":1)", false, "", "", "", false, false},
        EnvelopeCase{"UnterminatedString", R"({"a":"x})", false, "", "", "", false, false},
        EnvelopeCase{"MismatchedBrackets", R"({"a":[1,2}})", false, "", "", "", false, false},
        EnvelopeCase{"MissingColon", R"({"a" 1})", false, "", "", "", false, false},
        EnvelopeCase{"MethodNotAString", R"({"method":5,"id":1})", false, "", "", "", false, false},
        EnvelopeCase{"Empty", "", false, "", "", "", false, false}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Routing rules, no browser ---------------------------------------------

class CdpRelayTest : public ::testing::Test
{
protected:
    std::vector<ox::Delivery> FromClient(ox::ClientId client, const json& message)
    {
        return relay.FromClient(client, message.dump());
    }
    std::vector<ox::Delivery> FromBrowser(const json& message)
    {
        return relay.FromBrowser(message.dump());
    }

    // The single message a step sent to the browser.
    static json OnlyToBrowser(const std::vector<ox::Delivery>& out)
    {
        EXPECT_EQ(out.size(), 1u);
        if (out.size() != 1 || out[0].to != ox::kToBrowser) {
            ADD_FAILURE() << "expected one message for the browser";
            return json();
        }
        return json::parse(out[0].text);
    }
    // The single message a step sent to a client.
    static json OnlyTo(ox::ClientId client, const std::vector<ox::Delivery>& out)
    {
        EXPECT_EQ(out.size(), 1u);
        if (out.size() != 1 || out[0].to != client) {
            ADD_FAILURE() << "expected one message for client " << client;
            return json();
        }
        return json::parse(out[0].text);
    }
    // (method, subject) of every command a step sent to the browser.
    static std::multiset<std::pair<std::string, std::string>>
    Commands(const std::vector<ox::Delivery>& out)
    {
        std::multiset<std::pair<std::string, std::string>> commands;
        for (const ox::Delivery& d : out) {
            EXPECT_EQ(d.to, ox::kToBrowser) << d.text;
            const json m = json::parse(d.text);
            std::string subject;
            for (const char* key : {"targetId", "browserContextId", "sessionId"})
                if (m["params"].contains(key))
                    subject = m["params"][key];
            commands.insert({m["method"], subject});
        }
        return commands;
    }

    // A command of a client answered by the browser with result; the reply
    // the client gets.
    json Answered(ox::ClientId client, const json& command, const json& result)
    {
        const json forwarded = OnlyToBrowser(FromClient(client, command));
        json reply{{"id", forwarded["id"]}, {"result", result}};
        if (command.contains("sessionId"))
            reply["sessionId"] = command["sessionId"];
        return OnlyTo(client, FromBrowser(reply));
    }

    // A page made and attached by a client, as the worker does it.
    void Page(ox::ClientId client, const std::string& target, const std::string& session)
    {
        Answered(
            client,
            {{"id", 900}, {"method", "Target.createTarget"}, {"params", {{"url", "about:blank"}}}},
            {{"targetId", target}});
        Answered(client,
                 {{"id", 901},
                  {"method", "Target.attachToTarget"},
                  {"params", {{"targetId", target}, {"flatten", true}}}},
                 {{"sessionId", session}});
    }

    // Orvex.slotContext of a client; when the relay asks the browser for a new
    // context, it is answered with newContext. The client's reply.
    json SlotContext(ox::ClientId client, int slot, const std::string& newContext,
                     const std::string& proxy = "", const std::string& bypass = "")
    {
        const auto out = FromClient(
            client,
            {{"id", 77},
             {"method", "Orvex.slotContext"},
             {"params", {{"slot", slot}, {"proxyServer", proxy}, {"proxyBypassList", bypass}}}});
        for (const ox::Delivery& d : out) {
            if (d.to != ox::kToBrowser)
                return json::parse(d.text);
            const json m = json::parse(d.text);
            if (m["method"] == "Target.createBrowserContext")
                return OnlyTo(
                    client,
                    FromBrowser({{"id", m["id"]}, {"result", {{"browserContextId", newContext}}}}));
        }
        ADD_FAILURE() << "no answer to Orvex.slotContext";
        return json();
    }

    json Clean(ox::ClientId client)
    {
        return OnlyTo(client, FromClient(client, {{"id", 78}, {"method", "Orvex.contextClean"}}));
    }

    ox::CdpRelay relay;
};

TEST_F(CdpRelayTest, RenumbersCommandsAndReturnsEachReplyToItsSender)
{
    const json first{{"id", 1}, {"method", "Target.getTargets"}, {"params", {{"x", "a"}}}};
    const json second{{"id", 1},
                      {"method", "Runtime.evaluate"},
                      {"sessionId", "S"},
                      {"params", {{"expression", "1+1"}}}};
    const json toBrowser1 = OnlyToBrowser(FromClient(1, first));
    const json toBrowser2 = OnlyToBrowser(FromClient(2, second));
    ASSERT_TRUE(toBrowser1["id"].is_number_integer());
    ASSERT_TRUE(toBrowser2["id"].is_number_integer());
    EXPECT_NE(toBrowser1["id"], toBrowser2["id"]);
    // Only the id changes on the way.
    json rest1 = toBrowser1, rest2 = toBrowser2, want1 = first, want2 = second;
    for (json* m : {&rest1, &rest2, &want1, &want2})
        m->erase("id");
    EXPECT_EQ(rest1, want1);
    EXPECT_EQ(rest2, want2);
    EXPECT_EQ(relay.PendingCount(), 2u);

    // Replies in the other order, one of them an error.
    const json back2 = OnlyTo(
        2, FromBrowser({{"id", toBrowser2["id"]}, {"sessionId", "S"}, {"result", {{"value", 2}}}}));
    EXPECT_EQ(back2, (json{{"id", 1}, {"sessionId", "S"}, {"result", {{"value", 2}}}}));
    const json back1 = OnlyTo(1, FromBrowser({{"id", toBrowser1["id"]},
                                              {"error", {{"code", -32000}, {"message", "no"}}}}));
    EXPECT_EQ(back1, (json{{"id", 1}, {"error", {{"code", -32000}, {"message", "no"}}}}));
    EXPECT_EQ(relay.PendingCount(), 0u);

    // A reply nobody waits for (again, or never asked) goes nowhere.
    EXPECT_TRUE(FromBrowser({{"id", toBrowser1["id"]}, {"result", json::object()}}).empty());
    EXPECT_TRUE(FromBrowser({{"id", 123456}, {"result", json::object()}}).empty());
}

TEST_F(CdpRelayTest, KeepsTheClientsOwnIdTextAndLargeRepliesIntact)
{
    const std::string command =
        R"({"method":"Page.captureScreenshot","id": 4000000000 ,"sessionId":"S"})";
    const auto out = relay.FromClient(5, command);
    ASSERT_EQ(out.size(), 1u);
    const json forwarded = json::parse(out[0].text);
    const std::string data(3 * 1024 * 1024, 'Q');
    const auto back =
        FromBrowser({{"id", forwarded["id"]}, {"result", {{"data", data}}}, {"sessionId", "S"}});
    ASSERT_EQ(back.size(), 1u);
    const json reply = json::parse(back[0].text);
    EXPECT_EQ(reply["id"], 4000000000LL);
    EXPECT_EQ(reply["result"]["data"], data);
}

struct EventCase
{
    const char* name;
    json event;
    ox::ClientId expected; // 0: dropped
};
void PrintTo(const EventCase& c, std::ostream* out)
{
    *out << c.name;
}

class CdpRelayEventTest : public CdpRelayTest, public ::testing::WithParamInterface<EventCase>
{
};

TEST_P(CdpRelayEventTest, RoutesEventsToTheOwnerOfTheirSessionOrPage)
{
    Page(1, "T1", "S1");
    Page(2, "T2", "S2");
    // A frame session attached below client 1's page belongs to client 1.
    OnlyTo(1, FromBrowser(
                  {{"method", "Target.attachedToTarget"},
                   {"sessionId", "S1"},
                   {"params", {{"sessionId", "F1"}, {"targetInfo", {{"targetId", "IFRAME"}}}}}}));
    const EventCase& c = GetParam();
    const auto out = FromBrowser(c.event);
    if (c.expected == 0) {
        EXPECT_TRUE(out.empty()) << out[0].text;
    } else {
        const json got = OnlyTo(c.expected, out);
        EXPECT_EQ(got, c.event); // passed on unchanged
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CdpRelayEventTest,
    ::testing::Values(
        EventCase{"SessionOfClient1",
                  {{"method", "Page.loadEventFired"},
                   {"params", {{"timestamp", 1}}},
                   {"sessionId", "S1"}},
                  1},
        EventCase{"SessionOfClient2",
                  {{"method", "Network.responseReceived"},
                   {"params", json::object()},
                   {"sessionId", "S2"}},
                  2},
        EventCase{"ChildSessionOfClient1",
                  {{"method", "Runtime.consoleAPICalled"},
                   {"params", json::object()},
                   {"sessionId", "F1"}},
                  1},
        EventCase{
            "UnknownSession",
            {{"method", "Page.loadEventFired"}, {"params", json::object()}, {"sessionId", "ELSE"}},
            0},
        EventCase{"BrowserLevelAboutSomeoneElsesPage",
                  {{"method", "Target.targetCreated"},
                   {"params", {{"targetInfo", {{"targetId", "OTHER"}}}}}},
                  0},
        EventCase{"BrowserLevelAboutClient2sPage",
                  {{"method", "Target.targetInfoChanged"},
                   {"params", {{"targetInfo", {{"targetId", "T2"}, {"url", "x"}}}}}},
                  2},
        EventCase{"BrowserLevelDetachOfClient1sSession",
                  {{"method", "Target.detachedFromTarget"},
                   {"params", {{"sessionId", "S1"}, {"targetId", "T1"}}}},
                  1},
        EventCase{"BrowserLevelWithoutTarget",
                  {{"method", "Browser.downloadWillBegin"}, {"params", json::object()}},
                  0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CdpRelayTest, ForgetsADetachedSession)
{
    Page(1, "T1", "S1");
    OnlyTo(1, FromBrowser({{"method", "Target.detachedFromTarget"},
                           {"params", {{"sessionId", "S1"}, {"targetId", "T1"}}}}));
    EXPECT_TRUE(
        FromBrowser(
            {{"method", "Page.loadEventFired"}, {"sessionId", "S1"}, {"params", json::object()}})
            .empty());
}

struct HostMethodCase
{
    const char* name;
    json command;
    json reply; // what the client gets, without the browser being asked
};
void PrintTo(const HostMethodCase& c, std::ostream* out)
{
    *out << c.name;
}

class CdpRelayHostMethodTest : public CdpRelayTest,
                               public ::testing::WithParamInterface<HostMethodCase>
{
};

TEST_P(CdpRelayHostMethodTest, IsAnsweredByTheHostItself)
{
    const HostMethodCase& c = GetParam();
    const json got = OnlyTo(3, FromClient(3, c.command));
    if (c.reply.contains("error")) {
        ASSERT_TRUE(got.contains("error")) << got;
        EXPECT_EQ(got["id"], c.reply["id"]);
        EXPECT_EQ(got["error"]["code"], c.reply["error"]["code"]) << got;
    } else {
        EXPECT_EQ(got, c.reply);
    }
    EXPECT_EQ(relay.PendingCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CdpRelayHostMethodTest,
    ::testing::Values(
        HostMethodCase{"BrowserCloseIsNotForwarded",
                       {{"id", 4}, {"method", "Browser.close"}},
                       {{"id", 4}, {"result", json::object()}}},
        HostMethodCase{"BrowserCrashIsRefused",
                       {{"id", 4}, {"method", "Browser.crash"}},
                       {{"id", 4}, {"error", {{"code", -32000}}}}},
        HostMethodCase{"CleanWithNothingLent",
                       {{"id", 5}, {"method", "Orvex.contextClean"}},
                       {{"id", 5}, {"result", json::object()}}},
        HostMethodCase{"UnknownHostMethod",
                       {{"id", 6}, {"method", "Orvex.nothing"}},
                       {{"id", 6}, {"error", {{"code", -32601}}}}},
        HostMethodCase{"SlotMissing",
                       {{"id", 7}, {"method", "Orvex.slotContext"}},
                       {{"id", 7}, {"error", {{"code", -32602}}}}},
        HostMethodCase{"SlotNotANumber",
                       {{"id", 8}, {"method", "Orvex.slotContext"}, {"params", {{"slot", "3"}}}},
                       {{"id", 8}, {"error", {{"code", -32602}}}}},
        HostMethodCase{"SlotNegative",
                       {{"id", 9}, {"method", "Orvex.slotContext"}, {"params", {{"slot", -1}}}},
                       {{"id", 9}, {"error", {{"code", -32602}}}}},
        HostMethodCase{"ProxyNotAString",
                       {{"id", 10},
                        {"method", "Orvex.slotContext"},
                        {"params", {{"slot", 1}, {"proxyServer", 5}}}},
                       {{"id", 10}, {"error", {{"code", -32602}}}}},
        HostMethodCase{"NoMethod",
                       {{"id", 11}, {"params", json::object()}},
                       {{"id", 11}, {"error", {{"code", -32600}}}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CdpRelayTest, AnswersAMethodNameThatIsNotUtf8)
{
    const std::vector<ox::Delivery> out =
        relay.FromClient(3, "{\"id\":12,\"method\":\"Orvex.\xff\"}");
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].to, 3);
    const json got = json::parse(out[0].text, nullptr, false);
    ASSERT_TRUE(got.is_object()) << out[0].text;
    EXPECT_EQ(got["id"], 12);
    EXPECT_EQ(got["error"]["code"], -32601);
}

TEST_F(CdpRelayTest, IgnoresMessagesItCannotAnswer)
{
    for (const std::string text : {"not json", "{\"method\":\"Page.enable\"}", "[1,2]", ""})
        EXPECT_TRUE(relay.FromClient(1, text).empty()) << text;
    EXPECT_TRUE(relay.FromBrowser("garbage").empty());
}

TEST_F(CdpRelayTest, LendsASlotContextAgainOnlyAfterItWasDeclaredClean)
{
    // First job of slot 2: a context is created with the job's proxy.
    const auto out = FromClient(
        1, {{"id", 1},
            {"method", "Orvex.slotContext"},
            {"params",
             {{"slot", 2}, {"proxyServer", "http://p:8"}, {"proxyBypassList", "<-loopback>"}}}});
    const json create = OnlyToBrowser(out);
    EXPECT_EQ(create["method"], "Target.createBrowserContext");
    EXPECT_EQ(create["params"],
              (json{{"proxyServer", "http://p:8"}, {"proxyBypassList", "<-loopback>"}}));
    EXPECT_EQ(
        OnlyTo(1, FromBrowser({{"id", create["id"]}, {"result", {{"browserContextId", "C1"}}}})),
        (json{{"id", 1}, {"result", {{"browserContextId", "C1"}, {"reused", false}}}}));
    EXPECT_EQ(Clean(1), (json{{"id", 78}, {"result", json::object()}}));
    EXPECT_TRUE(relay.ClientGone(1).empty());

    // The next job of the slot with the same proxy gets it back at once.
    const json reused = OnlyTo(2, FromClient(2, {{"id", 3},
                                                 {"method", "Orvex.slotContext"},
                                                 {"params",
                                                  {{"slot", 2},
                                                   {"proxyServer", "http://p:8"},
                                                   {"proxyBypassList", "<-loopback>"}}}}));
    EXPECT_EQ(reused,
              (json{{"id", 3}, {"result", {{"browserContextId", "C1"}, {"reused", true}}}}));

    // While it is lent, another job of the slot gets a context of its own.
    EXPECT_EQ(SlotContext(3, 2, "C2", "http://p:8", "<-loopback>")["result"]["reused"], false);
    EXPECT_EQ(relay.SlotContextCount(), 2u);

    // A job that leaves without declaring its context clean has it disposed.
    EXPECT_EQ(Commands(relay.ClientGone(2)), (std::multiset<std::pair<std::string, std::string>>{
                                                 {"Target.disposeBrowserContext", "C1"}}));
    EXPECT_EQ(relay.SlotContextCount(), 1u);
    Clean(3);
    relay.ClientGone(3);
    const json next = SlotContext(4, 2, "C3", "http://p:8", "<-loopback>");
    EXPECT_EQ(next["result"], (json{{"browserContextId", "C2"}, {"reused", true}}));
}

TEST_F(CdpRelayTest, KeepsSlotsApartAndDropsContextsOfAnOldProxySetting)
{
    SlotContext(1, 1, "A");
    Clean(1);
    SlotContext(2, 2, "B");
    Clean(2);
    // Slot 1's proxy setting changed: its idle context will not serve again.
    const auto out = FromClient(3, {{"id", 5},
                                    {"method", "Orvex.slotContext"},
                                    {"params", {{"slot", 1}, {"proxyServer", "http://q:1"}}}});
    std::multiset<std::pair<std::string, std::string>> commands = Commands(out);
    EXPECT_EQ(commands.count({"Target.disposeBrowserContext", "A"}), 1u);
    EXPECT_EQ(commands.count({"Target.createBrowserContext", ""}), 1u);
    EXPECT_EQ(commands.size(), 2u);
    // Slot 2 keeps its own.
    EXPECT_EQ(SlotContext(4, 2, "unused")["result"],
              (json{{"browserContextId", "B"}, {"reused", true}}));
}

TEST_F(CdpRelayTest, PassesAFailedContextCreationToTheClient)
{
    const json create = OnlyToBrowser(
        FromClient(1, {{"id", 9}, {"method", "Orvex.slotContext"}, {"params", {{"slot", 0}}}}));
    const json got =
        OnlyTo(1, FromBrowser({{"id", create["id"]},
                               {"error", {{"code", -32000}, {"message", "bad proxy"}}}}));
    EXPECT_EQ(got["id"], 9);
    ASSERT_TRUE(got.contains("error"));
    EXPECT_NE(got["error"]["message"].get<std::string>().find("bad proxy"), std::string::npos);
    EXPECT_EQ(relay.SlotContextCount(), 0u);
}

// What a client did before it went away, and the cleanup that must follow.
enum class Step { Page1, Page2, ClosePage1, SlotContext, Clean, OwnContext, DisposeOwnContext };

struct CleanupCase
{
    const char* name;
    std::vector<Step> steps;
    std::multiset<std::pair<std::string, std::string>> cleanup;
};
void PrintTo(const CleanupCase& c, std::ostream* out)
{
    *out << c.name;
}

class CdpRelayCleanupTest : public CdpRelayTest, public ::testing::WithParamInterface<CleanupCase>
{
};

TEST_P(CdpRelayCleanupTest, UndoesWhatAVanishedClientLeftBehind)
{
    const ox::ClientId client = 7;
    Page(8, "BYSTANDER", "SB"); // another client's page is never touched
    for (Step step : GetParam().steps) {
        switch (step) {
        case Step::Page1:
            Page(client, "T1", "S1");
            break;
        case Step::Page2:
            Page(client, "T2", "S2");
            break;
        case Step::ClosePage1:
            Answered(
                client,
                {{"id", 3}, {"method", "Target.closeTarget"}, {"params", {{"targetId", "T1"}}}},
                {{"success", true}});
            break;
        case Step::SlotContext:
            SlotContext(client, 4, "SLOT");
            break;
        case Step::Clean:
            Clean(client);
            break;
        case Step::OwnContext:
            Answered(client, {{"id", 5}, {"method", "Target.createBrowserContext"}},
                     {{"browserContextId", "OWN"}});
            break;
        case Step::DisposeOwnContext:
            Answered(client,
                     {{"id", 6},
                      {"method", "Target.disposeBrowserContext"},
                      {"params", {{"browserContextId", "OWN"}}}},
                     json::object());
            break;
        }
    }
    EXPECT_EQ(Commands(relay.ClientGone(client)), GetParam().cleanup);
    EXPECT_EQ(relay.ClientCount(), 1u);
    // Its sessions are forgotten: their events go nowhere now.
    EXPECT_TRUE(
        FromBrowser(
            {{"method", "Page.loadEventFired"}, {"sessionId", "S2"}, {"params", json::object()}})
            .empty());
}

using Cmds = std::multiset<std::pair<std::string, std::string>>;

INSTANTIATE_TEST_SUITE_P(
    Cases, CdpRelayCleanupTest,
    ::testing::Values(
        CleanupCase{"Nothing", {}, {}},
        CleanupCase{"PagesAndAnUncleanSlotContext",
                    {Step::SlotContext, Step::Page1, Step::Page2},
                    Cmds{{"Target.closeTarget", "T1"},
                         {"Target.closeTarget", "T2"},
                         {"Target.disposeBrowserContext", "SLOT"}}},
        CleanupCase{"CleanSlotContextIsKept",
                    {Step::SlotContext, Step::Page2, Step::Clean},
                    Cmds{{"Target.closeTarget", "T2"}}},
        CleanupCase{"PageItClosedItself",
                    {Step::Page1, Step::Page2, Step::ClosePage1},
                    Cmds{{"Target.closeTarget", "T2"}}},
        CleanupCase{"ContextOfItsOwn",
                    {Step::OwnContext, Step::Page1},
                    Cmds{{"Target.closeTarget", "T1"}, {"Target.disposeBrowserContext", "OWN"}}},
        CleanupCase{
            "ContextItDisposedItself", {Step::OwnContext, Step::DisposeOwnContext}, Cmds{}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CdpRelayTest, CleansUpWhatIsMadeAfterItsClientLeft)
{
    // Commands still in flight when the client vanished.
    const json createTarget = OnlyToBrowser(FromClient(
        1, {{"id", 1}, {"method", "Target.createTarget"}, {"params", {{"url", "about:blank"}}}}));
    const json attach = OnlyToBrowser(FromClient(
        1, {{"id", 2}, {"method", "Target.attachToTarget"}, {"params", {{"targetId", "X"}}}}));
    const json ownContext =
        OnlyToBrowser(FromClient(1, {{"id", 3}, {"method", "Target.createBrowserContext"}}));
    const json slot = OnlyToBrowser(
        FromClient(1, {{"id", 4}, {"method", "Orvex.slotContext"}, {"params", {{"slot", 6}}}}));
    EXPECT_TRUE(relay.ClientGone(1).empty());

    EXPECT_EQ(
        Commands(FromBrowser({{"id", createTarget["id"]}, {"result", {{"targetId", "LATE"}}}})),
        (Cmds{{"Target.closeTarget", "LATE"}}));
    EXPECT_EQ(Commands(FromBrowser({{"id", attach["id"]}, {"result", {{"sessionId", "LS"}}}})),
              (Cmds{{"Target.detachFromTarget", "LS"}}));
    EXPECT_EQ(
        Commands(FromBrowser({{"id", ownContext["id"]}, {"result", {{"browserContextId", "LC"}}}})),
        (Cmds{{"Target.disposeBrowserContext", "LC"}}));
    // A slot context nobody used yet is clean: the slot's next job gets it.
    EXPECT_TRUE(
        FromBrowser({{"id", slot["id"]}, {"result", {{"browserContextId", "FRESH"}}}}).empty());
    EXPECT_EQ(SlotContext(2, 6, "unused")["result"],
              (json{{"browserContextId", "FRESH"}, {"reused", true}}));
}

TEST_F(CdpRelayTest, ForgetsEverythingWhenTheBrowserIsGone)
{
    SlotContext(1, 1, "OLD");
    Clean(1);
    const json pending = OnlyToBrowser(FromClient(1, {{"id", 2}, {"method", "Target.getTargets"}}));
    relay.BrowserGone();
    EXPECT_EQ(relay.ClientCount(), 0u);
    EXPECT_EQ(relay.SlotContextCount(), 0u);
    EXPECT_EQ(relay.PendingCount(), 0u);
    EXPECT_TRUE(FromBrowser({{"id", pending["id"]}, {"result", json::object()}}).empty());
    EXPECT_EQ(SlotContext(2, 1, "NEW")["result"],
              (json{{"browserContextId", "NEW"}, {"reused", false}}));
}

// --- The real browser -------------------------------------------------------

const QString kOxupdate = QStringLiteral(ORVEX_BIN_DIR "/oxupdate");

// Live processes whose command line mentions text, as pgrep sees them.
QStringList LiveProcesses(const QString& text)
{
    QProcess pgrep;
    pgrep.start(QStringLiteral("pgrep"), {QStringLiteral("-f"), text});
    pgrep.waitForFinished(10000);
    QStringList pids;
    for (const QByteArray& line : pgrep.readAllStandardOutput().split('\n'))
        if (!line.trimmed().isEmpty())
            pids << QString::fromUtf8(line.trimmed());
    return pids;
}

// True once nothing mentions text any more (polled for up to ms).
bool NoneLeft(const QString& text, int ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!LiveProcesses(text).isEmpty()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

QStringList ScratchFolders(const QString& root)
{
    return QDir(root).entryList({QStringLiteral("oxbrowser-*")}, QDir::Dirs);
}

// A DevTools client over a pair of descriptors, as a worker uses its link.
class Client
{
public:
    Client(int readFd, int writeFd) : m_read(readFd), m_write(writeFd) {}

    int Send(const std::string& method, const json& params = json::object(),
             const std::string& session = {})
    {
        json message{{"id", ++m_nextId}, {"method", method}, {"params", params}};
        if (!session.empty())
            message["sessionId"] = session;
        const std::string bytes = ox::NulFrame(message.dump());
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = write(m_write, bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                return -1;
            done += static_cast<std::size_t>(n);
        }
        return m_nextId;
    }

    // The reply to command id; null on a time-out or a hang-up.
    json Wait(int id, int ms = 20000)
    {
        return Next([id](const json& m) { return m.value("id", -1) == id; }, ms);
    }
    json Call(const std::string& method, const json& params = json::object(),
              const std::string& session = {}, int ms = 20000)
    {
        const int id = Send(method, params, session);
        return id < 0 ? json() : Wait(id, ms);
    }
    json WaitEvent(const std::string& method, const std::string& session, int ms = 20000)
    {
        return Next(
            [&](const json& m) {
                return m.value("method", "") == method && m.value("sessionId", "") == session;
            },
            ms);
    }
    // True when the peer hung up within ms.
    bool HungUp(int ms)
    {
        Next([](const json&) { return false; }, ms);
        return m_closed;
    }

    // A page in context (empty: the default one), attached; its session.
    std::string OpenPage(const std::string& context, std::string* target = nullptr)
    {
        json params{{"url", "about:blank"}};
        if (!context.empty())
            params["browserContextId"] = context;
        const json created = Call("Target.createTarget", params);
        const std::string targetId = created["result"].value("targetId", "");
        if (target)
            *target = targetId;
        const json attached =
            Call("Target.attachToTarget", {{"targetId", targetId}, {"flatten", true}});
        const std::string session = attached["result"].value("sessionId", "");
        Call("Page.enable", json::object(), session);
        return session;
    }
    // Navigates and waits for the load event; false when it does not come.
    bool Load(const std::string& session, const std::string& url)
    {
        const json navigated = Call("Page.navigate", {{"url", url}}, session);
        if (!navigated.contains("result"))
            return false;
        return !WaitEvent("Page.loadEventFired", session).is_null();
    }
    json Evaluate(const std::string& session, const std::string& expression)
    {
        const json r = Call("Runtime.evaluate",
                            {{"expression", expression}, {"returnByValue", true}}, session);
        return r.contains("result") ? r["result"]["result"].value("value", json()) : json();
    }

private:
    template <typename Match> json Next(Match match, int ms)
    {
        for (auto it = m_queue.begin(); it != m_queue.end(); ++it) {
            if (match(*it)) {
                json found = *it;
                m_queue.erase(it);
                return found;
            }
        }
        const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
        char buffer[65536];
        while (!m_closed) {
            while (auto text = m_framer.Next()) {
                json message = json::parse(*text, nullptr, false);
                if (match(message))
                    return message;
                m_queue.push_back(std::move(message));
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count();
            if (left <= 0)
                break;
            pollfd p{m_read, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left)) <= 0)
                continue;
            const ssize_t n = read(m_read, buffer, sizeof buffer);
            if (n <= 0)
                m_closed = true;
            else
                m_framer.Feed(buffer, static_cast<std::size_t>(n));
        }
        return json();
    }

    int m_read;
    int m_write;
    int m_nextId = 100;
    bool m_closed = false;
    ox::NulFramer m_framer{512u * 1024u * 1024u};
    std::vector<json> m_queue;
};

// The shared host run as the launcher runs it, with its scratch folder in a
// temporary folder of its own so its browser processes can be found.
class HostProcess
{
public:
    explicit HostProcess(const QString& name, const QStringList& extraEnv = {}) : m_name(name)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        for (const QString& entry : extraEnv)
            env.insert(entry.section('=', 0, 0), entry.section('=', 1));
        m_process.setProcessEnvironment(env);
        m_process.start(kOxupdate, {QStringLiteral("--browser-host"), name});
    }
    ~HostProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(10000)) {
                m_process.kill();
                m_process.waitForFinished(5000);
            }
        }
        NoneLeft(m_dir.path(), 5000);
    }

    // Waits until the host reports its browser ready.
    bool Ready(int ms = 30000)
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
        while (!m_log.contains("ready")) {
            if (Clock::now() > deadline || m_process.state() == QProcess::NotRunning)
                return false;
            m_process.waitForReadyRead(200);
            m_log += m_process.readAllStandardError();
        }
        return true;
    }
    std::string Log()
    {
        m_log += m_process.readAllStandardError();
        return m_log.toStdString();
    }
    std::string Name() const { return m_name.toStdString(); }
    QString Dir() const { return m_dir.path(); }
    QProcess& Process() { return m_process; }

private:
    QString m_name;
    QTemporaryDir m_dir;
    QProcess m_process;
    QByteArray m_log;
};

QString UniqueName(const char* what)
{
    static int counter = 0;
    return QStringLiteral("orvex-test-%1-%2-%3").arg(what).arg(getpid()).arg(++counter);
}

std::unique_ptr<ox::BrowserLink> OpenShared(const HostProcess& host, std::string& error)
{
    ox::BrowserOptions options;
    options.hostSocket = host.Name();
    return ox::BrowserLink::Open(options, error);
}

TEST(BrowserHostTest, ServesTwoWorkersAtOnce)
{
    HostProcess host(UniqueName("two"));
    ASSERT_TRUE(host.Ready()) << host.Log();
    std::string error;
    auto linkA = OpenShared(host, error);
    ASSERT_TRUE(linkA) << error;
    auto linkB = OpenShared(host, error);
    ASSERT_TRUE(linkB) << error;
    EXPECT_TRUE(linkA->shared());
    EXPECT_TRUE(linkB->shared());
    Client a(linkA->readFd(), linkA->writeFd());
    Client b(linkB->readFd(), linkB->writeFd());

    const json contextA = a.Call("Orvex.slotContext", {{"slot", 1}, {"proxyServer", ""}});
    const json contextB = b.Call("Orvex.slotContext", {{"slot", 2}, {"proxyServer", ""}});
    ASSERT_TRUE(contextA.contains("result")) << contextA;
    ASSERT_TRUE(contextB.contains("result")) << contextB;
    EXPECT_NE(contextA["result"]["browserContextId"], contextB["result"]["browserContextId"]);
    EXPECT_EQ(contextA["result"]["reused"], false);
    const std::string sessionA = a.OpenPage(contextA["result"]["browserContextId"]);
    const std::string sessionB = b.OpenPage(contextB["result"]["browserContextId"]);
    ASSERT_FALSE(sessionA.empty());
    ASSERT_FALSE(sessionB.empty());

    // Both navigations in flight at the same time, with the same command ids.
    const int navA =
        a.Send("Page.navigate", {{"url", "data:text/html,<title>page A</title>"}}, sessionA);
    const int navB =
        b.Send("Page.navigate", {{"url", "data:text/html,<title>page B</title>"}}, sessionB);
    EXPECT_EQ(navA, navB);
    EXPECT_TRUE(b.Wait(navB).contains("result"));
    EXPECT_TRUE(a.Wait(navA).contains("result"));
    EXPECT_FALSE(a.WaitEvent("Page.loadEventFired", sessionA).is_null());
    EXPECT_FALSE(b.WaitEvent("Page.loadEventFired", sessionB).is_null());
    EXPECT_EQ(a.Evaluate(sessionA, "document.title"), "page A");
    EXPECT_EQ(b.Evaluate(sessionB, "document.title"), "page B");
    // A worker saying goodbye to the browser does not close it for the other.
    EXPECT_TRUE(a.Call("Browser.close").contains("result"));
    EXPECT_EQ(b.Evaluate(sessionB, "1 + 2"), 3);
}

// A worker in a process of its own: it asks for its slot's context and opens
// a page (in the default context, so that only closing it removes it),
// starts loading a page that never answers, reports both and waits.
const char* const kDoomedWorker = R"(
import json, socket, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
s.connect('\0' + sys.argv[1])
buf = b''
def call(i, method, params, session=None):
    global buf
    m = {'id': i, 'method': method, 'params': params}
    if session: m['sessionId'] = session
    s.sendall(json.dumps(m).encode() + b'\0')
    while True:
        while b'\0' not in buf:
            buf += s.recv(65536)
        text, buf = buf.split(b'\0', 1)
        reply = json.loads(text)
        if reply.get('id') == i: return reply['result']
ctx = call(1, 'Orvex.slotContext', {'slot': 5})['browserContextId']
target = call(2, 'Target.createTarget', {'url': 'about:blank'})['targetId']
session = call(3, 'Target.attachToTarget', {'targetId': target, 'flatten': True})['sessionId']
s.sendall(json.dumps({'id': 4, 'method': 'Page.navigate', 'params': {'url': sys.argv[2]},
                      'sessionId': session}).encode() + b'\0')
print('READY', target, ctx, flush=True)
sys.stdin.read()
)";

TEST(BrowserHostTest, AWorkerKilledMidCommandLeavesTheOthersAlone)
{
    orvex::urlstattest::FixtureServer server;
    ASSERT_GT(server.port(), 0);
    HostProcess host(UniqueName("kill"));
    ASSERT_TRUE(host.Ready()) << host.Log();
    std::string error;
    auto link = OpenShared(host, error);
    ASSERT_TRUE(link) << error;
    Client survivor(link->readFd(), link->writeFd());
    const std::string session = survivor.OpenPage("");
    ASSERT_TRUE(survivor.Load(session, "data:text/html,<title>before</title>"));

    QProcess doomed;
    doomed.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(kDoomedWorker),
                  QString::fromStdString(host.Name()), server.url(QStringLiteral("/slow"))});
    const auto started = Clock::now();
    while (!doomed.canReadLine() && Clock::now() - started < std::chrono::seconds(20))
        doomed.waitForReadyRead(200);
    ASSERT_TRUE(doomed.canReadLine()) << doomed.readAllStandardError().toStdString();
    const QStringList ready = QString::fromUtf8(doomed.readLine()).trimmed().split(' ');
    ASSERT_EQ(ready.size(), 3) << ready.join(' ').toStdString();
    const std::string doomedTarget = ready[1].toStdString();
    const std::string doomedContext = ready[2].toStdString();
    doomed.kill();
    doomed.waitForFinished(5000);

    // The survivor carries on as if nothing happened.
    EXPECT_TRUE(survivor.Load(session, "data:text/html,<title>after</title>"));
    EXPECT_EQ(survivor.Evaluate(session, "document.title"), "after");

    // The killed worker's page is closed, and its context (never declared
    // clean) disposed.
    bool pageGone = false;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!pageGone && Clock::now() < deadline) {
        const json targets = survivor.Call("Target.getTargets");
        ASSERT_TRUE(targets.contains("result")) << targets;
        pageGone = true;
        for (const json& info : targets["result"]["targetInfos"])
            if (info.value("targetId", "") == doomedTarget)
                pageGone = false;
        if (!pageGone)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_TRUE(pageGone);
    const json contexts = survivor.Call("Target.getBrowserContexts");
    ASSERT_TRUE(contexts.contains("result")) << contexts;
    for (const json& id : contexts["result"]["browserContextIds"])
        EXPECT_NE(id, doomedContext);
    // The slot's next job gets a fresh context.
    const json next = survivor.Call("Orvex.slotContext", {{"slot", 5}});
    ASSERT_TRUE(next.contains("result")) << next;
    EXPECT_EQ(next["result"]["reused"], false);
}

TEST(BrowserHostTest, DropsAWorkerSendingAnOversizedMessage)
{
    HostProcess host(UniqueName("big"));
    ASSERT_TRUE(host.Ready()) << host.Log();
    std::string error;
    auto good = OpenShared(host, error);
    ASSERT_TRUE(good) << error;
    auto bad = OpenShared(host, error);
    ASSERT_TRUE(bad) << error;
    // 65 MiB without a terminator: more than any command may be.
    const std::string chunk(1024 * 1024, 'x');
    for (int i = 0; i < 65; ++i)
        if (send(bad->writeFd(), chunk.data(), chunk.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(chunk.size()))
            break;
    Client dropped(bad->readFd(), bad->writeFd());
    EXPECT_TRUE(dropped.HungUp(10000));
    Client fine(good->readFd(), good->writeFd());
    EXPECT_TRUE(fine.Call("Browser.getVersion").contains("result"));
}

// SIGTERM lets the host close its browser and tidy up; SIGKILL gives it no
// chance, and the browser must go all the same.
class BrowserHostEndTest : public ::testing::TestWithParam<bool>
{
};

TEST_P(BrowserHostEndTest, TakesItsBrowserAlong)
{
    const bool graceful = GetParam();
    HostProcess host(UniqueName(graceful ? "term" : "kill9"));
    ASSERT_TRUE(host.Ready()) << host.Log();
    std::string error;
    auto link = OpenShared(host, error);
    ASSERT_TRUE(link) << error;
    Client client(link->readFd(), link->writeFd());
    EXPECT_FALSE(client.OpenPage("").empty());
    ASSERT_FALSE(LiveProcesses(host.Dir()).isEmpty());

    if (!graceful) {
        host.Process().kill();
        host.Process().waitForFinished(5000);
        EXPECT_TRUE(NoneLeft(host.Dir(), 10000))
            << LiveProcesses(host.Dir()).join(' ').toStdString();
        return;
    }
    host.Process().terminate();
    ASSERT_TRUE(host.Process().waitForFinished(10000));
    EXPECT_EQ(host.Process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(host.Process().exitCode(), 0);
    EXPECT_TRUE(LiveProcesses(host.Dir()).isEmpty())
        << LiveProcesses(host.Dir()).join(' ').toStdString();
    EXPECT_TRUE(ScratchFolders(host.Dir()).isEmpty());
    EXPECT_TRUE(client.HungUp(5000));
}

INSTANTIATE_TEST_SUITE_P(SignalToTheHost, BrowserHostEndTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Sigterm" : "Sigkill"; });

TEST(BrowserHostTest, EndsWhenItsParentDies)
{
    QTemporaryDir dir;
    const QString name = UniqueName("orphan");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    QProcess parent;
    parent.setProcessEnvironment(env);
    parent.start(QStringLiteral("/bin/sh"),
                 {QStringLiteral("-c"), QStringLiteral("\"$0\" --browser-host \"$1\" & wait"),
                  kOxupdate, name});
    std::string error;
    ox::BrowserOptions options;
    options.hostSocket = name.toStdString();
    options.chromiumPath = "/nonexistent"; // only the host may answer
    std::unique_ptr<ox::BrowserLink> link;
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (!link && Clock::now() < deadline)
        link = ox::BrowserLink::Open(options, error);
    ASSERT_TRUE(link) << error;
    ASSERT_FALSE(LiveProcesses(dir.path()).isEmpty());

    parent.kill();
    parent.waitForFinished(5000);
    Client client(link->readFd(), link->writeFd());
    EXPECT_TRUE(client.HungUp(10000));
    EXPECT_TRUE(NoneLeft(dir.path(), 10000)) << LiveProcesses(dir.path()).join(' ').toStdString();
    // The host removes its scratch folder last, on its way out.
    const auto deadline2 = Clock::now() + std::chrono::seconds(10);
    while (!ScratchFolders(dir.path()).isEmpty() && Clock::now() < deadline2)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(ScratchFolders(dir.path()).isEmpty());
}

TEST(BrowserHostTest, ReplacesABrowserThatDied)
{
    HostProcess host(UniqueName("crash"));
    ASSERT_TRUE(host.Ready()) << host.Log();
    std::string error;
    auto link = OpenShared(host, error);
    ASSERT_TRUE(link) << error;
    Client client(link->readFd(), link->writeFd());
    ASSERT_FALSE(client.OpenPage("").empty());

    // The browser's main process is the one without a --type.
    QString main;
    for (const QString& pid : LiveProcesses(host.Dir())) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!cmdline.open(QIODevice::ReadOnly))
            continue;
        const QByteArray args = cmdline.readAll();
        if (args.contains("--remote-debugging-pipe") && !args.contains("--type="))
            main = pid;
    }
    ASSERT_FALSE(main.isEmpty());
    ASSERT_EQ(kill(main.toInt(), SIGKILL), 0);

    // Its clients are dropped; the next one gets a new browser.
    EXPECT_TRUE(client.HungUp(10000));
    auto again = OpenShared(host, error);
    ASSERT_TRUE(again) << error;
    EXPECT_TRUE(again->shared());
    Client next(again->readFd(), again->writeFd());
    const std::string session = next.OpenPage("");
    ASSERT_TRUE(next.Load(session, "data:text/html,<title>reborn</title>"));
    EXPECT_EQ(next.Evaluate(session, "document.title"), "reborn");
    // The dead browser's scratch folder went with it.
    EXPECT_EQ(ScratchFolders(host.Dir()).size(), 1);
}

TEST(BrowserHostTest, EndsByItselfWhenNobodyComes)
{
    HostProcess host(UniqueName("idle"), {QStringLiteral("ORVEX_HOST_IDLE_SECONDS=1")});
    ASSERT_TRUE(host.Ready()) << host.Log();
    ASSERT_TRUE(host.Process().waitForFinished(20000));
    EXPECT_EQ(host.Process().exitCode(), 0);
    EXPECT_TRUE(LiveProcesses(host.Dir()).isEmpty());
    EXPECT_TRUE(ScratchFolders(host.Dir()).isEmpty());
}

TEST(BrowserHostTest, ASecondHostOfTheSameNameRefusesToStart)
{
    HostProcess first(UniqueName("twice"));
    ASSERT_TRUE(first.Ready()) << first.Log();
    QProcess second;
    second.start(kOxupdate,
                 {QStringLiteral("--browser-host"), QString::fromStdString(first.Name())});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_TRUE(second.readAllStandardError().contains("cannot listen"));
}

// Job 1 of a slot leaves a cookie and a localStorage item; job 2 of the same
// slot looks for them.
struct IsolationCase
{
    const char* name;
    bool clear;        // job 1 clears cookies and site storage
    bool declareClean; // and says so
    bool reused;       // job 2 gets job 1's context
    bool visible;      // job 2 sees job 1's data
};
void PrintTo(const IsolationCase& c, std::ostream* out)
{
    *out << c.name;
}

class BrowserIsolationTest : public ::testing::TestWithParam<IsolationCase>
{
};

TEST_P(BrowserIsolationTest, JobOneLeavesNothingForJobTwo)
{
    const IsolationCase& c = GetParam();
    orvex::urlstattest::FixtureServer server;
    ASSERT_GT(server.port(), 0);
    const std::string origin =
        QStringLiteral("http://127.0.0.1:%1").arg(server.port()).toStdString();
    const std::string page = origin + "/status/200";
    HostProcess host(UniqueName("iso"));
    ASSERT_TRUE(host.Ready()) << host.Log();
    std::string error;
    std::string context;
    {
        auto link = OpenShared(host, error);
        ASSERT_TRUE(link) << error;
        Client job(link->readFd(), link->writeFd());
        const json lent = job.Call("Orvex.slotContext", {{"slot", 3}});
        ASSERT_TRUE(lent.contains("result")) << lent;
        context = lent["result"]["browserContextId"];
        std::string target;
        const std::string session = job.OpenPage(context, &target);
        ASSERT_TRUE(job.Load(session, page));
        EXPECT_EQ(job.Evaluate(session, "document.cookie = 'job=1; max-age=3600';"
                                        "localStorage.setItem('job', '1');"
                                        "document.cookie + '|' + localStorage.getItem('job')"),
                  "job=1|1");
        if (c.clear) {
            // What a worker does after its job in a reused context: the
            // page's own storage cleared from inside (ordered after the page's
            // writes), the cookies of the context, and every storage of each
            // origin the page loaded, cleared through the page's session.
            EXPECT_FALSE(
                job.Evaluate(session, "localStorage.clear(); sessionStorage.clear(); 0").is_null());
            EXPECT_TRUE(job.Call("Storage.clearCookies", {{"browserContextId", context}})
                            .contains("result"));
            EXPECT_TRUE(job.Call("Storage.clearDataForOrigin",
                                 {{"origin", origin}, {"storageTypes", "all"}}, session)
                            .contains("result"));
        }
        job.Call("Target.closeTarget", {{"targetId", target}});
        if (c.declareClean) {
            EXPECT_TRUE(job.Call("Orvex.contextClean").contains("result"));
        }
    }
    auto link = OpenShared(host, error);
    ASSERT_TRUE(link) << error;
    Client job(link->readFd(), link->writeFd());
    const json lent = job.Call("Orvex.slotContext", {{"slot", 3}});
    ASSERT_TRUE(lent.contains("result")) << lent;
    EXPECT_EQ(lent["result"]["reused"], c.reused);
    EXPECT_EQ(lent["result"]["browserContextId"] == context, c.reused);
    const std::string session = job.OpenPage(lent["result"]["browserContextId"]);
    ASSERT_TRUE(job.Load(session, page));
    const json seen = job.Evaluate(session, "document.cookie + '|' + localStorage.getItem('job')");
    EXPECT_EQ(seen, c.visible ? "job=1|1" : "|null");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrowserIsolationTest,
    ::testing::Values(IsolationCase{"ClearedAndDeclaredClean", true, true, true, false},
                      // Shows that the context really is shared when declared clean.
                      IsolationCase{"DeclaredCleanWithoutClearing", false, true, true, true},
                      IsolationCase{"LeftWithoutDeclaringClean", false, false, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

// --- A browser of the worker's own -------------------------------------------

TEST(OwnBrowserTest, IsGoneAfterClose)
{
    QTemporaryDir dir;
    ox::BrowserOptions options;
    options.scratchRoot = dir.path().toStdString();
    options.hostSocket = UniqueName("nobody").toStdString(); // no host: falls back
    std::string error;
    auto link = ox::BrowserLink::Open(options, error);
    ASSERT_TRUE(link) << error;
    EXPECT_FALSE(link->shared());
    Client client(link->readFd(), link->writeFd());
    const std::string session = client.OpenPage("");
    ASSERT_TRUE(client.Load(session, "data:text/html,<title>own</title>"));
    EXPECT_EQ(client.Evaluate(session, "document.title"), "own");
    EXPECT_FALSE(LiveProcesses(dir.path()).isEmpty());
    EXPECT_EQ(ScratchFolders(dir.path()).size(), 1);

    link->Close();
    EXPECT_TRUE(LiveProcesses(dir.path()).isEmpty());
    EXPECT_TRUE(ScratchFolders(dir.path()).isEmpty());
}

TEST(OwnBrowserTest, DiesWithAKilledOwner)
{
    QTemporaryDir dir;
    // The owner is a copy of this process that opens the link and waits. With
    // a single thread here, the copy may run normal code after fork.
    ASSERT_EQ(
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(),
        1);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t owner = fork();
    ASSERT_GE(owner, 0);
    if (owner == 0) {
        close(ready[0]);
        ox::BrowserOptions options;
        options.scratchRoot = dir.path().toStdString();
        std::string error;
        auto link = ox::BrowserLink::Open(options, error);
        const char answer = link ? 'y' : 'n';
        if (write(ready[1], &answer, 1) != 1)
            _exit(2);
        while (true)
            pause();
    }
    close(ready[1]);
    char answer = 0;
    ASSERT_EQ(read(ready[0], &answer, 1), 1);
    close(ready[0]);
    EXPECT_EQ(answer, 'y');
    EXPECT_FALSE(LiveProcesses(dir.path()).isEmpty());

    kill(owner, SIGKILL);
    waitpid(owner, nullptr, 0);
    EXPECT_TRUE(NoneLeft(dir.path(), 10000)) << LiveProcesses(dir.path()).join(' ').toStdString();
}

TEST(OwnBrowserTest, GivesUpWhenCancelled)
{
    QTemporaryDir dir;
    ox::BrowserOptions options;
    options.scratchRoot = dir.path().toStdString();
    options.cancel = [] { return true; };
    std::string error;
    EXPECT_FALSE(ox::BrowserLink::Open(options, error));
    EXPECT_EQ(error, "cancelled");
    EXPECT_TRUE(LiveProcesses(dir.path()).isEmpty());
    EXPECT_TRUE(ScratchFolders(dir.path()).isEmpty());
}

struct StartFailure
{
    const char* name;
    const char* script; // body of a stand-in browser, empty for a missing one
    const char* reason;
};
void PrintTo(const StartFailure& c, std::ostream* out)
{
    *out << c.name;
}

class ChromiumStartTest : public ::testing::TestWithParam<StartFailure>
{
};

TEST_P(ChromiumStartTest, FailsCleanly)
{
    QTemporaryDir dir;
    ox::BrowserOptions options;
    options.scratchRoot = (dir.path() + QStringLiteral("/scratch")).toStdString();
    options.chromiumPath = (dir.path() + QStringLiteral("/browser")).toStdString();
    if (*GetParam().script) {
        QFile script(QString::fromStdString(options.chromiumPath));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QByteArray("#!/bin/sh\n") + GetParam().script + "\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    ox::ChromiumProcess::StartOptions start;
    start.startSeconds = 1;
    std::string error;
    EXPECT_FALSE(ox::ChromiumProcess::Start(options, start, error));
    EXPECT_NE(error.find(GetParam().reason), std::string::npos) << error;
    // Nothing is left running or lying around.
    EXPECT_TRUE(NoneLeft(dir.path(), 3000));
    EXPECT_TRUE(ScratchFolders(QString::fromStdString(options.scratchRoot)).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChromiumStartTest,
    ::testing::Values(StartFailure{"Missing", "", "cannot run"},
                      StartFailure{"EndsAtOnce", "exit 3", "ended before answering (exit 3)"},
                      StartFailure{"NeverAnswers", "sh -c 'sleep 30; :' \"$0\" & sleep 30",
                                   "did not answer"},
                      StartFailure{"AnswersNonsense",
                                   "printf 'nonsense\\0{\"id\":1,\"error\":{}}\\0' >&4; sleep 30",
                                   "refused its first command"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Scanning the process table ----------------------------------------------

// Processes end between the listing of /proc and the reading of their files;
// a browser being shut down is exactly that. The scan must take it in stride.
TEST(ProcessScanTest, SurvivesProcessesEndingWhileTheyAreRead)
{
    const std::string mark = "oxscan-" + std::to_string(getpid());
    std::atomic<bool> done{false};
    std::thread churn([&] {
        while (!done) {
            std::vector<pid_t> batch;
            for (int i = 0; i < 8; ++i) {
                const pid_t pid = fork();
                if (pid == 0) {
                    execl("/bin/sleep", mark.c_str(), "30", static_cast<char*>(nullptr));
                    _exit(127);
                }
                if (pid > 0)
                    batch.push_back(pid);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            for (pid_t pid : batch)
                kill(pid, SIGKILL);
            for (pid_t pid : batch)
                waitpid(pid, nullptr, 0);
        }
    });
    // Stops the churn however the scan below ends, a throw included.
    struct Joiner
    {
        std::atomic<bool>& done;
        std::thread& thread;
        ~Joiner()
        {
            done = true;
            thread.join();
        }
    };
    bool seen = false;
    {
        const Joiner joiner{done, churn};
        const auto until = Clock::now() + std::chrono::seconds(2);
        while (Clock::now() < until)
            seen = !ox::ProcessesMentioning(mark).empty() || seen;
    }
    EXPECT_TRUE(seen);
    EXPECT_TRUE(ox::ProcessesMentioning(mark).empty());
}

} // namespace
