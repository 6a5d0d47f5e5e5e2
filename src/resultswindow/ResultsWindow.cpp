#include "resultswindow/ResultsWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>
#include <QSplitter>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>
#include <optional>
#include <string>
#include <utility>

#include "exchange/ExchangeFiles.h"
#include "exchange/HeaderRow.h"
#include "output/AnalysisOptionWords.h"
#include "output/AnalysisTables.h"
#include "output/AnovaFormats.h"
#include "plot/DesignPlot.h"
#include "powerwindow/PowerDialog.h"
#include "qttext/Text.h"
#include "resultswindow/AnalysisExport.h"
#include "resultswindow/AnalysisSettingsDialog.h"
#include "resultswindow/InteractionPlotView.h"
#include "resultswindow/ResultsPages.h"
#include "resultswindow/WindowPlacement.h"
#include "runtime/Errors.h"
#include "runtime/TextWriter.h"
#include "widgets/Commands.h"
#include "widgets/FormWindow.h"
#include "widgets/OffThread.h"
#include "widgets/QtTranslation.h"

namespace morvane {
namespace {

// The size the window would like at least, and the least it is given beside the window it was opened from.
constexpr QSize kWantedSize{1280, 720};
constexpr QSize kLeastSize{720, 480};
// A larger free area gives it more, up to twice the area it would like.
constexpr qint64 kLargestArea = 2LL * 1280 * 720;
// Narrower than this, the plot goes below the tables.
constexpr int kPlotBesideWidth = 1200;
// The least height of the pages, so that the smallest window, its plot below
// them, still shows a table's heading and some rows.
constexpr int kLeastPagesHeight = 200;
// How often a CSV's window looks whether its file changed on disk.
constexpr int kWatchMs = 2000;
// How long a reanalysis runs before its progress shows.

// The looks of the notices above the tables.
const char* const kAlarm =
    "QLabel { background: #f8d7da; color: #58151c; border: 1px solid #e4a1a8; padding: 6px; font-weight: "
    "bold; }";
const char* const kCaution =
    "QLabel { background: #fff3cd; color: #5c4400; border: 1px solid #e0c36a; padding: 6px; }";
const char* const kPlain = "QLabel { border: 1px solid #b6c2cf; padding: 6px; }";

QLabel* Notice(QWidget* parent, const char* name, const char* look) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setStyleSheet(QString::fromLatin1(look));
    label->hide();
    return label;
}

QString Lines(const std::vector<std::string>& lines) {
    QStringList out;
    for (const std::string& line : lines) out.append(QString::fromStdString(line));
    return out.join(QLatin1Char('\n'));
}

}  // namespace

