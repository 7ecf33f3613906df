#include "DownloadFixture.h"

#include "download/DropButtons.h"
#include "serial/SerStatusLight.h"

#include <QPushButton>
#include <QScrollBar>
#include <QTest>

using namespace std::chrono_literals;
using testsupport::LoaderKind;

namespace {

// Resident program at 9600, loader at 19200 answering ">" CR LF.
const std::string Standard = "DefSettings=19200,N,8,1\r\nCRMax=3\r\nCRAnswer=>\\013\\010\r\nErrMsg1=Reader not answering\r\n"
                             "ErrMsg2=Giving up\r\nVerCmd=V\\013\r\nEraseCmd=X\\013\r\nRunCmd=R\\013\r\nRunAnswer=RUN\r\n";

int Occurrences(const std::string &text, const std::string &part)
{
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

} // namespace

class ConnectTest : public DownloadFixture {
protected:
    void SetUp() override
    {
        DownloadFixture::SetUp();
        sim.setResidentBaud(9600);
        sim.setLoaderBaud(19200);
    }
    bool commandsEnabled() const
    {
        return form->EraseBtn->isEnabled() && form->DownLoadBtn->isEnabled() && form->MRUBtn->isEnabled();
    }
};

TEST_F(ConnectTest, ConnectBringsTheReaderIntoItsLoaderAndReadsTheVersion)
{
    writeDevice(Standard + "CRTicks=90\r\n");   // one CR, however long a busy machine takes to answer
    openForm();
    EXPECT_EQ(form->windowTitle(), "Loader test");
    EXPECT_FALSE(commandsEnabled());
    ASSERT_TRUE(connect());

    EXPECT_EQ(LogOf(*form), (QStringList {"Trying to enter host mode...", "  TX: <ESC>[C", "  RX: <ESC>H<CR><LF>",
                                          "Quitting resident application...", "  TX: <ESC>[Q",
                                          "Setting port to 19200,N,8,1...", "Sending <CR> .", "  RX: ><CR><LF>",
                                          "Getting resident program version...", "  TX: V<CR>",
                                          "  RX: RES V1.00<CR><LF>"}));
    EXPECT_EQ(status(), " CONNECTED - RES V1.00");
    EXPECT_EQ(form->ResLabel->text(), "RES V1.00");
    EXPECT_EQ(form->Loader.VersionText.str(), "RES V1.00\r\n");
    EXPECT_TRUE(form->PortLed->Lit() && form->DevLed->Lit() && form->LoaderLed->Lit());
    EXPECT_TRUE(commandsEnabled() && form->ConnBtn->isEnabled() && form->ExitBtn->isEnabled());
    EXPECT_TRUE(form->AbortBtn->isHidden());
    EXPECT_EQ(form->ComPort.Baud(), 19200);
    EXPECT_TRUE(sim.expectSequence({LoaderKind::Enter, LoaderKind::Quit, LoaderKind::Handshake, LoaderKind::Version}));
    EXPECT_EQ(sim.count(LoaderKind::Noise), 0);   // each side heard at its own speed
    EXPECT_TRUE(ui.log().empty());
}

TEST_F(ConnectTest, HostModeEntryTakesUpToFourAttempts)
{
    struct Row {
        const char *reader;
        std::function<void(testsupport::LoaderSim &)> setUp;
        int enters, leaves;
        int fastTicks;   // an answer has half a second, however busy the machine; silence is waited out faster
    };
    const Row rows[] = {
        {"answering", [](testsupport::LoaderSim &) {}, 1, 0, 2},
        {"stuck until an exit", [](testsupport::LoaderSim &s) { s.setResidentStuck(true); }, 2, 1, 2},
        {"answering exits only", [](testsupport::LoaderSim &s) { s.setHostModeRefused(true); }, 4, 2, 2},
        {"silent", [](testsupport::LoaderSim &s) { s.setSilent(true); }, 3, 2, 8},
    };
    writeDevice("DefSettings=9600,N,8,1\r\nVerCmd=");   // no handshake, no version query
    for (const Row &row : rows) {
        FastTicks fast(row.fastTicks);
        testsupport::LoaderSim rowSim;
        row.setUp(rowSim);
        driver = std::make_unique<testsupport::LoaderSimDriver>(rowSim, pty.masterFd());
        openForm();
        EXPECT_TRUE(connect()) << row.reader;   // a failed entry does not stop the procedure
        ASSERT_TRUE(simCaughtUp()) << row.reader;
        const std::string sent = rowSim.receivedBytes();
        EXPECT_EQ(Occurrences(sent, "\x1B[C"), row.enters) << row.reader;
        EXPECT_EQ(Occurrences(sent, "\x1B[A"), row.leaves) << row.reader;
        EXPECT_EQ(Occurrences(sent, "\x1B[Q"), row.leaves == 2 ? 0 : 1) << row.reader;
        form.reset();
        driver.reset();
    }
}

TEST_F(ConnectTest, AFailedHandshakeShowsBothWarningsAndLeavesThePortAtTheLoaderSettings)
{
    FastTicks fast(8);
    writeDevice(Standard);
    sim.setStartInLoader(true);
    sim.setHandshakeLimit(0);
    openForm();
    EXPECT_FALSE(connect());

    EXPECT_EQ(ui.warnings(), (std::vector<std::string> {"Reader not answering", "Giving up"}));
    const QStringList log = LogOf(*form);
    EXPECT_EQ(log.mid(log.size() - 6), (QStringList {"Sending <CR> . . .", "Reader not answering.",
                                                     "Sending <CR> . . .", "Giving up", "", "CONNECTION FAILED!"}));
    ASSERT_TRUE(simCaughtUp());
    EXPECT_EQ(sim.count(LoaderKind::Handshake), 6);
    EXPECT_EQ(status(), " NOT CONNECTED");
    EXPECT_FALSE(commandsEnabled() || form->LoaderLed->Lit() || form->DevLed->Lit());
    EXPECT_TRUE(form->ConnBtn->isEnabled() && form->ExitBtn->isEnabled() && form->AbortBtn->isHidden());
    EXPECT_TRUE(form->ComPort.Open());
    EXPECT_EQ(form->ComPort.Baud(), 19200);
}

TEST_F(ConnectTest, TheHandshakeSendsAtLeastOneCrAndNoneWithoutAnAnswerToWaitFor)
{
    FastTicks fast(8);
    struct Row {
        const char *keys;
        int crs;
        bool connected;
    };
    const Row rows[] = {
        {"CRMax=0\r\nCRAnswer=>\r\n", 2, false},
        {"CRMax=2\r\nCRAnswer=>\r\n", 4, false},
        {"CRMax=5\r\nCRAnswer=\r\n", 0, true},
    };
    for (const Row &row : rows) {
        testsupport::LoaderSim rowSim;
        rowSim.setHandshakeLimit(0);
        driver = std::make_unique<testsupport::LoaderSimDriver>(rowSim, pty.masterFd());
        writeDevice(std::string("DefSettings=9600\r\nVerCmd=\r\n") + row.keys);
        openForm();
        EXPECT_EQ(connect(), row.connected) << row.keys;
        ASSERT_TRUE(simCaughtUp()) << row.keys;
        EXPECT_EQ(rowSim.count(LoaderKind::Handshake), row.crs) << row.keys;
        form.reset();
        driver.reset();
    }
}

TEST_F(ConnectTest, AnEchoingLoaderNeedsTheEchoSetting)
{
    const std::pair<const char *, const char *> rows[] = {{"Echo=1", " CONNECTED - RES V1.00"},
                                                          {"Echo=0", " CONNECTED - V"}};
    sim.setEcho(true);
    for (const auto &[echo, shown] : rows) {
        writeDevice(Standard + echo);
        openForm();
        EXPECT_TRUE(connect()) << echo;
        EXPECT_EQ(status(), shown) << echo;
        form.reset();
        sim.setStartInLoader(false);
    }
}

TEST_F(ConnectTest, BlankVersionCommandSendsNoQuery)
{
    writeDevice("VerCmd=\"   \"\r\n" + Standard);   // the first of two keys counts
    openForm();
    ASSERT_TRUE(connect());
    EXPECT_EQ(status(), " CONNECTED!");
    EXPECT_EQ(sim.count(LoaderKind::Version), 0);
    EXPECT_FALSE(LogOf(*form).contains("Getting resident program version..."));
}

TEST_F(ConnectTest, AbortEndsTheConnectAtTheCallersSettings)
{
    FastTicks fast(2);
    writeDevice(Standard);
    sim.setSilent(true);
    openForm();
    WhenReady abort([] { return true; }, [&] { form->AbortBtn->click(); });
    EXPECT_FALSE(connect());
    EXPECT_TRUE(abort.done);
    EXPECT_EQ(LogOf(*form).last(), "CONNECTION ABORTED!");
    EXPECT_EQ(status(), " NOT CONNECTED");
    EXPECT_TRUE(ui.warnings().empty());
    EXPECT_EQ(form->ComPort.Baud(), 9600);   // stopped before the loader settings
    ASSERT_TRUE(simCaughtUp());
    EXPECT_EQ(Occurrences(sim.receivedBytes(), "\x1B[C"), 1);
    EXPECT_TRUE(form->AbortBtn->isHidden());
}

TEST_F(ConnectTest, NoConnectOpensThePortAtTheLoaderSettingsWhenTheWindowShows)
{
    writeDevice(Standard + "NoConnect=1\r\nStartMsg=  Press reset\\013\\010Then wait \r\n");
    openForm();
    EXPECT_TRUE(form->Loader.Connected);
    EXPECT_TRUE(form->ComPort.Open());
    EXPECT_EQ(form->ComPort.Baud(), 19200);
    EXPECT_EQ(LogOf(*form), (QStringList {"Setting port to 19200,N,8,1...", "Press reset", "Then wait"}));
    EXPECT_FALSE(form->ConnBtn->isEnabled());
    EXPECT_TRUE(commandsEnabled());
    EXPECT_TRUE(sim.receivedBytes().empty());
}

TEST_F(ConnectTest, ClosingAConnectedWindowStartsTheProgram)
{
    writeDevice(Standard);
    openForm();
    ASSERT_TRUE(connect());
    form->ExitBtn->click();

    EXPECT_EQ(sim.sequence().back(), LoaderKind::Run);
    EXPECT_EQ(LogOf(*form).mid(LogOf(*form).size() - 3),
              (QStringList {"  TX: R<CR>", "Waiting for \"RUN\"...", "  RX: RUN"}));
    EXPECT_EQ(status(), " TERMINATING...");
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->ComPort.PortState(), TPortState::PortClosed);
    EXPECT_EQ(form->ComPort.Baud(), 9600);   // the caller's settings again
    EXPECT_EQ(form->result(), QDialog::Accepted);
}

