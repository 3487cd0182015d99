#include "port_devices.h"

#include <QRegularExpression>
#include <optional>
#include <utility>

#include "open_away.h"

namespace {

// USB1 is adapter 0; none for a name without a number from 1 to 256.
std::optional<uint8_t> AdapterIndexOf(const QString &name) {
  static const QRegularExpression decimal(QStringLiteral("^[0-9]{1,9}$"));
  const QString number = name.mid(3);
  const uint32_t n = decimal.match(number).hasMatch() ? number.toUInt() : 0;
  if (n < 1 || n > 256) {
    return std::nullopt;
  }
  return static_cast<uint8_t>(n - 1);
}

}  // namespace

TPortDevices::TPortDevices(std::unique_ptr<TUsbDevice> usb, std::unique_ptr<TSerialDevice> tty,
                           TPortSources sources)
    : sources_(std::move(sources)), usb_(std::move(usb)), tty_(std::move(tty)) {}

bool TPortDevices::OpensSlowly(const QString &name) const {
  const QString url = NetworkPortUrl(networkPorts_, name);
  if (name.startsWith(QLatin1String("USB"), Qt::CaseSensitive) || url.isEmpty()) {
    return false;  // the adapter and a tty open at once
  }
  TNetworkDevice network;  // aimed without touching the port's own
  network.SetUrl(url);
  return network.OpensSlowly();
}

TPortDevice &TPortDevices::Choose(const QString &name) {
  if (name.startsWith(QLatin1String("USB"), Qt::CaseSensitive)) {
    usb_.SetAdapter(AdapterIndexOf(name));
    return usb_;
  }
  const QString url = NetworkPortUrl(networkPorts_, name);
  if (!url.isEmpty()) {
    network_.SetUrl(url);
    return network_;
  }
  tty_->SetPath(ResolvePortDevice(sources_, name));
  return *tty_;
}

QString TPortDevices::UsbSocketOf(const QString &name) {
  if (!name.startsWith(QLatin1String("USB"), Qt::CaseSensitive)) {
    return QString();
  }
  const std::optional<uint8_t> index = AdapterIndexOf(name);
  const QStringList sockets = index ? usb_.AdapterSockets() : QStringList();
  return index && *index < sockets.size() ? sockets[*index] : QString();
}

QString TPortDevices::UsbPortNameAt(const QString &socket) {
  const qsizetype index = usb_.AdapterSockets().indexOf(socket);
  return index >= 0 ? QStringLiteral("USB%1").arg(index + 1) : QString();
}

QStringList TPortDevices::ListPorts(bool withSeparator) {
  const std::optional<uint32_t> usbCount = usb_.CountAdapters();
  QStringList names = FindSerialPortNames(sources_);
  for (const TNetworkPort &network : networkPorts_) {
    if (IsValidNetworkPortName(network.name)) {
      names.append(network.name);
    }
  }
  return BuildPortList(SortedPortNames(names), usbCount, withSeparator);
}

TOpenFailure TryNetworkPort(const QString &url, TOpenStop stop,
                            std::optional<TServerCertificate> *certificate) {
  TNetworkDevice device;
  device.SetUrl(url);
  device.SetOpenStop(stop);
  const TOpenFailure failure = device.OpensSlowly()
                                   ? OpenAway([&] { return device.Open(TLineSettings{}); })
                                   : device.Open(TLineSettings{});  // not a valid URL: at once
  if (certificate != nullptr) {
    *certificate = device.ServerCertificate();
  }
  return failure;
}