ResultsWindow::ResultsWindow(QWidget* owner, const widgets::Seams& seams, char decimalSeparator)
    : QWidget(owner, Qt::Window), seams_(seams), decimalSeparator_(decimalSeparator) {
    setObjectName(QStringLiteral("ResultsWindow"));
    setWindowTitle(tr("分析結果"));
    setFont(widgets::FormWindow::WindowFont());
    resize(kWantedSize);

    auto* layout = new QVBoxLayout(this);
    staleNotice_ = Notice(this, "OutOfDateNotice", kAlarm);
    changedNotice_ = Notice(this, "FileChangedNotice", kAlarm);
    readNotice_ = Notice(this, "RemovedSubjectsNotice", kPlain);
    precisionNotice_ = Notice(this, "PrecisionNotice", kCaution);
    commandNotice_ = Notice(this, "CommandNotice", kPlain);
    commandNotice_->setWordWrap(true);
    earlierNotice_ = Notice(this, "EarlierAnalysisNotice", kCaution);
    for (QLabel* notice :
         {earlierNotice_, staleNotice_, changedNotice_, readNotice_, precisionNotice_, commandNotice_})
        layout->addWidget(notice);
    logBar_ = new OutputLogBar(this);
    layout->addWidget(logBar_);
    connect(logBar_, &OutputLogBar::chosen, this, &ResultsWindow::ShowLogged);
    connect(logBar_, &OutputLogBar::saveRequested, this, &ResultsWindow::SaveLog);
    connect(logBar_, &OutputLogBar::clearRequested, this, &ResultsWindow::ClearLog);

    auto* buttons = new QHBoxLayout;
    AddCopyActions(buttons);
    AddRoundingChoice(buttons);
    splitter_ = new QSplitter(Qt::Horizontal, this);
    pages_ = new ResultsPages(splitter_, [this] { return MayUseFigures(tr("コピー")); },
                              {findChild<QAction*>(QStringLiteral("CopyTableAction")),
                               findChild<QAction*>(QStringLiteral("CopySentencesAction")), english_});
    connect(pages_, &ResultsPages::exportQuantilesRequested, this, &ResultsWindow::ExportQuantilePlot);
    pages_->setMinimumHeight(kLeastPagesHeight);
    connect(pages_, &ResultsPages::powerRequested, this, &ResultsWindow::OpenPowerCalculator);
    splitter_->addWidget(pages_);
    splitter_->addWidget(MakePlotPane(splitter_));
    splitter_->setStretchFactor(0, 3);
    splitter_->setStretchFactor(1, 2);
    splitter_->setSizes({820, 440});
    splitter_->setChildrenCollapsible(false);
    layout->addWidget(splitter_, 1);

    buttons->addStretch();
    const auto button = [&](const QString& text, const char* name, const QString& tip) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(tip);
        buttons->addWidget(b);
        return b;
    };
    reread_ =
        button(tr("再読み込み"), "RereadButton", tr("CSV ファイルを同じ列の役割で読み直して分析し直します"));
    reread_->hide();  // a CSV's alone
    settings_ = button(tr("分析の設定…"), "AnalysisSettingsButton",
                       tr("多重比較の調整、効果量、計画対比、セルの比較、有意水準を選んで分析し直します"));
    QPushButton* exportButton =
        button(tr("書き出し…"), "ExportButton",
               tr("表をマークダウン、CSV、JSON に、図を PNG、SVG、PDF に書き出します"));
    QPushButton* close = button(tr("閉じる"), "CloseButton", {});
    layout->addLayout(buttons);
    connect(reread_, &QPushButton::clicked, this, &ResultsWindow::Reread);
    connect(settings_, &QPushButton::clicked, this, &ResultsWindow::OpenAnalysisSettings);
    connect(exportButton, &QPushButton::clicked, this, &ResultsWindow::Export);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    watch_ = new QTimer(this);
    watch_->setInterval(kWatchMs);
    connect(watch_, &QTimer::timeout, this, &ResultsWindow::CheckFile);
}

ResultsWindow::~ResultsWindow() = default;

void ResultsWindow::ShowStudy(anova::Analysis analysis, PrecisionCheck precision, Provenance provenance) {
    analysis_ = std::move(analysis);
    chosen_ = analysis_.options;
    layout_ = OutputLayout::Study;
    precision_ = std::move(precision);
    provenance_ = std::move(provenance);
    outOfDate_ = false;
    LogAndShow();
}

void ResultsWindow::ShowCsv(CsvSource source, std::string_view bytes, const DesignData& design) {
    ShowCsv(std::move(source), bytes, anova::Analyse(design, chosen_));
}

void ResultsWindow::ShowCsv(CsvSource source, std::string_view bytes, anova::Analysis analysis) {
    analysis_ = std::move(analysis);
    chosen_ = analysis_.options;
    layout_ = OutputLayout::Design;
    precision_.reset();
    source_ = std::move(source);
    provenance_ = ProvenanceOfBytes(bytes);
    // The tool's call that gives the same figures from the same file, in every export's provenance too.
    provenance_.command = LongCsvCommand(source_.path, bytes, source_.roles, source_.options,
                                         CommandWordsOf(analysis_.options));
    const QFileInfo file(QFile::decodeName(source_.path.c_str()));
    size_ = file.exists() ? file.size() : -1;
    modified_ = file.exists() ? file.lastModified() : QDateTime();
    changed_ = false;
    setWindowTitle(tr("分析結果 - %1").arg(file.fileName()));
    reread_->show();
    watch_->start();
    LogAndShow();
}

void ResultsWindow::LogAndShow() {
    const QDateTime now = QDateTime::currentDateTime();
    analysedAt_ = now.time().toString(QStringLiteral("HH:mm:ss"));
    QString name = QFileInfo(QFile::decodeName(InputFile().c_str())).fileName();
    if (name.isEmpty()) name = tr("(名前のない研究)");
    log_.Add({analysis_, layout_, precision_, provenance_, name, now});
    shownEntry_ = log_.Size() - 1;
    logBar_->Fill(log_, shownEntry_, ShownLanguage());
    ShowAnalysis();
}

