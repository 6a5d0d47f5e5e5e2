#pragma once
// The results window's output log: every analysis it showed (a data file's
// study at each 分析, a CSV at each reading), kept as the plain values they
// are, so that an earlier one is shown again without analysing it again; the
// last kMostAnalyses of them, the oldest left out first. Above the pages, the
// 履歴 choice names each (its time, file and design), 出力ログを保存… writes
// them all as one HTML file and 消去 clears the log.

#include <QDateTime>
#include <QWidget>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>

#include "anova/Analysis.h"
#include "output/OutputOptions.h"
#include "report/PrecisionCheck.h"

class QComboBox;

namespace morvane {

// One analysis as the window showed it.
struct LoggedEntry {
    anova::Analysis analysis;
    OutputLayout layout = OutputLayout::Design;
    std::optional<PrecisionCheck> precision;
    Provenance provenance;
    QString name;  // the file analysed
    QDateTime when;
};

class OutputLog {
public:
    // The most analyses kept.
    static constexpr std::size_t kMostAnalyses = 50;

    // `entry` after the others, the oldest left out beyond kMostAnalyses.
    void Add(LoggedEntry entry);
    // The newest alone kept.
    void KeepNewest();
    std::size_t Size() const { return entries_.size(); }
    const LoggedEntry& At(std::size_t i) const { return entries_.at(i); }
    // How the 履歴 choice names entry `i`: "01:52:03  a.csv  2 × 3: B within; N = 12".
    QString Label(std::size_t i, OutputLanguage language) const;
    // The whole log as one HTML document, each analysis's output in `language`.
    std::string Html(OutputLanguage language) const;

private:
    std::deque<LoggedEntry> entries_;
};

// The row above the pages: 履歴 with its choice of the log's analyses,
// 出力ログを保存… and 消去.
class OutputLogBar final : public QWidget {
    Q_OBJECT

public:
    explicit OutputLogBar(QWidget* parent);
    // The choice filled again from `log`, entry `shown` chosen.
    void Fill(const OutputLog& log, std::size_t shown, OutputLanguage language);

signals:
    // An analysis of the log chosen (from 0, the oldest).
    void chosen(std::size_t entry);
    void saveRequested();
    void clearRequested();

private:
    QComboBox* choice_ = nullptr;
    bool filling_ = false;
};

}  // namespace morvane
