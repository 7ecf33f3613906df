#pragma once
// The loader protocol: brings the reader from its resident program into its loader, reads the resident program's
// version, erases the reader's EEPROM, downloads a program file by the block or MTR protocol or through an outside
// driver library, and starts the downloaded program. It speaks over the port it is given and shows its work only
// through its view.

#include "LoaderView.h"
#include "TarselSettings.h"
#include "platform/ShortStr.h"
#include "serial/SerPort.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

struct TBlockPlan;

// The output made no progress for the stall time: the reader holds the line (XOFF, or its clear-to-send dropped).
class ELineHeld : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TLoaderProtocol {
public:
    TLoaderProtocol(TSerCustomComPort &port, ILoaderView &view);
    ~TLoaderProtocol();
    TLoaderProtocol(const TLoaderProtocol &) = delete;
    TLoaderProtocol &operator=(const TLoaderProtocol &) = delete;

    TSerCustomComPort &ComPort;
    std::unique_ptr<TTRSSetup> Setup;
    ShortStr<255> RxText;   // bytes received since the current wait began
    int32_t PortNumber = 0;
    int32_t CallerBaud = 0;
    uint8_t CallerParity = 0;
    uint8_t CallerDataBits = 0;
    uint8_t CallerStopBits = 0;
    bool AbortRequested = false;
    bool Connected = false;
    ShortStr<255> VersionText;

    // Reads the device's settings when the name differs from the one held; false when it is the same.
    bool SelectDevice(const std::string &name);
    // The caller's port number and line settings ("9600,N,8,1").
    void SetPort(int32_t number, const std::string &settings);

    // The port at the caller's number and settings.
    void OpenPort();
    void ClosePort();
    // The loader's line settings on the port.
    void ApplyDefSettings();

    void SendString(const std::string &bytes);
    // Waits for the expected bytes (ignoring case); the bytes read meanwhile, at most maxLength of them, go to
    // reply. True when they came in time.
    bool WaitAnswer(const std::string &expected, int32_t ticks, std::size_t maxLength = 255,
                    std::string *reply = nullptr);

    // The connect procedure and its steps.
    bool EnterHostMode(int32_t ticks);
    bool LeaveHostMode(int32_t ticks);
    bool TryHostMode();
    bool SendCRs();
    void Connect();
    // Stops the connect procedure: its wait under way ends at once.
    void Abort() { AbortRequested = true; }
    // A device that needs no connect: the port at the loader settings, counted as connected.
    void AssumeConnected();
    void GetVersion();
    void EraseEEPROM();
    // Starts the downloaded program when connected and gives the port back the caller's settings.
    void Terminate();

    // Downloads the file the user confirmed and logs the result.
    void DownloadFile(const std::string &fileName);
    // The transfers; each answers a result code.
    int32_t DownloadBlocks(const std::string &fileName);
    int32_t DownloadMtr(const std::string &fileName);
    int32_t DownloadByDriver(const std::string &fileName);

private:
    // Makes the flag the one that ends the waits, for the scope's lifetime.
    class TAbortScope {
    public:
        TAbortScope(TLoaderProtocol &protocol, bool &flag) : protocol_(protocol) { protocol_.abortFlag_ = &flag; }
        ~TAbortScope() { protocol_.abortFlag_ = nullptr; }
        TAbortScope(const TAbortScope &) = delete;
        TAbortScope &operator=(const TAbortScope &) = delete;

    private:
        TLoaderProtocol &protocol_;
    };

    bool Aborting() const { return abortFlag_ && *abortFlag_; }
    void ComPortWaitChar(char c);
    void ComPortDeviceLost();
    // Waits until the port has sent its queued output: in steps of one tick, or processing messages between
    // quick checks. Output that makes no progress for the stall time is discarded and raises ELineHeld; after an
    // abort, output that makes no progress for a moment ends the wait, and the answer is false. Either way the
    // line counts as held from then on.
    bool WaitOutputSent(bool tickSteps);
    // Closing the port discards the output still on its way: waits until it has left the port or stalled. Nothing
    // leaves a held line: no wait.
    void LetOutputLeave();
    // The connect procedure's steps up to the handshake; true when the loader answered.
    bool ReachLoader();
    // Sends a loader command and answers its reply line, or what arrived of it within a second; an echo of the
    // command comes first when the loader echoes.
    std::string LoaderCommand(const std::string &command);
    int32_t RunBuiltIn(const std::string &fileName, bool mtr);
    // Sends the plan's blocks, each confirmed by its sum; false after a failed confirmation.
    bool TransferBlocks(const std::string &image, const TBlockPlan &plan);
    // Sends block `block` of the image that starts with block `first`; answers the block's sum.
    int32_t SendBlock(const std::string &image, int block, int first, int count);
    bool WaitBlockSum(int32_t sum);
    bool WaitMtr();
    // Switches the loader (with its speed command) and the port to the baud rate.
    void SetSpeed(int32_t baud);
    // The port alone at the baud rate, once its output has left.
    void ReopenAt(int32_t baud);
    int32_t CallDriver(const std::string &fileName);

    ILoaderView &view_;
    bool *abortFlag_ = nullptr;   // the abort that ends the waits of the operation under way
    // The line was found held (its output stalled, or stood still after an abort), and neither output left nor an
    // answer came since.
    bool lineHeld_ = false;
    bool stalled_ = false;        // the last transfer ended on stalled output
};
