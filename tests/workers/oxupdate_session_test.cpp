// The worker's two conversations without a real browser: DevTools messages
// with a scripted peer on a socket pair, and the slot socket with a client
// playing the coordinator.
#include "update/AbstractSocket.h"
#include "DevToolsSession.h"
#include "JobSocket.h"

#include "update/UpdateProtocol.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace orvex::oxupdate {
namespace {

using namespace std::chrono_literals;

void WriteBytes(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        ASSERT_GT(n, 0);
        done += static_cast<std::size_t>(n);
    }
}

// A stop source driven by a pipe, as the worker's signal pipe is.
class PipeStop : public StopSource
{
public:
    PipeStop() { EXPECT_EQ(::pipe2(fds_, O_CLOEXEC | O_NONBLOCK), 0); }
    ~PipeStop() override
    {
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    void Trigger() { WriteBytes(fds_[1], "x"); }
    void AddPollFds(std::vector<pollfd>& fds) override { fds.push_back({fds_[0], POLLIN, 0}); }
    bool Service(const std::vector<pollfd>& fds, std::size_t first) override
    {
        if (fds[first].revents)
            stopped_ = true;
        return stopped_;
    }
    bool stopped() const override { return stopped_; }

private:
    int fds_[2] = {-1, -1};
    bool stopped_ = false;
};

class DevToolsSessionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds_), 0);
        session_ = std::make_unique<DevToolsSession>(fds_[0], fds_[0], &stop_);
    }
    void TearDown() override
    {
        session_.reset();
        ::close(fds_[0]);
        if (fds_[1] >= 0)
            ::close(fds_[1]);
    }
    // What the browser says.
    void Browser(const Json& message) { WriteBytes(fds_[1], message.dump() + std::string(1, '\0')); }
    // What the session sent, one message.
    Json Sent()
    {
        std::string text;
        char c = 0;
        while (::read(fds_[1], &c, 1) == 1 && c != '\0')
            text.push_back(c);
        return Json::parse(text, nullptr, false);
    }
    Clock::time_point Soon() { return Clock::now() + 2s; }

    int fds_[2] = {-1, -1};
    PipeStop stop_;
    std::unique_ptr<DevToolsSession> session_;
};

TEST_F(DevToolsSessionTest, CommandsAreNulTerminatedJsonWithTheirSession)
{
    const int first = session_->Send("Page.enable", Json::object(), "S1");
    const int second = session_->Send("Browser.getVersion");
    EXPECT_NE(first, second);
    EXPECT_EQ(Sent(), (Json{{"id", first}, {"method", "Page.enable"}, {"params", Json::object()},
                            {"sessionId", "S1"}}));
    EXPECT_EQ(Sent(), (Json{{"id", second}, {"method", "Browser.getVersion"}, {"params", Json::object()}}));
}

TEST_F(DevToolsSessionTest, RepliesReachTheirCommandsInAnyOrder)
{
    const int a = session_->Send("A.one");
    const int b = session_->Send("B.two");
    Browser({{"id", b}, {"result", {{"value", "b"}}}});
    Browser({{"method", "Page.loadEventFired"}, {"params", Json::object()}});
    Browser({{"id", a}, {"error", {{"code", -32000}, {"message", "refused"}}}});

    const CdpReply first = session_->Wait(a, Soon());
    EXPECT_FALSE(first.ok);
    EXPECT_FALSE(first.timedOut);
    EXPECT_EQ(first.error, "refused");
    const CdpReply second = session_->Wait(b, Soon());
    ASSERT_TRUE(second.ok);
    EXPECT_EQ(second.result, (Json{{"value", "b"}}));
    // The event that came in between was kept.
    const auto event = session_->WaitEvent(
        [](const Json& e) { return e["method"] == "Page.loadEventFired"; }, Clock::now());
    EXPECT_TRUE(event.has_value());
}

TEST_F(DevToolsSessionTest, EventsBeforeTheReplyAreQueuedOrTakenByTheHandler)
{
    std::vector<std::string> seen;
    session_->SetEventHandler([&](const Json& e) {
        seen.push_back(e["method"].get<std::string>());
        return e["method"] != "Keep.me";
    });
    const int id = session_->Send("Page.navigate");
    Browser({{"method", "Network.requestWillBeSent"}, {"params", Json::object()}});
    Browser({{"method", "Keep.me"}, {"params", {{"n", 1}}}});
    Browser({{"id", id}, {"result", Json::object()}});
    EXPECT_TRUE(session_->Wait(id, Soon()).ok);
    EXPECT_EQ(seen, (std::vector<std::string>{"Network.requestWillBeSent", "Keep.me"}));
    EXPECT_FALSE(session_->WaitEvent([](const Json& e) { return e["method"] == "Network.requestWillBeSent"; },
                                     Clock::now() + 50ms));
    const auto kept = session_->WaitEvent([](const Json& e) { return e["method"] == "Keep.me"; }, Soon());
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ((*kept)["params"]["n"], 1);
}

TEST_F(DevToolsSessionTest, TimeOutAndALateReplyIsDropped)
{
    const CdpReply reply = session_->Call("Slow.command", Json::object(), {}, 100ms);
    EXPECT_FALSE(reply.ok);
    EXPECT_TRUE(reply.timedOut);
    const int late = 1; // the first id
    const int next = session_->Send("Next.command");
    Browser({{"id", late}, {"result", {{"late", true}}}});
    Browser({{"id", next}, {"result", {{"next", true}}}});
    const CdpReply answer = session_->Wait(next, Soon());
    ASSERT_TRUE(answer.ok);
    EXPECT_EQ(answer.result, (Json{{"next", true}}));
}

