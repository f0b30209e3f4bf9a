#pragma once
// The serial port of the window program: SerialPort over QSerialPort.
// Data notifications come from readyRead through the event loop; posted
// notifications are queued to the event loop as well.
#include "common/serialport.h"

#include <QObject>

class QSerialPort;

namespace varenta {

class QtSerialPort final : public QObject, public SerialPort {
    Q_OBJECT
public:
    explicit QtSerialPort(QObject* parent = nullptr);
    ~QtSerialPort() override;

    Status open(const std::string& device, int speed) override;
    void close() override;
    bool isOpen() const override;
    Status setSpeed(int speed) override;
    Status write(const std::uint8_t* data, std::size_t n) override;
    std::size_t bytesWaiting() override;
    std::size_t read(std::uint8_t* data, std::size_t max) override;
    void discardInput() override;
    void setDtr(bool on) override;
    void setRts(bool on) override;
    void postNotification() override;
    std::string lastError() const override { return error_; }

private:
    void onReadyRead();
    void onError(int error);

    QSerialPort* port_;
    std::string error_;
    bool posted_ = false;
    bool opening_ = false;
};

}  // namespace varenta