void ResultsWindow::ShowLogged(std::size_t entry) {
    if (entry >= log_.Size()) return;
    const LoggedEntry& e = log_.At(entry);
    analysis_ = e.analysis;
    layout_ = e.layout;
    precision_ = e.precision;
    provenance_ = e.provenance;
    shownEntry_ = entry;
    logBar_->Fill(log_, shownEntry_, ShownLanguage());
    ShowAnalysis();
}

void ResultsWindow::ShowNotices() {
    const bool earlier = ShowingEarlier();
    staleNotice_->setVisible(outOfDate_ && !earlier);
    changedNotice_->setVisible(changed_ && !earlier);
    if (earlier)
        earlierNotice_->setText(
            tr("履歴から %1 の分析 (%2) を示しています。最新の分析は履歴の最後にあります。")
                .arg(log_.At(shownEntry_).when.toString(QStringLiteral("HH:mm:ss")),
                     log_.At(shownEntry_).name));
    earlierNotice_->setVisible(earlier);
    // A CSV's: the tool's call that gives the same figures from the same file.
    const bool command = layout_ == OutputLayout::Design && provenance_.command.has_value();
    if (command)
        commandNotice_->setText(tr("同じ分析をするコマンド: ") +
                                QString::fromStdString(*provenance_.command));
    commandNotice_->setVisible(command);
}

void ResultsWindow::SaveLog() {
    widgets::RunCommand(*seams_.messages, this, [this] {
        if (logName_.isEmpty()) logName_ = BesideInput(QStringLiteral("-log.html"));
        ExportToChosenFile(seams_, this, exported_, logName_, tr("出力ログの保存"), {tr("HTML (*.html)")},
                           InputFile(), [this](const QString& path) {
                               const std::string html = log_.Html(CopyOptions().language);
                               WriteTextFile(qttext::FilePath(path),
                                             [&](TextWriter& out) { out.Write(html); });
                           });
    });
}

void ResultsWindow::ClearLog() {
    if (!seams_.messages->AskYesNo(this, tr("出力ログの履歴を消去しますか? 最新の分析だけが残ります。")))
        return;
    log_.KeepNewest();
    ShowLogged(0);
}

void ResultsWindow::ShowAnalysis() {
    ShowNotices();
    std::vector<std::string> read;
    const OutputLanguage language = ShownLanguage();
    if (!analysis_.removed.empty())
        read.push_back(
            RemovedSubjectsNote(analysis_.subjects, analysis_.subjectsRead, analysis_.removed, language));
    if (analysis_.averagedCells > 0)
        read.push_back(tr("%1 個のセルの得点は、%2 行を平均したものです。")
                           .arg(analysis_.averagedCells)
                           .arg(analysis_.averagedRows)
                           .toStdString());
    if (analysis_.rowsWithoutScore > 0) read.push_back(UnscoredRowsNote(analysis_, language));
    readNotice_->setText(Lines(read));
    readNotice_->setVisible(!read.empty());

    ReadTables();
    precisionNotice_->hide();
    for (const TableText& table : tables_)
        if (table.id == "Precision") {
            precisionNotice_->setText(Lines(table.notes));
            precisionNotice_->setVisible(!table.notes.empty());
        }
    pages_->Show(tables_, layout_,
                 plot::QuantilePlotDataOf(analysis_, decimalSeparator_, layout_ == OutputLayout::Study,
                                          ShownLanguage() == OutputLanguage::English));
    arrangementChoices_.Fill(analysis_, arrangement_, subjects_);
    SetErrorBars(bars_);

    if (!placed_) PlaceBesideOwner();
    placed_ = true;
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void ResultsWindow::MarkOutOfDate(Staleness why) {
    outOfDate_ = true;
    const QString text = why == Staleness::AnalysisStopped
                             ? tr("分析は不正な得点で止まりました。ここに示す結果は %1 の分析のもので、"
                                  "今のデータのものではありません。")
                             : tr("データが変更されました。ここに示す結果は %1 の分析 (最後の変更の前) のもの"
                                  "です。「分  析」を押すと今のデータで計算し直します。");
    staleNotice_->setText(text.arg(analysedAt_));
    ShowNotices();
}

void ResultsWindow::Reread() {
    Reanalyse(chosen_);
}

void ResultsWindow::Reanalyse(const anova::Options& options) {
    // A second 再読み込み or ＯＫ while one runs does nothing.
    if (widgets::OffThreadRunning()) return;
    widgets::RunCommand(*seams_.messages, this, [this, &options] {
        // Read, taken apart and analysed on a worker, from copies, so that the
        // window may go on; 中止 leaves it as it was.
        using Read = std::pair<FileBytes, anova::Analysis>;
        std::optional<Read> done = widgets::ComputeOffThread<Read>(
            this, tr("読み直して分析しています…"), rereadProgressAfterMs_, QStringLiteral("RereadProgress"),
            [path = source_.path, roles = source_.roles, csv = source_.options, options] {
                FileBytes bytes = ReadWholeFile(path, {}, true);
                anova::Analysis analysis = anova::Analyse(ReadLongCsv(bytes.View(), roles, csv), options);
                return Read(std::move(bytes), std::move(analysis));
            });
        if (!done) return;
        CsvSource source = source_;
        ShowCsv(std::move(source), done->first.View(), std::move(done->second));
    });
}

AnalysisSettingsDialog* ResultsWindow::OpenAnalysisSettings() {
    auto* dialog = new AnalysisSettingsDialog(this, seams_, analysis_.between, analysis_.within, chosen_,
                                              layout_ == OutputLayout::Design);
    dialog->setWindowModality(Qt::WindowModal);
    // The choice is analysed once the dialog has closed, from the window's own
    // loop: the reanalysis waits with the windows repainting, and the dialog goes then.
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        QTimer::singleShot(0, this, [this, chosen = dialog->Chosen()] { ApplySettings(chosen); });
    });
    connect(dialog, &QDialog::finished, dialog, &QObject::deleteLater);
    dialog->open();
    return dialog;
}