TEST_F(ConnectTest, ClosingAWindowThatNeverConnectedSendsNothing)
{
    writeDevice(Standard);
    openForm();
    form->close();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(sim.receivedBytes().empty());
    EXPECT_EQ(form->ComPort.PortState(), TPortState::PortClosed);
    EXPECT_EQ(form->result(), QDialog::Rejected);
}

TEST_F(ConnectTest, AWindowClosedDuringTheConnectClosesOnceTheConnectIsOver)
{
    FastTicks fast(8);
    writeDevice(Standard);
    sim.setSilent(true);
    openForm();
    bool visibleAfterClose = false;
    WhenReady close([] { return true; }, [&] {
        form->close();
        visibleAfterClose = form->isVisible();
    });
    connect();
    EXPECT_TRUE(close.done);
    EXPECT_TRUE(visibleAfterClose);
    EXPECT_TRUE(PumpUntil([&] { return !form->isVisible(); }, 2s));
    EXPECT_EQ(form->ComPort.PortState(), TPortState::PortClosed);
}

TEST_F(ConnectTest, EraseAsksFirstAndShowsTheReply)
{
    writeDevice(Standard);
    openForm();
    ASSERT_TRUE(connect());
    ui.answer(false);
    form->EraseBtn->click();
    EXPECT_EQ(sim.count(LoaderKind::Erase), 0);
    ui.answer(true);
    form->EraseBtn->click();
    EXPECT_EQ(sim.count(LoaderKind::Erase), 1);
    EXPECT_EQ(ui.questions(), std::vector<std::string>(2, "Do you really want to erase the EEPROM?"));
    EXPECT_EQ(LogOf(*form).mid(LogOf(*form).size() - 3),
              (QStringList {"Erasing EEPROM...", "  TX: X<CR>", "  RX: ERASED<CR><LF>"}));
    EXPECT_EQ(status(), " ERASED");
}

