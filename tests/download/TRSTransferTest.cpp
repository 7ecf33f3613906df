#include "DownloadFixture.h"
#include "EventGap.h"

#include "download/ProgressWindow.h"
#include "download/TRSProtocol.h"
#include "serial/SerStatusLight.h"

#include <QProgressBar>
#include <QPushButton>

#include <optional>

using namespace std::chrono_literals;
using testsupport::LoaderKind;

namespace {

constexpr size_t Block = 16384;

// The texts the progress label showed, each time it was painted.
class ProgressRecorder : public QObject {
public:
    ProgressRecorder() { qApp->installEventFilter(this); }
    ~ProgressRecorder() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && ProgForm && watched == ProgForm->TitLabel &&
            !ProgForm->TitLabel->text().isEmpty() && (labels.isEmpty() || labels.last() != ProgForm->TitLabel->text()))
            labels << ProgForm->TitLabel->text();
        return false;
    }
    QStringList labels;
};

std::string Blocks(const std::string &image, size_t first, size_t last)
{
    return image.substr(first * Block, (last - first + 1) * Block);
}

} // namespace

class TransferTest : public DownloadFixture {
protected:
    // A device connected at once (NoConnect) to a loader at the loader settings; the loader listens at that
    // speed, or at any when it does not follow.
    void openConnected(const std::string &keys, int32_t loaderBaud = 19200, bool loaderFollows = true)
    {
        sim.setStartInLoader(true);
        sim.setLoaderBaud(loaderFollows ? loaderBaud : 0);
        writeDevice("DefSettings=" + std::to_string(loaderBaud) + ",N,8,1\r\nNoConnect=1\r\nOpenFilter=Programs|*.bin\r\n" + keys);
        openForm();
        ASSERT_TRUE(form->Loader.Connected);
    }
    std::string writeImage(size_t size) { return image = ProgramImage(size), dir.write("prog.bin", image); }
    // Picks the file in the file dialog and confirms the download.
    void download(const std::string &file)
    {
        ui.chooseFile(file);
        ui.answer(true);
        form->DownLoadBtn->click();
    }
    void expectCleanedUp()
    {
        EXPECT_EQ(ProgForm, nullptr);
        EXPECT_EQ(AbortHook, nullptr);
        EXPECT_FALSE(DownloadAborted);
        EXPECT_TRUE(form->body()->isEnabled());
    }
    QString lastLog() const { return LogOf(*form).last(); }

    std::string image;
};

TEST_F(TransferTest, TheBlockProtocolSendsTheImageWithoutBlockThree)
{
    openConnected("");
    const std::string file = writeImage(131072 + 100);
    ProgressRecorder progress;
    download(file);

    EXPECT_EQ(sim.receivedBytes(), "L" + Blocks(image, 0, 2) + Blocks(image, 4, 7) + "E");
    EXPECT_TRUE(sim.expectSequence({LoaderKind::Load, LoaderKind::Block, LoaderKind::Block, LoaderKind::Block,
                                    LoaderKind::Block, LoaderKind::Block, LoaderKind::Block, LoaderKind::Block,
                                    LoaderKind::End}));
    EXPECT_EQ(ui.questions(), std::vector<std::string> {"Download " + file + "?"});
    EXPECT_EQ(ui.dialogRequests().at(0).filter, "Programs|*.bin");
    const QStringList log = LogOf(*form);
    EXPECT_EQ(log.mid(log.size() - 6), (QStringList {"Setting port to 19200,N,8,1...", "Downloading prog.bin...", "  TX: L",
                                                     "  TX: E", "  RX: OK<CR><LF>", "  OK: Download completed"}));
    EXPECT_EQ(status(), " DOWNLOAD SUCCESSFUL");
    expectCleanedUp();

    ASSERT_EQ(progress.labels.size(), 7 * 16);
    EXPECT_EQ(progress.labels.first(), "1024/131072");
    const qsizetype skip = progress.labels.indexOf("49152/131072");
    ASSERT_GE(skip, 0);
    EXPECT_EQ(progress.labels.at(skip + 1), "66560/131072");   // block 3 is not sent
    EXPECT_EQ(progress.labels.last(), "131072/131072");

    TTRSSetup setup;
    setup.LoadMRU();
    EXPECT_EQ(setup.MRUList, std::vector<std::string> {file});
}

