// The Send Message dialog, the About box and the host facts it shows.
#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;

// Types a message for the instrument's serial port; backslash escapes and
// the three control-character buttons give the protocol's control bytes.
class CSendMessageDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CSendMessageDlg(QWidget* pParent = nullptr);
    // The bytes to send, decoded; set when the dialog ends with OK.
    const std::string& Message() const { return m_sMessage; }

    void accept() override;

private:
    void AddControl(char cLetter);

    QLineEdit* m_pText;
    QCheckBox* m_pAppendNewline;
    std::string m_sMessage;  // empty until OK
};

// Host facts for the About box; empty when the system does not tell.
std::optional<uint64_t> TotalMemoryKb();
bool FloatingPointUnitPresent();
std::optional<uint64_t> FreeDiskKb(const char* pszDirectory = ".");
// "2,097,152": thousands grouped by commas.
QString GroupThousands(uint64_t ullValue);

class CAboutDlg final : public QDialog {
    Q_OBJECT
public:
    // bQueryHost false leaves the value fields at their initial texts.
    explicit CAboutDlg(QWidget* pParent = nullptr, bool bQueryHost = true);
    // Fills the three value fields; a missing fact keeps the field's initial text.
    void ShowFacts(std::optional<uint64_t> ullMemoryKb, bool bFpu, std::optional<uint64_t> ullDiskKb);

private:
    QLabel* m_pMemory;       // control 1001
    QLabel* m_pCoprocessor;  // control 1023
    QLabel* m_pDisk;         // control 1002
};