void ResultsWindow::ApplySettings(const anova::Options& options) {
    if (layout_ == OutputLayout::Design) {
        Reanalyse(options);
        return;
    }
    chosen_ = options;
    emit studyAnalysisRequested();
}

bool ResultsWindow::CheckFile() {
    if (changed_ || source_.path.empty()) return changed_;
    const QFileInfo file(QFile::decodeName(source_.path.c_str()));
    const qint64 size = file.exists() ? file.size() : -1;
    const QDateTime modified = file.exists() ? file.lastModified() : QDateTime();
    if (size == size_ && modified == modified_) return false;
    // Touched but the same bytes (saved again unchanged): still the file analysed.
    if (size == size_ && size >= 0) {
        try {
            const FileBytes bytes = ReadWholeFile(source_.path, {}, true);
            if (Sha256Hex(bytes.View()) == provenance_.dataSha256.value_or(std::string())) {
                modified_ = modified;
                return false;
            }
        } catch (const Error&) {
            // Unreadable now: changed, as far as the window can tell.
        }
    }
    changed_ = true;
    changedNotice_->setText(tr("%1 は読み込んだ後に変更されました。ここに示す結果は変更前のデータのものです。"
                               "「再読み込み」を押すと今のファイルで分析し直します。")
                                .arg(file.fileName()));
    ShowNotices();
    return true;
}

bool ResultsWindow::MayUseFigures(const QString& what) {
    CheckFile();
    // An earlier analysis of the log is what it was: nothing changed since to ask about.
    if (ShowingEarlier()) return true;
    QString question;
    if (outOfDate_)
        question = tr("この結果は %1 の分析のもので、その後のデータの変更を含みません。それでも%2しますか?")
                       .arg(analysedAt_, what);
    else if (changed_)
        question = tr("この結果は %1 に読み込んだ %2 のもので、その後のファイルの変更を含みません。"
                      "それでも%3しますか?")
                       .arg(analysedAt_, QFileInfo(QFile::decodeName(source_.path.c_str())).fileName(), what);
    else
        return true;
    return seams_.messages->AskYesNo(this, question);
}

void ResultsWindow::Export() {
    widgets::RunCommand(*seams_.messages, this, [this] {
        if (!MayUseFigures(tr("書き出し"))) return;
        if (exportName_.isEmpty()) exportName_ = BesideInput(QStringLiteral("-anova.md"));
        ExportToChosenFile(seams_, this, exported_, exportName_, tr("書き出し"), ExportNameFilters(),
                           InputFile(), [this](const QString& path) {
                               ExportAnalysis(analysis_, precision_ ? &*precision_ : nullptr, plot_->Data(),
                                              path, CopyOptions());
                           });
    });
}