TEST_F(TransferTest, AbortDuringBlockTwoStopsOnceBlockTwoIsConfirmed)
{
    openConnected("");
    const std::string file = writeImage(131072);
    QString captionAfterAbort;
    bool buttonAfterAbort = true;
    WhenReady abort([&] { return sim.blocks().size() == 2 && sim.partialBlock() > 0; }, [&] {
        ProgForm->AbortBtn->click();
        captionAfterAbort = ProgForm->windowTitle();
        buttonAfterAbort = ProgForm->AbortBtn->isEnabled();
    });
    download(file);

    EXPECT_TRUE(abort.done);
    EXPECT_EQ(captionAfterAbort, "Abort received, please wait...");
    EXPECT_FALSE(buttonAfterAbort);
    EXPECT_EQ(sim.receivedBytes(), "L" + Blocks(image, 0, 2) + "W");
    EXPECT_EQ(sim.count(LoaderKind::Abandon), 1);
    EXPECT_EQ(lastLog(), "  ERR: 5.Aborted by user");
    EXPECT_EQ(status(), " DOWNLOAD FAILED!");
    expectCleanedUp();
}

TEST_F(TransferTest, AnUnconfirmedBlockAbandonsTheTransfer)
{
    struct Row {
        const char *loader;
        std::function<void(testsupport::LoaderSim &)> fault;
        size_t blocks;
    };
    const Row rows[] = {
        {"wrong sum for block 2", [](testsupport::LoaderSim &s) { s.setBadSumAt(2); }, 3},
        {"gives up at block 1", [](testsupport::LoaderSim &s) { s.setAbortAt(1); }, 2},
    };
    FastTicks fast(8);
    for (const Row &row : rows) {
        testsupport::LoaderSim rowSim;
        row.fault(rowSim);
        rowSim.setStartInLoader(true);
        driver = std::make_unique<testsupport::LoaderSimDriver>(rowSim, pty.masterFd());
        writeDevice("DefSettings=19200\r\nNoConnect=1\r\n");
        openForm();
        download(writeImage(131072));
        EXPECT_EQ(rowSim.blocks().size(), row.blocks) << row.loader;
        EXPECT_EQ(rowSim.count(LoaderKind::Abandon), 1) << row.loader;
        EXPECT_EQ(lastLog(), "  ERR: 4.Download failed") << row.loader;
        EXPECT_EQ(status(), " DOWNLOAD FAILED!") << row.loader;
        expectCleanedUp();
        form.reset();
        driver.reset();
    }
}

TEST_F(TransferTest, AFileWithoutTheWholeImageFailsBeforeAnythingIsSent)
{
    dir.write("short.bin", ProgramImage(131071));
    dir.write("mtr.bin", ProgramImage(458751));   // enough for the block protocol, one byte short for MTR
    dir.write("tiny.bin", ProgramImage(1000));    // ends before the first block that MTR sends
    std::filesystem::create_directory(dir.file("folder.bin"));   // opens, but cannot be read
    struct Row {
        std::string file, keys, warning;
    };
    const std::string beyond = "Read beyond end of file: " + dir.file("");
    const Row rows[] = {
        {"short.bin", "", beyond + "short.bin has 131071 bytes, the block protocol needs 131072"},
        {"mtr.bin", "TRDLL=QUENAX.DLL\r\n", beyond + "mtr.bin has 458751 bytes, the MTR protocol needs 458752"},
        {"tiny.bin", "TRDLL=QUENAX.DLL\r\n", beyond + "tiny.bin has 1000 bytes, the MTR protocol needs 458752"},
        {"folder.bin", "", "Is a directory"},
    };
    for (const Row &row : rows) {
        testsupport::LoaderSim rowSim;
        rowSim.setStartInLoader(true);
        driver = std::make_unique<testsupport::LoaderSimDriver>(rowSim, pty.masterFd());
        writeDevice("DefSettings=19200\r\nNoConnect=1\r\n" + row.keys);
        openForm();
        ui.clear();
        download(dir.file(row.file));

        EXPECT_EQ(ui.warnings(), std::vector<std::string> {row.warning}) << row.file;
        const QStringList log = LogOf(*form);
        EXPECT_EQ(log.mid(log.size() - 2), (QStringList {QString::fromStdString("Downloading " + row.file + "..."),
                                                         "  ERR: 4.Download failed"}))
            << row.file;
        EXPECT_EQ(status(), " DOWNLOAD FAILED!") << row.file;
        expectCleanedUp();
        PumpFor(200ms);
        EXPECT_EQ(rowSim.receivedBytes(), "") << row.file;
        form.reset();
        driver.reset();
    }
}

TEST_F(TransferTest, AFileThatCannotBeOpenedSendsNothing)
{
    openConnected("");
    ui.answer(true);
    form->DownloadFile(dir.file("missing.bin"));
    EXPECT_TRUE(sim.receivedBytes().empty());
    EXPECT_EQ(lastLog(), "  ERR: 1.Unable to open file");
    expectCleanedUp();
}