TEST_F(ConnectTest, TheLogKeepsTwoHundredLines)
{
    writeDevice(Standard);
    openForm();
    for (int i = 1; i <= 201; ++i)
        form->Log("line " + std::to_string(i));
    QStringList log = LogOf(*form);
    EXPECT_EQ(log.size(), 200);
    EXPECT_EQ(log.first(), "line 2");
    EXPECT_EQ(log.last(), "line 201");

    form->LogLines(" \r\n first\rsecond \r\n\r\nthird\r\n");
    log = LogOf(*form);
    EXPECT_EQ(log.mid(log.size() - 3), (QStringList {"first", "second ", "third"}));
    EXPECT_EQ(log.first(), "line 3");   // one line made room, the call may go above 200
    EXPECT_EQ(log.size(), 202);
    form->Log(std::string("\x01\x7F\xA0 end", 7));
    EXPECT_EQ(LogOf(*form).last(), "<SOH><DEL><$A0> end");
}

TEST_F(ConnectTest, APortThatCannotBeOpenedIsReportedAndTheButtonsComeBack)
{
    unsetenv("SERIAL_COM3");
    writeDevice(Standard);
    openForm();
    EXPECT_FALSE(connect());
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {"ie_BadId - Specified comport doesn't exist: COM3 names no device"});
    EXPECT_EQ(status(), " UNABLE TO OPEN COM3!");
    form->grab().save(QString(CORVANE_ARTIFACT_DIR) + "/tarsel-open-failed.png");
    EXPECT_TRUE(form->ConnBtn->isEnabled() && form->ExitBtn->isEnabled() && form->AbortBtn->isHidden());
    EXPECT_FALSE(commandsEnabled());
}

