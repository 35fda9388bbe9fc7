#pragma once

#include "serial/serialline.h"

#include <functional>

// Opens the port numbered PortNo with the fixed line settings, and closes it.
class PortController {
public:
    static constexpr const char *kLineSettings = "9600,n,8,1";

    using MessageBox = std::function<void(const QString &)>;
    PortController(SerialLine &line, MessageBox showMessage)
        : line_(line),
          showMessage_(std::move(showMessage))
    {}

    // Never fails to its caller: a port that cannot be opened is reported in
    // a message box and stays closed.
    void Openport();
    void Closeport();

private:
    SerialLine &line_;
    MessageBox showMessage_;
};
