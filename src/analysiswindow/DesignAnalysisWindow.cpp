#include "analysiswindow/DesignAnalysisWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "analysiswindow/AnalysisExport.h"
#include "analysiswindow/AnalysisTableModel.h"
#include "analysiswindow/InteractionPlotView.h"
#include "analysiswindow/QuantilePlotView.h"
#include "exchange/ExchangeFiles.h"
#include "output/AnovaFormats.h"
#include "output/DesignFormats.h"
#include "output/DesignTables.h"
#include "plot/DesignPlot.h"
#include "qttext/Text.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "runtime/TextWriter.h"
#include "widgets/Commands.h"
#include "widgets/FormWindow.h"

namespace morvane {
namespace {

// How often the window looks whether its file changed on disk.
constexpr int kWatchMs = 2000;
// A table shows this many rows at most before it scrolls.
constexpr int kMostRowsShown = 30;

// The page a table goes on, by its id; the tables of one page in their order.
QString PageOf(const std::string& id) {
    if (id == "Summary" || id == "Sphericity") return QStringLiteral(u"分散分析");
    if (id == "CellMeans" || id == "MarginalMeans") return QStringLiteral(u"平均");
    if (id == "Comparisons") return QStringLiteral(u"対ごとの比較");
    if (id == "SimpleEffects") return QStringLiteral(u"単純効果");
    if (id == "Multivariate") return QStringLiteral(u"多変量検定");
    return QStringLiteral(u"前提の確認");
}

QLabel* Paragraph(QWidget* parent, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QString Lines(const std::vector<std::string>& lines) {
    QStringList out;
    for (const std::string& line : lines) out.append(QString::fromStdString(line));
    return out.join(QLatin1Char('\n'));
}

QString Escaped(const std::string& utf8) {
    return QString::fromStdString(utf8).toHtmlEscaped();
}

// A field of the tab-separated copy: no tab or line end inside.
QString Field(const std::string& utf8) {
    QString text = QString::fromStdString(utf8);
    text.replace(QLatin1Char('\t'), QLatin1Char(' '))
        .replace(QLatin1Char('\r'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

}  // namespace

QMimeData* TableMime(const TableText& table) {
    QString html = QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\"><caption>") +
                   Escaped(table.title) + QStringLiteral("</caption>\n<tr>");
    QStringList lines;
    QStringList fields;
    for (const std::string& h : table.header) {
        html += QStringLiteral("<th>") + Escaped(h) + QStringLiteral("</th>");
        fields.append(Field(h));
    }
    html += QStringLiteral("</tr>\n");
    lines.append(fields.join(QLatin1Char('\t')));
    for (const auto& row : table.rows) {
        fields.clear();
        html += QStringLiteral("<tr>");
        for (std::size_t c = 0; c < row.size(); ++c) {
            const bool numeric = c < table.numeric.size() && table.numeric[c];
            html += (numeric ? QStringLiteral("<td align=\"right\">") : QStringLiteral("<td>")) +
                    Escaped(row[c]) + QStringLiteral("</td>");
            fields.append(Field(row[c]));
        }
        html += QStringLiteral("</tr>\n");
        lines.append(fields.join(QLatin1Char('\t')));
    }
    html += QStringLiteral("</table>\n");
    for (const std::string& note : table.notes)
        html += QStringLiteral("<p>") + Escaped(note) + QStringLiteral("</p>\n");
    auto* mime = new QMimeData;
    mime->setHtml(html);
    mime->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    return mime;
}

DesignAnalysisWindow::DesignAnalysisWindow(QWidget* owner, const widgets::Seams& seams, char decimalSeparator)
    : QWidget(owner, Qt::Window), seams_(seams), decimalSeparator_(decimalSeparator) {
    setObjectName(QStringLiteral("DesignAnalysisWindow"));
    setWindowTitle(QStringLiteral(u"分析結果"));
    setFont(widgets::FormWindow::WindowFont());
    resize(1100, 720);
    auto* layout = new QVBoxLayout(this);
    changedNotice_ = Paragraph(this, {});
    changedNotice_->setObjectName(QStringLiteral("FileChangedNotice"));
    changedNotice_->setStyleSheet(
        QStringLiteral("QLabel { background: #f8d7da; color: #58151c; border: 1px solid "
                       "#e4a1a8; padding: 6px; font-weight: bold; }"));
    changedNotice_->hide();
    layout->addWidget(changedNotice_);
    readNotes_ = Paragraph(this, {});
    readNotes_->setObjectName(QStringLiteral("ReadNotes"));
    readNotes_->setStyleSheet(QStringLiteral("QLabel { border: 1px solid #b6c2cf; padding: 6px; }"));
    readNotes_->hide();
    layout->addWidget(readNotes_);
    pages_ = new QTabWidget(this);
    pages_->setObjectName(QStringLiteral("Pages"));
    layout->addWidget(pages_, 1);

    auto* buttons = new QHBoxLayout;
    const auto button = [&](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        buttons->addWidget(b);
        return b;
    };
    QPushButton* copy = button(QStringLiteral(u"表をコピー"), "CopyTableButton");
    copy->setToolTip(
        QStringLiteral(u"分散分析表を APA 形式の表としてコピーします (ワープロに表として貼り付けられます)"));
    QPushButton* sentences = button(QStringLiteral(u"報告文をコピー"), "CopySentencesButton");
    sentences->setToolTip(QStringLiteral(u"効果ごとの報告文 (F、p、効果量) をコピーします"));
    english_ = new QCheckBox(QStringLiteral(u"英語で出力"), this);
    english_->setObjectName(QStringLiteral("EnglishCheck"));
    english_->setToolTip(QStringLiteral(u"コピーする表と書き出す結果を英語にします"));
    buttons->addWidget(english_);
    buttons->addStretch();
    QPushButton* reread = button(QStringLiteral(u"再読み込み"), "RereadButton");
    reread->setToolTip(QStringLiteral(u"CSV ファイルを同じ列の役割で読み直して分析し直します"));
    QPushButton* exportButton = button(QStringLiteral(u"書き出し…"), "ExportButton");
    QPushButton* close = button(QStringLiteral(u"閉じる"), "CloseButton");
    layout->addLayout(buttons);
    connect(copy, &QPushButton::clicked, this, &DesignAnalysisWindow::CopyTable);
    connect(sentences, &QPushButton::clicked, this, &DesignAnalysisWindow::CopySentences);
    connect(reread, &QPushButton::clicked, this, &DesignAnalysisWindow::Reread);
    connect(exportButton, &QPushButton::clicked, this, &DesignAnalysisWindow::Export);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    watch_ = new QTimer(this);
    watch_->setInterval(kWatchMs);
    connect(watch_, &QTimer::timeout, this, &DesignAnalysisWindow::CheckFile);
}

DesignAnalysisWindow::~DesignAnalysisWindow() = default;

void DesignAnalysisWindow::Show(CsvSource source, std::string_view bytes, const DesignData& design) {
    analysis_ = AnalyseDesign(design);
    source_ = std::move(source);
    provenance_ = ProvenanceOfBytes(bytes);
    const QFileInfo file(QFile::decodeName(source_.path.c_str()));
    size_ = file.exists() ? file.size() : -1;
    modified_ = file.exists() ? file.lastModified() : QDateTime();
    changed_ = false;
    changedNotice_->hide();
    setWindowTitle(QStringLiteral(u"分析結果 - %1").arg(file.fileName()));

    std::vector<std::string> notes;
    if (!analysis_.removed.empty())
        notes.push_back(RemovedSubjectsNote(analysis_.subjects, analysis_.subjectsRead, analysis_.removed,
                                            OutputLanguage::Japanese));
    if (analysis_.averagedCells > 0)
        notes.push_back(std::to_string(analysis_.averagedCells) + " 個のセルの得点は、" +
                        std::to_string(analysis_.averagedRows) + " 行を平均したものです。");
    readNotes_->setText(Lines(notes));
    readNotes_->setVisible(!notes.empty());
    OutputOptions shown;
    shown.language = OutputLanguage::Japanese;
    tables_ = DesignTableTexts(analysis_, TableReader::Window, shown, decimalSeparator_);
    FillPagesAndQuantiles();
    watch_->start();
    show();
    raise();
    activateWindow();
}

void DesignAnalysisWindow::FillPages() {
    const int current = pages_->currentIndex();
    while (pages_->count() > 0) {
        QWidget* page = pages_->widget(0);
        pages_->removeTab(0);
        delete page;
    }
    for (const TableText& table : tables_) {
        const QString caption = PageOf(table.id);
        QWidget* inner = nullptr;
        for (int i = 0; i < pages_->count(); ++i)
            if (pages_->tabText(i) == caption) inner = static_cast<QScrollArea*>(pages_->widget(i))->widget();
        if (inner == nullptr) {
            auto* scroll = new QScrollArea(pages_);
            scroll->setWidgetResizable(true);
            scroll->setFrameShape(QFrame::NoFrame);
            inner = new QWidget(scroll);
            auto* innerLayout = new QVBoxLayout(inner);
            innerLayout->addStretch();
            scroll->setWidget(inner);
            pages_->addTab(scroll, caption);
        }
        auto* layout = static_cast<QVBoxLayout*>(inner->layout());
        const int at = layout->count() - 1;  // before the stretch
        auto* title = new QLabel(QString::fromStdString(table.title), inner);
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
        auto* view = new AnalysisTableView(inner);
        view->setObjectName(QString::fromStdString(table.id) + QStringLiteral("Table"));
        auto* model = new AnalysisTableModel(view);
        model->SetTable(table);
        view->setModel(model);
        view->FitColumns();
        view->FitRows(std::min(static_cast<int>(table.rows.size()), kMostRowsShown));
        layout->insertWidget(at, title);
        layout->insertWidget(at + 1, view);
        if (!table.notes.empty()) layout->insertWidget(at + 2, Paragraph(inner, Lines(table.notes)));
    }
    pages_->addTab(MakePlotPage(), QStringLiteral(u"図"));
    pages_->setCurrentIndex(std::clamp(current, 0, pages_->count() - 1));
}

// The pages made again, the Q-Q page among them, on the page that was shown.
void DesignAnalysisWindow::FillPagesAndQuantiles() {
    const bool quantiles = pages_->currentWidget() != nullptr &&
                           pages_->currentWidget()->objectName() == QLatin1String("QuantilePage");
    FillPages();
    QWidget* page = AddQuantilePage();
    if (quantiles) pages_->setCurrentWidget(page);
}

QWidget* DesignAnalysisWindow::AddQuantilePage() {
    auto* page = new QWidget(pages_);
    page->setObjectName(QStringLiteral("QuantilePage"));
    auto* layout = new QVBoxLayout(page);
    quantilePlot_ = new QuantilePlotView(page);
    quantilePlot_->setObjectName(QStringLiteral("QuantilePlot"));
    quantilePlot_->SetData(plot::QuantilePlotDataOf(analysis_, decimalSeparator_));
    layout->addWidget(quantilePlot_, 1);
    auto* caption = Paragraph(page, plot::QuantilePlotCaption(quantilePlot_->Data()));
    caption->setObjectName(QStringLiteral("QuantilePlotCaption"));
    layout->addWidget(caption);
    auto* row = new QHBoxLayout;
    auto* button = new QPushButton(QStringLiteral(u"Q-Q プロットを書き出し…"), page);
    button->setObjectName(QStringLiteral("ExportQuantilePlotButton"));
    row->addWidget(button);
    row->addStretch();
    layout->addLayout(row);
    connect(button, &QPushButton::clicked, this, &DesignAnalysisWindow::ExportQuantilePlot);
    // After the checks' page, else (none shown) before the plot's.
    int at = pages_->count();
    for (int i = 0; i < pages_->count(); ++i)
        if (pages_->tabText(i) == QStringLiteral(u"前提の確認")) at = i + 1;
    pages_->insertTab(at, page, QStringLiteral(u"Q-Q プロット"));
    return page;
}

const plot::QuantilePlotData& DesignAnalysisWindow::QuantilePlot() const {
    static const plot::QuantilePlotData none;
    return quantilePlot_ != nullptr ? quantilePlot_->Data() : none;
}

void DesignAnalysisWindow::ExportQuantilePlot() {
    widgets::RunCommand(*seams_.messages, this, [this] {
        if (quantileName_.isEmpty()) {
            const QFileInfo csv(QFile::decodeName(source_.path.c_str()));
            quantileName_ = csv.dir().filePath(csv.completeBaseName() + QStringLiteral("-qq.png"));
        }
        ExportToChosenFile(seams_, this, exported_, quantileName_, QStringLiteral(u"Q-Q プロットの書き出し"),
                           QuantilePlotNameFilters(), source_.path, [this](const QString& path) {
                               morvane::ExportQuantilePlot(QuantilePlot(), path);
                           });
    });
}

void DesignAnalysisWindow::Reread() {
    widgets::RunCommand(*seams_.messages, this, [this] {
        const FileBytes bytes = ReadWholeFile(source_.path);
        const DesignData design = ReadLongCsv(bytes.View(), source_.roles, source_.options);
        CsvSource source = source_;
        Show(std::move(source), bytes.View(), design);
    });
}

bool DesignAnalysisWindow::CheckFile() {
    if (changed_ || source_.path.empty()) return changed_;
    const QFileInfo file(QFile::decodeName(source_.path.c_str()));
    const qint64 size = file.exists() ? file.size() : -1;
    const QDateTime modified = file.exists() ? file.lastModified() : QDateTime();
    if (size == size_ && modified == modified_) return false;
    // Touched but the same bytes (saved again unchanged): still the file analysed.
    if (size == size_ && size >= 0) {
        try {
            const FileBytes bytes = ReadWholeFile(source_.path);
            if (Sha256Hex(bytes.View()) == provenance_.dataSha256.value_or(std::string())) {
                modified_ = modified;
                return false;
            }
        } catch (const Error&) {
            // Unreadable now: changed, as far as the window can tell.
        }
    }
    changed_ = true;
    changedNotice_->setText(
        QStringLiteral(u"%1 は読み込んだ後に変更されました。ここに示す結果は変更前のデータのものです。"
                       u"「再読み込み」を押すと今のファイルで分析し直します。")
            .arg(file.fileName()));
    changedNotice_->show();
    return true;
}

void DesignAnalysisWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) CheckFile();
}

OutputLanguage DesignAnalysisWindow::Language() const {
    return english_->isChecked() ? OutputLanguage::English : OutputLanguage::Japanese;
}

OutputOptions DesignAnalysisWindow::Options() const {
    OutputOptions options;
    options.language = Language();
    options.provenance = provenance_;
    return options;
}

// 表をコピー: the APA summary table as a word processor pastes it (HTML, RTF,
// tab-separated), as the two-way analysis window copies it.
void DesignAnalysisWindow::CopyTable() {
    widgets::RunCommand(*seams_.messages, this, [this] {
        QApplication::clipboard()->setMimeData(SummaryTableMime(analysis_, Options()).release());
    });
}

// 報告文をコピー: the ready sentences, one a line, each after its effect's name.
void DesignAnalysisWindow::CopySentences() {
    widgets::RunCommand(*seams_.messages, this,
                        [this] { QApplication::clipboard()->setText(SentencesText(analysis_, Options())); });
}

void DesignAnalysisWindow::Export() {
    widgets::RunCommand(*seams_.messages, this, [this] {
        ExportToChosenFile(
            seams_, this, exported_, exportName_, QStringLiteral(u"書き出し"),
            {QStringLiteral(u"JSON (*.json)"), QStringLiteral(u"マークダウン (*.md)")}, source_.path,
            [this](const QString& path) {
                const QString suffix = QFileInfo(path).suffix().toLower();
                AnovaFormat format;
                if (suffix == QLatin1String("json"))
                    format = AnovaFormat::Json;
                else if (suffix == QLatin1String("md") || suffix == QLatin1String("markdown"))
                    format = AnovaFormat::Markdown;
                else
                    throw Error(Cp932FromUtf8(
                        "書き出す形式が分かりません: ファイル名の末尾を .json か .md にしてください"));
                const std::string text = FormatDesignAnalysis(analysis_, format, Options());
                WriteTextFile(qttext::FilePath(path), [&](TextWriter& out) { out.Write(text); });
            });
    });
}

// The 図 page: the design's interaction plot above the choice of its error
// bars with the export, and its caption.
QWidget* DesignAnalysisWindow::MakePlotPage() {
    auto* page = new QWidget(pages_);
    auto* layout = new QVBoxLayout(page);
    plot_ = new InteractionPlotView(page);
    plot_->setObjectName(QStringLiteral("DesignPlot"));
    layout->addWidget(plot_, 1);
    auto* row = new QHBoxLayout;
    errorBars_ = AddErrorBarsChoice(page, row);
    row->addStretch();
    auto* exportPlot = new QPushButton(QStringLiteral(u"図を書き出し…"), page);
    exportPlot->setObjectName(QStringLiteral("ExportPlotButton"));
    exportPlot->setToolTip(QStringLiteral(u"この図を PNG 画像、SVG、PDF のファイルに書き出します"));
    row->addWidget(exportPlot);
    layout->addLayout(row);
    plotCaption_ = Paragraph(page, {});
    plotCaption_->setObjectName(QStringLiteral("PlotCaption"));
    layout->addWidget(plotCaption_);
    SetErrorBars(bars_);
    connect(errorBars_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) SetErrorBars(static_cast<plot::ErrorBars>(errorBars_->itemData(index).toInt()));
    });
    connect(exportPlot, &QPushButton::clicked, this, &DesignAnalysisWindow::ExportPlot);
    return page;
}

void DesignAnalysisWindow::SetErrorBars(plot::ErrorBars bars) {
    bars_ = bars;
    if (plot_ == nullptr) return;  // no analysis shown yet
    const int index = errorBars_->findData(static_cast<int>(bars));
    if (index != errorBars_->currentIndex()) errorBars_->setCurrentIndex(index);  // comes back here
    plot_->SetData(plot::DesignPlotDataOf(analysis_, decimalSeparator_, bars));
    plotCaption_->setText(plot::PlotCaption(plot_->Data()));
}

void DesignAnalysisWindow::ExportPlot() {
    widgets::RunCommand(*seams_.messages, this, [this] {
        if (plot_ == nullptr) return;
        if (plotName_.isEmpty()) {
            const QFileInfo csv(QFile::decodeName(source_.path.c_str()));
            plotName_ = csv.dir().filePath(csv.completeBaseName() + QStringLiteral("-plot.png"));
        }
        ExportToChosenFile(seams_, this, exported_, plotName_, QStringLiteral(u"図の書き出し"),
                           PlotNameFilters(), source_.path,
                           [this](const QString& path) { ExportInteractionPlot(plot_->Data(), path); });
    });
}

}  // namespace morvane