TEST_F(ConnectTest, ADeviceThatNeedsNoConnectShowsAPortThatCannotBeOpened)
{
    unsetenv("SERIAL_COM3");
    writeDevice(Standard + "NoConnect=1\r\n");
    openForm();
    EXPECT_EQ(status(), " UNABLE TO OPEN COM3!");
    EXPECT_FALSE(form->Loader.Connected);
    EXPECT_EQ(ui.warnings().size(), 1u);
}

TEST_F(ConnectTest, TheLogFollowsALineThatGrowsUnlessTheUserScrolledAway)
{
    writeDevice(Standard);
    openForm();
    QScrollBar *scroll = form->LogMemo->verticalScrollBar();
    for (bool scrolledAway : {false, true}) {
        for (int i = 1; i <= 40; ++i)
            form->Log("line " + std::to_string(i));
        form->Log("Sending <CR>");
        ASSERT_EQ(scroll->value(), scroll->maximum());
        if (scrolledAway)
            scroll->setValue(0);
        const int before = scroll->maximum();
        for (int pass = 0; pass < 60; ++pass)   // wraps onto further rows
            form->AppendToLogLine(" .");
        EXPECT_GT(scroll->maximum(), before);
        EXPECT_EQ(scroll->value(), scrolledAway ? 0 : scroll->maximum()) << scrolledAway;
    }
}

TEST_F(ConnectTest, EnterStartsNothingWhereverItIsPressed)
{
    for (const char *connect : {"NoConnect=0", "NoConnect=1"}) {   // Connect offered, or Download and recent files
        writeDevice(Standard + connect + "\r\n");
        openForm();
        const QString statusBefore = form->Display->text();
        const int logBefore = int(LogOf(*form).size());
        for (QWidget *target : {static_cast<QWidget *>(form->LogMemo), static_cast<QWidget *>(form->MRUBtn),
                                static_cast<QWidget *>(form->ConnBtn), static_cast<QWidget *>(form->DownLoadBtn),
                                static_cast<QWidget *>(form->ExitBtn), static_cast<QWidget *>(form.get())})
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter})
                QTest::keyClick(target, key);
        PumpFor(50ms);
        EXPECT_TRUE(form->isVisible()) << connect;
        EXPECT_EQ(form->Display->text(), statusBefore) << connect;
        EXPECT_EQ(int(LogOf(*form).size()), logBefore) << connect;
        EXPECT_TRUE(ui.dialogRequests().empty()) << connect;
        EXPECT_TRUE(sim.receivedBytes().empty()) << connect;
        form.reset();
    }
}
