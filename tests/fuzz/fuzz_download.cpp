// A whole download against a device and a line that do whatever the fuzzer's
// bytes say: answer, stay silent, answer late, answer with other bytes, let
// the line die or stall. The oracle then judges every message the host sent,
// how the download ended and what Label4 shows.
#include "download/downloadprocedure.h"
#include "serial/portcontroller.h"
#include "serial/receivehandler.h"
#include "tests/fuzz/devicescript.h"
#include "tests/fuzz/downloadoracle.h"
#include "tests/fuzz/fuzzedline.h"
#include "tests/support/fakeclock.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace {
constexpr double kOverrun = 1.0;   // past the longest download the line stops the run
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    DeviceScript script(data, size);
    FakeClock clock;
    const double startedAt = clock.now();
    FuzzedLine line(clock, script,
                    startedAt + DownloadOracle::longestDownload(script.wordCount()) + kOverrun);
    ReceiveState rx;
    FuzzedDownload run{script, line, {}, {}, {}, 0, 0, startedAt, 0};
    PortController ports(line, [&run](const QString &text, const QString &) { run.messageBoxes << text; });

    // Wired as the main window wires it: the receive event may run whenever
    // the download lets window events through.
    DownloadProcedure *running = nullptr;
    DownloadProcedure procedure(
        line, rx, clock,
        {[&] {
             ++run.openportCalls;
             ports.Openport();
         },
         [&] {
             ++run.closeportCalls;
             ports.Closeport();
         },
         [&] { ReceiveHandler::MSComm1_OnComm(line, rx, running && running->running()); },
         [&run](int acknowledged, int frames) { run.progress.emplace_back(acknowledged, frames); },
         {}});
    running = &procedure;

    std::vector<quint16> words;
    for (int i = 0; i < script.wordCount(); ++i)
        words.push_back(script.word(i));
    auto image = std::make_unique<ProgramImage>();
    image->load(words);

    run.outcome = procedure.run(*image);
    run.endedAt = clock.now();
    DownloadOracle::check(run);
    return 0;
}
