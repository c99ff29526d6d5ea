#include "net/remote_windows.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "net/remote_run.h"

namespace net {

TDlgRConfig::TDlgRConfig(bool persistent, QWidget* parent)
    : QDialog(parent), persistent_(persistent) {
    setWindowTitle(QStringLiteral("Remote-Config"));
    auto* grid = new QGridLayout;
    int row = 0;
    auto field = [&](const char* label, QLineEdit*& edit, const char* name) {
        edit = new QLineEdit;
        edit->setObjectName(QString::fromLatin1(name));
        grid->addWidget(new QLabel(QString::fromUtf8(label)), row, 0);
        grid->addWidget(edit, row, 1, 1, 2);
        ++row;
    };
    // Two choices in one window: each pair is its own group.
    auto choice = [&](const char* label, QRadioButton*& first, const char* firstText,
                      const char* firstName, QRadioButton*& second, const char* secondText,
                      const char* secondName) {
        first = new QRadioButton(QString::fromUtf8(firstText));
        second = new QRadioButton(QString::fromUtf8(secondText));
        first->setObjectName(QString::fromLatin1(firstName));
        second->setObjectName(QString::fromLatin1(secondName));
        auto* group = new QButtonGroup(this);
        auto* pair = new QHBoxLayout;
        for (QRadioButton* b : {first, second}) {
            group->addButton(b);
            pair->addWidget(b);
        }
        pair->addStretch();
        grid->addWidget(new QLabel(QString::fromUtf8(label)), row, 0);
        grid->addLayout(pair, row, 1, 1, 2);
        ++row;
    };
    choice("Verbindung:", RBFtp, "FTP + Telnet", "RBFtp", RBSsh, "SSH", "RBSsh");
    field("HostName:", EdHost, "EdHost");
    EdHost->setPlaceholderText(QStringLiteral("Host oder Host:Port"));
    field("UserName:", EdUser, "EdUser");
    field("Password:", EdPwd, "EdPwd");
    EdPwd->setEchoMode(QLineEdit::Password);
    field("Prompt:", EdPrompt, "EdPrompt");
    field("login-Req:", EdLoginReq, "EdLoginReq");
    field("PWD-Req:", EdPWDReq, "EdPWDReq");
    field("Kommando:", EdCmd, "EdCmd");
    field("Pfad:", EdRPath, "EdRPath");

    choice("Abschluß:", RBCR, "CR", "RBCR", RBCRLF, "CR+LF", "RBCRLF");

    EdTelnetPort = new QSpinBox;
    EdTelnetPort->setObjectName(QStringLiteral("EdTelnetPort"));
    EdTelnetPort->setRange(1, 65535);
    grid->addWidget(new QLabel(QStringLiteral("Telnet-Port:")), row, 0);
    grid->addWidget(EdTelnetPort, row, 1);
    ++row;

    EdMaxTime = new QSpinBox;
    EdMaxTime->setObjectName(QStringLiteral("EdMaxTime"));
    EdMaxTime->setRange(kMinMaxTime, kMaxMaxTime);
    grid->addWidget(new QLabel(QStringLiteral("TimeOut:")), row, 0);
    grid->addWidget(EdMaxTime, row, 1);
    grid->addWidget(new QLabel(QStringLiteral("sec")), row, 2);
    ++row;

    CBKeyAuth = new QCheckBox(QString::fromUtf8("SSH-Schlüssel statt Passwort"));
    CBKeyAuth->setObjectName(QStringLiteral("CBKeyAuth"));
    grid->addWidget(CBKeyAuth, row, 1, 1, 2);
    ++row;
    field("Schlüsseldatei:", EdKeyFile, "EdKeyFile");
    EdKeyFile->setPlaceholderText(QString::fromUtf8("leer: Agent und Standardschlüssel"));

    CBConDet = new QCheckBox(QStringLiteral("Verbindungsdetails"));
    CBConDet->setObjectName(QStringLiteral("CBConDet"));
    grid->addWidget(CBConDet, row, 1, 1, 2);
    ++row;

    LReason = new QLabel;
    LReason->setObjectName(QStringLiteral("LReason"));
    LReason->setStyleSheet(QStringLiteral("color: red"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    BtOk = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &TDlgRConfig::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TDlgRConfig::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(LReason);
    layout->addWidget(buttons);

    for (QRadioButton* b : {RBFtp, RBSsh})
        connect(b, &QRadioButton::toggled, this, &TDlgRConfig::updateEnabling);
    connect(CBKeyAuth, &QCheckBox::toggled, this, &TDlgRConfig::updateEnabling);

    RemoteSettings s;
    if (persistent_) readRemoteSettings(*openUserSettings(), s);
    setSettings(s);
}

TDlgRConfig::~TDlgRConfig() {
    store();
}

void TDlgRConfig::store() const {
    if (!persistent_) return;
    const std::unique_ptr<QSettings> s = openUserSettings();
    writeRemoteSettings(*s, settings());
    s->sync();
}

RemoteSettings TDlgRConfig::settings() const {
    RemoteSettings s;
    s.host = EdHost->text().trimmed();
    s.user = EdUser->text();
    s.password = EdPwd->text();
    s.prompt = EdPrompt->text();
    s.loginReq = EdLoginReq->text();
    s.pwdReq = EdPWDReq->text();
    s.command = EdCmd->text();
    s.remotePath = EdRPath->text();
    s.crOnly = RBCR->isChecked();
    s.maxTime = EdMaxTime->value();
    s.details = CBConDet->isChecked();
    s.protocol = RBSsh->isChecked() ? RemoteProtocol::Ssh : RemoteProtocol::FtpTelnet;
    s.telnetPort = EdTelnetPort->value();
    s.sshKeyAuth = CBKeyAuth->isChecked();
    s.sshKeyFile = EdKeyFile->text();
    s.knownHosts = knownHosts_;
    return s;
}

void TDlgRConfig::setSettings(const RemoteSettings& s) {
    EdHost->setText(s.host);
    EdUser->setText(s.user);
    EdPwd->setText(s.password);
    EdPrompt->setText(s.prompt);
    EdLoginReq->setText(s.loginReq);
    EdPWDReq->setText(s.pwdReq);
    EdCmd->setText(s.command);
    EdRPath->setText(s.remotePath);
    (s.crOnly ? RBCR : RBCRLF)->setChecked(true);
    EdMaxTime->setValue(s.maxTime);
    CBConDet->setChecked(s.details);
    (s.protocol == RemoteProtocol::Ssh ? RBSsh : RBFtp)->setChecked(true);
    EdTelnetPort->setValue(s.telnetPort);
    CBKeyAuth->setChecked(s.sshKeyAuth);
    EdKeyFile->setText(s.sshKeyFile);
    knownHosts_ = s.knownHosts;
    LReason->clear();
    updateEnabling();
}

void TDlgRConfig::updateEnabling() {
    const bool ssh = RBSsh->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{EdPrompt, EdLoginReq, EdPWDReq, RBCR, RBCRLF,
                                                      EdTelnetPort})
        w->setEnabled(!ssh);
    CBKeyAuth->setEnabled(ssh);
    EdKeyFile->setEnabled(ssh && CBKeyAuth->isChecked());
}

void TDlgRConfig::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    LReason->clear();
    // The password is the one thing not kept: with a host there, it is what is asked for.
    if (!EdHost->text().isEmpty())
        EdPwd->setFocus();
    else
        EdHost->setFocus();
}

void TDlgRConfig::accept() {
    // An empty search text would match everything: the default comes back.
    const RemoteSettings defaults;
    if (EdLoginReq->text().isEmpty()) EdLoginReq->setText(defaults.loginReq);
    if (EdPWDReq->text().isEmpty()) EdPWDReq->setText(defaults.pwdReq);
    const QString reason = incompleteReason(settings());
    if (!reason.isEmpty()) {
        LReason->setText(reason);
        return;
    }
    store();
    QDialog::accept();
}

// ---- progress ----

TDlgRProgress::TDlgRProgress(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("externe Berechnung"));
    Memo1 = new QPlainTextEdit;
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Memo1->setMaximumBlockCount(20000);
    LTime = new QLabel;
    LTime->setObjectName(QStringLiteral("LTime"));
    BtCancel = new QPushButton(QStringLiteral("Abbrechen"));
    BtCancel->setObjectName(QStringLiteral("BtCancel"));
    connect(BtCancel, &QPushButton::clicked, this, [this] {
        if (runner_) runner_->cancel();
    });
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(new QLabel(QStringLiteral("Zeit:")));
    bottom->addWidget(LTime, 1);
    bottom->addWidget(BtCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Memo1, 1);
    layout->addLayout(bottom);
    resize(520, 360);
}

void TDlgRProgress::attach(RemoteRunner* runner) {
    if (runner_) runner_->disconnect(this);
    runner_ = runner;
    Memo1->clear();
    LTime->setText(runner->timeText(0));
    connect(runner, &RemoteRunner::listingLine, this,
            [this](const QString& line) { Memo1->appendPlainText(line); });
    connect(runner, &RemoteRunner::tick, this,
            [this](int, const QString& text) { LTime->setText(text); });
    connect(runner, &RemoteRunner::finished, this, [this] {
        runner_ = nullptr;
        hide();
    });
    show();
    raise();
}

void TDlgRProgress::reject() {
    // Escape does not end the run; the cancel button does.
    if (!running()) QDialog::reject();
}

void TDlgRProgress::closeEvent(QCloseEvent* e) {
    if (running())
        e->ignore();
    else
        QDialog::closeEvent(e);
}

} // namespace net
