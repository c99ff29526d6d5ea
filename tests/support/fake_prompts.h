// Scripted answers for the window's dialogs: every message is recorded with its buttons, and
// questions and file dialogs take their answers from queues.
#pragma once

#include <QDialog>
#include <QFileInfo>
#include <QUrl>

#include <deque>
#include <functional>
#include <vector>

#include "graphics/prompts.h"

struct Script {
    std::vector<model::Message> messages;
    std::vector<graphics::Buttons> buttons;
    std::deque<graphics::Answer> answers; // empty: OK for a notice, No for a question
    std::deque<QString> files;            // empty: the dialog is cancelled
    std::deque<int> filters;              // the filter chosen; empty: the one preselected
    std::vector<graphics::FileRequest> requests;
    std::vector<QString> replaceAsked; // files the save dialog asked about replacing
    std::deque<bool> replace;          // the answers; empty: replace
    std::function<void(QDialog&)> onExec;
    bool execAccepts = true;
    std::vector<QString> execTitles;
    int printerSetups = 0;
    std::vector<QUrl> urls;
    bool urlOpens = true;
    std::deque<QColor> colours; // empty: the colour dialog is cancelled

    void clear() {
        messages.clear();
        buttons.clear();
        requests.clear();
    }
};

class FakePrompts : public graphics::Prompts {
public:
    explicit FakePrompts(Script& s) : s_(s) {}

    graphics::Answer message(QWidget*, const model::Message& m, graphics::Buttons b) override {
        s_.messages.push_back(m);
        s_.buttons.push_back(b);
        if (!s_.answers.empty()) {
            const graphics::Answer a = s_.answers.front();
            s_.answers.pop_front();
            return a;
        }
        return b == graphics::Buttons::Ok ? graphics::Answer::Ok : graphics::Answer::No;
    }
    QString openFile(QWidget*, graphics::FileRequest& r) override { return next(r); }
    // As the dialog does: a name without extension takes the chosen filter's, then an
    // existing file is replaced only when the question is answered so.
    QString saveFile(QWidget*, graphics::FileRequest& r) override {
        QString f = next(r);
        if (f.isEmpty()) return f;
        const QString suffix = graphics::suffixForFilter(r, r.filterIndex);
        if (QFileInfo(f).suffix().isEmpty() && !suffix.isEmpty()) f += u'.' + suffix;
        if (!QFileInfo::exists(f)) return f;
        s_.replaceAsked.push_back(f);
        const bool yes = s_.replace.empty() || s_.replace.front();
        if (!s_.replace.empty()) s_.replace.pop_front();
        return yes ? f : QString();
    }
    bool exec(QDialog& d) override {
        s_.execTitles.push_back(d.windowTitle());
        if (s_.onExec) s_.onExec(d);
        return s_.execAccepts;
    }
    bool printerSetup(QWidget*, QPrinter&) override {
        ++s_.printerSetups;
        return true;
    }
    bool openUrl(const QUrl& url) override {
        s_.urls.push_back(url);
        return s_.urlOpens;
    }

    QColor chooseColor(QWidget*, const QColor&) override {
        if (s_.colours.empty()) return {};
        const QColor c = s_.colours.front();
        s_.colours.pop_front();
        return c;
    }

private:
    QString next(graphics::FileRequest& r) {
        s_.requests.push_back(r);
        if (!s_.filters.empty()) {
            r.filterIndex = s_.filters.front();
            s_.filters.pop_front();
        }
        if (s_.files.empty()) return {};
        QString f = s_.files.front();
        s_.files.pop_front();
        return f;
    }
    Script& s_;
};
