#pragma once

// Why an open of a port failed, as the port layer tells it.
enum class OpenRefusal {
    None,
    NoSuchPort,        // the number names no port, or the device is not there
    InUse,             // another program holds the port
    SettingsRefused,   // the settings text does not read, or the port refused it
    OpenFailed,        // anything else the system reported
};
