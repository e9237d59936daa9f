#include "frontend/station.h"

#include "acquire/vendor.h"
#include "frontend/installpaths.h"
#include "frontend/machinetypes.h"

#include <QByteArray>

#include <stdexcept>

namespace meter {

std::unique_ptr<VendorLibrary> vendorlibrary() {
    return std::make_unique<HostedVendorLibrary>(privatefilecandidates(vendorhostname()),
                                                 privatefilecandidates(vendorlibraryname()));
}

QString applydevices(PortMap& map, const QStringList& entries) {
    for (const QString& entry : entries) {
        try {
            map.adddevice(entry.toStdString());
        } catch (const std::invalid_argument& e) {
            return QStringLiteral("--device: %1").arg(QString::fromStdString(e.what()));
        }
    }
    return {};
}

void exportports(const PortMap& map) {
    qputenv(portsvariable, QByteArray::fromStdString(map.overridestext()));
}

QString progresstext(const QString& typetext, const QString& waiting, qint64 elapsedms) {
    QString text = QStringLiteral("正在读取 %1").arg(typetext);
    if (!waiting.isEmpty()) text += QStringLiteral("：等待 %1").arg(waiting);
    return text + QStringLiteral("（%1 秒）").arg(elapsedms / 1000);
}

QString refusal(std::int16_t port, std::int16_t code, const QString& typetext) {
    if (port > 8) return QStringLiteral("port %1 is above 8").arg(port);
    if (code == 0 || textfor(code).empty())
        return QStringLiteral("machine type \"%1\" is not in the list").arg(typetext);
    return {};
}

} // namespace meter
