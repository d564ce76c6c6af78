// Options/Serial Port...: where PC software finds the instrument's serial
// port (nowhere, a pseudo-terminal with a stable link, or a TCP port), and
// the profile entries that remember the choice.
#pragma once

#include <QDialog>
#include <QString>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSettings;
class QSpinBox;

struct SerialPortChoice {
    enum class Mode { None, Pty, Tcp };
    Mode mode = Mode::None;
    QString sLink = QStringLiteral("/tmp/ttyHALDEN");  // the pseudo-terminal's link; empty for none
    int nPort = 5000;                                  // TCP port on 127.0.0.1 (0: any free port)
    bool operator==(const SerialPortChoice&) const = default;
};

// Profile section "SerialPort": "Mode" (0 none, 1 pseudo-terminal, 2 TCP),
// "Link" and "Port"; missing or unusable entries give the defaults.
SerialPortChoice ReadSerialPortChoice(QSettings& settings);
void WriteSerialPortChoice(QSettings& settings, const SerialPortChoice& choice);

class CSerialPortDlg final : public QDialog {
    Q_OBJECT
public:
    // sDevice: the pseudo-terminal's device while one is open, else empty.
    CSerialPortDlg(const SerialPortChoice& current, const QString& sDevice, QWidget* pParent = nullptr);
    SerialPortChoice Choice() const;
    // The path Copy puts on the clipboard: the link, or the device without one.
    QString CopyText() const;

    QRadioButton* NoneButton() const { return m_pNone; }
    QRadioButton* PtyButton() const { return m_pPty; }
    QRadioButton* TcpButton() const { return m_pTcp; }
    QLineEdit* LinkEdit() const { return m_pLink; }
    QSpinBox* PortSpin() const { return m_pPort; }

private:
    void UpdateEnabled();

    QRadioButton* m_pNone;
    QRadioButton* m_pPty;
    QRadioButton* m_pTcp;
    QLineEdit* m_pLink;
    QLabel* m_pDevice;
    QPushButton* m_pCopy;
    QSpinBox* m_pPort;
    QString m_sDevice;
};
