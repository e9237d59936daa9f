#pragma once
// The serial device of a real line, over QSerialPort. The QSerialPort lives only while the port
// is open and is created by open(), so it belongs to the thread that runs the reading. No event
// loop is needed: reads poll the device themselves.
#include "serial/device.h"
#include "serial/portmap.h"

#include <memory>

class QSerialPort;

namespace meter {

class QtSerialDevice : public SerialDevice {
  public:
    explicit QtSerialDevice(PortMap map);
    ~QtSerialDevice() override;

    const PortMap& portmap() const { return map_; }

    bool isopen() const override;
    void setsettings(const LineSettings& settings) override { settings_ = settings; }
    LineSettings settings() const override { return settings_; }
    void open(int port) override;
    void close() override;
    void write(ByteView bytes) override;
    std::size_t byteswaiting() override;
    Bytes readall() override;
    std::string describe(int port) const override { return map_.devicefor(port); }

  private:
    // Lets bytes that reached the device become readable; a read error means the line is gone.
    void pump();

    PortMap map_;
    LineSettings settings_;
    std::unique_ptr<QSerialPort> port_;
    std::string path_;
};

} // namespace meter