void ResultsWindow::ExportPlot() {
    widgets::RunCommand(*seams_.messages, this, [this] {
        if (!MayUseFigures(tr("書き出し"))) return;
        if (plotName_.isEmpty()) plotName_ = BesideInput(QStringLiteral("-plot.png"));
        ExportToChosenFile(seams_, this, exported_, plotName_, tr("図の書き出し"), PlotNameFilters(),
                           InputFile(),
                           [this](const QString& path) { ExportInteractionPlotFile(plot_->Data(), path); });
    });
}

void ResultsWindow::ExportQuantilePlot() {
    widgets::RunCommand(*seams_.messages, this, [this] {
        if (!MayUseFigures(tr("書き出し"))) return;
        if (quantileName_.isEmpty()) quantileName_ = BesideInput(QStringLiteral("-qq.png"));
        ExportToChosenFile(seams_, this, exported_, quantileName_, tr("Q-Q プロットの書き出し"),
                           PlotNameFilters(), InputFile(),
                           [this](const QString& path) { ExportQuantilePlotFile(QuantilePlot(), path); });
    });
}

void ResultsWindow::CopyTable() {
    widgets::RunCommand(*seams_.messages, this, [this] {
        if (!MayUseFigures(tr("コピー"))) return;
        QApplication::clipboard()->setMimeData(SummaryTableMime(analysis_, CopyOptions()).release());
    });
}

void ResultsWindow::CopySentences() {
    widgets::RunCommand(*seams_.messages, this, [this] {
        if (!MayUseFigures(tr("コピー"))) return;
        QApplication::clipboard()->setText(SentencesText(analysis_, CopyOptions()));
    });
}

OutputOptions ResultsWindow::CopyOptions() const {
    OutputOptions options;
    options.language = english_->isChecked() ? OutputLanguage::English : OutputLanguage::Japanese;
    options.layout = layout_;
    options.provenance = provenance_;
    return options;
}

OutputLanguage ResultsWindow::ShownLanguage() {
    return widgets::WindowsInEnglish() ? OutputLanguage::English : OutputLanguage::Japanese;
}

void ResultsWindow::ReadTables() {
    OutputOptions shown;
    // The windows' language; 英語で出力 is for the copies and exports alone.
    shown.language = ShownLanguage();
    shown.layout = layout_;
    shown.rounding = rounding_;
    tables_ = TableTexts(analysis_, TableReader::Window, shown, decimalSeparator_,
                         precision_ ? &*precision_ : nullptr);
}

void ResultsWindow::SetRounding(TableRounding rounding) {
    rounding_ = rounding;
    QRadioButton* chosen = rounding == TableRounding::Apa ? apaView_ : fullView_;
    if (!chosen->isChecked()) chosen->setChecked(true);  // comes back here
    if (!placed_) return;                                // nothing shown yet: the first Show rounds so
    ReadTables();
    pages_->ShowTables(tables_, layout_);
}

void ResultsWindow::SetErrorBars(plot::ErrorBars bars) {
    bars_ = bars;
    const int index = errorBars_->findData(static_cast<int>(bars));
    if (index != errorBars_->currentIndex()) errorBars_->setCurrentIndex(index);  // comes back here
    plot_->SetData(plot::PlotDataOf(analysis_, decimalSeparator_, bars, arrangement_, subjects_,
                                    ShownLanguage() == OutputLanguage::English));
    plotCaption_->setText(plot::PlotCaption(plot_->Data(), plot_->Summed()));
}

void ResultsWindow::SetPlotArrangement(const plot::PlotArrangement& arrangement,
                                       plot::SubjectsShown subjects) {
    arrangement_ = arrangement;
    subjects_ = subjects;
    arrangementChoices_.Fill(analysis_, arrangement_, subjects_);
    SetErrorBars(bars_);
}

const plot::InteractionPlotData& ResultsWindow::Plot() const {
    return plot_->Data();
}

const plot::QuantilePlotData& ResultsWindow::QuantilePlot() const {
    return pages_->Quantiles();
}

void ResultsWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const Qt::Orientation wanted = width() < kPlotBesideWidth ? Qt::Vertical : Qt::Horizontal;
    if (splitter_->orientation() == wanted) return;
    splitter_->setOrientation(wanted);
    // The tables take three parts of the room, the plot two.
    const int room = wanted == Qt::Horizontal ? splitter_->width() : splitter_->height();
    splitter_->setSizes({room * 3 / 5, room - room * 3 / 5});
}

void ResultsWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) CheckFile();
}

// The constructor: the plot above the choice of its error bars with its
// export, and its caption.
QWidget* ResultsWindow::MakePlotPane(QWidget* parent) {
    auto* pane = new QWidget(parent);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    plot_ = new InteractionPlotView(pane);
    connect(plot_, &InteractionPlotView::SummedChanged, this,
            [this] { plotCaption_->setText(plot::PlotCaption(plot_->Data(), plot_->Summed())); });
    plot_->setObjectName(QStringLiteral("InteractionPlot"));
    layout->addWidget(plot_, 1);
    auto* row = new QHBoxLayout;
    errorBars_ = AddErrorBarsChoice(pane, row);
    row->addStretch();
    auto* exportPlot = new QPushButton(tr("図を書き出し…"), pane);
    exportPlot->setObjectName(QStringLiteral("ExportPlotButton"));
    exportPlot->setToolTip(tr("この図を PNG 画像、SVG、PDF のファイルに書き出します"));
    row->addWidget(exportPlot);
    layout->addLayout(row);
    auto* arranged = new QHBoxLayout;
    arrangementChoices_ = AddArrangementChoices(pane, arranged);
    arranged->addStretch();
    layout->addLayout(arranged);
    plotCaption_ = new QLabel(pane);
    plotCaption_->setObjectName(QStringLiteral("PlotCaption"));
    plotCaption_->setWordWrap(true);
    plotCaption_->setTextFormat(Qt::PlainText);
    layout->addWidget(plotCaption_);
    connect(errorBars_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) SetErrorBars(static_cast<plot::ErrorBars>(errorBars_->itemData(index).toInt()));
    });
    for (QComboBox* choice : {arrangementChoices_.axis, arrangementChoices_.lines, arrangementChoices_.panels,
                              arrangementChoices_.subjects})
        connect(choice, &QComboBox::currentIndexChanged, this, [this, choice] {
            arrangementChoices_.Free(choice);
            SetPlotArrangement(arrangementChoices_.Arrangement(), arrangementChoices_.Subjects());
        });
    connect(exportPlot, &QPushButton::clicked, this, &ResultsWindow::ExportPlot);
    return pane;
}

// The constructor: the actions with their shortcuts anywhere in the window,
// the copies as buttons too, 英語で出力 as a check box.
void ResultsWindow::AddCopyActions(QLayout* buttons) {
    auto* copyTable = new QAction(tr("表をコピー"), this);
    copyTable->setObjectName(QStringLiteral("CopyTableAction"));
    copyTable->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    copyTable->setShortcutContext(Qt::WindowShortcut);
    copyTable->setToolTip(
        tr("分散分析表を APA 形式の表として、ワープロに表として貼り付けられる形でコピーします"));
    connect(copyTable, &QAction::triggered, this, &ResultsWindow::CopyTable);
    auto* copySentences = new QAction(tr("報告文をコピー"), this);
    copySentences->setObjectName(QStringLiteral("CopySentencesAction"));
    copySentences->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
    copySentences->setShortcutContext(Qt::WindowShortcut);
    copySentences->setToolTip(tr("効果ごとの報告文 (F、p、効果量) をコピーします"));
    connect(copySentences, &QAction::triggered, this, &ResultsWindow::CopySentences);
    english_ = new QAction(tr("英語で出力"), this);
    english_->setObjectName(QStringLiteral("EnglishAction"));
    english_->setCheckable(true);
    // In the English windows the copies and exports are in English from the start.
    english_->setChecked(ShownLanguage() == OutputLanguage::English);
    english_->setToolTip(tr("コピーする表と報告文、書き出す表を英語にします"));
    addActions({copyTable, copySentences, english_});

    for (QAction* action : {copyTable, copySentences}) {
        auto* button = new QPushButton(action->text(), this);
        button->setObjectName(
            action->objectName().replace(QStringLiteral("Action"), QStringLiteral("Button")));
        button->setToolTip(action->toolTip() + QStringLiteral(" (") +
                           action->shortcut().toString(QKeySequence::NativeText) + QLatin1Char(')'));
        connect(button, &QPushButton::clicked, action, &QAction::trigger);
        buttons->addWidget(button);
    }
    auto* english = new QCheckBox(english_->text(), this);
    english->setObjectName(QStringLiteral("EnglishCheck"));
    english->setToolTip(english_->toolTip());
    english->setChecked(english_->isChecked());
    connect(english, &QCheckBox::toggled, english_, &QAction::setChecked);
    connect(english_, &QAction::toggled, english, &QCheckBox::setChecked);
    buttons->addWidget(english);
}

