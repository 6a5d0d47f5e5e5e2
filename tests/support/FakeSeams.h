#pragma once
// Test doubles of the windows' seams: file dialogs that give queued answers, a
// message box that records what it would show, and a printer that records
// what it was asked to print.

#include <QString>
#include <QStringList>
#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "runtime/Errors.h"
#include "store/StudyStore.h"
#include "widgets/Seams.h"

namespace morvane::testing {

class QueuedDialogs final : public widgets::FileDialogs {
public:
    struct Call {
        QString kind;  // "open" or "save"
        QString title;
        QString fileName;  // the name the dialog started with
    };

    // The next dialog returns `path`.
    void Choose(const QString& path) { answers_.push_back({false, path}); }
    // The next dialog is cancelled.
    void Cancel() { answers_.push_back({true, {}}); }

    std::optional<QString> Open(QWidget*, const QString& title, const QString& fileName) override {
        return Answer("open", title, fileName);
    }
    std::optional<QString> Save(QWidget*, const QString& title, const QString& fileName) override {
        return Answer("save", title, fileName);
    }
    std::optional<QString> OpenFiltered(QWidget*, const QString& title, const QString& fileName,
                                        const QStringList& nameFilters) override {
        lastFilters = nameFilters;
        return Answer("open", title, fileName);
    }
    std::optional<QString> SaveFiltered(QWidget*, const QString& title, const QString& fileName,
                                        const QStringList& nameFilters) override {
        lastFilters = nameFilters;
        return Answer("save", title, fileName);
    }
    std::optional<QString> SaveAs(QWidget*, const QString& title, const QString& fileName,
                                  const QStringList& nameFilters) override {
        lastFilters = nameFilters;
        return Answer("save", title, fileName);
    }

    QStringList lastFilters;  // the file types the last filtered dialog offered

    const std::vector<Call>& Calls() const { return calls_; }
    std::size_t Pending() const { return answers_.size(); }
    // A dialog ran with no answer queued (it was cancelled).
    bool Unexpected() const { return unexpected_; }

private:
    std::optional<QString> Answer(const char* kind, const QString& title, const QString& fileName) {
        calls_.push_back({QString::fromLatin1(kind), title, fileName});
        if (answers_.empty()) {
            unexpected_ = true;
            return std::nullopt;
        }
        const Reply reply = answers_.front();
        answers_.pop_front();
        if (reply.cancelled) return std::nullopt;
        return reply.path;
    }

    struct Reply {
        bool cancelled;
        QString path;
    };
    std::deque<Reply> answers_;
    std::vector<Call> calls_;
    bool unexpected_ = false;
};

class RecordedMessages final : public widgets::MessageBoxes {
public:
    // The next question before unsaved scores go is answered `answer`; a
    // question with no answer queued is cancelled.
    void Answer(widgets::SaveAnswer answer) { answers_.push_back(answer); }
    widgets::SaveAnswer AskToSave(QWidget*, const QString& question) override {
        asked_.append(question);
        if (answers_.empty()) return widgets::SaveAnswer::Cancel;
        const widgets::SaveAnswer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    // The next yes-or-no question is answered `yes`; one with no answer
    // queued is answered いいえ. Recorded with the other questions.
    void AnswerYes(bool yes) { yesNo_.push_back(yes); }
    bool AskYesNo(QWidget*, const QString& question) override {
        asked_.append(question);
        if (yesNo_.empty()) return false;
        const bool yes = yesNo_.front();
        yesNo_.pop_front();
        return yes;
    }
    // The question before a file is replaced is kept apart, and answered
    // はい unless an answer is queued, so that a test that writes a file over
    // one that an earlier test left has it replaced as it meant to.
    void AnswerReplace(bool yes) { replace_.push_back(yes); }
    bool AskToReplace(QWidget*, const QString& question) override {
        askedReplace_.append(question);
        if (replace_.empty()) return true;
        const bool yes = replace_.front();
        replace_.pop_front();
        return yes;
    }
    const QStringList& AskedReplace() const { return askedReplace_; }
    // The questions asked.
    const QStringList& Asked() const { return asked_; }
    std::size_t PendingAnswers() const { return answers_.size(); }

    void ShowError(QWidget*, const QString& text) override {
        if (whenError) whenError();
        shown_.append(text);
    }
    // Runs as an error box would show, to see the window behind it.
    std::function<void()> whenError;
    void ShowWarning(QWidget*, const QString& text) override { warnings_.append(text); }
    void ShowInformation(QWidget*, const QString& text) override { informed_.append(text); }
    // The error messages shown.
    const QStringList& Shown() const { return shown_; }
    const QStringList& Warnings() const { return warnings_; }
    // The information messages shown.
    const QStringList& Informed() const { return informed_; }
    void Clear() {
        shown_.clear();
        warnings_.clear();
        informed_.clear();
        asked_.clear();
        answers_.clear();
        yesNo_.clear();
        replace_.clear();
        askedReplace_.clear();
        whenError = nullptr;
    }

private:
    QStringList shown_;
    QStringList asked_;
    std::deque<widgets::SaveAnswer> answers_;
    std::deque<bool> yesNo_;
    std::deque<bool> replace_;
    QStringList askedReplace_;
    QStringList warnings_;
    QStringList informed_;
};

class FakePrinter final : public widgets::ListingPrinter {
public:
    bool Print(const StudyStore& store, PrintProgress& progress) override {
        ++jobs;
        printedTexts.clear();
        for (std::int32_t a = 1; a <= store.LevelCountA; ++a)
            for (std::int32_t s = 1; s <= store.SubjectCount; ++s)
                for (std::int32_t b = 1; b <= store.LevelCountB; ++b)
                    printedTexts.emplace_back(store.CellText(s, a, b));
        if (!failure.empty()) throw PrinterError(failure);
        // A slow job: `slowLines` lines of `lineMs` each, fifty to a page.
        for (int line = 1; line <= slowLines; ++line) {
            std::this_thread::sleep_for(std::chrono::milliseconds(lineMs));
            if (!progress.Continue(line, slowLines, 1 + line / 50)) {
                ++stopped;
                printedTexts.clear();
                return false;
            }
        }
        return true;
    }

    int jobs = 0;
    int stopped = 0;  // jobs stopped by their progress
    int slowLines = 0;
    int lineMs = 1;
    std::vector<std::string> printedTexts;  // every score text, level of A outermost
    std::string failure;                    // when set, Print throws it (code page 932)
};

// All three, ready to hand to a window.
struct FakeSeams {
    QueuedDialogs dialogs;
    RecordedMessages messages;
    FakePrinter printer;

    widgets::Seams Seams() { return {&dialogs, &messages, &printer}; }
};

}  // namespace morvane::testing
