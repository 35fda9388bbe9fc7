#include "download/downloadprocedure.h"

#include <algorithm>
#include <cmath>

using End = DownloadOutcome::End;

QString DownloadOutcome::label4Text() const
{
    if (end == End::NoData)
        return QStringLiteral("无数据!");
    return QString::number(WordIndex);
}

DownloadProcedure::DownloadProcedure(SerialLine &line, ReceiveState &rx, Clock &clock, Hooks hooks)
    : line_(line),
      rx_(rx),
      clock_(clock),
      hooks_(std::move(hooks))
{}

DownloadOutcome DownloadProcedure::run(const ProgramImage &image)
{
    running_ = true;
    aborted_ = false;
    handshakeAnswered_ = false;
    lastMessageBytes_ = 0;
    DownloadOutcome outcome = transfer(image);
    const bool lastMessageLeft = !line_.PortOpen() || awaitTransmitterEmpty();
    if (outcome.end == End::Finished && !lastMessageLeft)
        outcome.end = End::EndMarkerFailed;
    hooks_.Closeport();   // on every way out, the no-data one included
    running_ = false;
    return outcome;
}

DownloadOutcome DownloadProcedure::transfer(const ProgramImage &image)
{
    if (image.WordCount <= 1)
        return {End::NoData, 0};
    hooks_.Openport();
    WordIndex = 0;
    TryCount = 0;
    if (!line_.PortOpen())
        return {End::PortNotOpened, 0};

    Step step = handshake();
    if (step != Step::Acknowledged)
        return outcomeOf(step);
    handshakeAnswered_ = true;
    // One frame more than the words loaded: the last carries the slot just
    // past them, which loading always leaves at 0.
    const int frames = image.WordCount + 1;
    for (WordIndex = 0; WordIndex < frames; ++WordIndex) {
        step = sendWord(image.frameWord(WordIndex));
        if (step != Step::Acknowledged)
            return outcomeOf(step);
        if (hooks_.progress)
            hooks_.progress(WordIndex + 1, frames);
    }
    sendEndMarker();
    return {End::Finished, WordIndex, true};
}

DownloadOutcome DownloadProcedure::outcomeOf(Step step) const
{
    switch (step) {
    case Step::LineFailed: return {End::LineFailed, WordIndex, handshakeAnswered_};
    case Step::Aborted: return {End::Aborted, WordIndex, handshakeAnswered_};
    default: return {End::GaveUp, WordIndex, handshakeAnswered_};
    }
}

// The preamble goes out before every attempt, the last one included; the
// wait for the answer starts as soon as the writes return.
DownloadProcedure::Step DownloadProcedure::handshake()
{
    for (;;) {
        ++TryCount;
        write(WireProtocol::preamble());
        if (TryCount > kAttempts)
            return Step::GaveUp;
        write(WireProtocol::handshake());
        const Step answer = awaitAcknowledgement();
        if (answer != Step::TimedOut)
            return answer;
    }
}

DownloadProcedure::Step DownloadProcedure::sendWord(quint16 word)
{
    TryCount = 0;
    for (;;) {
        if (++TryCount > kAttempts)
            return Step::GaveUp;
        TxFrame = WireProtocol::wordFrame(word);
        write(WireProtocol::bytes(TxFrame));
        Step step = awaitOutputDrained();
        if (step == Step::Drained)
            step = awaitAcknowledgement();
        if (step != Step::TimedOut)
            return step;
    }
}

// Lets window events run while the frame leaves the port. The receive event
// may run here; it leaves the input to the download.
DownloadProcedure::Step DownloadProcedure::awaitOutputDrained()
{
    const double start = clock_.now();
    for (;;) {
        hooks_.processEvents();
        if (aborted_)
            return Step::Aborted;
        if (line_.lineFailed())
            return Step::LineFailed;
        const int pending = line_.OutBufferCount();
        if (pending == 0)
            return Step::Drained;
        if (clock_.now() - start >= kStuckLine)
            return Step::LineFailed;
        clock_.sleepFor(std::clamp(pending * kSecondsPerByte, 0.0005, 0.005));
    }
}

// Polls the input for 0.5 s. An acknowledgement counts only when it is the
// last byte drained at a look; other bytes are skipped. An abort ends the
// wait at the next look, so a silent device does not hold it for seconds.
DownloadProcedure::Step DownloadProcedure::awaitAcknowledgement()
{
    rx_.RxByte = 0;
    StartTime = clock_.now();
    double elapsed = 0;
    while ((elapsed = clock_.now() - StartTime) < kAckWait) {
        drainInput(line_, rx_);
        if (line_.lineFailed())
            return Step::LineFailed;
        if (WireProtocol::isAcknowledgement(rx_.RxByte))
            return Step::Acknowledged;
        showResponsive();
        if (aborted_)
            return Step::Aborted;
        line_.waitForInput(int(std::ceil(std::min(kAckWait - elapsed, kWaitSlice) * 1000.0)));
    }
    return Step::TimedOut;
}

// No answer comes to the end marker, and nothing waits for it here: the
// port waits for it to leave before it closes.
void DownloadProcedure::sendEndMarker() { write(WireProtocol::endMarker()); }

void DownloadProcedure::write(const QByteArray &message)
{
    line_.Output(message);
    lastMessageBytes_ = int(message.size());
}

// The last bytes written (the end marker, or the preamble of a last handshake
// attempt) must leave the line before the port closes: closing gives the port
// back the settings it had before it opened, which could change the speed
// under bytes still in a UART's FIFO or an adapter's buffer. Where the driver
// cannot tell what its hardware still holds, that is at most the last message,
// so its time on the line is waited out once the driver's queue is empty.
// Every wait runs on the clock, within kFinalDrain; a line still stuck then
// is told to discard its output, so that the close does not wait for it in
// the driver instead. False when the line failed with the message still on
// its way out (or refused as it was written); a line that fails once the
// driver has let the message go, or that is merely stuck, is not told apart
// from one that took it.
bool DownloadProcedure::awaitTransmitterEmpty()
{
    using Transmitter = SerialLine::Transmitter;
    const double deadline = clock_.now() + kFinalDrain;
    Transmitter state = Transmitter::Sending;
    while (!line_.lineFailed() && (state = line_.transmitter()) == Transmitter::Sending
           && clock_.now() < deadline) {
        showResponsive();
        clock_.sleepFor(kSecondsPerByte);
    }
    if (line_.lineFailed())
        return state != Transmitter::Sending;
    if (state == Transmitter::Unknown)
        clock_.sleepFor(std::min(lastMessageBytes_ * kSecondsPerByte, deadline - clock_.now()));
    else if (state == Transmitter::Sending)
        line_.setOutBufferCount(0);
    return true;
}

void DownloadProcedure::showResponsive()
{
    if (hooks_.showResponsive)
        hooks_.showResponsive();
}