TEST_F(TransferTest, ARefusedDownloadLeavesEverythingAsItWas)
{
    openConnected("");
    ui.chooseFile(writeImage(10));
    ui.answer(false);
    form->DownLoadBtn->click();
    EXPECT_TRUE(sim.receivedBytes().empty());
    EXPECT_EQ(dir.read("TARSEL.INI").find("[MRU]"), std::string::npos);
    EXPECT_EQ(lastLog(), "Setting port to 19200,N,8,1...");
}

TEST_F(TransferTest, AnMtrLoaderThatDoesNotPromptGetsNoBlock)
{
    FastTicks fast(8);
    struct Row {
        int prompts;
        std::string sent;
    };
    const Row rows[] = {{0, "\r" "W"}, {1, "\r" "BH" "\r" "W"}};
    for (const Row &row : rows) {
        testsupport::LoaderSim rowSim;
        rowSim.setStartInLoader(true);
        rowSim.setHandshakeAnswer("MTR\r\n");
        rowSim.setHandshakeLimit(row.prompts);
        driver = std::make_unique<testsupport::LoaderSimDriver>(rowSim, pty.masterFd());
        writeDevice("DefSettings=9600\r\nNoConnect=1\r\nTRDLL=Quenax.dll\r\nMaxBaud=38400\r\n");
        openForm();
        download(writeImage(458752));
        EXPECT_EQ(rowSim.receivedBytes(), row.sent) << row.prompts << LogOf(*form).join("|").toStdString();
        EXPECT_EQ(lastLog(), "  ERR: 4.Download failed") << row.prompts;
        EXPECT_EQ(form->ComPort.Baud(), 9600) << row.prompts;
        expectCleanedUp();
        form.reset();
        driver.reset();
    }
}

// The MTR protocol at a port speed and a maximum speed: what the loader receives around the blocks.
struct MtrCase {
    const char *name;
    int32_t portBaud, maxBaud;
    bool loaderFollows;   // the loader listens only at its own speed
    std::string before, after;
    int32_t secondPromptBaud;
};

void PrintTo(const MtrCase &c, std::ostream *out) { *out << c.name; }

class MtrTest : public TransferTest, public ::testing::WithParamInterface<MtrCase> {};

TEST_P(MtrTest, TheMtrProtocolSendsBlocksFourToTwentySevenAtTheMaximumSpeed)
{
    const MtrCase &c = GetParam();
    sim.setHandshakeAnswer("MTR\r\n");
    openConnected("TRDLL=QUENAX.DLL\r\nMaxBaud=" + std::to_string(c.maxBaud) + "\r\n", c.portBaud, c.loaderFollows);
    download(writeImage(524288));

    ASSERT_TRUE(simCaughtUp());
    const std::string received = sim.receivedBytes();
    EXPECT_EQ(received.substr(0, c.before.size() + 1), c.before + "L");
    EXPECT_EQ(received.substr(received.size() - 1 - c.after.size()), "E" + c.after);
    EXPECT_EQ(sim.blocks().size(), 24u);
    EXPECT_TRUE(received == c.before + "L" + Blocks(image, 4, 27) + "E" + c.after);
    EXPECT_EQ(sim.count(LoaderKind::Noise), 0);
    const std::vector<testsupport::LoaderItem> items = sim.items();
    const auto second = std::find_if(items.begin() + 1, items.end(), [](const testsupport::LoaderItem &i) {
        return i.kind == LoaderKind::Handshake;
    });
    ASSERT_NE(second, items.end());
    EXPECT_EQ(second->baud, c.secondPromptBaud);
    EXPECT_EQ(lastLog(), "  OK: Download completed");
    EXPECT_EQ(form->ComPort.Baud(), c.portBaud);
    EXPECT_TRUE(form->ComPort.Open());
    expectCleanedUp();
}

INSTANTIATE_TEST_SUITE_P(
    Speeds, MtrTest,
    ::testing::Values(MtrCase {"Faster", 9600, 38400, true, "\r" "BH" "\r", "", 38400},
                      MtrCase {"SameSpeed", 19200, 19200, true, "\r" "\r", "", 19200},
                      MtrCase {"SlowerWithoutCommand", 19200, 9600, false, "\r" "\r", "BN", 9600},
                      MtrCase {"NoMaximum", 19200, 0, true, "\r" "\r", "", 19200}),
    [](const ::testing::TestParamInfo<MtrCase> &info) { return std::string(info.param.name); });

