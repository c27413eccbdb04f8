#pragma once

#include <QBuffer>

#include <new>

// A buffer that promises all its bytes but breaks once reading passes breakAt: it fails, as a
// disk error would, or throws, as an allocation would.
class BrokenBuffer : public QBuffer
{
public:
    enum class Breaks
    {
        Fails,
        Throws
    };
    BrokenBuffer(QByteArray *bytes, qint64 breakAt, Breaks how)
        : QBuffer(bytes), m_breakAt(breakAt), m_how(how)
    {
    }

protected:
    qint64 readData(char *data, qint64 len) override
    {
        if (pos() + len <= m_breakAt)
            return QBuffer::readData(data, len);
        if (m_how == Breaks::Throws)
            throw std::bad_alloc();
        return -1;
    }

private:
    qint64 m_breakAt;
    Breaks m_how;
};
