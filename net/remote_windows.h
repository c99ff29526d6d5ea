// The two windows of the remote calculation: the settings window "Remote-Config" (shown
// modally before a remote run or batch) and the progress window "externe Berechnung" with the
// log, the elapsed time and the cancel button.
#pragma once

#include <QDialog>
#include <QPointer>

#include "net/remote_run.h"
#include "net/remote_settings.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace net {

class TDlgRConfig : public QDialog {
    Q_OBJECT
public:
    // Reads the user's stored settings (when persistent) and writes them back, without the
    // password, when the dialog is confirmed and when it is destroyed.
    explicit TDlgRConfig(bool persistent = true, QWidget* parent = nullptr);
    ~TDlgRConfig() override;

    RemoteSettings settings() const;
    void setSettings(const RemoteSettings& s);

    QLineEdit* EdHost;
    QLineEdit* EdUser;
    QLineEdit* EdPwd;
    QLineEdit* EdPrompt;
    QLineEdit* EdLoginReq;
    QLineEdit* EdPWDReq;
    QLineEdit* EdCmd;
    QLineEdit* EdRPath;
    QRadioButton* RBCR;
    QRadioButton* RBCRLF;
    QSpinBox* EdMaxTime;
    QCheckBox* CBConDet;
    QRadioButton* RBFtp;
    QRadioButton* RBSsh;
    QSpinBox* EdTelnetPort;
    QCheckBox* CBKeyAuth;
    QLineEdit* EdKeyFile;
    QLabel* LReason; // why OK is refused
    QPushButton* BtOk;

    void accept() override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void updateEnabling();
    void store() const;

    bool persistent_;
    QString knownHosts_;
};

class TDlgRProgress : public QDialog {
    Q_OBJECT
public:
    explicit TDlgRProgress(QWidget* parent = nullptr);

    // Shows the window for the run: log cleared, time from 0; hidden when the run ends.
    void attach(RemoteRunner* runner);
    bool running() const { return runner_ != nullptr; }

    QPlainTextEdit* Memo1;
    QLabel* LTime;
    QPushButton* BtCancel;

    void reject() override;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    QPointer<RemoteRunner> runner_;
};

} // namespace net
