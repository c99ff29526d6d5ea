// The module as a child process on this computer: at the chosen priority, with the screen
// saver kept off, its listing passed on line by line as the module writes it.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QTimer>

#include <memory>

#include "calcctl/runner.h"

namespace calcctl {

struct LocalRunnerSettings {
    QString modulePath; // empty: next to the program, else on PATH
    bool inhibitScreenSaver = true;
    QString screenSaverBus; // empty: the session bus; else the address of another bus
    int listingPollMs = 500;
};

class LocalRunner : public ModuleRunner {
    Q_OBJECT
public:
    explicit LocalRunner(LocalRunnerSettings settings, QObject* parent = nullptr);
    ~LocalRunner() override;

    void start(const RunRequest& request) override;
    void cancel() override;

private:
    void onProcessFinished(int exitCode, QProcess::ExitStatus status);
    void end(int code);
    void pollListing(bool final);

    LocalRunnerSettings settings_;
    QString dir_;
    bool cancelled_ = false;
    bool ended_ = false;
    std::unique_ptr<QProcess> process_;
    std::unique_ptr<ScreenSaverInhibitor> saver_;
    QTimer listingTimer_;
    qint64 listingOffset_ = 0;
    QByteArray listingPartial_;
    QByteArray outputPartial_;
};

} // namespace calcctl