TEST_F(DevToolsSessionTest, JunkAndSplitMessagesDoNotDerailIt)
{
    const int id = session_->Send("X.y");
    const std::string reply = Json{{"id", id}, {"result", {{"ok", 1}}}}.dump();
    WriteBytes(fds_[1], std::string("not json") + '\0' + "[1,2]" + '\0' + reply.substr(0, 5));
    WriteBytes(fds_[1], reply.substr(5) + '\0');
    const CdpReply answer = session_->Wait(id, Soon());
    ASSERT_TRUE(answer.ok);
    EXPECT_EQ(answer.result, (Json{{"ok", 1}}));
}

TEST_F(DevToolsSessionTest, HangUpIsALostLink)
{
    const int id = session_->Send("X.y");
    ::close(fds_[1]);
    fds_[1] = -1;
    EXPECT_THROW(session_->Wait(id, Soon()), LinkBroken);
}

TEST_F(DevToolsSessionTest, StopEndsAnyWait)
{
    const int id = session_->Send("Never.answered");
    stop_.Trigger();
    EXPECT_THROW(session_->Wait(id, Clock::now() + 30s), StopRequested);
    EXPECT_THROW(session_->WaitEvent([](const Json&) { return false; }, Clock::now() + 30s),
                 StopRequested);
}

// The slot socket as the coordinator uses it.
class JobSocketTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        name_ = "orvex-test-" + std::to_string(::getpid()) + "-jobsocket-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ASSERT_EQ(::pipe2(signal_, O_CLOEXEC | O_NONBLOCK), 0);
        socket_ = std::make_unique<JobSocket>(signal_[0]);
        std::string error;
        ASSERT_TRUE(socket_->Listen(name_, error)) << error;
    }
    void TearDown() override
    {
        socket_.reset();
        for (int fd : clients_)
            ::close(fd);
        ::close(signal_[0]);
        ::close(signal_[1]);
    }
    int Connect()
    {
        std::string error;
        const int fd = ConnectAbstractSocket(name_, 1000, error);
        EXPECT_GE(fd, 0) << error;
        clients_.push_back(fd);
        return fd;
    }
    static std::string Job(const std::string& url)
    {
        UpdateJob job;
        job.url = url;
        job.id = "0123456789abcdefghi";
        return EncodeFrame(JobMessage(job));
    }
    JobSocket::Wait WaitBriefly() { return socket_->WaitForJob(Clock::now() + 3s); }

    std::string name_;
    int signal_[2] = {-1, -1};
    std::unique_ptr<JobSocket> socket_;
    std::vector<int> clients_;
};

TEST_F(JobSocketTest, TakesTheFirstJobOnly)
{
    const int client = Connect();
    WriteBytes(client, Job("http://first.test/") + Job("http://second.test/"));
    ASSERT_EQ(WaitBriefly(), JobSocket::Wait::Job);
    const std::optional<std::string> text = socket_->TakeJob();
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(DecodeJobText(*text)->url, "http://first.test/");
    EXPECT_EQ(socket_->TakeJob(), std::nullopt);
    EXPECT_EQ(socket_->WaitForJob(Clock::now() + 100ms), JobSocket::Wait::Timeout);
    EXPECT_FALSE(socket_->stopped());
}

TEST_F(JobSocketTest, FramesMayArriveAByteAtATime)
{
    const int client = Connect();
    const std::string frame = Job("http://slow.test/");
    for (char c : frame) {
        WriteBytes(client, std::string(1, c));
        socket_->Poll();
    }
    ASSERT_EQ(WaitBriefly(), JobSocket::Wait::Job);
    EXPECT_EQ(DecodeJobText(*socket_->TakeJob())->url, "http://slow.test/");
}

TEST_F(JobSocketTest, StopOnAnotherConnection)
{
    WriteBytes(Connect(), Job("http://a.test/"));
    ASSERT_EQ(WaitBriefly(), JobSocket::Wait::Job);
    ASSERT_TRUE(socket_->TakeJob().has_value());
    WriteBytes(Connect(), EncodeFrame(StopMessage()));
    EXPECT_EQ(WaitBriefly(), JobSocket::Wait::Stop);
    EXPECT_TRUE(socket_->stopped());
}

TEST_F(JobSocketTest, StopBeforeAnyJob)
{
    WriteBytes(Connect(), EncodeFrame(StopMessage()));
    EXPECT_EQ(WaitBriefly(), JobSocket::Wait::Stop);
}

TEST_F(JobSocketTest, SignalIsAStop)
{
    WriteBytes(signal_[1], "x");
    EXPECT_EQ(WaitBriefly(), JobSocket::Wait::Stop);
}

TEST_F(JobSocketTest, ABrokenPeerIsDroppedOthersStillHeard)
{
    const int bad = Connect();
    // Announces far more data than a message may hold.
    WriteBytes(bad, std::string("\xc3\x5f\xe4\x99\xff\xff\xff\x7f", 8));
    EXPECT_EQ(socket_->WaitForJob(Clock::now() + 200ms), JobSocket::Wait::Timeout);
    char byte = 0;
    EXPECT_EQ(::read(bad, &byte, 1), 0); // hung up on
    WriteBytes(Connect(), Job("http://good.test/"));
    EXPECT_EQ(WaitBriefly(), JobSocket::Wait::Job);
}

TEST_F(JobSocketTest, JobSentThenHungUpStillCounts)
{
    const int client = Connect();
    WriteBytes(client, Job("http://gone.test/"));
    ::close(client);
    clients_.clear();
    EXPECT_EQ(WaitBriefly(), JobSocket::Wait::Job);
}

TEST_F(JobSocketTest, NameInUseIsRefused)
{
    JobSocket second;
    std::string error;
    EXPECT_FALSE(second.Listen(name_, error));
    EXPECT_FALSE(error.empty());
}

} // namespace
} // namespace orvex::oxupdate
