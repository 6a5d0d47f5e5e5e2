#pragma once
// What the data window's tests share: a study loaded into the store, the
// window opened over it with fake seams and an owner that records its close,
// and the grid and tabs as the user reaches them.


#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <memory>

#include "datawindow/DataWindow.h"
#include "datawindow/WriteBack.h"
#include "resultswindow/ResultsWindow.h"
#include "runtime/MemoryBudget.h"
#include "runtime/Messages.h"
#include "session/Recovery.h"
#include "store/DataFile.h"
#include "support/Components.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"
#include "support/WindowDriving.h"
#include "widgets/FileChoice.h"

using namespace morvane;
using morvane::testing::ReadBytes;
using morvane::testing::Sjis;
using morvane::testing::WriteBytes;


// Data file lines joined with CR LF.
inline std::string Lines(std::initializer_list<std::string> lines) {
    std::string bytes;
    for (const auto& line : lines) bytes += line + "\r\n";
    return bytes;
}

// N = 2, three levels of A (x, y, z), two of B; level 1 with blanks around
// its texts, level 2 with bytes that are not code page 932 and a trailing tab.
inline const std::string kThreeLevels = Lines({"2", "3", "2", "x", "y", "z", "b1", "b2",
                                        // a1: b1 for s1, s2; then b2
                                        " 1 ", "2", "3", "\t4",
                                        // a2
                                        "\x82\xFF", "6\t", "7", "8",
                                        // a3
                                        "9", "10", "11", "12"});

// An owner that records that it was closed.
class Owner : public QWidget {
public:
    int closes = 0;

protected:
    void closeEvent(QCloseEvent* event) override {
        ++closes;
        event->accept();
    }
};

// The members and helpers of the tests' classes; init() and cleanup() of each
// call Reset() and form_.reset().
class DataWindowFixture {
protected:
    testing::TempDir dir_;
    testing::FakeSeams seams_;
    StudyStore store_;
    Owner owner_;
    std::unique_ptr<DataWindow> form_;

    void Load(const std::string& bytes) {
        WriteBytes(dir_.File("study.dat"), bytes);
        LoadStudyFile(store_, dir_.File("study.dat"));
    }
    DataWindow* Open() {
        form_ = std::make_unique<DataWindow>(&owner_, store_, seams_.Seams(), '.');
        return form_.get();
    }
    DataWindow* OpenShown() {
        Open();
        if (!testing::ShowActive(form_.get())) return nullptr;
        return form_.get();
    }
    widgets::StringGridModel& Cells() { return testing::Grid(form_, "StringGrid1")->Cells(); }
    widgets::StringGrid* Grid() { return testing::Grid(form_, "StringGrid1"); }
    widgets::TabStrip* Tabs() { return testing::Tabs(form_, "TabControl1"); }
    // Presses `key` with `modifiers` where the focus is, as the user does.
    static void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }
    // The window was closed: the owner closed and the store released.
    bool Closed() const { return owner_.closes == 1 && store_.CellText.Empty(); }

    void Reset() {
        seams_.dialogs = {};
        seams_.messages.Clear();
        seams_.printer = {};
        store_ = {};
        owner_.closes = 0;
    }
};
