// The README's recipe for a parameter study on several machines, run against the loopback
// sshd: GNU parallel copies each project to a folder of its own on the host, tervana-cli
// calculates it there, and the project with its results comes back. Each must equal the
// project calculated here.
#include "tests/net/test_servers.h"
#include "tests/support/changed_project.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

const QString kCli = QStringLiteral(TERVANA_CLI_PATH);
const QStringList kProjects = {"cam_dwell", "slide_gripper", "packaging_three_drives"};

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The environment a session on the host gets does not hold OpenBLAS's settings, and the
// last digits follow the kernel OpenBLAS chooses: the local runs do without them as well.
QProcessEnvironment environment(const QString& dir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : env.keys())
        if (name.startsWith("OPENBLAS_") || name.startsWith("GOTOBLAS")) env.remove(name);
    env.insert("HOME", dir + "/home"); // parallel's own files stay in the test's folder
    env.insert("XDG_RUNTIME_DIR", dir + "/lock");
    return env;
}

TEST(ParallelRecipe, ProjectsCalculatedOverSshEqualTheLocalResults) {
    const QString parallel = QStandardPaths::findExecutable("parallel");
    NETTEST_REQUIRE(!parallel.isEmpty() && !QStandardPaths::findExecutable("rsync").isEmpty(),
                    "GNU parallel or rsync is not installed");
    nettest::SshServer server(QFileInfo(kCli).absolutePath());
    NETTEST_REQUIRE(server.available(), server.error().toStdString());

    QTemporaryDir tmp;
    const QString dir = tmp.path();
    ASSERT_TRUE(QDir().mkpath(dir + "/home") && QDir().mkpath(dir + "/lock") &&
                QDir().mkpath(dir + "/work"));
    QStringList files;
    // The examples with their stored results stale, so that a calculation shows in the file.
    for (const QString& p : kProjects) {
        const std::string text = tervana::test::changedProject(TERVANA_SOURCE_DIR "/examples/" +
                                                                   p.toStdString() + ".k4p",
                                                               tervana::test::makeResultsStale);
        ASSERT_FALSE(text.empty());
        tervana::test::writeFile((dir + "/" + p + ".k4p").toStdString(), text);
        files << p + ".k4p";
    }

    const QString login =
        QString("2/ssh -p %1 -i %2 -o UserKnownHostsFile=%3 "
                "-o StrictHostKeyChecking=accept-new -o BatchMode=yes %4@127.0.0.1")
            .arg(server.port())
            .arg(server.clientKey(), server.knownHosts(), server.user());
    QProcess run;
    run.setWorkingDirectory(dir);
    run.setProcessEnvironment(environment(dir));
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(parallel, QStringList{"--will-cite", "-S", login, "--workdir", "...",
                                    "--transferfile", "{}", "--return", "{.}.out.k4p", "--cleanup",
                                    "tervana-cli", "calc", "{}", "-o", "{.}.out.k4p", ":::"} +
                            files);
    ASSERT_TRUE(run.waitForFinished(180000));
    const std::string output = run.readAll().toStdString();
    ASSERT_EQ(run.exitCode(), 0) << output;

    for (const QString& p : kProjects) {
        SCOPED_TRACE(p.toStdString());
        QProcess local;
        local.setWorkingDirectory(dir);
        local.setProcessEnvironment(environment(dir));
        local.start(kCli, {"calc", p + ".k4p", "--workdir", "work", "-o", p + ".local.k4p"});
        ASSERT_TRUE(local.waitForFinished(120000));
        ASSERT_EQ(local.exitCode(), 0) << local.readAllStandardError().toStdString();
        const QByteArray remote = readAll(dir + "/" + p + ".out.k4p");
        ASSERT_FALSE(remote.isEmpty()) << output;
        EXPECT_NE(remote, readAll(dir + "/" + p + ".k4p")); // results were written
        EXPECT_TRUE(remote == readAll(dir + "/" + p + ".local.k4p"));
    }
}

} // namespace