// The constructor: APA and 全桁 as two radio buttons after a label, 全桁 checked.
void ResultsWindow::AddRoundingChoice(QLayout* buttons) {
    auto* label = new QLabel(tr("表の数値:"), this);
    apaView_ = new QRadioButton(QStringLiteral("APA"), this);
    apaView_->setObjectName(QStringLiteral("ApaViewButton"));
    apaView_->setToolTip(
        tr("表の数値を APA 形式の表のように丸めて示します (F、t は小数 2 桁、p は .014 や < .001、"
           "効果量は .81)。Ctrl+C でのコピーも同じです"));
    fullView_ = new QRadioButton(tr("全桁"), this);
    fullView_->setObjectName(QStringLiteral("FullDigitsButton"));
    fullView_->setToolTip(tr("表の数値を有効数字 10 桁で示します。Ctrl+C でのコピーも同じです"));
    fullView_->setChecked(true);
    for (QWidget* w : std::initializer_list<QWidget*>{label, apaView_, fullView_}) buttons->addWidget(w);
    connect(apaView_, &QRadioButton::toggled, this,
            [this](bool on) { SetRounding(on ? TableRounding::Apa : TableRounding::Reader); });
}

// The first Show: as large as it likes where the screen has room for it
// beside the window it was opened from, in frame pixels as that window's frame
// has them (a window not yet shown has none of its own).
void ResultsWindow::PlaceBesideOwner() {
    QWidget* owner = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
    if (owner != nullptr && !owner->isVisible()) owner = nullptr;
    QScreen* shown = owner != nullptr ? owner->screen() : screen();
    if (shown == nullptr) return;
    const QRect ownerFrame =
        owner != nullptr ? owner->frameGeometry() : QRect(shown->availableGeometry().topLeft(), QSize(0, 0));
    const QRect ownerClient = owner != nullptr ? owner->geometry() : ownerFrame;
    const QSize frame(ownerFrame.width() - ownerClient.width(), ownerFrame.height() - ownerClient.height());
    const QSize least = kLeastSize.expandedTo(minimumSizeHint());
    const QRect placed = PlaceBeside(
        shown->availableGeometry(), ownerFrame,
        WantedSize(shown->availableGeometry().size(), kWantedSize + frame, kLargestArea), least + frame);
    resize(placed.size() - frame);
    move(placed.topLeft());
}

const std::string& ResultsWindow::InputFile() const {
    return source_.path.empty() ? studyFile_ : source_.path;
}

QString ResultsWindow::BesideInput(const QString& suffix) const {
    if (InputFile().empty()) return {};
    const QFileInfo input(QFile::decodeName(InputFile().c_str()));
    return input.dir().filePath(input.completeBaseName() + suffix);
}

void ResultsWindow::OpenPowerCalculator(int planningRow) {
    if (planningRow < 0 || static_cast<std::size_t>(planningRow) >= analysis_.planning.size()) return;
    const anova::PlanningRow& row = analysis_.planning[static_cast<std::size_t>(planningRow)];
    PowerQuestion q;
    q.design.effect = row.kind;
    q.design.measures = row.measures, q.design.groups = row.groups;
    q.design.rho = row.rho.value_or(q.design.rho);
    q.design.epsilon = row.epsilon.value_or(1);
    q.design.alpha = analysis_.options.alpha;
    q.find = PowerQuestion::Find::N;
    if (row.f) q.size = *row.f;
    if (power_ == nullptr) power_ = new PowerDialog(this);
    power_->Ask(q);
    power_->show();
    power_->raise();
}

}  // namespace morvane
