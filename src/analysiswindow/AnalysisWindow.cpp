#include "analysiswindow/AnalysisWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "analysiswindow/AnalysisExport.h"
#include "analysiswindow/AnalysisTableModel.h"
#include "analysiswindow/InteractionPlotView.h"
#include "widgets/Commands.h"
#include "widgets/FormWindow.h"

namespace morvane {
namespace {

QLabel* Title(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

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
    AddTable(anova, "SummaryTable", 0);
    AddTable(anova, "SphericityTable", 1);
    sphericityNote_ = new QLabel(anova);
    sphericityNote_->setObjectName(QStringLiteral("SphericityNote"));
    sphericityNote_->setWordWrap(true);
    anova->layout()->addWidget(sphericityNote_);
    static_cast<QVBoxLayout*>(anova->layout())->addStretch();
    QWidget* means = page(QStringLiteral(u"平均"));
    AddTable(means, "CellMeansTable", 2);
    AddTable(means, "MeansATable", 3);
    AddTable(means, "MeansBTable", 4);
    static_cast<QVBoxLayout*>(means->layout())->addStretch();
    AddTable(page(QStringLiteral(u"対ごとの比較")), "ComparisonsTable", 5);
    AddTable(page(QStringLiteral(u"単純主効果")), "SimpleEffectsTable", 6);
    QWidget* precision = page(QStringLiteral(u"精度"));
    AddTable(precision, "PrecisionTable", 7);
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

void AnalysisWindow::AddTable(QWidget* page, const char* objectName, std::size_t index) {
    auto* title = Title({}, page);
    title->setObjectName(QString::fromLatin1(objectName) + QStringLiteral("Title"));
    page->layout()->addWidget(title);
    views_[index] = new AnalysisTableView(page);
    views_[index]->setObjectName(QString::fromLatin1(objectName));
    models_[index] = new AnalysisTableModel(views_[index]);
    views_[index]->setModel(models_[index]);
    page->layout()->addWidget(views_[index]);
}

void AnalysisWindow::Show(FullAnalysis analysis) {
    analysis_ = std::move(analysis);
    const WindowTables tables = MakeWindowTables(analysis_, decimalSeparator_);
    const WindowTable* list[] = {&tables.summary,       &tables.sphericity, &tables.cellMeans,
                                 &tables.meansA,        &tables.meansB,     &tables.comparisons,
                                 &tables.simpleEffects, &tables.precision};
    for (std::size_t i = 0; i < views_.size(); ++i) {
        models_[i]->SetTable(*list[i]);
        if (auto* title = findChild<QLabel*>(views_[i]->objectName() + QStringLiteral("Title")))
            title->setText(QString::fromStdString(list[i]->title));
        views_[i]->resizeColumnsToContents();
        const int rows = static_cast<int>(list[i]->rows.size());
        // The comparisons and simple effects fill their pages; the others show their rows.
        if (i != 5 && i != 6) views_[i]->FitRows(i == 2 ? std::min(rows, 24) : rows);
    }

    QString note;
    const std::pair<const char*, const EffectResult*> effects[] = {
        {"A", &analysis_.A}, {"B", &analysis_.B}, {"AB", &analysis_.AB}};
    for (const auto& [name, e] : effects)
        if (e->sphericityOmitted)
            note += QString::fromLatin1(name) +
                    QStringLiteral(u": 対比が多すぎるため球面性の検定を省きました。\n");
    if (tables.sphericity.rows.empty())
        note += QStringLiteral(
            u"球面性を検定する効果はありません (自由度 2 以上の効果がないか、被験者が足りません)。");
    else
        note += QStringLiteral(
            u"ε (HF) は公式のままの値で、1 を超えることがあります。修正した df と p には 1 "
            u"を上限として用います。");
    sphericityNote_->setText(note);

    notice_->setText(QString::fromStdString(tables.precisionNotice));
    notice_->setVisible(!tables.precisionNotice.empty());
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

}  // namespace morvane