TEST_F(TransferTest, ADeviceLostDuringATransferEndsItPromptlyAndTheWindowShowsIt)
{
    openConnected("");
    const std::string file = writeImage(131072);
    WhenReady unplug([&] { return sim.receivedBytes().size() > 20000; },
                     [&] {
                         driver.reset();
                         pty.closeMaster();
                     });
    const auto start = std::chrono::steady_clock::now();
    download(file);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    ASSERT_TRUE(unplug.done);

    const std::string name = "COM3, " + pty.devicePath();
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {"ie_NOpen - device not open: " + name +
                                                       " was lost (it hung up or was unplugged)"});
    EXPECT_EQ(status(), " DEVICE LOST!");
    form->grab().save(QString(CORVANE_ARTIFACT_DIR) + "/tarsel-device-lost.png");
    EXPECT_TRUE(LogOf(*form).contains(QString::fromStdString("Device lost: " + name)));
    EXPECT_EQ(form->ComPort.PortState(), TPortState::PortClosed);
    EXPECT_FALSE(form->PortLed->Lit());
    EXPECT_FALSE(form->LoaderLed->Lit());
    EXPECT_FALSE(form->Loader.Connected);
    EXPECT_FALSE(form->DownLoadBtn->isEnabled());
    expectCleanedUp();
}

// A reader that holds the line in the middle of block 1: the bytes it has not taken stay queued.
class HeldLineTest : public TransferTest {
protected:
    bool stallLogged() const { return LogOf(*form).filter("Output stalled: the reader holds the line (").size() == 1; }
    // The reader restarts: it has lost what it had not taken, and takes everything again.
    void restartReader(testsupport::LoaderSim &fresh)
    {
        driver.reset();
        pty.read(50ms);
        fresh.setStartInLoader(true);
        driver = std::make_unique<testsupport::LoaderSimDriver>(fresh, pty.masterFd());
    }
};

TEST_F(HeldLineTest, AHeldLineEndsTheDownloadTheWindowClosesAtOnceAndTheNextDownloadWorks)
{
    using testsupport::LineHold;
    using Clock = std::chrono::steady_clock;
    struct Row {
        const char *name;
        LineHold hold;
        int32_t baud;
        bool abort;    // else the output stalls
        bool reopen;   // the next download comes after the window was closed and opened again
    };
    const Row rows[] = {{"stalls, XOFF", LineHold::Xoff, 19200, false, false},
                        {"stalls, CTS", LineHold::Cts, 19200, false, true},
                        {"aborted at 19200", LineHold::Xoff, 19200, true, false},
                        {"aborted at 300", LineHold::Xoff, 300, true, true},
                        {"aborted at 115200", LineHold::Cts, 115200, true, true}};
    for (const Row &row : rows) {
        testsupport::LoaderSim held;
        held.setHoldAt(1 + 16384 + 3000, row.hold);
        restartReader(held);
        writeDevice("DefSettings=" + std::to_string(row.baud) + "\r\nNoConnect=1\r\nRunCmd=R\\013\r\nRunAnswer=RUN\r\n");
        openForm();
        std::optional<FastTicks> fast;
        if (!row.abort)
            fast.emplace(4);
        testsupport::EventGap gap;   // from the abort or the failure on
        WhenReady abort([&] { return row.abort && held.acceptable() == 0 && ProgForm; }, [&] {
            gap.start();
            ProgForm->AbortBtn->click();
        });
        download(writeImage(131072));

        if (row.abort)
            EXPECT_LT(Clock::now() - gap.started(), 500ms) << row.name;
        else
            gap.start();
        EXPECT_EQ(stallLogged(), !row.abort) << row.name;
        EXPECT_EQ(lastLog(), row.abort ? "  ERR: 5.Aborted by user" : "  ERR: 4.Download failed") << row.name;
        EXPECT_EQ(status(), row.abort ? " DOWNLOAD FAILED!" : " DOWNLOAD FAILED - LINE HELD!") << row.name;
        EXPECT_EQ(held.blocks().size(), 1u) << row.name;
        expectCleanedUp();
        fast.reset();
        if (row.reopen) {
            const Clock::time_point closing = Clock::now();
            form->ExitBtn->click();
            EXPECT_LT(Clock::now() - closing, 1s) << row.name;
            EXPECT_EQ(form->ComPort.PortState(), TPortState::PortClosed) << row.name;
            EXPECT_EQ(form->ComPort.Baud(), 9600) << row.name;   // the caller's settings again
        }
        EXPECT_LT(gap.longest(), 100ms) << row.name;

        testsupport::LoaderSim fresh;
        restartReader(fresh);
        FastTicks faster(8);
        if (row.reopen)
            openForm();
        download(writeImage(131072));
        EXPECT_EQ(fresh.blocks().size(), 7u) << row.name;
        EXPECT_EQ(lastLog(), "  OK: Download completed") << row.name;
        form.reset();
    }
}
