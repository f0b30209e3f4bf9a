#include "brenlo24/link/ui/qtserialport.h"

#include <QSerialPort>
#include <QTimer>

namespace varenta {

QtSerialPort::QtSerialPort(QObject* parent) : QObject(parent), port_(new QSerialPort(this))
{
    port_->setReadBufferSize(0);  // the line's own 8192-byte limit is kept by SerialLine
    connect(port_, &QSerialPort::readyRead, this, &QtSerialPort::onReadyRead);
    connect(port_, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) { onError(int(e)); });
}

QtSerialPort::~QtSerialPort() { close(); }

Status QtSerialPort::open(const std::string& device, int speed)
{
    close();
    opening_ = true;
    port_->setPortName(QString::fromStdString(device));
    port_->setDataBits(QSerialPort::Data8);
    port_->setParity(QSerialPort::NoParity);
    port_->setStopBits(QSerialPort::OneStop);
    port_->setFlowControl(QSerialPort::NoFlowControl);
    bool ok = port_->open(QIODevice::ReadWrite);
    if (!ok) {
        error_ = device + ": " + port_->errorString().toStdString();
        opening_ = false;
        return port_->error() == QSerialPort::DeviceNotFoundError ? Status::NotFound : Status::Io;
    }
    // The line speed is set on the open port, so any rate the driver takes works.
    if (!port_->setBaudRate(speed)) {
        error_ = device + ": line speed " + std::to_string(speed) + " refused";
        port_->close();
        opening_ = false;
        return Status::Io;
    }
    // Pseudo-terminals have no modem lines; a refusal there is not an error.
    port_->setDataTerminalReady(true);
    port_->setRequestToSend(true);
    port_->clearError();
    opening_ = false;
    return Status::Ok;
}

void QtSerialPort::close()
{
    if (port_->isOpen())
        port_->close();
    posted_ = false;
}

bool QtSerialPort::isOpen() const { return port_->isOpen(); }

Status QtSerialPort::setSpeed(int speed)
{
    if (!port_->isOpen() || !port_->setBaudRate(speed))
        return Status::Io;
    return Status::Ok;
}

Status QtSerialPort::write(const std::uint8_t* data, std::size_t n)
{
    if (!port_->isOpen())
        return Status::Io;
    const qint64 w = port_->write(reinterpret_cast<const char*>(data), static_cast<qint64>(n));
    if (w != static_cast<qint64>(n))
        return Status::Io;
    // Hand the bytes to the driver now: the protocol's pauses assume they
    // are on their way when write returns.
    port_->flush();
    return Status::Ok;
}

std::size_t QtSerialPort::bytesWaiting()
{
    if (!port_->isOpen())
        return 0;
    return static_cast<std::size_t>(port_->bytesAvailable());
}

std::size_t QtSerialPort::read(std::uint8_t* data, std::size_t max)
{
    if (!port_->isOpen())
        return 0;
    const qint64 r = port_->read(reinterpret_cast<char*>(data), static_cast<qint64>(max));
    return r > 0 ? static_cast<std::size_t>(r) : 0;
}

void QtSerialPort::discardInput()
{
    if (!port_->isOpen())
        return;
    port_->clear(QSerialPort::Input);
    port_->readAll();  // whatever Qt had already taken in
}

void QtSerialPort::setDtr(bool on)
{
    if (port_->isOpen())
        port_->setDataTerminalReady(on);
}

void QtSerialPort::setRts(bool on)
{
    if (port_->isOpen())
        port_->setRequestToSend(on);
}

void QtSerialPort::postNotification()
{
    if (posted_)
        return;
    posted_ = true;
    QTimer::singleShot(0, this, [this] {
        posted_ = false;
        notifyData();
    });
}

void QtSerialPort::onReadyRead() { notifyData(); }

void QtSerialPort::onError(int error)
{
    if (opening_)
        return;
    int event = 0;
    switch (static_cast<QSerialPort::SerialPortError>(error)) {
    case QSerialPort::ReadError: event = kSerialOverrun; break;
    case QSerialPort::WriteError: event = kSerialTxFull; break;
    case QSerialPort::ResourceError: event = kSerialDeviceGone; break;
    default: break;  // open failures are reported by open(); the rest is not a line event
    }
    if (event == 0)
        return;
    error_ = port_->errorString().toStdString();
    port_->clearError();
    notifyError(event);
    if (event == kSerialDeviceGone && port_->isOpen())
        port_->close();
}

}  // namespace varenta
