// Network printers: address checks and the status request of the adding wizard.
#include "workspace/PrinterAddress.h"
#include "workspace/PrinterStatusCheck.h"
#include "workspace/QuorApp.h"

#include <QDebug>

QString QuorApp::printerAddressProblem(QString address) const
{
    return PrinterAddress::problem(address);
}

PrinterStatusCheck *QuorApp::printerStatusCheck()
{
    if (!m_printerCheck) {
        m_printerCheck = new PrinterStatusCheck(this);
        connect(m_printerCheck, &PrinterStatusCheck::finished, this, &QuorApp::printerChecked);
    }
    return m_printerCheck;
}

void QuorApp::checkDirectCablePrinter()
{
    printerStatusCheck()->start(m_directCableAddress, true);
}

void QuorApp::checkLanPrinter(QString address)
{
    const QString problem = PrinterAddress::problem(address);
    if (!problem.isEmpty()) {
        // The wizard checks first; nothing typed reaches the network unchecked.
        qWarning() << "printer address refused:" << address.left(PrinterAddress::kMaxLength);
        emit printerChecked(address, false, problem);
        return;
    }
    printerStatusCheck()->start(address, false);
}

void QuorApp::cancelPrinterCheck()
{
    if (m_printerCheck)
        m_printerCheck->cancel();
}
