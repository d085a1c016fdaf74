// The deferred close waits for a report mail still being delivered, but never
// longer than 20 seconds. The mail goes to a server on 127.0.0.1 that accepts
// the connection and then says nothing, so the job stays busy until the test
// closes the server.
#include "main_window_fixture.h"

#include "mail/ReportMailer.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

class SilentSmtpServer {
public:
    SilentSmtpServer() {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), len) == 0 && ::listen(m_fd, 4) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
            m_port = ntohs(addr.sin_port);
    }
    ~SilentSmtpServer() { Close(); }
    // Pending connections are reset: the waiting client fails at once.
    void Close() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    int Port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

class CloseWithMailTest : public MainWindowTest {
protected:
    void StartWithBusyMail() {
        ASSERT_GT(server.Port(), 0);
        WriteSettings([&](CAppSettings& s) {
            s.EMAIL_ENA = 1;
            s.EMAIL_SMTP = "127.0.0.1:" + std::to_string(server.Port());
            s.EMAIL_FROM = "cam@example.org";
            s.EMAIL_TO = "me@example.org";
            s.EMAIL_WMV = 0;
            s.EMAIL_JPG = 0;
        });
        Start();
        ASSERT_NE(app.m_pReportMailer, nullptr);
        app.m_pReportMailer->SendCaptureReport(
            CCaptureReport{"07/DEC/26  14:05:00.00", "", "", ""});
        ASSERT_EQ(app.BusyMailJobs(), 1);
        dialog->show();
        SendKey(dialog.get(), Qt::Key_Escape);
        ASSERT_TRUE(app.m_bCloseRequested);
    }

    // Lets the delivery thread see the closed server and finish (bounded).
    void WaitForWorkers() {
        server.Close();
        for (int i = 0; i < 1000 && CReportMailer::LiveWorkers() > 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    void TearDown() override {
        WaitForWorkers();
        MainWindowTest::TearDown();
    }

    SilentSmtpServer server;
};

} // namespace

TEST_F(CloseWithMailTest, WaitsTwentySecondsAtMostForABusyMail) {
    StartWithBusyMail();
    dialog->Tick(); // the first tick notes the time
    EXPECT_FALSE(dialog->Ended());
    clock.Advance(20'000);
    dialog->Tick();
    EXPECT_FALSE(dialog->Ended()); // 20 seconds: still waiting
    clock.Advance(1'000);
    dialog->Tick();
    EXPECT_TRUE(dialog->Ended()); // 21 seconds: the mail no longer holds the close
    EXPECT_EQ(dialog->windowTitle(), "Oculon Closing...");
}

TEST_F(CloseWithMailTest, EndsAtTheFirstTickAfterTheMailIsDone) {
    StartWithBusyMail();
    dialog->Tick();
    clock.Advance(5'000);
    dialog->Tick();
    EXPECT_FALSE(dialog->Ended());
    WaitForWorkers();
    ASSERT_EQ(app.BusyMailJobs(), 0);
    dialog->Tick();
    EXPECT_TRUE(dialog->Ended());
}
