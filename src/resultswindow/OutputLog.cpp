#include "resultswindow/OutputLog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <utility>
#include <vector>

#include "output/LogDocument.h"

namespace morvane {

void OutputLog::Add(LoggedEntry entry) {
    entries_.push_back(std::move(entry));
    while (entries_.size() > kMostAnalyses) entries_.pop_front();
}

void OutputLog::KeepNewest() {
    while (entries_.size() > 1) entries_.pop_front();
}

QString OutputLog::Label(std::size_t i, OutputLanguage language) const {
    const LoggedEntry& e = entries_.at(i);
    return e.when.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("  ") + e.name +
           QStringLiteral("  ") + QString::fromStdString(DesignInWords(e.analysis, language));
}

std::string OutputLog::Html(OutputLanguage language) const {
    std::vector<LoggedAnalysis> analyses;
    for (const LoggedEntry& e : entries_) {
        LoggedAnalysis a;
        a.analysis = &e.analysis;
        a.options.language = language;
        a.options.layout = e.layout;
        a.options.provenance = e.provenance;
        a.name = e.name.toStdString();
        a.when = e.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
        analyses.push_back(std::move(a));
    }
    return OutputLogHtml(analyses, language);
}

OutputLogBar::OutputLogBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("OutputLogBar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(tr("履歴(&H):"), this);
    choice_ = new QComboBox(this);
    choice_->setObjectName(QStringLiteral("HistoryChoice"));
    choice_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    choice_->setToolTip(tr("この窓で示した分析 (最新の %1 件) から、もう一度示すものを選びます")
                            .arg(OutputLog::kMostAnalyses));
    label->setBuddy(choice_);
    auto* save = new QPushButton(tr("出力ログを保存…"), this);
    save->setObjectName(QStringLiteral("SaveLogButton"));
    save->setToolTip(tr("履歴のすべての分析を 1 つの HTML ファイルに書き出します"));
    auto* clear = new QPushButton(tr("消去"), this);
    clear->setObjectName(QStringLiteral("ClearLogButton"));
    clear->setToolTip(tr("履歴を消去します (最新の分析は残ります)"));
    row->addWidget(label);
    row->addWidget(choice_, 1);
    row->addWidget(save);
    row->addWidget(clear);
    connect(choice_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!filling_ && index >= 0) emit chosen(static_cast<std::size_t>(index));
    });
    connect(save, &QPushButton::clicked, this, &OutputLogBar::saveRequested);
    connect(clear, &QPushButton::clicked, this, &OutputLogBar::clearRequested);
}

void OutputLogBar::Fill(const OutputLog& log, std::size_t shown, OutputLanguage language) {
    filling_ = true;
    choice_->clear();
    for (std::size_t i = 0; i < log.Size(); ++i) choice_->addItem(log.Label(i, language));
    choice_->setCurrentIndex(static_cast<int>(shown));
    filling_ = false;
}

}  // namespace morvane
