#pragma once

#include "serial/serialline.h"
#include "systemports/porttroubles.h"

#include <functional>

// Opens the port numbered PortNo with the fixed line settings, and closes it.
class PortController {
public:
    static constexpr const char *kLineSettings = "9600,n,8,1";

    // A message box: its text, and one more line below it (empty for none).
    using MessageBox = std::function<void(const QString &text, const QString &detail)>;
    // The number of the port to open; the global PortNo unless told otherwise.
    using PortNumber = std::function<int()>;

    PortController(SerialLine &line, MessageBox showMessage, PortTroubles troubles = {},
                   PortNumber portNumber = {});

    // Never fails to its caller: a port that cannot be opened is reported in
    // a message box, with the cause and what to do below its text, and
    // stays closed.
    void Openport();
    void Closeport();

private:
    SerialLine &line_;
    MessageBox showMessage_;
    PortTroubles troubles_;
    PortNumber portNumber_;
};
