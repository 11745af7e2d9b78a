#include "Win32SerialPort.h"

#ifdef Q_OS_WIN

#include "ComPortNames.h"

#include <windows.h>

namespace {

QString systemMessage(DWORD code)
{
    wchar_t *text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    QString message = length ? QString::fromWCharArray(text, int(length)).trimmed()
                             : QStringLiteral("system error %1").arg(code);
    if (text)
        ::LocalFree(text);
    return message;
}

} // namespace

Win32SerialPort::~Win32SerialPort()
{
    close();
}

QString Win32SerialPort::failure(const QString &what) const
{
    return ComPortNames::portFailure(m_portNumber, m_devicePath, what);
}

bool Win32SerialPort::open(int portNumber)
{
    // Whatever was open before is let go, so a failed open never leaves the
    // old device talking.
    close();
    m_portNumber = portNumber;
    m_devicePath = ComPortNames::devicePath(portNumber);
    if (m_devicePath.isEmpty()) {
        m_error = ComPortNames::notAPortName(portNumber);
        return false;
    }
    const HANDLE handle
        = ::CreateFileW(reinterpret_cast<const wchar_t *>(m_devicePath.utf16()),
                        GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        m_error = failure(systemMessage(::GetLastError()));
        return false;
    }
    m_handle = handle;
    // 38400,n,8,1, no flow control. A port that takes the line settings only
    // partly would talk garbage, so that is a failed open.
    DCB line {};
    line.DCBlength = sizeof line;
    bool settingsTaken = ::GetCommState(handle, &line);
    if (settingsTaken) {
        line.BaudRate = CBR_38400;
        line.ByteSize = 8;
        line.Parity = NOPARITY;
        line.StopBits = ONESTOPBIT;
        line.fBinary = TRUE;
        line.fParity = FALSE;
        line.fOutxCtsFlow = FALSE;
        line.fOutxDsrFlow = FALSE;
        line.fDsrSensitivity = FALSE;
        line.fOutX = FALSE;
        line.fInX = FALSE;
        line.fNull = FALSE;
        line.fAbortOnError = FALSE;
        line.fDtrControl = DTR_CONTROL_ENABLE;
        line.fRtsControl = RTS_CONTROL_ENABLE;
        settingsTaken = ::SetCommState(handle, &line);
    }
    // A read returns at once with what has arrived; a write gives up after
    // a second (a few bytes take a millisecond at 38400 baud).
    COMMTIMEOUTS timeouts {};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.WriteTotalTimeoutConstant = 1000;
    if (!settingsTaken || !::SetCommTimeouts(handle, &timeouts)) {
        m_error = failure(QStringLiteral("the line settings 38400,n,8,1 were refused: ")
                          + systemMessage(::GetLastError()));
        close();
        return false;
    }
    ::PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
    m_received.clear();
    m_lost = false;
    m_error.clear();
    return true;
}

bool Win32SerialPort::isOpen() const
{
    return m_handle != nullptr;
}

void Win32SerialPort::close()
{
    if (m_handle)
        ::CloseHandle(static_cast<HANDLE>(m_handle));
    m_handle = nullptr;
}

bool Win32SerialPort::takeArrived()
{
    if (!m_handle)
        return false;
    char chunk[4096];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(static_cast<HANDLE>(m_handle), chunk, sizeof chunk, &got, nullptr)) {
            // A pulled adapter fails its reads: the port is lost, not silent.
            markLost(failure(systemMessage(::GetLastError())));
            return false;
        }
        if (got == 0) {
            checkDeviceStillThere();
            return !m_lost;
        }
        m_received.append(chunk, qsizetype(got));
    }
}

void Win32SerialPort::checkDeviceStillThere()
{
    const unsigned long long now = ::GetTickCount64();
    if (!m_handle || now - m_lastDeviceCheckMs < DeviceCheckIntervalMs)
        return;
    m_lastDeviceCheckMs = now;
    DWORD errors = 0;
    COMSTAT status {};
    if (!::ClearCommError(static_cast<HANDLE>(m_handle), &errors, &status)) {
        markLost(failure(systemMessage(::GetLastError())));
        return;
    }
    // A second open of a port that is there is refused as in use (or, under
    // Wine, let through); one of a device that went away finds nothing.
    const HANDLE probe
        = ::CreateFileW(reinterpret_cast<const wchar_t *>(m_devicePath.utf16()),
                        GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        ::CloseHandle(probe);
        return;
    }
    const DWORD why = ::GetLastError();
    if (why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND
        || why == ERROR_DEV_NOT_EXIST || why == ERROR_BAD_UNIT)
        markLost(failure(systemMessage(why)));
}

QByteArray Win32SerialPort::readAll()
{
    takeArrived();
    QByteArray taken;
    taken.swap(m_received);
    return taken;
}

qint64 Win32SerialPort::bytesWaiting()
{
    takeArrived();
    return m_received.size();
}

bool Win32SerialPort::write(const QByteArray &bytes)
{
    if (!m_handle)
        return false;
    DWORD written = 0;
    if (!::WriteFile(static_cast<HANDLE>(m_handle), bytes.constData(), DWORD(bytes.size()),
                     &written, nullptr)) {
        markLost(failure(systemMessage(::GetLastError())));
        return false;
    }
    return written == DWORD(bytes.size());
}

bool Win32SerialPort::isLost() const
{
    return m_lost;
}

bool Win32SerialPort::reopen()
{
    if (!m_lost && m_handle)
        return true;
    return open(m_portNumber);
}

QString Win32SerialPort::errorString() const
{
    return m_error;
}

void Win32SerialPort::markLost(const QString &reason)
{
    m_lost = true;
    m_error = reason;
    close();
}

#endif // Q_OS_WIN
