// The download window's transfers: confirmation, recent files and result report, and the built-in block and MTR
// loader protocols.

#include "DownloadWindow.h"
#include "ProgressWindow.h"
#include "TRSProtocol.h"
#include "common/Wrn.h"
#include "platform/Paths.h"

#include <fstream>

namespace {

constexpr int PieceSize = 1024;
constexpr int32_t SumTicks = 180;
constexpr int32_t MtrPromptTicks = 180;
constexpr int32_t EndTicks = 90;
const std::string CrLf = "\r\n";

} // namespace

void TTRSForm::DownloadFile(const std::string &fileName)
{
    TOperation operation(*this);
    if (!AskYesNo("Download " + fileName + "?"))
        return;
    Setup->AddMRU(fileName);
    ShowStatus("DOWNLOADING...");
    Log(DownloadingText(fileName));
    int32_t result;
    if (Setup->TRDLL.empty())
        result = DownloadBlocks(fileName);
    else if (IsMtrDriver(Setup->TRDLL))
        result = DownloadMtr(fileName);
    else
        result = DownloadByDriver(fileName);
    activateWindow();
    setFocus();
    Log(ResultLine(result, Setup->TRDLL));
    ShowStatus(result == DownloadResult::Ok ? "DOWNLOAD SUCCESSFUL" : "DOWNLOAD FAILED!");
}

int32_t TTRSForm::DownloadBlocks(const std::string &fileName) { return RunBuiltIn(fileName, false); }

int32_t TTRSForm::DownloadMtr(const std::string &fileName) { return RunBuiltIn(fileName, true); }

int32_t TTRSForm::RunBuiltIn(const std::string &fileName, bool mtr)
{
    ComPort.FlushOutBuffer();
    body_->setEnabled(false);
    // Whichever way the transfer ends.
    struct CleanUp {
        TTRSForm &form;
        ~CleanUp()
        {
            HideProgress();
            AbortHook = nullptr;
            DownloadAborted = false;
            form.body_->setEnabled(true);
        }
    } cleanUp {*this};

    std::ifstream file(ResolveCaseInsensitive(fileName), std::ios::binary);
    if (!file)
        return DownloadResult::CannotOpenFile;
    const TBlockPlan &plan = mtr ? MtrProtocolPlan : BlockProtocolPlan;
    std::string image;
    try {
        image = ReadImage(file, plan);
    } catch (const std::exception &e) {
        // Nothing has gone to the loader yet: a file that is too short or unreadable leaves the reader untouched.
        ShowWarning(e.what());
        return DownloadResult::Failed;
    }
    file.close();
    DownloadAborted = false;
    AbortHook = &AbortBuiltIn;
    ShowProgress(this, DownloadingText(fileName), 0, 100);

    bool confirmed;
    bool switched = false;
    int32_t previousBaud = 0;
    if (!mtr) {
        SendString("L");
        DelayTicks(2, true);
        confirmed = TransferBlocks(image, plan);
    } else {
        confirmed = WaitMtr();
        if (confirmed) {
            previousBaud = ComPort.Baud();
            // No maximum speed given: the loader stays at the speed it runs at.
            if (Setup->MaxBaud > 0 && previousBaud != Setup->MaxBaud) {
                SetSpeed(Setup->MaxBaud);
                switched = true;
            }
            confirmed = WaitMtr();
        }
        if (confirmed) {
            SendString("L");
            DelayTicks(2, true);
            confirmed = TransferBlocks(image, plan);
        }
    }

    int32_t result = DownloadResult::Ok;
    if (!confirmed || DownloadAborted) {
        SendString("W");
        result = DownloadAborted ? DownloadResult::Aborted : DownloadResult::Failed;
    } else {
        SendString("E");
    }
    WaitAnswer(CrLf, EndTicks);
    if (switched)
        SetSpeed(previousBaud);
    return result;
}

bool TTRSForm::TransferBlocks(const std::string &image, const TBlockPlan &plan)
{
    for (int block = plan.first; block < plan.first + plan.count; ++block) {
        if (block == plan.skipped)
            continue;
        if (!WaitBlockSum(SendBlock(image, block, plan.first, plan.count)))
            return false;
        if (DownloadAborted)
            break;
    }
    return true;
}

int32_t TTRSForm::SendBlock(const std::string &image, int block, int first, int count)
{
    std::size_t at = std::size_t(block - first) * BlockSize;
    int32_t sum = 0;
    const int64_t all = int64_t(count) * BlockSize;
    for (int piece = 1; piece <= BlockSize / PieceSize; ++piece) {
        for (int i = 0; i < PieceSize; ++i, ++at) {
            sum += uint8_t(image[at]);
            ComPort.PutChar(image[at]);
        }
        ReportProgress(int64_t(block - first) * BlockSize + int64_t(piece) * PieceSize, all);
        WaitOutputSent(false);
    }
    return sum;
}

bool TTRSForm::WaitBlockSum(int32_t sum)
{
    TTickTimer timer;
    NewTimer(timer, SumTicks);
    uint8_t bytes[3] = {};
    int taken = 0;
    bool expired;
    do {
        DelayTicks(2, true);
        if (ComPort.CharReady())
            bytes[taken++] = uint8_t(ComPort.GetChar());
        expired = TimerExpired(timer) || QuitRequested();
    } while (taken < 3 && !expired);
    if (expired)
        return false;
    return (bytes[0] | bytes[1] << 8 | bytes[2] << 16) == sum;
}

bool TTRSForm::WaitMtr()
{
    SendString("\r");
    return WaitAnswer("MTR\r\n", MtrPromptTicks);
}

void TTRSForm::SetSpeed(int32_t baud)
{
    const std::string command = SpeedCommand(baud);
    if (!command.empty())
        SendString(command);
    LetOutputLeave();
    ComPort.SetOpen(false);
    ComPort.SetBaud(baud);
    ComPort.SetOpen(true);
}
