#pragma once
#include <cstddef>
#include <string>

namespace gathra {

class SocketCanceller;
class TTicks;
class TConnectionPool;
class TFetchAhead;
struct AppSettings;

// Where the client shows what a transfer is doing: the status bar text and the progress bar.
class TransferObserver {
public:
    virtual ~TransferObserver() = default;
    virtual void SetStatusText(const std::string& text) = 0;
    virtual void UpdateProgress(int percent) = 0;
};

// What a transfer needs of whoever asks for it (the brief run): settings, bounds, the canceller
// of its blocking calls, where spooled bodies go and how their room is checked. The run's own
// context derives from it; tests of the client may use it alone.
struct TNetContext {
    virtual ~TNetContext() = default;

    // Retries, default user name and password, certificate checks; null: the defaults.
    const AppSettings* Settings = nullptr;
    // The unit of the client's waits, in milliseconds.
    int TimeUnitMs = 1000;
    // The time every bound of a transfer is kept on (connect, handshake, first byte, receive,
    // header and rate, a host's pauses); null: the steady clock. Tests give their own, so that
    // which bound a transfer meets does not depend on the machine's load.
    TTicks* Ticks = nullptr;
    // Ends the blocking socket calls when the user stops or skips; null means
    // ProgramSocketCanceller().
    SocketCanceller* Canceller = nullptr;
    // Kept connections and the requests of the fast mode; null: every request on a new
    // connection of its own, one at a time, exactly as the classic client sends it.
    TConnectionPool* Pool = nullptr;
    // Fetches what the run will ask for next (fast mode); null: every fetch when it is asked for.
    TFetchAhead* Ahead = nullptr;
    // PEM text of the certificate authorities that secure pages are checked against; empty: the
    // system's trust store (tests give their own authority here).
    std::string TrustedAuthorities;
    // A single response held in memory larger than this is refused (tests lower it). The body of
    // a file (binary, or text that is not HTML) written as it arrives has no bound but the disk
    // buffer.
    std::size_t MaxResponseBytes = std::size_t(1) << 30;
    // Such a body is written to an unnamed file of the run folder where the file system allows
    // it; false: always to a hidden ".part" file, as where it does not (tests take both paths).
    bool UnnamedSpoolFiles = true;
    // A file's body smaller than this is held and written whole, as pages are: a spool file is
    // only worth its cost for a large one.
    std::size_t SpoolAfterBytes = std::size_t(64) << 10;
    // A page (a text response, held in memory to be rewritten) is cut at this size, with a
    // notice at its end.
    std::size_t MaxPageBytes = std::size_t(64) << 20;
    // A transfer fails when its header is not complete after this many time units, or when a
    // stretch of RateStretchUnits after the header brings fewer than MinStretchBytes.
    int HeaderTimeUnits = 60;
    int RateStretchUnits = 30;
    std::size_t MinStretchBytes = 1024;

    // The user stopped the brief or skipped the entry: transfers end at once.
    virtual bool SkipOrAbort() const { return false; }
    // Status and progress go here; null: nowhere.
    virtual TransferObserver* Observer() const { return nullptr; }
    // The folder spooled bodies are written to (the run folder); empty: nothing is spooled.
    virtual const std::string& SpoolFolder() const {
        static const std::string none;
        return none;
    }
    // Checked before every block of a spooled body is written; throws (the run's disk error)
    // when the disk is too full to go on.
    virtual void CheckFreeSpace() const {}
};

} // namespace gathra
