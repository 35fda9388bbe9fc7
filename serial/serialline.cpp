#include "serial/serialline.h"

#include <QMetaObject>

bool SerialLine::setPortOpen(bool open)
{
    if (!open) {
        if (PortOpen())
            closePort();
        return true;
    }
    return PortOpen() || this->open();
}

bool SerialLine::open()
{
    location_ = mapping_ ? mapping_(CommPort()) : QString();
    systemError_.clear();
    const std::optional<LineSettings> settings = LineSettings::parse(Settings());
    if (location_.isEmpty())
        refusal_ = Refusal::NoSuchPort;
    else if (!settings)
        refusal_ = Refusal::SettingsRefused;
    else
        refusal_ = openAt(location_, *settings);
    return refusal_ == Refusal::None;
}

void SerialLine::announceArrival()
{
    if (RThreshold() <= 0)
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            commEvent_ = comEvReceive;
            emit OnComm();
        },
        Qt::QueuedConnection);
}
