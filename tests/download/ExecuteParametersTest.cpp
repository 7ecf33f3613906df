#include "DownloadFixture.h"

#include "download/ExecuteParameters.h"
#include "download/DevicePicker.h"

#include <QListWidget>
#include <QPushButton>

namespace {

struct ParamsCase {
    std::string text;
    std::string device;
    int64_t port;
    std::string settings;
};

// Runs `act` on the modal window of type T once it is up.
template <class T>
std::unique_ptr<WhenReady> OnModal(std::function<void(T &)> act)
{
    return std::make_unique<WhenReady>([] { return qobject_cast<T *>(QApplication::activeModalWidget()) != nullptr; },
                                       [act] { act(*qobject_cast<T *>(QApplication::activeModalWidget())); });
}

} // namespace

TEST(ExecuteParams, TheTextSplitsIntoDevicePortNumberAndLineSettings)
{
    const std::string longSettings = "9600,N,8,1" + std::string(300, ' ') + "x";
    const ParamsCase cases[] = {
        {"Reader,COM3,9600,N,8,1", "Reader", 3, "9600,N,8,1"},
        {"  Reader , com12 , 19200,E,7,1 ", "Reader", 12, "19200,E,7,1"},
        {",COM1,9600,N,8,1", "", 1, "9600,N,8,1"},
        {"Reader,COM2", "Reader", 2, ""},
        {"Reader,2,9600,N,8,1", "Reader", 0, "9600,N,8,1"},
        {"Reader,COM,9600,N,8,1", "Reader", 0, "9600,N,8,1"},
        {"Reader,COM3x,9600", "Reader", 0, "9600"},
        {"Reader,XCOM7,9600", "Reader", 7, "9600"},
        {"Reader,COM-3,9600", "Reader", -3, "9600"},
        {"Reader", "Reader", 0, ""},
        {"", "", 0, ""},
        // Cut to 255 before it is split: the "x" beyond is lost.
        {"R,COM4," + longSettings, "R", 4, "9600,N,8,1"},
    };
    for (const ParamsCase &c : cases) {
        const TExecuteParams p = ParseExecuteParams(c.text);
        EXPECT_EQ(p.DeviceName, c.device) << c.text;
        EXPECT_EQ(p.PortNumber, c.port) << c.text;
        EXPECT_EQ(p.LineSettings, c.settings) << c.text;
    }
}

class ExecuteTest : public DownloadFixture {};

TEST_F(ExecuteTest, TheWindowRunsModallyForTheDeviceOnTheCallersPort)
{
    // One CR, however long a busy machine takes to answer.
    writeDevice("DefSettings=19200,N,8,1\r\nCRAnswer=>\\013\\010\r\nCRTicks=90\r\nVerCmd=V\\013\r\nRunCmd=R\\013");
    sim.setResidentBaud(9600);
    sim.setLoaderBaud(19200);
    QWidget owner;
    std::string seen;
    auto interact = OnModal<TTRSForm>([&](TTRSForm &w) {
        seen = (w.windowTitle() + "|" + w.DevLabel->text() + "|" + w.PortLabel->text() + "|").toStdString() +
               std::to_string(w.Loader.CallerBaud) + std::to_string(w.Loader.CallerParity) +
               std::to_string(w.Loader.CallerDataBits) + std::to_string(w.Loader.CallerStopBits) +
               (w.parentWidget() == &owner ? "|owned" : "|not owned");
        w.ConnBtn->click();
        seen += "|" + w.Display->text().toStdString();
        w.ExitBtn->click();
    });
    ExecuteDownload(&owner, "Reader,COM3,9600,E,7,2");

    EXPECT_TRUE(interact->done);
    EXPECT_EQ(seen, "Loader test|Reader|COM3|9600272|owned| CONNECTED - RES V1.00");
    ASSERT_TRUE(simCaughtUp());
    EXPECT_TRUE(sim.expectSequence({testsupport::LoaderKind::Enter, testsupport::LoaderKind::Quit,
                                    testsupport::LoaderKind::Handshake, testsupport::LoaderKind::Version,
                                    testsupport::LoaderKind::Run}));
    EXPECT_EQ(sim.count(testsupport::LoaderKind::Noise), 0);
    EXPECT_EQ(OwnerWindow.data(), &owner);
    EXPECT_TRUE(ui.log().empty());
}

TEST_F(ExecuteTest, WithoutADeviceThePickerComesFirstAndCancellingEndsSilently)
{
    writeDevice("");
    auto cancel = OnModal<TDevForm>([](TDevForm &picker) { picker.BitBtn1->click(); });
    ExecuteDownload(nullptr, ",COM1,9600,N,8,1");
    EXPECT_TRUE(cancel->done);
    EXPECT_TRUE(ui.log().empty());
}

TEST_F(ExecuteTest, APickedDeviceStillNeedsTheLineSettings)
{
    writeDevice("");
    std::string picked;
    auto pick = OnModal<TDevForm>([&](TDevForm &picker) {
        picked = picker.ListBox->currentItem()->text().toStdString();
        picker.OkBtn->click();
    });
    ExecuteDownload(nullptr, "");
    EXPECT_EQ(picked, "Reader");
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {"Port settings not specified"});
}

TEST_F(ExecuteTest, TheSettingsAreCheckedBeforeThePortNumber)
{
    const std::pair<const char *, const char *> cases[] = {
        {"Reader,COM2", "Port settings not specified"},
        {"Reader,2", "Port settings not specified"},
        {"Reader,2,9600,N,8,1", "Port number not specified"},
        {"Reader,COM,9600,N,8,1", "Port number not specified"},
        {"Reader,COM0,9600,N,8,1", "Port number not specified"},
        {"Reader,COM-3,9600,N,8,1", "Port number not specified"},
        {"Reader,COM65536,9600,N,8,1", "Port number not specified"},
    };
    for (const auto &[params, warning] : cases) {
        ui.clear();
        ExecuteDownload(nullptr, params);
        EXPECT_EQ(ui.warnings(), std::vector<std::string> {warning}) << params;
    }
    EXPECT_TRUE(sim.receivedBytes().empty());
}
