#include "workspace/PrinterAddress.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace PrinterAddress {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("PrinterAddress", text);
}

QString notAnAddress()
{
    return tr("This is not an IPv4 address. Enter four numbers from 0 to 255 separated by dots, "
              "such as 192.168.1.20, optionally followed by a colon and a port, such as "
              "192.168.1.20:8080.");
}

} // namespace

QString problem(const QString &typed)
{
    if (typed.isEmpty())
        return tr("Please enter the printer's IP address, such as 192.168.1.20.");
    if (typed.contains(QLatin1Char(' ')) || typed.contains(QLatin1Char('\t')))
        return tr("The address must not contain spaces.");
    if (typed.size() > kMaxLength)
        return notAnAddress();
    // ASCII digits only: \d would take digits of any script.
    static const QRegularExpression shape(QStringLiteral(
        "^([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})(?::([0-9]{1,5}))?$"));
    const QRegularExpressionMatch m = shape.match(typed);
    if (!m.hasMatch())
        return notAnAddress();
    for (int i = 1; i <= 4; ++i) {
        const QString part = m.captured(i);
        // A leading zero reads as octal to some programs and as decimal to others.
        if (part.toInt() > 255 || (part.size() > 1 && part.startsWith(QLatin1Char('0'))))
            return tr("Each of the four numbers must be from 0 to 255, without leading zeros.");
    }
    const int first = m.captured(1).toInt();
    if (first == 0 || first >= 224)
        return tr("This is not the address of one device: the first number must be from 1 to "
                  "223.");
    if (m.lastCapturedIndex() == 5) {
        const QString port = m.captured(5);
        if (port.toInt() < 1 || port.toInt() > 65535 ||
            (port.size() > 1 && port.startsWith(QLatin1Char('0'))))
            return tr("The port must be a number from 1 to 65535.");
    }
    return QString();
}

QString statusUrl(const QString &address)
{
    return QStringLiteral("http://") + address +
           QStringLiteral("/services/settings/update/currentVersion");
}

} // namespace PrinterAddress
