// What the window tests share: a main window with scripted dialogs in a scratch folder that
// also holds the settings, and small look-ups in the project tree.
#pragma once

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>
#include <vector>

#include "calcctl/calculation.h"
#include "tests/support/changed_project.h"
#include "tests/support/fake_prompts.h"
#include "ui/main_window.h"

inline const QString kExamples = QStringLiteral(TERVANA_SOURCE_DIR "/examples/");

inline std::vector<model::Node*> childrenOfKind(model::Node& n, model::ObjectKind k) {
    std::vector<model::Node*> out;
    for (auto& c : n.children)
        if (c->kind() == k) out.push_back(c.get());
    return out;
}

inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class WindowFixture {
protected:
    std::unique_ptr<QTemporaryDir> tmp_;
    Script script_;

    QString path(const QString& name) const { return tmp_->path() + "/" + name; }

    void setUpFolder() {
        tmp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp_->isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, tmp_->path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, tmp_->path());
        QVERIFY(QDir::setCurrent(tmp_->path()));
        script_ = Script{};
    }
    void tearDownFolder() {
        QDir::setCurrent(QDir::tempPath());
        tmp_.reset();
    }

    std::unique_ptr<ui::TDlgMain> makeWindow() {
        auto w = std::make_unique<ui::TDlgMain>(std::make_unique<FakePrompts>(script_));
        w->calculation().settings.lockDir = tmp_->path();
        w->calculation().settings.inhibitScreenSaver = false;
        w->calculation().settings.modulePath = QStringLiteral(TERVANA_KQ4CALC);
        return w;
    }
    // A project with absolute specifications 1..n, each with its first restriction.
    model::Node* projectWithSpecs(ui::TDlgMain& w, int n) {
        w.NewProject->trigger();
        model::Node* project = w.selectedNode();
        for (int i = 0; i < n; ++i) {
            w.selectNode(project);
            w.NewMotion->trigger();
        }
        return project;
    }
    model::Node* openExample(ui::TDlgMain& w, const QString& name) {
        script_.files.push_back(kExamples + name);
        w.OpenProj->trigger();
        return w.selectedNode();
    }
    // The example NAME as a file in another state (stale results, an older version), in the
    // scratch folder under its own name; the path.
    QString changedExample(const QString& name, const std::function<void(model::Node&)>& change) {
        const std::string text =
            tervana::test::changedProject((kExamples + name).toStdString(), change);
        QFile f(path(name));
        if (text.empty() || !f.open(QIODevice::WriteOnly)) return {};
        f.write(QByteArray::fromStdString(text));
        return path(name);
    }
};
