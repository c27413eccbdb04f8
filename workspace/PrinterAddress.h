#pragma once

#include <QString>

// Printer addresses as a person types them: an IPv4 address with an optional port, such as
// "192.168.1.20" or "192.168.1.20:8080".
namespace PrinterAddress {

// The longest acceptable text, "255.255.255.255:65535".
constexpr int kMaxLength = 21;

// Why the text is not a printer address, for the person who typed it; empty when it is one.
QString problem(const QString &typed);

inline bool isValid(const QString &typed)
{
    return problem(typed).isEmpty();
}

// The printer's status path on that address.
QString statusUrl(const QString &address);

} // namespace PrinterAddress
