// The loader protocol's transfers: recent files and result report, and the built-in block and MTR protocols.

#include "LoaderProtocol.h"
#include "TRSProtocol.h"
#include "common/Wrn.h"
#include "platform/Paths.h"
#include "serial/SerMisc.h"

#include <fstream>

namespace {

constexpr int PieceSize = 1024;
constexpr int32_t SumTicks = 180;
constexpr int32_t MtrPromptTicks = 180;
constexpr int32_t EndTicks = 90;
constexpr int32_t AbandonTicks = 9;
const std::string CrLf = "\r\n";

} // namespace

void TLoaderProtocol::DownloadFile(const std::string &fileName)
{
    Setup->AddMRU(fileName);
    view_.ShowStatus("DOWNLOADING...");
    view_.Log(DownloadingText(fileName));
    stalled_ = false;
    int32_t result;
    if (Setup->TRDLL.empty())
        result = DownloadBlocks(fileName);
    else if (IsMtrDriver(Setup->TRDLL))
        result = DownloadMtr(fileName);
    else
        result = DownloadByDriver(fileName);
    view_.ShowDownloadEnded();
    view_.Log(ResultLine(result, Setup->TRDLL));
    view_.ShowStatus(result == DownloadResult::Ok ? "DOWNLOAD SUCCESSFUL"
                     : stalled_                   ? "DOWNLOAD FAILED - LINE HELD!"
                                                  : "DOWNLOAD FAILED!");
}

int32_t TLoaderProtocol::DownloadBlocks(const std::string &fileName) { return RunBuiltIn(fileName, false); }

int32_t TLoaderProtocol::DownloadMtr(const std::string &fileName) { return RunBuiltIn(fileName, true); }

int32_t TLoaderProtocol::RunBuiltIn(const std::string &fileName, bool mtr)
{
    ComPort.FlushOutBuffer();
    // Late answers of an earlier transfer would be taken for block sums.
    ComPort.FlushInBuffer();
    view_.ShowTransferRunning(true);
    // Whichever way the transfer ends.
    struct CleanUp {
        ILoaderView &view;
        ~CleanUp()
        {
            view.HideProgress();
            AbortHook = nullptr;
            DownloadAborted = false;
            view.ShowTransferRunning(false);
        }
    } cleanUp {view_};

    std::ifstream file(ResolveCaseInsensitive(fileName), std::ios::binary);
    if (!file)
        return DownloadResult::CannotOpenFile;
    const TBlockPlan &plan = mtr ? MtrProtocolPlan : BlockProtocolPlan;
    std::string image;
    try {
        image = ReadImage(file, fileName, plan);
    } catch (const std::exception &e) {
        // Nothing has gone to the loader yet: a file that is too short or unreadable leaves the reader untouched.
        ShowWarning(e.what());
        return DownloadResult::Failed;
    }
    file.close();
    DownloadAborted = false;
    AbortHook = &AbortBuiltIn;
    const TAbortScope abortable(*this, DownloadAborted);
    view_.ShowProgress(DownloadingText(fileName));

    bool switched = false;
    int32_t previousBaud = 0;
    int32_t result = DownloadResult::Ok;
    try {
        bool confirmed;
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
        if (!confirmed || DownloadAborted) {
            SendString("W");
            result = DownloadAborted ? DownloadResult::Aborted : DownloadResult::Failed;
        } else {
            SendString("E");
        }
        if (!DownloadAborted) {
            WaitAnswer(CrLf, EndTicks);
        } else if (WaitOutputSent(false)) {
            // The loader answers the abandon at once; on a line that stands still it never gets it.
            abortFlag_ = nullptr;
            WaitAnswer(CrLf, AbandonTicks);
        }
    } catch (const ELineHeld &) {
        // Logged where it stalled; nothing more goes through, not even the speed command.
        stalled_ = true;
        result = DownloadResult::Failed;
    }
    if (switched) {
        if (lineHeld_)
            ReopenAt(previousBaud);
        else
            SetSpeed(previousBaud);
    }
    return result;
}

bool TLoaderProtocol::TransferBlocks(const std::string &image, const TBlockPlan &plan)
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

int32_t TLoaderProtocol::SendBlock(const std::string &image, int block, int first, int count)
{
    std::size_t at = std::size_t(block - first) * BlockSize;
    int32_t sum = 0;
    const int64_t all = int64_t(count) * BlockSize;
    for (int piece = 1; piece <= BlockSize / PieceSize; ++piece) {
        for (int i = 0; i < PieceSize; ++i, ++at) {
            sum += uint8_t(image[at]);
            ComPort.PutChar(image[at]);
        }
        view_.ReportProgress(int64_t(block - first) * BlockSize + int64_t(piece) * PieceSize, all);
        if (!WaitOutputSent(false))
            break;   // aborted on a line that stands still: the rest of the block would not go either
    }
    return sum;
}

bool TLoaderProtocol::WaitBlockSum(int32_t sum)
{
    TTickTimer timer;
    NewTimer(timer, SumTicks);
    uint8_t bytes[3] = {};
    int taken = 0;
    bool expired;
    do {
        if (Aborting())
            return false;
        DelayTicks(2, true);
        if (ComPort.CharReady())
            bytes[taken++] = uint8_t(ComPort.GetChar());
        expired = TimerExpired(timer) || QuitRequested();
    } while (taken < 3 && !expired);
    if (expired)
        return false;
    return (bytes[0] | bytes[1] << 8 | bytes[2] << 16) == sum;
}

bool TLoaderProtocol::WaitMtr()
{
    SendString("\r");
    return WaitAnswer("MTR\r\n", MtrPromptTicks);
}

void TLoaderProtocol::SetSpeed(int32_t baud)
{
    const std::string command = SpeedCommand(baud);
    if (!command.empty())
        SendString(command);
    ReopenAt(baud);
}

void TLoaderProtocol::ReopenAt(int32_t baud)
{
    LetOutputLeave();
    ComPort.SetOpen(false);
    ComPort.SetBaud(baud);
    ComPort.SetOpen(true);
}
