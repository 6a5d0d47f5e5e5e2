#include "analysiswindow/AnalysisWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "analysiswindow/AnalysisExport.h"
#include "analysiswindow/AnalysisTableModel.h"
#include "analysiswindow/InteractionPlotView.h"
#include "anova/ResultTables.h"
#include "widgets/Commands.h"
#include "widgets/FormWindow.h"

namespace morvane {
namespace {

// How many rows a table shows before it scrolls: all of them, or as many as its page holds.
constexpr int kAllRows = INT_MAX;
constexpr int kFillsPage = 0;

QLabel* Title(QWidget* parent);
QString Lines(const std::vector<std::string>& notes);

}  // namespace

AnalysisWindow::AnalysisWindow(QWidget* owner, const widgets::Seams& seams, char decimalSeparator)
    : QWidget(owner, Qt::Window), seams_(seams), decimalSeparator_(decimalSeparator) {
    setObjectName(QStringLiteral("AnalysisWindow"));
    setWindowTitle(QStringLiteral(u"分析結果"));
    setFont(widgets::FormWindow::WindowFont());
    resize(1280, 720);

    auto* layout = new QVBoxLayout(this);
    notice_ = new QLabel(this);
    notice_->setObjectName(QStringLiteral("PrecisionNotice"));
    notice_->setWordWrap(true);
    notice_->setTextFormat(Qt::PlainText);
    notice_->setStyleSheet(
        QStringLiteral("QLabel { background: #fff3cd; color: #5c4400; border: 1px solid "
                       "#e0c36a; padding: 6px; }"));
    notice_->hide();
    layout->addWidget(notice_);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    auto* pages = new QTabWidget(splitter);
    pages->setObjectName(QStringLiteral("Pages"));
    const auto page = [&](const QString& caption) {
        auto* scroll = new QScrollArea(pages);
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        auto* inner = new QWidget(scroll);
        new QVBoxLayout(inner);
        scroll->setWidget(inner);
        pages->addTab(scroll, caption);
        return inner;
    };
    QWidget* anova = page(QStringLiteral(u"分散分析"));
    AddTable(anova, "Summary", kAllRows);
    AddTable(anova, "Sphericity", kAllRows);
    sphericityNote_ = new QLabel(anova);
    sphericityNote_->setObjectName(QStringLiteral("SphericityNote"));
    sphericityNote_->setWordWrap(true);
    anova->layout()->addWidget(sphericityNote_);
    static_cast<QVBoxLayout*>(anova->layout())->addStretch();
    QWidget* means = page(QStringLiteral(u"平均"));
    AddTable(means, "CellMeans", 24);
    AddTable(means, "MeansA", kAllRows);
    AddTable(means, "MeansB", kAllRows);
    static_cast<QVBoxLayout*>(means->layout())->addStretch();
    AddTable(page(QStringLiteral(u"対ごとの比較")), "Comparisons", kFillsPage);
    AddTable(page(QStringLiteral(u"単純主効果")), "SimpleEffects", kFillsPage);
    QWidget* precision = page(QStringLiteral(u"精度"));
    AddTable(precision, "Precision", kAllRows);
    static_cast<QVBoxLayout*>(precision->layout())->addStretch();

    plot_ = new InteractionPlotView(splitter);
    plot_->setObjectName(QStringLiteral("InteractionPlot"));
    splitter->addWidget(pages);
    splitter->addWidget(plot_);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    splitter->setSizes({820, 440});
    splitter->setChildrenCollapsible(false);
    layout->addWidget(splitter, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* exportButton = new QPushButton(QStringLiteral(u"書き出し…"), this);
    exportButton->setObjectName(QStringLiteral("ExportButton"));
    auto* closeButton = new QPushButton(QStringLiteral(u"閉じる"), this);
    closeButton->setObjectName(QStringLiteral("CloseButton"));
    buttons->addWidget(exportButton);
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);
    connect(exportButton, &QPushButton::clicked, this, &AnalysisWindow::Export);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
}

AnalysisWindow::~AnalysisWindow() = default;

void AnalysisWindow::Show(FullAnalysis analysis) {
    analysis_ = std::move(analysis);
    for (const TableText& table : TableTexts(analysis_, TableReader::Window, decimalSeparator_)) {
        if (table.id == "Sphericity") sphericityNote_->setText(Lines(table.notes));
        if (table.id == "Precision") {
            notice_->setText(Lines(table.notes));
            notice_->setVisible(!table.notes.empty());
        }
        for (const ShownTable& shown : tables_) {
            if (shown.id != table.id) continue;
            shown.model->SetTable(table);
            shown.title->setText(QString::fromStdString(table.title));
            shown.view->resizeColumnsToContents();
            const int rows = static_cast<int>(table.rows.size());
            if (shown.rowsShown != kFillsPage) shown.view->FitRows(std::min(rows, shown.rowsShown));
        }
    }
    plot_->SetData(plot::PlotDataOf(analysis_, decimalSeparator_));

    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void AnalysisWindow::Export() {
    widgets::RunCommand(*seams_.messages, this, [this] {
        const auto chosen =
            seams_.dialogs->SaveAs(this, QStringLiteral(u"書き出し"), exportName_, ExportNameFilters());
        if (!chosen || chosen->isEmpty()) return;  // cancelled: nothing is written
        exportName_ = *chosen;
        ExportAnalysis(analysis_, plot_->Data(), *chosen);
    });
}

// The constructor, for each table of the analysis.
void AnalysisWindow::AddTable(QWidget* page, const char* id, int rowsShown) {
    const QString name = QString::fromLatin1(id) + QStringLiteral("Table");
    QLabel* title = Title(page);
    title->setObjectName(name + QStringLiteral("Title"));
    page->layout()->addWidget(title);
    auto* view = new AnalysisTableView(page);
    view->setObjectName(name);
    auto* model = new AnalysisTableModel(view);
    view->setModel(model);
    page->layout()->addWidget(view);
    tables_.push_back({id, rowsShown, title, view, model});
}

namespace {

// AddTable: the bold label above a table, its text set by Show.
QLabel* Title(QWidget* parent) {
    auto* label = new QLabel(parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

// Show, for the notes of the sphericity test and of the precision check.
QString Lines(const std::vector<std::string>& notes) {
    QStringList lines;
    for (const std::string& note : notes) lines.append(QString::fromStdString(note));
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

}  // namespace morvane
